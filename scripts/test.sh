#!/usr/bin/env bash
# Runs every test, in three passes, each with a build tree of its own (README, "Tests", says what
# each pass runs and why; CMakePresets.json's test presets pick the tests):
#   host         build/native       the C++ tests, fuzzing, the real client, the package checks
#   sanitizers   build/native-asan  the C++ tests and the bench's scenarios under ASan/UBSan
#   Windows      build/windows      everything cross-built, under Wine and Xvfb
# A pass's tests mostly wait on timers and other processes, so they run while the next tree
# builds; the passes' tests never run side by side, so that however fast the trees build (with
# the trees in place they are built at once) the machine runs one pass's share of tests at a time.
# How many tests a pass runs at once follows the machine when the pass starts: two for each core
# that other users of the machine leave free, at least two; a test that keeps a core busy takes
# both of a core's (PROCESSORS 2 where it is registered). In the Windows pass these are the Wine
# tests' slots, and the release build, which starts no Wine, runs in one more at the lowest
# priority, on what their waits leave of the cores. QUORVEX_TEST_JOBS sets the number instead;
# QUORVEX_TEST_TIME_FACTOR stretches every test's hang-catching limit on a machine slower still
# (tests/time-limits.sh). Installs what is missing first.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh || exit 1

export QUORVEX_WINEPREFIX="$PWD/build/wineprefix"
source tests/time-limits.sh
passed=0
failed=0
status=0
started=$SECONDS

# phase_time WHAT SECONDS: a phase's time, for the summary at the end.
times=()
phase_time() {
    times+=("$(printf '%-34s %2d min %02d s' "$1" $(($2 / 60)) $(($2 % 60)))")
}

# build NAME PRESET: configure and build one tree; fails on an error.
build() {
    local name=$1 preset=$2 since=$SECONDS
    echo "=== $name: configure and build"
    if ! cmake --preset "$preset" >"build/$preset-configure.log" 2>&1; then
        cat "build/$preset-configure.log"
        echo "=== $name: configure FAILED"
        return 1
    fi
    cmake --build --preset "$preset" >"build/$preset-build.log" 2>&1
    local built=$?
    tail -n 20 "build/$preset-build.log"
    if [ "$built" -ne 0 ]; then
        echo "=== $name: build FAILED"
        return 1
    fi
    phase_time "$name: build" $((SECONDS - since))
}

# busy_elsewhere: the cores other users of the machine keep busy, from their runnable processes
# (not this run's own: its session), counted 20 times over a second.
busy_elsewhere() {
    local session total=0
    session=$(ps -o sid= -p $$)
    for _ in $(seq 20); do
        total=$((total + $(ps -e -o stat=,sid= | awk -v own="$session" '$1 ~ /^R/ && $2 != own' | wc -l)))
        sleep 0.05
    done
    echo $(((total + 10) / 20))
}

# test_slots: how many tests a pass starts at once (see the head of this file).
test_slots() {
    if [ -n "${QUORVEX_TEST_JOBS:-}" ]; then
        echo "$QUORVEX_TEST_JOBS"
        return
    fi
    local cores busy free
    cores=$(nproc)
    busy=$(busy_elsewhere)
    free=$((cores - busy))
    [ "$free" -ge 1 ] || free=1
    echo $((2 * free))
}

# run_tests PRESET [wrapper...]: once the pass before has ended, ctest into build/PRESET-test.log,
# its time into PRESET-test.time (report shows both once it ended, so that a build running
# meanwhile keeps its output apart). A test without a limit of its own gets the fallback's.
previous_tests=
run_tests() {
    local preset=$1 slots since
    shift
    if [ -n "$previous_tests" ]; then
        while [ ! -e "build/$previous_tests-test.time" ]; do sleep 1; done
    fi
    since=$SECONDS
    slots=$(test_slots)
    local jobs=$slots beside=() shown="$slots at once"
    if [ "$preset" = windows ]; then
        # The Wine tests share the slots, and the release build runs beside them in one more
        # (cmake/TestLimits.cmake, quorvex_beside_wine).
        printf '{"version": {"major": 1, "minor": 0}, "local": [{"wine": [{"id": "0", "slots": %d}]}]}\n' \
            "$slots" >build/windows-resources.json
        jobs=$((slots + 1))
        beside=(--resource-spec-file "$PWD/build/windows-resources.json")
        shown="$slots at once under Wine, one more beside them"
    fi
    echo "=== $preset: tests started, $shown, load $(cut -d' ' -f1-3 /proc/loadavg) (build/$preset-test.log)"
    "$@" ctest --preset "$preset" -j"$jobs" "${beside[@]}" --timeout "$(limit 300)" \
        >"build/$preset-test.log" 2>&1
    echo $((SECONDS - since)) >"build/$preset-test.time"
}

# figures PRESET: what the pass's tests printed and no test checks, from CTest's log of every
# test's output: how many inputs each fuzz run tried, the times the scenarios' drivers measured.
figures() {
    awk '/^[0-9]+\/[0-9]+ Test: / {test = $3} /^(figure|Done [0-9]+ runs)/ {print "    " test ": " $0}' \
        "build/$1/Testing/Temporary/LastTest.log" 2>/dev/null
}

# report NAME PRESET: shows a finished test run, the figures its tests printed, and adds its counts.
report() {
    local name=$1 preset=$2 log="build/$2-test.log"
    echo "=== $name: test"
    cat "$log"
    figures "$preset"
    phase_time "$name: tests" "$(cat "build/$preset-test.time" 2>/dev/null || echo 0)"
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
rm -f build/*-test.log build/*-test.time
# Each pass's tests start once its tree is built and run while the next tree builds.
ran=()
trap 'kill $(jobs -p) 2>/dev/null; exit 130' INT TERM
if build "host" native; then
    run_tests native &
    previous_tests=native
    ran+=("host:native:$!")
else
    status=1
fi
if build "host, sanitizers" native-asan; then
    run_tests native-asan &
    previous_tests=native-asan
    ran+=("host, sanitizers:native-asan:$!")
else
    status=1
fi
# The booted Wine prefix the Windows tests copy, made meanwhile (in a namespace of its own).
tests/isolated.sh --wine true >build/wineprefix-boot.log 2>&1 &
prefix_boot=$!
build "Windows" windows
windows_built=$?
wait "$prefix_boot" || cat build/wineprefix-boot.log
if [ "$windows_built" -eq 0 ]; then
    # The Windows tests use the host tree's simulated TV; the real client, which the host tests
    # also build, is built once, under a lock, by whichever gets there first.
    run_tests windows xvfb-run -a -s "-screen 0 1400x1000x24"
    ran+=("Windows under Wine:windows:")
else
    status=1
fi
for entry in "${ran[@]}"; do
    IFS=: read -r name preset pid <<<"$entry"
    [ -z "$pid" ] || wait "$pid"
    report "$name" "$preset"
done

echo
printf '%s\n' "${times[@]}"
took=$((SECONDS - started))
printf '%-34s %2d min %02d s\n' "all of it" $((took / 60)) $((took % 60))
echo "$passed passed, $failed failed"
exit $status
