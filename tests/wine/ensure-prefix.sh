# Sourced by the Wine runners: ensure_prefix DIR boots the project's Wine prefix in DIR once,
# under a lock, with the settings the tests need. Copies of it (tests/isolated.sh) inherit them.
# - No crash dialog: a program that crashes ends, with its backtrace on standard error, instead
#   of waiting for a click on a dialog nobody sees (a crashed server would keep its port open).
# - Windows not managed: the test display has no window manager, and Wine waits two seconds for
#   one to confirm each top-level window it hides (every dialog and box that closes); unmanaged,
#   Wine draws the frames itself, as Windows does, and hides a window at once. Their buttons'
#   glyphs come from Marlett, which Debian's Wine does not put in the prefix by itself.
marlett=drive_c/windows/Fonts/marlett.ttf
prefix_ready() {
    [ -f "$1/system.reg" ] && grep -q '"ShowCrashDialog"=dword:00000000' "$1/user.reg" 2>/dev/null &&
        grep -q '"Managed"="N"' "$1/user.reg" 2>/dev/null && [ -f "$1/$marlett" ]
}

ensure_prefix() {
    local dir=$1
    if prefix_ready "$dir"; then
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
        if ! grep -q '"Managed"="N"' "$dir/user.reg" 2>/dev/null; then
            WINEPREFIX=$dir wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed \
                /t REG_SZ /d N /f >/dev/null 2>&1 || true
        fi
        WINEPREFIX=$dir wineserver -w || true
        [ -f "$dir/$marlett" ] || cp /usr/share/wine/fonts/marlett.ttf "$dir/$marlett" || true
    ) 9>"$dir.lock"
}
