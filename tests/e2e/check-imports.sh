#!/usr/bin/env bash
# The installer imports only DLLs Windows always takes from its own directory (KnownDLLs), and
# COMCTL32, which the manifest binds to the system's side-by-side copy. Any other system DLL
# must be loaded at run time from the system directory.
#   check-imports.sh OBJDUMP EXE
set -euo pipefail
allowed="ADVAPI32.dll COMCTL32.dll GDI32.dll KERNEL32.dll msvcrt.dll ole32.dll OLEAUT32.dll
SHELL32.dll SHLWAPI.dll USER32.dll WS2_32.dll"
imports=$("$1" -p "$2" | sed -n 's/^\s*DLL Name: //p')
[ -n "$imports" ] || { echo "FAIL: no imports read from $2"; exit 1; }
status=0
for dll in $imports; do
    if grep -qiwF -- "$dll" <<<"$allowed"; then
        echo "ok: $dll"
    else
        echo "FAIL: $dll is imported statically and is not a KnownDLL"
        status=1
    fi
done
exit $status
