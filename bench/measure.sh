#!/usr/bin/env bash
# Measures the installer on the bench, under Wine and Xvfb:
#  1. overhead: a full installation against a fast simulated TV, against the same eleven command
#     lines run by a plain batch file (medians of RUNS runs each);
#  2. processor time the installer uses while one command runs for five seconds (a build whose
#     bridge tool takes five seconds for kill-server), read from the Wine process's /proc entry;
#  3. the installer's peak resident set over a full installation (/proc VmHWM of its Wine process,
#     which includes Wine's own libraries);
#  4. the exe's size without its payloads (the exe less the two raw-data payloads it carries).
# Usage: bench/measure.sh [RUNS]   (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=${1:-5}
out=$root/build/bench-run
win=$root/build/windows
installer=$win/src/QuorvexInstaller.exe
driver=$win/tests/e2e/quorvex_e2e_driver.exe
bridge=$win/tools/bridge/quorvex_bridge.exe
widget=$win/payloads/Quorvex.wgt
source "$root/tests/own-netns.sh"
if ! in_own_netns; then
    rm -rf "$out"
    mkdir -p "$out"
    scripts/setup.sh

    echo "Building..." >&2
    cmake --preset native >/dev/null && cmake --build --preset native --target quorvex_tvsim >/dev/null
    cmake --preset windows >/dev/null
    cmake --build --preset windows --target QuorvexInstaller quorvex_e2e_driver quorvex_bridge quorvex_sample_widget >/dev/null

    # The same installer, carrying a bridge tool whose kill-server takes five seconds.
    x86_64-w64-mingw32-g++-posix -O2 -municode -static -o "$out/slow_tool.exe" bench/slow_tool.cpp
    x86_64-w64-mingw32-g++-posix -O2 -municode -mwindows -static -o "$out/empty_window.exe" bench/empty_window.cpp
    cmake --preset windows -B "$out/slow-build" -DQUORVEX_BRIDGE_TOOL="$out/slow_tool.exe" >/dev/null
    cmake --build "$out/slow-build" -j2 --target QuorvexInstaller >/dev/null
fi

# What follows starts servers: it runs in a network namespace of its own (unshare --net).
export QUORVEX_WINEPREFIX=${QUORVEX_WINEPREFIX:-$root/build/wineprefix}
if ! in_own_netns; then
    exec "$root/tests/isolated.sh" --wine "$0" "$@"
fi
require_own_netns "bench/measure.sh"
export QUORVEX_TVSIM=$root/build/native/tools/tvsim/quorvex_tvsim
address=127.0.30.1
"$root/tools/tvsim/start-tv.sh" "$address" "$out/tv" --tizen 5.0 >/dev/null
trap '"$root/tools/tvsim/stop-tv.sh" "$out/tv"' EXIT

winpath() { printf 'Z:%s' "${1//\//\\}"; }
export -f winpath
export root out installer driver bridge widget address runs

