#!/usr/bin/env bash
# One end-to-end scenario: the real installer under Wine, driven through its window by
# quorvex_e2e_driver, installing with the stand-in bridge tool onto a simulated TV that listens
# on a loopback address of its own.
#   scenario.sh NAME INSTALLER DRIVER BRIDGE NATIVE_BUILD_DIR WORK_DIR
# Exit 0 passed, 1 failed, 77 skipped (no simulated TV built).
set -uo pipefail
name=$1
installer=$2
driver=$3
bridge=$4
native=$5
dir=$6
root=$(cd "$(dirname "$0")/../.." && pwd)

export QUORVEX_TVSIM=$native/tools/tvsim/quorvex_tvsim
if [ ! -x "$QUORVEX_TVSIM" ]; then
    echo "SKIP: no simulated TV at $QUORVEX_TVSIM (build the native preset first)"
    exit 77
fi

# Each scenario runs in a network namespace of its own (tests/isolated.sh), so the bridge server's
# fixed port is its alone; it still gets a TV address of its own, which its logs name.
scenarios=(success_jk success_tizen5 wrong_series unreachable foreign_host_pc certificate_refused
    dropped_push tool_in_use log_dir_is_file second_press_and_language close_during_run
    stale_files_replaced bad_address second_start locked_install_log ctrl_v_paste planted_iphlpapi
    tool_held_open)
index=0
for i in "${!scenarios[@]}"; do [ "${scenarios[$i]}" = "$name" ] && index=$((i + 1)); done
[ "$index" -gt 0 ] || { echo "unknown scenario $name"; exit 1; }
address=127.0.10.$index
export QUORVEX_BRIDGE_SERVER_IDLE_EXIT=90  # a server a failed scenario left behind goes away

rm -rf "$dir"
mkdir -p "$dir/work" "$dir/tv"
work=$dir/work
out=$dir/driver.txt
failures=0

winpath() { printf 'Z:%s' "${1//\//\\}"; }
wine_run() { "$root/tests/wine/wine-run.sh" "$@"; }

cleanup() {
    "$root/tools/tvsim/stop-tv.sh" "$dir/tv" >/dev/null 2>&1
    # A bridge server still running from the work folder (the run was cut short on purpose).
    if [ -f "$dir/bridge.exe" ]; then
        (cd "$work" && timeout 30 "$root/tests/wine/wine-run.sh" "$dir/bridge.exe" kill-server) >/dev/null 2>&1
    fi
}
trap cleanup EXIT

start_tv() { "$root/tools/tvsim/start-tv.sh" "$address" "$dir/tv" "$@" >/dev/null || { echo "TV did not start"; exit 1; }; }

# drive ADDRESS SERIES [driver options]: runs the installer to the end; output in $out.
drive() {
    local tv_address=$1 series=$2
    shift 2
    timeout 200 "$root/tests/wine/wine-run.sh" "$driver" "$(winpath "$installer")" "$(winpath "$work")" \
        "$tv_address" "$series" "$@" >"$out" 2>"$dir/driver.err"
    echo "--- driver ($?)"
    cat "$out"
}

check() {  # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
    else
        echo "FAILED: $what"
        failures=$((failures + 1))
    fi
}
has() { grep -qxF -- "$1" "$out"; }                  # a whole line of the driver's output
value() { sed -n "s/^$1: //p" "$out" | tail -n 1; }  # the value the driver gave for a key
has_part() { grep -qF -- "$1" "$out"; }              # part of a line
log_has() { grep -qF -- "$2" "$work/doLog/$1" 2>/dev/null; }
absent() { [ ! -e "$work/$1" ]; }
absent_file() { [ ! -e "$1" ]; }
tv_has_app() { grep -qF "R4vT7mWq2Z.Quorvex" "$dir/tv/apps.tsv" 2>/dev/null; }
# The bridge's server is gone when nothing listens on its port in this test's own namespace.
server_port=${QUORVEX_BRIDGE_SERVER_PORT:-26099}
server_running() { ss -ltnH "sport = :$server_port" | grep -q .; }
server_gone() { ! server_running; }
only_dolog_left() { [ "$(ls -A "$work")" = "doLog" ]; }
at_most() { local v; v=$(value "$1"); [[ "$v" =~ ^[0-9]+$ ]] && [ "$v" -le "$2" ]; }

