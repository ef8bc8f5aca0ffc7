#!/usr/bin/env bash
# Runs a command in a network namespace of its own, with only the loopback interface, brought up:
# nothing it starts can send a packet off this machine, and the fixed ports of the bridge
# (26099, 26101) and of the TV (8001) never meet another test's.
#   isolated.sh [--wine] COMMAND [ARGS...]
# --wine: the command also gets a Wine prefix of its own, copied from the project's booted one
# ($QUORVEX_WINEPREFIX), so that its wineserver, which makes the sockets of every Windows
# program, starts inside the namespace too. The copy's wineserver is ended afterwards.
# Needs root (or user namespaces), unshare (util-linux) and ip (iproute2).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

wine=0
if [ "${1:-}" = "--wine" ]; then
    wine=1
    shift
fi
[ $# -gt 0 ] || { sed -n '2,8p' "$0" >&2; exit 2; }

if [ "${QUORVEX_ISOLATED:-}" != "$BASHPID" ]; then
    # Re-enter this script as the first process of a new namespace. The mark carries the pid the
    # inner bash will have, so a nested isolated.sh (a test that isolates itself) makes its own.
    args=("$@")
    [ "$wine" -eq 1 ] && args=(--wine "${args[@]}")
    # The namespace it was started from, which the new one must differ from (tests/own-netns.sh).
    QUORVEX_OUTER_NETNS=$(readlink /proc/self/ns/net)
    export QUORVEX_OUTER_NETNS
    exec unshare --net --fork -- bash -c \
        'export QUORVEX_ISOLATED=$$; exec bash "$0" "$@"' "$0" "${args[@]}"
fi
ip link set lo up

if [ "$wine" -eq 0 ]; then
    exec "$@"
fi

base=${QUORVEX_WINEPREFIX:-/tmp/quorvex-wine-$(id -u)}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# The booted prefix is made once, under a lock, and only copied from then on.
source "$here/wine/ensure-prefix.sh"
ensure_prefix "$base"

private=$(mktemp -d "${TMPDIR:-/tmp}/quorvex-prefix-XXXXXX")
# The registry can still be saved into the copy after `wineserver -k` and `-w` have returned (seen
# once under load: rm found "Directory not empty", the copy then held only system.reg). So the
# server is ended and the copy removed a few times over; a copy that still cannot be removed is
# reported and left, without turning the command's own result into a failure.
cleanup() {
    local _
    for _ in 1 2 3 4 5; do
        WINEPREFIX=$private/prefix timeout 60 wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX=$private/prefix timeout 60 wineserver -w >/dev/null 2>&1 || true
        rm -rf "$private" 2>/dev/null && return 0
        sleep 1
    done
    echo "isolated.sh: could not remove the prefix copy $private (left behind)" >&2
    return 0
}
trap cleanup EXIT
trap 'exit 143' TERM INT
# The system DLLs (630 MB) are hard links: Wine only reads them after the prefix is booted. What
# a run writes (registry, temporary files, user folders) is a real copy.
copy_tree() {  # copy_tree FROM TO
    local from=$1 to=$2 entry name
    mkdir -p "$to"
    for entry in "$from"/* "$from"/.[!.]*; do
        [ -e "$entry" ] || [ -L "$entry" ] || continue
        name=${entry##*/}
        case "${entry#"$base"/}" in
        drive_c | drive_c/windows) copy_tree "$entry" "$to/$name" ;;
        drive_c/windows/system32 | drive_c/windows/syswow64 | drive_c/windows/winsxs)
            cp -al "$entry" "$to/$name" ;;
        *) cp -a "$entry" "$to/$name" ;;
        esac
    done
}
copy_tree "$base" "$private/prefix"
export WINEPREFIX=$private/prefix
export QUORVEX_WINEPREFIX=$private/prefix
# In the background, so that a time-out's TERM still reaches the clean-up.
"$@" &
status=0
wait $! || status=$?
exit "$status"
