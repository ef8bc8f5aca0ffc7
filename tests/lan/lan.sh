# An office LAN for one test, to be sourced by a script that runs in a network namespace of its
# own (tests/isolated.sh): this namespace becomes the PC at 10.213.0.1 on a bridge "lan0", and
# each host added is a network namespace of its own, cabled to that bridge. Nothing here can
# reach beyond the test's own namespaces.
#   lan_up                     the bridge and the PC's address
#   lan_host NAME N            a host at 10.213.0.N
#   lan_exec NAME COMMAND...   runs a command on that host
#   lan_slow_host NAME         that host answers each knock on 26101 and 8001 about 1 s late
#   lan_down                   ends every process on the hosts and removes them (call it at exit)
lan_subnet=10.213.0
lan_pc=$lan_subnet.1
lan_hosts=()

source "$(dirname "${BASH_SOURCE[0]}")/../own-netns.sh"

lan_up() {
    require_own_netns "lan.sh"
    ip link add lan0 type bridge || return 1
    ip addr add "$lan_pc/24" dev lan0
    ip link set lan0 up
}

# Host namespaces are named after this shell and the host, so parallel tests never meet.
lan_namespace() { printf 'quorvex-%s-%s' "$$" "$1"; }

lan_host() {
    local name=$1 n=$2 ns
    ns=$(lan_namespace "$name")
    ip netns add "$ns" || return 1
    lan_hosts+=("$ns")
    ip link add "lan0-$n" type veth peer name eth0 netns "$ns" || return 1
    ip link set "lan0-$n" master lan0 up
    ip -n "$ns" link set lo up
    ip -n "$ns" addr add "$lan_subnet.$n/24" dev eth0
    ip -n "$ns" link set eth0 up
}

lan_exec() {
    local ns
    ns=$(lan_namespace "$1")
    shift
    ip netns exec "$ns" "$@"
}

# The kernel here has no netem to delay a link. Instead the host drops the first SYN of each
# connection to the TV's two ports; the client's kernel sends it again after its 1 s
# retransmission time, and that one is let through. A closed port refuses just as late.
# A SYN is known again by its source port and initial sequence number, which its retransmission
# repeats: a new connection that happens to get an earlier one's source port (to the other port,
# say) has a sequence number of its own, so it waits too.
lan_slow_host() {
    lan_exec "$1" nft -f - <<'NFT'
table inet slowtv {
    set seen { typeof ip saddr . tcp sport . tcp sequence; flags dynamic,timeout; timeout 30s; }
    chain input {
        type filter hook input priority 0;
        tcp dport { 26101, 8001 } tcp flags & (syn | ack) == syn ip saddr . tcp sport . tcp sequence @seen accept
        tcp dport { 26101, 8001 } tcp flags & (syn | ack) == syn add @seen { ip saddr . tcp sport . tcp sequence } drop
    }
}
NFT
}

lan_down() {
    local ns
    for ns in "${lan_hosts[@]}"; do
        ip netns pids "$ns" 2>/dev/null | xargs -r kill 2>/dev/null
        sleep 0.1
        ip netns pids "$ns" 2>/dev/null | xargs -r kill -9 2>/dev/null
        ip netns del "$ns" 2>/dev/null
    done
    lan_hosts=()
}