ru_done='status: Процесс установки завершен. Проверьте наличие виджета в SmartHub Вашего ТВ.'
en_done='status: Installation process is complete. Check presence of widget in SmartHub of Your TV.'
ru_failed='При установке виджета произошли ошибки. Установка не выполнена.'
ru_log_missing='Журнал doLog\step6.txt не удалось записать: возможно, он открыт в другой программе или защищён от записи. Закройте его и повторите установку.'
ru_tool_held='Не удаётся записать файл "iu.exe": он занят другой программой. Закройте другие копии установщика и программы для работы с телевизором или перезагрузите компьютер, затем попробуйте снова.'
ru_prompt='Введите IP вашего ТВ, Выберите его серию, Нажмите "Установить виджет"'
en_installing='Widget installation in progress'

expect_success() {
    check "completion text" has "$ru_done"
    check "bar at 100" has "progress: 100"
    check "no message box" bash -c "! grep -q '^box:' '$out'"
    check "widget installed on the TV" tv_has_app
    check "install log reports completion" log_has step6.txt "install completed"
    check "application list names the widget" log_has step7.txt "R4vT7mWq2Z.Quorvex"
    check "payloads removed" absent iu.exe
    check "widget file removed" absent Quorvex.wgt
    check "the folder holds doLog alone" only_dolog_left
    check "no bridge server left running" server_gone
    check "button enabled again" has "install-enabled: yes"
}

expect_failure() {  # expect_failure REASON LOG
    check "failure text in the status" has "status: $ru_failed"
    check "bar at 100" has "progress: 100"
    check "box gives the reason" has_part "$1"
    check "box names the log" has_part "($2)"
    check "payloads removed" absent Quorvex.wgt
    check "button enabled again" has "install-enabled: yes"
}

case $name in
success_jk)
    start_tv --tizen 2.4
    drive "$address" 0
    expect_success
    check "pushed to the J/K staging directory" log_has step5.txt "1 file(s) pushed"
    ;;
success_tizen5)
    start_tv --tizen 5.0
    drive "$address" 1
    expect_success
    ;;
wrong_series)
    start_tv --tizen 5.0
    drive "$address" 0
    expect_failure "error: failed to close '/opt/usr/apps/tmp/Quorvex.wgt': Permission denied" 'doLog\step5.txt'
    check "nothing installed" bash -c "! grep -qF R4vT7mWq2Z.Quorvex '$dir/tv/apps.tsv' 2>/dev/null"
    ;;
unreachable)
    # Nothing listens on 127.0.0.9.
    drive 127.0.0.9 0
    expect_failure "error: failed to connect to remote target '127.0.0.9'" 'doLog\step1.txt'
    for i in 1 2 3 4 5 6 7; do check "log $i written" test -f "$work/doLog/step$i.txt"; done
    ;;
foreign_host_pc)
    start_tv --tizen 5.0 --host-ip 127.0.0.99
    drive "$address" 1
    expect_failure "failed to connect" 'doLog\step1.txt'
    ;;
certificate_refused)
    start_tv --tizen 5.0 --demand-certificate
    drive "$address" 1
    expect_failure "install failed[118, -12]" 'doLog\step6.txt'
    check "the TV printed cmd_ret:0 all the same" log_has step6.txt "cmd_ret:0"
    ;;
dropped_push)
    start_tv --tizen 5.0 --drop-after 4000
    drive "$address" 1
    check "no hang: the run ended" has "progress: 100"
    check "failure text in the status" has "status: $ru_failed"
    check "nothing installed" bash -c "! grep -qF R4vT7mWq2Z.Quorvex '$dir/tv/apps.tsv' 2>/dev/null"
    ;;
