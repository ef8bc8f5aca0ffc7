#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, creating the prefix on first
# use. CTest uses this as the emulator for every cross-built test executable.
set -euo pipefail
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEPREFIX=${WINEPREFIX:-${QUORVEX_WINEPREFIX:-/tmp/quorvex-wine-$(id -u)}}
source "$(dirname "$0")/ensure-prefix.sh"
ensure_prefix "$WINEPREFIX"
exec wine "$@"