measure() {
    set -euo pipefail
    wine_run() { "$root/tests/wine/wine-run.sh" "$@"; }
    staging=/home/owner/share/tmp/sdk_tools/tmp
    app=kR4vT7mWq2Z.Quorvex
    # The eleven command lines, as the installer issues them, in a batch file timing itself.
    {
        echo '@echo off'
        echo 'cmd.exe /c "iu.exe kill-server"'
        echo "cmd.exe /c \"iu.exe connect $address:26101 > doLog\\step1.txt 2>&1\""
        echo 'cmd.exe /c "iu.exe devices > doLog\step2.txt 2>&1"'
        echo 'cmd.exe /c "iu.exe shell 0 getappinstallpath > doLog\step3.txt 2>&1"'
        echo "cmd.exe /c \"iu.exe shell 0 vd_appuninstall $app; echo cmd_ret:\$?; > doLog\\step4.txt 2>&1\""
        echo "cmd.exe /c \"iu.exe shell 0 mkdir $staging\""
        echo "cmd.exe /c \"iu.exe push Quorvex.wgt $staging/Quorvex.wgt > doLog\\step5.txt 2>&1\""
        echo "cmd.exe /c \"iu.exe shell 0 vd_appinstall $app $staging/Quorvex.wgt; echo cmd_ret:\$?; > doLog\\step6.txt 2>&1\""
        echo "cmd.exe /c \"iu.exe shell 0 rmfile $staging/Quorvex.wgt\""
        echo 'cmd.exe /c "iu.exe shell 0 applist > doLog\step7.txt 2>&1"'
        echo 'cmd.exe /c "iu.exe kill-server"'
    } | sed 's/$/\r/' >"$out/run.bat"
    # Starting Wine's cmd itself is no part of the eleven commands: an empty batch file measures it.
    printf '@echo off\r\n' >"$out/empty.bat"
    now_ms() { echo $(($(date +%s%N) / 1000000)); }

    # wine_pid PATTERN: the Wine process whose command line starts with the program's path.
    wine_pid() { pgrep -f "^[^ ]*$1" | head -n 1; }
    ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
    wait_until() {  # wait_until COMMAND...: until it succeeds (at most 60 s)
        for _ in $(seq 1 6000); do "$@" && return 0; sleep 0.01; done
        echo "timed out waiting for: $*" >&2
        return 1
    }
    for i in $(seq 1 "$runs"); do
        rm -rf "$out/work" "$out/hold"
        mkdir -p "$out/work"
        wine_run "$driver" "$(winpath "$installer")" "$(winpath "$out/work")" "$address" 1 --timing \
            --hold="$(winpath "$out/hold")" >"$out/installer-$i.txt" 2>/dev/null &
        driver_pid=$!
        wait_until test -e "$out/work/Quorvex.wgt"
        pid=$(wine_pid 'build.windows.src.QuorvexInstaller.exe')
        wait_until test ! -e "$out/work/Quorvex.wgt"
        sleep 0.5
        awk '/^VmHWM/ {print $2}' "/proc/$pid/status" >"$out/peak-kb-$i.txt"
        touch "$out/hold"
        wait "$driver_pid"
        grep -q '^status: Процесс установки завершен' "$out/installer-$i.txt" ||
            { echo "installer run $i did not succeed" >&2; cat "$out/installer-$i.txt" >&2; exit 1; }

        rm -rf "$out/work"
        mkdir -p "$out/work/doLog"
        cp "$bridge" "$out/work/iu.exe"
        cp "$widget" "$out/work/Quorvex.wgt"
        t0=$(now_ms)
        (cd "$out/work" && wine_run cmd /c "$(winpath "$out/empty.bat")") >/dev/null 2>&1
        t1=$(now_ms)
        (cd "$out/work" && wine_run cmd /c "$(winpath "$out/run.bat")") >/dev/null 2>&1
        t2=$(now_ms)
        grep -q 'install completed' "$out/work/doLog/step6.txt" ||
            { echo "batch run $i did not install" >&2; exit 1; }
        echo $(((t2 - t1) - (t1 - t0))) >"$out/batch-ms-$i.txt"
    done

    # What Wine costs any window program.
    wine_run "$out/empty_window.exe" &
    empty_pid=$!
    sleep 2
    pid=$(wine_pid 'empty_window.exe')
    awk '/^VmHWM/ {print $2}' "/proc/$pid/status" >"$out/empty-peak-kb.txt"
    wait "$empty_pid" || true

    # One command of five seconds: the installer's processor time from the moment the widget file
    # is written (the first command starts) to the moment the slow tool marks that command's end.
    rm -rf "$out/work"
    mkdir -p "$out/work"
    wine_run "$driver" "$(winpath "$out/slow-build/src/QuorvexInstaller.exe")" "$(winpath "$out/work")" \
        "$address" 1 --timeout=60 >"$out/slow.txt" 2>/dev/null &
    driver_pid=$!
    wait_until test -e "$out/work/Quorvex.wgt"
    pid=$(wine_pid 'slow-build.src.QuorvexInstaller.exe')
    a=$(ticks "$pid")
    a_ms=$(now_ms)
    # Once the command is under way, the wait alone.
    sleep 0.5
    w=$(ticks "$pid")
    w_ms=$(now_ms)
    wait_until test -e "$out/work/first-command.done"
    b=$(ticks "$pid")
    b_ms=$(now_ms)
    hz=$(getconf CLK_TCK)
    echo "$(((b - a) * 1000 / hz)) $((b_ms - a_ms)) $(((b - w) * 1000 / hz)) $((b_ms - w_ms))" >"$out/slow-cpu.txt"
    wait "$driver_pid"
}
export -f measure
# xvfb-run is a POSIX shell script, which drops exported functions: hand over through bash -c.
xvfb-run -a -s "-screen 0 1400x1000x24" bash -c "$(declare -f measure winpath); measure"

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
installer_ms=$(cat "$out"/installer-*.txt | sed -n 's/^run-ms: //p' | median)
batch_ms=$(cat "$out"/batch-ms-*.txt | median)
peak_kb=$(cat "$out"/peak-kb-*.txt | sort -n | tail -n 1)
read -r wait_cpu wait_ms steady_cpu steady_ms <"$out/slow-cpu.txt"
empty_kb=$(cat "$out/empty-peak-kb.txt")
exe=$(stat -c %s "$installer")
payloads=$(($(stat -c %s "$bridge") + $(stat -c %s "$widget")))

echo
echo "Installer, full run (median of $runs):       $installer_ms ms"
echo "Batch file, same eleven lines (median of $runs): $batch_ms ms"
awk -v a="$installer_ms" -v b="$batch_ms" 'BEGIN { printf "Overhead:                                   %+.1f %%\n", (a - b) * 100 / b }'
echo "Processor time during a ${wait_ms} ms command:  $wait_cpu ms, of which $steady_cpu ms in its last $steady_ms ms (/proc, $((1000 / $(getconf CLK_TCK))) ms ticks)"
echo "Peak resident set (largest of $runs):           $peak_kb KB; an empty window program under Wine: $empty_kb KB; the installer's own share: $((peak_kb - empty_kb)) KB"
echo "Exe $exe bytes, payloads $payloads bytes:      $((exe - payloads)) bytes without payloads"