tool_in_use)
    start_tv --tizen 5.0
    # A bridge server started from iu.exe in the work folder keeps that file in use.
    cp "$bridge" "$dir/bridge.exe"
    cp "$dir/bridge.exe" "$work/iu.exe"
    (cd "$work" && timeout 60 "$root/tests/wine/wine-run.sh" iu.exe devices >/dev/null 2>&1)
    check "the old server runs" server_running
    # That iu.exe's own kill-server stops it; the installation then goes ahead.
    drive "$address" 1
    expect_success
    ;;
tool_held_open)
    # Held by a program that is no bridge server: nothing frees it, and the user is told why.
    echo "someone else's file" >"$work/iu.exe"
    drive "$address" 1 --hold-open=iu.exe
    check "the box names iu.exe and says another program holds it" has_part "box: $ru_tool_held"
    check "status unchanged" has "status: $ru_prompt"
    check "bar unchanged" has "progress: 0"
    check "no command of the run started" bash -c "! ls '$work/doLog/'step*.txt >/dev/null 2>&1"
    check "the held file is untouched" grep -qx "someone else's file" "$work/iu.exe"
    check "no widget file left" absent Quorvex.wgt
    check "button enabled again" has "install-enabled: yes"
    ;;
log_dir_is_file)
    start_tv --tizen 5.0
    echo "not a directory" >"$work/doLog"
    drive "$address" 1
    # The interpreter cannot open any log, so the logged commands cannot run: no success claimed.
    check "failure text in the status" has "status: $ru_failed"
    check "bar at 100" has "progress: 100"
    check "file left alone" grep -qx "not a directory" "$work/doLog"
    ;;
second_press_and_language)
    start_tv --tizen 5.0 --slow 150
    drive "$address" 1 --during=second-press,english
    check "install button disabled during the run" has "install-enabled-during-run: no"
    check "address box disabled during the run" has "edit-enabled-during-run: no"
    check "series disabled during the run" has "series-enabled-during-run: no"
    check "in-progress text in English after the switch" has "status-after-switch: $en_installing"
    check "prompt never shown during the run" bash -c "! grep -qF 'status-seen: Enter the IP' '$out'"
    check "completion text in English" has "$en_done"
    check "one installation only" test "$(grep -c '^shell: vd_appinstall' "$dir/tv/commands.log")" -eq 1
    check "one connection only" test "$(grep -c '^connection:' "$dir/tv/commands.log")" -eq 1
    check "widget installed on the TV" tv_has_app
    ;;
close_during_run)
    # Closed while the TV uninstalls (the bridge's server runs by then), then started again.
    start_tv --tizen 5.0 --slow 400
    cp "$bridge" "$dir/bridge.exe"
    drive "$address" 1 --during=close --act-at=27
    check "program ended after the window closed" has "exited-after-close: yes"
    check "and within 25 s" at_most exit-after-close-ms 25000
    check "the running uninstall was let finish" log_has step4.txt "cmd_ret:"
    check "no later command started (nothing pushed)" absent doLog/step5.txt
    check "no later command started (no application list)" absent doLog/step7.txt
    check "the TV saw no push" bash -c "! grep -q '^push:' '$dir/tv/commands.log'"
    check "the tool was removed" absent iu.exe
    check "the widget file was removed" absent Quorvex.wgt
    check "no bridge server left running" server_gone
    cp "$out" "$dir/driver-first.txt"
    drive "$address" 1
    expect_success
    ;;
second_start)
    start_tv --tizen 5.0 --slow 100
    mkdir -p "$dir/elsewhere"
    drive "$address" 1 --during=second-start --second-dir="$(winpath "$dir/elsewhere")"
    expect_success
    check "the second copy ended within 5 s" at_most second-exit-ms 5000
    check "the second copy showed no window" has "second-window: no"
    check "the second copy wrote nothing" test -z "$(ls -A "$dir/elsewhere")"
    check "one installation only" test "$(grep -c '^shell: vd_appinstall' "$dir/tv/commands.log")" -eq 1
    ;;
