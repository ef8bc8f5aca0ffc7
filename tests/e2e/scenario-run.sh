#!/usr/bin/env bash
# One scenario in a network namespace and Wine prefix of its own (tests/isolated.sh), and once more,
# in fresh ones, only when Wine could not start the bridge tool at all: under load its process
# creation fails now and then, and its cmd then writes "Can't recognize 'iu.exe …'" into the
# step's log. The second run repeats every check, so a fault that is the
# installer's (a tool never written, say) fails it the same way.
#   scenario-run.sh NAME INSTALLER DRIVER TOOL NATIVE_TREE DIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=$6
"$here/../isolated.sh" --wine "$here/scenario.sh" "$@"
status=$?
if [ "$status" -ne 0 ] && [ "$status" -ne 77 ] &&
    grep -qsF "Can't recognize 'iu.exe " "$dir"/work/doLog/*.txt; then
    echo "=== Wine could not start the tool (the log above): the scenario once more"
    "$here/../isolated.sh" --wine "$here/scenario.sh" "$@"
    status=$?
fi
exit "$status"
