#!/usr/bin/env bash
# run-gui-test.sh DRIVER PROGRAM DPI SCREEN-DIR
# Runs the GUI driver against the program in the Wine prefix tests/isolated.sh --wine copied for
# this test (the booted one: no wineboot of its own), set to DPI, on an Xvfb display of its own (so
# parallel tests never share a screenshot), and takes the screenshots it asks for.
set -uo pipefail
driver=$1 program=$2 dpi=$3 screens=$4
# The installer searches its adapters' networks as soon as its window opens.
source "$(dirname "$0")/../own-netns.sh"
require_own_netns "run-gui-test.sh"
source "$(dirname "$0")/../time-limits.sh"

[ -n "${WINEPREFIX:-}" ] || { echo "FAIL: no Wine prefix of this test's own (run it through isolated.sh --wine)"; exit 1; }
work=$(mktemp -d /tmp/quorvex-gui-XXXXXX)
sync=$work/sync
mkdir -p "$sync" "$screens"
xvfb_pid=
cleanup() {
    timeout "$(limit 60)" wineserver -k >/dev/null 2>&1
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# -displayfd picks a free display number without racing other Xvfb starts.
Xvfb -displayfd 3 -screen 0 1400x1000x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq $(($(limit 60) * 10))); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -n 1 "$work/display")

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ "$dpi" != 96 ]; then
    timeout "$(limit 120)" wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
        >/dev/null 2>&1 || { echo "FAIL: could not set LogPixels"; exit 1; }
fi
timeout "$(limit 120)" wineserver -w

timeout "$(limit 600)" wine "$driver" "$(winepath -w "$program")" "$dpi" "$(winepath -w "$sync")" "gui-$dpi" &
driver_pid=$!
while kill -0 "$driver_pid" 2>/dev/null; do
    for request in "$sync"/*.want; do
        [ -e "$request" ] || continue
        name=$(basename "$request" .want)
        if import -window root "$screens/$name.png"; then
            echo "screenshot: $screens/$name.png"
        else
            echo "FAIL: screenshot $name could not be taken"
        fi
        mv "$request" "$sync/$name.done"
    done
    sleep 0.2
done
wait "$driver_pid"
