#!/usr/bin/env bash
# Stops the simulated TV that start-tv.sh started with this state folder.
#   stop-tv.sh STATE_DIR
set -uo pipefail
state=${1:?usage: stop-tv.sh STATE_DIR}
pid=$(cat "$state/tvsim.pid" 2>/dev/null) || exit 0
rm -f "$state/tvsim.pid"
# Only our simulator: the pid may have been reused since.
if ! tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q "quorvex_tvsim .*--state $state "; then
    exit 0
fi
kill -TERM "$pid" 2>/dev/null || exit 0
for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || exit 0
    # A zombie (its parent has not reaped it yet) is gone as far as we care.
    grep -q '^State:.*Z' "/proc/$pid/status" 2>/dev/null && exit 0
    sleep 0.1
done
kill -KILL "$pid" 2>/dev/null
exit 0
