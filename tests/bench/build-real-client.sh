#!/usr/bin/env bash
# Builds the real bridge tool (../shared/third_party/sdb) into OUT_DIR once: OUT_DIR/sdb and
# OUT_DIR/sdb.exe, again only when its build script changed. The host tree builds it with its
# own targets; real-client.sh calls this too, for a tree built before. Under a lock: the host
# and the Windows tests share one build.
#   build-real-client.sh SOURCE_DIR OUT_DIR      exit 77: no source there
set -uo pipefail
source=$1 out=$2
[ -x "$source/build.sh" ] || exit 77
mkdir -p "$out"
(
    flock 9
    if [ ! -x "$out/sdb" ] || [ ! -f "$out/sdb.exe" ] || [ "$source/build.sh" -nt "$out/sdb" ]; then
        "$source/build.sh" "$out" >"$out/build.log" 2>&1 || { cat "$out/build.log"; exit 1; }
    fi
) 9>"$out.lock"
