#!/usr/bin/env bash
# driver-refusal.sh E2E-DRIVER GUI-DRIVER INSTALLER DIR
# Both drivers start the installer, which contacts the networks of this computer's adapters.
# Given an adapter address that no test made, each must refuse before the installer starts;
# given only the test LAN's, the e2e driver gets as far as starting it.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
e2e_driver=$1 gui_driver=$2 installer=$3 dir=$4
source "$root/tests/own-netns.sh"
require_own_netns "driver-refusal.sh"
source "$root/tests/time-limits.sh"
rm -rf "$dir" && mkdir -p "$dir/work" "$dir/sync"
winpath() { printf 'Z:%s' "${1//\//\\}"; }
failures=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# A stray adapter, as a real network would show through: the namespace is ours, so is the address.
ip link add stray0 type veth peer name stray1 && ip addr add 192.168.77.1/24 dev stray0 &&
    ip link set stray1 up && ip link set stray0 up || { echo "FAILED: no stray adapter"; exit 1; }

# run_refused WHO EXIT-STATUS DRIVER ARGS...: the driver refuses, and does nothing else (had the
# installer started, the driver would have gone on to report its window).
run_refused() {
    local who=$1 want=$2 out="$dir/$1.out" status
    shift 2
    timeout "$(limit 120)" "$root/tests/wine/wine-run.sh" "$@" >"$out" 2>/dev/null
    status=$?
    sed "s/^/    $who driver: /" "$out"
    check "the $who driver ends with its error status" test "$status" -eq "$want"
    check "the $who driver names the stray address" \
        grep -qF "refusing to start the installer: this computer has the address 192.168.77.1," "$out"
    check "the $who driver said nothing else" test "$(wc -l <"$out")" -eq 1
}
run_refused e2e 2 "$e2e_driver" "$(winpath "$installer")" "$(winpath "$dir/work")" 192.168.77.5 1
run_refused GUI 1 "$gui_driver" "$(winpath "$installer")" 96 "$(winpath "$dir/sync")" refusal
check "no screenshot was asked for" test -z "$(ls -A "$dir/sync")"

# Control: with the test LAN's address alone, the guard lets the driver on to the start, which
# fails only because the installer it is given does not exist.
ip addr flush dev stray0 && ip addr add 10.213.0.1/24 dev stray0
timeout "$(limit 120)" "$root/tests/wine/wine-run.sh" "$e2e_driver" "$(winpath "$dir/missing.exe")" \
    "$(winpath "$dir/work")" 10.213.0.5 1 >"$dir/control.out" 2>/dev/null
sed 's/^/    control: /' "$dir/control.out"
check "control: on the test LAN the driver goes on to start the installer" \
    grep -qF "error: cannot start" "$dir/control.out"

echo "=== driver refusal: $failures check(s) failed"
[ "$failures" -eq 0 ]
