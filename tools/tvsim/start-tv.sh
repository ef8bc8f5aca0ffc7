#!/usr/bin/env bash
# Starts one simulated TV in the background and prints its pid once it listens.
#   start-tv.sh ADDRESS STATE_DIR [quorvex_tvsim options...]
#   e.g. start-tv.sh 127.0.0.2 /tmp/tv1 --year 2016 --model-name UE40KU6000
# ADDRESS is a loopback address (127.0.0.0/8; any address inside a test's own network namespace);
# the TV answers on ADDRESS:26101 (when its developer mode is on) and ADDRESS:8001.
# Its log is STATE_DIR/tvsim.log, its pid also in STATE_DIR/tvsim.pid. Stop it with
#   stop-tv.sh STATE_DIR
# The simulator is taken from $QUORVEX_TVSIM, else from the native build (build/native).
set -euo pipefail
if [ $# -lt 2 ]; then
    sed -n '2,10p' "$0" >&2
    exit 2
fi
address=$1
state=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
tvsim=${QUORVEX_TVSIM:-$here/../../build/native/tools/tvsim/quorvex_tvsim}
if [ ! -x "$tvsim" ]; then
    echo "start-tv.sh: no simulator at $tvsim (build the native preset, or set QUORVEX_TVSIM)" >&2
    exit 1
fi
mkdir -p "$state"
ready="$state/tvsim.ready"
rm -f "$ready" "$state/tvsim.pid"
# Nothing of ours stays open in it: the caller's $(...) returns at once.
"$tvsim" --address "$address" --state "$state" --ready-file "$ready" "$@" \
    </dev/null >"$state/tvsim.log" 2>&1 &
pid=$!
# It listens within a second; the limit only catches one that never does (a sanitizer build on a
# loaded machine starts slowly).
for _ in $(seq 1 600); do
    if [ -s "$ready" ]; then
        echo "$pid" >"$state/tvsim.pid"
        echo "$pid"
        exit 0
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
        break
    fi
    sleep 0.1
done
echo "start-tv.sh: the simulated TV on $address did not start:" >&2
cat "$state/tvsim.log" >&2
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
exit 1
