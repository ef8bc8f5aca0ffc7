#!/usr/bin/env bash
# The guard every script that starts the installer or a server uses (tests/own-netns.sh): it holds
# only inside the namespace tests/isolated.sh made, not in the namespace this test runs in, nor in
# one that routes beyond itself, nor with borrowed marks. Nothing here sends a packet.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
fails=0
expect() {  # expect yes|no WHAT COMMAND...
    local want=$1 what=$2 got=no
    shift 2
    "$@" && got=yes
    if [ "$got" = "$want" ]; then
        echo "ok: $what"
    else
        echo "FAIL: $what (held: $got)"
        fails=$((fails + 1))
    fi
}
guard='source "$0"; in_own_netns'
netns=$(readlink /proc/self/ns/net)
# Here, outside: marks set by hand as if isolated.sh had run, but no unshare happened.
expect no "outside, QUORVEX_ISOLATED naming this shell" \
    env -u QUORVEX_OUTER_NETNS bash -c 'export QUORVEX_ISOLATED=$$; '"$guard" "$here/own-netns.sh"
expect no "outside, both marks naming this namespace" \
    env QUORVEX_OUTER_NETNS="$netns" bash -c 'export QUORVEX_ISOLATED=$$; '"$guard" "$here/own-netns.sh"
expect yes "the namespace tests/isolated.sh made" \
    "$here/isolated.sh" bash -c "$guard" "$here/own-netns.sh"
# (The isolated shell stays where it is: "; true" keeps bash from replacing itself with unshare.)
expect no "a further namespace that QUORVEX_ISOLATED does not name" \
    "$here/isolated.sh" bash -c 'unshare --net bash -c "$1" "$2"; status=$?; true; exit $status' \
    x "$guard" "$here/own-netns.sh"
expect no "the namespace tests/isolated.sh made, given a default route" \
    "$here/isolated.sh" bash -c 'ip route add default dev lo && '"$guard" "$here/own-netns.sh"
# lan.sh refuses before it builds anything (tried in a throwaway namespace, without the marks).
lan_refused() {
    unshare --net env -u QUORVEX_ISOLATED -u QUORVEX_OUTER_NETNS bash -c \
        '(source "$0"; lan_up) 2>/dev/null; [ $? -ne 0 ] && ! ip link show lan0 >/dev/null 2>&1' \
        "$here/lan/lan.sh"
}
expect yes "lan_up refuses outside, and makes no bridge" lan_refused
[ "$fails" -eq 0 ] && echo "all checks passed" || { echo "$fails check(s) failed"; exit 1; }
