#!/usr/bin/env bash
# The main job: builds the installer with the bench's stand-in bridge tool, makes a test LAN in a
# network namespace of its own (tests/isolated.sh, tests/lan/lan.sh): this PC at 10.213.0.1 and a
# simulated TV at 10.213.0.2 (Tizen 5, its Host PC IP 10.213.0.1), and opens the installer under
# Wine there. The installer finds the TV by itself and puts its address into the box.
# With a display (a local one: the namespace reaches X through its socket file) the user presses
# the button. Without one it runs under Xvfb and drives the window itself: waits for the search
# to fill the box, presses install, waits for the end, then prints the outcome, the seven logs
# and the path of a screenshot. Nothing in the namespace can reach a real network.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
export QUORVEX_WINEPREFIX=${QUORVEX_WINEPREFIX:-$root/build/wineprefix}
source "$root/tests/own-netns.sh"

# First pass, on the machine: set up, build, then start again in a network namespace of its own
# (tests/isolated.sh: unshare --net). The installer contacts the TV it installs to and searches
# its adapters' networks, so nothing after this may run on the machine's own network.
if ! in_own_netns; then
    scripts/setup.sh
    echo "=== Building (host tools and the Windows program)"
    cmake --preset native >/dev/null
    cmake --build --preset native --target quorvex_tvsim >/dev/null
    cmake --preset windows >/dev/null
    cmake --build --preset windows --target QuorvexInstaller quorvex_e2e_driver >/dev/null
    exec "$root/tests/isolated.sh" --wine "$0" "$@"
fi
require_own_netns "scripts/run.sh"
installer=$root/build/windows/src/QuorvexInstaller.exe
driver=$root/build/windows/tests/e2e/quorvex_e2e_driver.exe

job=$root/build/main-job
rm -rf "$job"
mkdir -p "$job/work" "$job/tv"

echo "=== A test LAN: this PC at 10.213.0.1, a simulated TV at 10.213.0.2 (Tizen 5)"
source "$root/tests/lan/lan.sh"
lan_up
lan_host tv 2
export QUORVEX_TVSIM=$root/build/native/tools/tvsim/quorvex_tvsim
lan_exec tv "$root/tools/tvsim/start-tv.sh" 10.213.0.2 "$job/tv" --tizen 5.0 --host-ip 10.213.0.1 \
    --name "[TV] Samsung 7 Series (43)" >/dev/null
cleanup() {
    "$root/tools/tvsim/stop-tv.sh" "$job/tv"
    lan_down
}
trap cleanup EXIT

wine_run() { "$root/tests/wine/wine-run.sh" "$@"; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }

if [ -n "${DISPLAY:-}" ]; then
    echo "=== Opening the installer: it finds the TV at 10.213.0.2; press the install button"
    (cd "$job/work" && wine_run "$installer")
    echo "Logs: $job/work/doLog"
    exit 0
fi

drive() {
    local hold=$job/hold
    wine_run "$driver" "$(winpath "$installer")" "$(winpath "$job/work")" - -1 --await-list \
        --hold="$(winpath "$hold")" >"$job/driver.txt" 2>/dev/null &
    local pid=$!
    for _ in $(seq 1 1200); do
        grep -qE '^(box|status|error):' "$job/driver.txt" 2>/dev/null && break
        sleep 0.1
    done
    sleep 0.5
    import -window root "$job/screenshot.png" 2>/dev/null || true
    touch "$hold"
    wait "$pid" || true
}
export job root installer driver

echo "=== Installing (under Xvfb, driven through the window)"
# xvfb-run is a POSIX shell script, which drops exported functions: hand them over as text.
xvfb-run -a -s "-screen 0 1400x1000x24" bash -c "$(declare -f drive wine_run winpath); drive"

echo
echo "=== Outcome"
grep -vE '^(typed|status-seen|info|exited|install-enabled|series-after-search):' "$job/driver.txt"
for i in 1 2 3 4 5 6 7; do
    echo "--- doLog\\step$i.txt"
    cat "$job/work/doLog/step$i.txt" 2>/dev/null || echo "(missing)"
done
echo "--- applications installed on the simulated TV"
cat "$job/tv/apps.tsv" 2>/dev/null || echo "(none)"
echo
echo "Screenshot: $job/screenshot.png"
