#!/usr/bin/env bash
# The main job: builds the installer with the bench's stand-in bridge tool, starts a simulated
# TV on 127.0.0.1 (its Host PC IP set to 127.0.0.1) and opens the installer under Wine.
# With a display the user presses the button. Without one it runs under Xvfb and drives the
# window itself: types 127.0.0.1, picks the series, presses install, waits for the end, then
# prints the outcome, the seven logs and the path of a screenshot.
# The headless run happens in a network namespace of its own (tests/isolated.sh): the simulated TV,
# the bridge's server and Wine see only that namespace's loopback interface.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
export QUORVEX_WINEPREFIX=${QUORVEX_WINEPREFIX:-$root/build/wineprefix}

if [ -z "${QUORVEX_MAIN_JOB_BUILT:-}" ]; then
    scripts/setup.sh
    echo "=== Building (host tools and the Windows program)"
    cmake --preset native >/dev/null
    cmake --build --preset native --target quorvex_tvsim >/dev/null
    cmake --preset windows >/dev/null
    cmake --build --preset windows --target QuorvexInstaller quorvex_e2e_driver >/dev/null
    if [ -z "${DISPLAY:-}" ]; then
        export QUORVEX_MAIN_JOB_BUILT=1
        exec "$root/tests/isolated.sh" --wine "$0" "$@"
    fi
fi
installer=$root/build/windows/src/QuorvexInstaller.exe
driver=$root/build/windows/tests/e2e/quorvex_e2e_driver.exe

job=$root/build/main-job
rm -rf "$job"
mkdir -p "$job/work" "$job/tv"

echo "=== Starting a simulated TV on 127.0.0.1 (Tizen 5, Host PC IP 127.0.0.1)"
export QUORVEX_TVSIM=$root/build/native/tools/tvsim/quorvex_tvsim
"$root/tools/tvsim/start-tv.sh" 127.0.0.1 "$job/tv" --tizen 5.0 --host-ip 127.0.0.1 >/dev/null
cleanup() {
    "$root/tools/tvsim/stop-tv.sh" "$job/tv"
}
trap cleanup EXIT

wine_run() { "$root/tests/wine/wine-run.sh" "$@"; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }

if [ -n "${DISPLAY:-}" ]; then
    echo "=== Opening the installer: type 127.0.0.1, pick M,N,Q,R,T and press the install button"
    (cd "$job/work" && wine_run "$installer")
    echo "Logs: $job/work/doLog"
    exit 0
fi

drive() {
    local hold=$job/hold
    wine_run "$driver" "$(winpath "$installer")" "$(winpath "$job/work")" 127.0.0.1 1 \
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
grep -vE '^(typed|status-seen|info|exited|install-enabled):' "$job/driver.txt"
for i in 1 2 3 4 5 6 7; do
    echo "--- doLog\\step$i.txt"
    cat "$job/work/doLog/step$i.txt" 2>/dev/null || echo "(missing)"
done
echo "--- applications installed on the simulated TV"
cat "$job/tv/apps.tsv" 2>/dev/null || echo "(none)"
echo
echo "Screenshot: $job/screenshot.png"
