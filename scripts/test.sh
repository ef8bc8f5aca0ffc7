#!/usr/bin/env bash
# Runs every test: the host build (plain and under ASan/UBSan), then the Windows build under Wine
# (unit tests, GUI tests, bench and end-to-end scenarios). Installs what is missing first.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh || exit 1

export QUORVEX_WINEPREFIX="$PWD/build/wineprefix"
passed=0
failed=0
status=0

# run_suite NAME PRESET [wrapper...]: configure, build and test one preset, tallying ctest's counts.
run_suite() {
    local name=$1 preset=$2
    shift 2
    echo "=== $name: configure and build"
    if ! cmake --preset "$preset" >"build/$preset-configure.log" 2>&1; then
        cat "build/$preset-configure.log"
        echo "=== $name: configure FAILED"
        status=1
        return
    fi
    if ! cmake --build --preset "$preset" 2>&1 | tail -n 40; then
        echo "=== $name: build FAILED"
        status=1
        return
    fi
    if [ "${PIPESTATUS[0]}" -ne 0 ]; then
        echo "=== $name: build FAILED"
        status=1
        return
    fi
    echo "=== $name: test"
    local log="build/$preset-test.log"
    "$@" ctest --preset "$preset" -j2 --timeout 300 2>&1 | tee "$log"
    local line total fails
    line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
    if [ -z "$line" ]; then
        echo "=== $name: no test result"
        status=1
        return
    fi
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    fails=$(sed -E 's/.*tests passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
    passed=$((passed + total - fails))
    failed=$((failed + fails))
    [ "$fails" -eq 0 ] || status=1
}

mkdir -p build
run_suite "host" native
run_suite "host, sanitizers" native-asan
run_suite "Windows under Wine" windows xvfb-run -a -s "-screen 0 1400x1000x24"

echo
echo "$passed passed, $failed failed"
exit $status
