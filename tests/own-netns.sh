# Sourced by every script that starts the installer, a simulated TV or a server. Addresses such as
# 10.213.0.2 or 192.168.1.64 must only ever be contacted inside a network namespace that the run
# made itself (tests/isolated.sh, which uses `unshare --net`), never on the machine's own network:
# the installer checks every TV it installs to and searches its adapters' networks.
#
# in_own_netns: true when this process runs in the namespace tests/isolated.sh made for this run
# (its first process, QUORVEX_ISOLATED, lives in it), that namespace is not the one isolated.sh
# was started from (QUORVEX_OUTER_NETNS) nor, where it can be read, PID 1's, and nothing in it
# routes beyond its own subnets (no default route).
in_own_netns() {
    local mine made machine
    [ -n "${QUORVEX_ISOLATED:-}" ] && [ -n "${QUORVEX_OUTER_NETNS:-}" ] || return 1
    mine=$(readlink /proc/self/ns/net 2>/dev/null) || return 1
    made=$(readlink "/proc/$QUORVEX_ISOLATED/ns/net" 2>/dev/null) || return 1
    [ "$mine" = "$made" ] && [ "$mine" != "$QUORVEX_OUTER_NETNS" ] || return 1
    if machine=$(readlink /proc/1/ns/net 2>/dev/null); then
        [ "$mine" != "$machine" ] || return 1
    fi
    [ -z "$(ip -4 route show default 2>/dev/null)" ] && [ -z "$(ip -6 route show default 2>/dev/null)" ]
}

# require_own_netns WHO: ends the script unless in_own_netns holds.
require_own_netns() {
    in_own_netns && return 0
    echo "$1: refusing to run outside a network namespace of its own; start it through" \
        "tests/isolated.sh (unshare --net)" >&2
    exit 1
}
