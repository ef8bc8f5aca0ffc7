# Sourced by the Wine runners: ensure_prefix DIR boots the project's Wine prefix in DIR once,
# under a lock, with the settings the tests need. Copies of it (tests/isolated.sh) inherit them.
# - No crash dialog: a program that crashes ends, with its backtrace on standard error, instead
#   of waiting for a click on a dialog nobody sees (a crashed server would keep its port open).
ensure_prefix() {
    local dir=$1
    if [ -f "$dir/system.reg" ] && grep -q '"ShowCrashDialog"=dword:00000000' "$dir/user.reg" 2>/dev/null; then
        return 0
    fi
    mkdir -p "$(dirname "$dir")"
    (
        flock 9
        if [ ! -f "$dir/system.reg" ]; then
            WINEPREFIX=$dir wineboot -i >/dev/null 2>&1 || true
        fi
        if ! grep -q '"ShowCrashDialog"=dword:00000000' "$dir/user.reg" 2>/dev/null; then
            WINEPREFIX=$dir wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog \
                /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
        fi
        WINEPREFIX=$dir wineserver -w || true
    ) 9>"$dir.lock"
}
