#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, creating the prefix on first
# use. CTest uses this as the emulator for every cross-built test executable.
set -euo pipefail
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEPREFIX=${WINEPREFIX:-${QUORVEX_WINEPREFIX:-/tmp/quorvex-wine-$(id -u)}}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            wineboot -i >/dev/null 2>&1 || true
            wineserver -w || true
        fi
    ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@"
