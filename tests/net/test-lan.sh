#!/usr/bin/env bash
# The network tests' own LAN, inside the namespace tests/isolated.sh made for them: this PC at
# 10.77.0.1/24 on a bridge with no ports, and 10.77.0.2 to 10.77.0.9 as further addresses of the
# same bridge, for the tests' own servers and SSDP devices. Every other address of 10.77.0.0/24
# is a host that never answers (its address is never resolved). 10.77.0.6 answers its knocks only
# after about a second, as some TVs do: the first SYN of each connection to it is dropped, and
# the client's kernel sends it again after its 1 s retransmission time (known by its source port
# and initial sequence number: a new connection that reuses a source port waits too). The
# neighbour table knows 10.77.0.50 (permanent), .51 (stale) and .52 (reachable), hosts that are
# not there. Then runs the command.
#   test-lan.sh COMMAND [ARGS...]
set -euo pipefail
source "$(dirname "$0")/../own-netns.sh"
require_own_netns "tests/net/test-lan.sh"
ip link add qvnet0 type bridge
ip addr add 10.77.0.1/24 dev qvnet0
for n in 2 3 4 5 6 7 8 9; do
    ip addr add "10.77.0.$n/32" dev qvnet0
done
ip link set qvnet0 up
ip neigh add 10.77.0.50 lladdr 02:00:00:00:00:50 dev qvnet0 nud permanent
ip neigh add 10.77.0.51 lladdr 02:00:00:00:00:51 dev qvnet0 nud stale
ip neigh add 10.77.0.52 lladdr 02:00:00:00:00:52 dev qvnet0 nud reachable
nft -f - <<'NFT'
table inet slowhost {
    set seen { typeof ip saddr . tcp sport . tcp sequence; flags dynamic,timeout; timeout 30s; }
    chain input {
        type filter hook input priority 0;
        ip daddr 10.77.0.6 tcp flags & (syn|ack) == syn ip saddr . tcp sport . tcp sequence @seen accept
        ip daddr 10.77.0.6 tcp flags & (syn|ack) == syn add @seen { ip saddr . tcp sport . tcp sequence } drop
    }
}
NFT
# The neighbour table is read first, as it was left here: the searches after that knock at its
# hosts, and the kernel, finding nobody there, drops the stale entry it probed.
"$@" --gtest_filter='Neighbours.*'
exec "$@" --gtest_filter='-Neighbours.*'