locked_install_log)
    # An earlier run's success, held open by an editor, and no TV at the address.
    mkdir -p "$work/doLog"
    printf 'app_id[R4vT7mWq2Z.Quorvex] install completed\r\ncmd_ret:0\r\n' >"$work/doLog/step6.txt"
    cp "$work/doLog/step6.txt" "$dir/old-step6.txt"
    drive 127.0.0.9 0 --hold-open='doLog\step6.txt'
    expect_failure "127.0.0.9" 'doLog\step1.txt'
    check "the box says the install log could not be written" has_part "$ru_log_missing"
    check "the old log is untouched" cmp -s "$work/doLog/step6.txt" "$dir/old-step6.txt"
    ;;
ctrl_v_paste)
    # Copied from a chat: blanks around it. Ctrl+A, Ctrl+V over a typed placeholder.
    drive "  192.168.1.5	" 0 --clipboard
    check "pasted over the placeholder" bash -c "grep '^typed: ' '$out' | grep -F 192.168.1.5 | grep -vqF 9.9.9.9"
    check "the connect named the trimmed address" log_has step1.txt "192.168.1.5"
    check "and not the placeholder" bash -c "! grep -qF 9.9.9.9 '$work/doLog/step1.txt'"
    check "a failure, not the bad-address box" has "status: $ru_failed"
    ;;
planted_iphlpapi)
    app=$dir/app
    mkdir -p "$app"
    cp "$installer" "$app/QuorvexInstaller.exe"
    cp "$(dirname "$driver")/planted/iphlpapi.dll" "$(dirname "$driver")/quorvex_iphlpapi_probe.exe" "$app/"
    # As Windows searches: the exe's folder before the system directory.
    export WINEDLLOVERRIDES="iphlpapi=n,b;mscoree,mshtml="
    (cd "$work" && timeout 60 "$root/tests/wine/wine-run.sh" "$app/quorvex_iphlpapi_probe.exe") >/dev/null 2>&1
    check "control: a static import loads the plant" test -f "$app/planted-iphlpapi-ran.txt"
    rm -f "$app/planted-iphlpapi-ran.txt"
    installer=$app/QuorvexInstaller.exe
    drive 1.2 0
    check "the window came up and listed the addresses" has "box: IP Адрес ТВ не задан или имеет не верный формат."
    check "the planted DLL never ran" absent_file "$app/planted-iphlpapi-ran.txt"
    ;;
stale_files_replaced)
    start_tv --tizen 2.4
    mkdir -p "$work/doLog"
    for i in 1 2 3 4 5 6 7; do echo "stale log of an earlier run" >"$work/doLog/step$i.txt"; done
    echo "someone else's notes" >"$work/doLog/other.txt"
    head -c 9000000 /dev/zero >"$work/iu.exe"
    echo "leftover" >"$work/Quorvex.wgt"
    drive "$address" 0
    expect_success
    check "no stale log left" bash -c "! grep -lF 'stale log' '$work'/doLog/step*.txt"
    check "other files in doLog kept" grep -qx "someone else's notes" "$work/doLog/other.txt"
    ;;
bad_address)
    drive "1.2.3.4 & echo pwned > pwned.txt" 0 --paste
    check "bad address box" has "box: IP Адрес ТВ не задан или имеет не верный формат."
    check "nothing written" bash -c "[ -z \"\$(ls -A '$work')\" ]"
    check "status unchanged" has "status: $ru_prompt"
    check "bar unchanged" has "progress: 0"
    ;;
*)
    echo "unknown scenario $name"
    exit 1
    ;;
esac

echo "=== $name: $failures check(s) failed"
[ "$failures" -eq 0 ]
