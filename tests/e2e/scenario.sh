#!/usr/bin/env bash
# One end-to-end scenario: the real installer under Wine, driven through its window by
# quorvex_e2e_driver, installing with the stand-in bridge tool onto simulated TVs on a test LAN
# (tests/lan/lan.sh): this namespace is the PC at 10.213.0.1, each TV a namespace of its own.
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
source "$root/tests/own-netns.sh"
require_own_netns "scenario $name"
# No check here times the program: the figures the driver reports (how soon the check, the
# search, an exit came) are printed as "figure: ..." lines; the limits only catch a hang.
source "$root/tests/time-limits.sh"
# One run of the installer, from its start to its window's close: 10-30 s, several times that
# under load; the driver's own limit is 240 s (stretched too).
drive_limit=$(limit 300)

export QUORVEX_TVSIM=$native/tools/tvsim/quorvex_tvsim
if [ ! -x "$QUORVEX_TVSIM" ]; then
    echo "SKIP: no simulated TV at $QUORVEX_TVSIM (build the native preset first)"
    exit 77
fi

# Each scenario runs in a network namespace of its own (tests/isolated.sh), so the bridge server's
# fixed port and the LAN's addresses are its alone.
source "$root/tests/lan/lan.sh"
lan_up || { echo "the test LAN could not be made"; exit 1; }
address=$lan_subnet.2   # the TV
nobody=$lan_subnet.9    # an address where nothing answers
export QUORVEX_BRIDGE_SERVER_IDLE_EXIT=90  # a server a failed scenario left behind goes away

rm -rf "$dir"
mkdir -p "$dir/work" "$dir/tv"
screens=$(dirname "$dir")/screens
mkdir -p "$screens"
work=$dir/work
out=$dir/driver.txt
failures=0

winpath() { printf 'Z:%s' "${1//\//\\}"; }
# The bridge server's log goes beside the driver's output, for a failure's diagnosis.
QUORVEX_BRIDGE_LOG_DIR=$(winpath "$dir")
export QUORVEX_BRIDGE_LOG_DIR
wine_run() { "$root/tests/wine/wine-run.sh" "$@"; }

xvfb_pid=
cleanup() {
    for tv in "$dir"/tv*; do "$root/tools/tvsim/stop-tv.sh" "$tv" >/dev/null 2>&1; done
    # A bridge server still running from the work folder (the run was cut short on purpose).
    if [ -f "$dir/bridge.exe" ]; then
        (cd "$work" && timeout "$(limit 60)" "$root/tests/wine/wine-run.sh" "$dir/bridge.exe" kill-server) >/dev/null 2>&1
    fi
    lan_down
    if [ -n "$xvfb_pid" ]; then
        timeout 20 wineserver -k >/dev/null 2>&1
        kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    fi
}
trap cleanup EXIT

# own_display: an Xvfb display of this scenario's own, set before its first Windows program runs.
# For real mouse and keyboard input: on the display the scenarios share, another one's window can
# take the focus, and the pointer, in the middle of a click.
own_display() {
    Xvfb -displayfd 3 -screen 0 1400x1000x24 -nolisten tcp 3>"$dir/display" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$dir/display" ] && break
        sleep 0.1
    done
    [ -s "$dir/display" ] || { echo "Xvfb did not start"; exit 1; }
    DISPLAY=:$(head -n 1 "$dir/display")
    export DISPLAY
}

# start_tv [tvsim options]: the TV at $address, its Host PC IP this PC's unless told otherwise.
start_tv() { start_tv_at 2 "$dir/tv" "$@"; }
# start_tv_at N STATE [tvsim options]: a TV at 10.213.0.N on a LAN host of its own.
start_tv_at() {
    local n=$1 state=$2
    shift 2
    lan_host "tv$n" "$n" || { echo "LAN host $n could not be made"; exit 1; }
    lan_exec "tv$n" "$root/tools/tvsim/start-tv.sh" "$lan_subnet.$n" "$state" --host-ip "$lan_pc" "$@" \
        >/dev/null || { echo "TV $n did not start"; exit 1; }
}

# drive ADDRESS SERIES [driver options]: runs the installer to the end; output in $out.
drive() {
    local tv_address=$1 series=$2
    shift 2
    timeout "$drive_limit" "$root/tests/wine/wine-run.sh" "$driver" "$(winpath "$installer")" "$(winpath "$work")" \
        "$tv_address" "$series" "$@" >"$out" 2>"$dir/driver.err"
    echo "--- driver ($?)"
    cat "$out"
}

# drive_with_shot SHOT ADDRESS SERIES [driver options]: as drive, and once the driver shows a
# question or a box, a screenshot of the display goes to $screens/SHOT.png.
drive_with_shot() {
    local shot=$1 tv_address=$2 series=$3 hold=$dir/hold
    shift 3
    rm -f "$hold"
    timeout "$drive_limit" "$root/tests/wine/wine-run.sh" "$driver" "$(winpath "$installer")" "$(winpath "$work")" \
        "$tv_address" "$series" --hold="$(winpath "$hold")" "$@" >"$out" 2>"$dir/driver.err" &
    local pid=$!
    for _ in $(seq 1 $((drive_limit * 10))); do
        grep -qE "${shot_pattern:-^(question|box|list-shown):}" "$out" 2>/dev/null && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    sleep 0.5
    # A shot taken while Wine redraws the display comes out empty (a few hundred bytes): again.
    for _ in 1 2 3 4 5; do
        import -window root "$screens/$shot.png" 2>/dev/null || echo "no screenshot $shot"
        [ "$(stat -c %s "$screens/$shot.png" 2>/dev/null || echo 0)" -gt 2000 ] && break
        echo "empty screenshot $shot, again"
        sleep 1
    done
    touch "$hold"
    wait "$pid"
    echo "--- driver ($?)"
    cat "$out"
}

# drive_shot_at KIND SHOT ADDRESS SERIES [driver options]: as drive_with_shot, the screenshot
# taken at the first window of that kind (question, question2 for the second, password-dialog
# or box).
drive_shot_at() {
    local kind=$1
    shift
    shot_pattern="^holding: $kind\$" drive_with_shot "$@" --hold-at="$kind"
}

# The owner's certificate profiles, made at test time from throwaway CAs in $dir/ca.
make_profile() {
    bash "$root/tests/signing/make-profile.sh" "$@" --ca "$dir/ca" || { echo "profile $1 not made"; exit 1; }
}
# The folder the installer offers first, set in advance as the README says.
remember_profile() {
    wine_run reg add 'HKCU\Software\Quorvex\Tizen Installer' /v CertificateProfile /t REG_SZ \
        /d "$(winpath "$1")" /f >/dev/null 2>&1 || { echo "the registry value was not set"; exit 1; }
}
# The installer's settings key as reg exports it (UTF-16), in UTF-8.
remembered_profile() {
    wine_run reg export 'HKCU\Software\Quorvex\Tizen Installer' "$(winpath "$dir/settings.reg")" /y >/dev/null 2>&1
    iconv -f UTF-16 -t UTF-8 "$dir/settings.reg" 2>/dev/null | tr -d '\r'
}
# A 2023 set that trusts the test roots and has this DUID.
signed_tv() {
    local duid=$1
    shift
    start_tv --year 2023 --duid "$duid" --trusted-root "$dir/ca/author-root.pem" \
        --trusted-root "$dir/ca/distributor-root.pem" "$@"
}
tv_saw_no_push() { ! grep -q '^push:' "$dir/tv/commands.log"; }
signed_leftovers_gone() { absent iu.exe && absent Quorvex.wgt && absent device-profile.xml; }

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
given() { [[ "$(value "$1")" =~ ^[0-9]+$ ]]; }  # the driver saw it happen (a time, not "none")
# figure KEY...: what the driver measured, for the reader; nothing is checked against it.
figure() { local key; for key in "$@"; do echo "figure: $key $(value "$key")"; done; }

# The hosts of the test LAN this PC has knocked at (a SYN to any port), counted from here on.
count_knocks() {
    nft -f - <<'NFT'
table inet knocks {
    set hosts { type ipv4_addr; size 1024; }
    chain output {
        type filter hook output priority 0;
        ip daddr 10.213.0.0/24 tcp flags & (syn | ack) == syn add @hosts { ip daddr }
    }
}
NFT
}
knocked_hosts() { nft list set inet knocks hosts | grep -oE '10\.213\.0\.[0-9]+' | sort -u | wc -l; }

# The installer's own folder for the bridge tool, C:\ProgramData\Quorvex\<SID>, in this prefix.
own_folders=$WINEPREFIX/drive_c/ProgramData/Quorvex
# on_written ACTION: once the installer has written its payloads (the widget file comes right
# after iu.exe), ACTION runs once on the iu.exe it wrote, wherever that is, in the background: what
# an antivirus does to a new exe, or a swap for another tool.
on_written() {
    local action=$1
    (
        for _ in $(seq 1 $(($(limit 120) * 100))); do
            if [ -e "$work/Quorvex.wgt" ]; then
                for written in "$work/iu.exe" "$own_folders"/*/iu.exe; do
                    [ -e "$written" ] && { "$action" "$written"; exit 0; }
                done
            fi
            sleep 0.01
        done
    ) &
}
# The public source of an old real tool, built once per native build tree (as the bench does).
real_tool() {
    local source=$root/../shared/third_party/sdb out=$native/real-sdb
    [ -x "$source/build.sh" ] || return 1
    mkdir -p "$out"
    (
        flock 9
        [ -f "$out/sdb.exe" ] || "$source/build.sh" "$out" >"$out/build.log" 2>&1
    ) 9>"$out.lock" && [ -f "$out/sdb.exe" ] && echo "$out/sdb.exe"
}
# Runs a copy of TOOL as iu.exe from the folder $work with ARGS, as a user in a console would.
run_tool_here() {
    local tool=$1
    shift
    cp "$tool" "$work/iu.exe"
    (cd "$work" && timeout "$(limit 120)" "$root/tests/wine/wine-run.sh" cmd.exe /c iu.exe "$@" 2>&1)
    rm -f "$work/iu.exe"
}

ru_done='status: Процесс установки завершен. Проверьте наличие виджета в SmartHub Вашего ТВ.'
en_done='status: Installation process is complete. Check presence of widget in SmartHub of Your TV.'
ru_failed='При установке виджета произошли ошибки. Установка не выполнена.'
ru_log_missing='Журнал doLog\step6.txt не удалось записать: возможно, он открыт в другой программе или защищён от записи. Закройте его и повторите установку.'
ru_tool_held='Не удаётся записать файл "iu.exe": он занят другой программой. Закройте другие копии установщика и программы для работы с телевизором или перезагрузите компьютер, затем попробуйте снова.'
ru_prompt='Введите IP вашего ТВ, Выберите его серию, Нажмите "Установить виджет"'
en_installing='Widget installation in progress'
ru_nobody() { printf 'По адресу %s не отвечает ни один телевизор.' "$1"; }

nbsp=$'\u00a0'
ru_not_active() { printf 'Режим разработчика на телевизоре %s включён для этого ПК, но ещё не действует.' "$1"; }
ru_restart_wait='Перезагрузите ТВ: выньте вилку из розетки на 30 секунд и включите его. Ждём '
ru_no_room='На телевизоре не хватает места для виджета. Освободите место: Настройки > Поддержка > Обслуживание устройства > Управление хранилищем (Settings > Support > Device Care > Manage Storage), удалите там ненужные приложения и повторите установку. Дело не в серии телевизора, а установка без освобождения места не поможет.'
en_no_room='The TV has no room for the widget. Free space on the TV: Settings > Support > Device Care > Manage Storage, remove apps you do not need there, then install again. It is not the TV series, and installing again without freeing space does not help.'
ru_partner='Виджет объявляет привилегию, для которой нужен сертификат уровня partner, а профиль сертификата уровня public (такой Certificate Manager создаёт для любого) установить его не может. Нужна версия виджета без этой привилегии или подписанная сертификатом partner; повторная установка не поможет.'
en_partner='The widget declares a privilege that needs a partner-level certificate, and a public-level certificate profile (what Certificate Manager makes for anyone) cannot install it. It takes a version of the widget without that privilege, or one signed with a partner certificate; installing again does not help.'
ru_wrong_series='выбрана не та серия'
# The driver's list-change lines: the time (ms after the window appeared) and the label.
changed_to() { grep -F -- "$1" "$out" | grep '^list-change: ' | head -n 1 | cut -d' ' -f2; }

expect_success() {
    check "no question before the run" bash -c "! grep -q '^question:' '$out'"
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
    drive "$address" 1 --time-check
    expect_success
    figure check-ms
    ;;
wrong_series)
    # J,K picked for a 2019 set: the check selects the set's own series before the run.
    start_tv --tizen 5.0
    drive "$address" 0
    expect_success
    check "the push went to the set's staging directory" log_has step5.txt "1 file(s) pushed"
    check "M,N,Q,R,T selected" grep -q '^push: /home/owner/share/tmp/sdk_tools/tmp/Quorvex.wgt' "$dir/tv/commands.log"
    ;;
series_from_year)
    # M,N,Q,R,T picked for a 2016 set: J,K is selected, and the install succeeds.
    start_tv --year 2016
    drive "$address" 1
    expect_success
    check "J,K selected" grep -q '^push: /opt/usr/apps/tmp/Quorvex.wgt' "$dir/tv/commands.log"
    ;;
unreachable)
    # Nothing at the address: the question says so and offers to wait; No runs the sequence
    # all the same.
    drive "$nobody" 0 --answer=no
    check "the question says no TV answers there" has_part "question: $(ru_nobody "$nobody")"
    check "and offers to wait" has "question-buttons: yes,no,cancel"
    expect_failure "$nobody" 'doLog\step1.txt'
    check "the box starts with the cause" has_part "box: $(ru_nobody "$nobody")"
    for i in 1 2 3 4 5 6 7; do check "log $i written" test -f "$work/doLog/step$i.txt"; done
    ;;
foreign_host_pc)
    # The Host PC IP is another computer's: the question names both; Yes, and the run fails
    # with that cause.
    start_tv --year 2019 --host-ip 10.213.0.99
    drive_with_shot question-ru "$address" 1 --answer=yes
    ru_other="Телевизор $address принимает установку только с компьютера с адресом 10.213.0.99, а адрес этого ПК: $lan_pc."
    check "the question names both addresses" has_part "question: $ru_other"
    check "and asks" has_part "Всё равно установить?"
    check "no wait offered: waiting does not cure it" has "question-buttons: yes,no"
    expect_failure "failed to connect" 'doLog\step1.txt'
    check "the box starts with the cause" has_part "box: $ru_other"
    ;;
developer_mode_off)
    # Cancel: nothing is written and no command runs.
    start_tv --year 2017 --developer-mode off
    drive "$address" 0 --answer=cancel
    check "the question says developer mode is off" has_part "question: На телевизоре $address режим разработчика выключен"
    check "nothing written" bash -c "[ -z \"\$(ls -A '$work')\" ]"
    check "the TV saw no connection" bash -c "! grep -q '^connection:' '$dir/tv/commands.log'"
    check "the prompt again" has "status: $ru_prompt"
    check "bar unchanged" has "progress: 0"
    check "M,N,Q,R,T selected for the 2017 set" has "series-at-question: 1"
    ;;
reversed_host_ip)
    # A right-to-left TV stored 10.213.0.1 as 1.0.213.10. In English.
    start_tv --year 2019 --rtl
    drive_with_shot question-en "$address" 1 --english
    check "the question names the reversed and the right address" has_part "question: The TV at $address stored this PC's address reversed: 1.0.213.10 instead of $lan_pc"
    check "nothing written" bash -c "[ -z \"\$(ls -A '$work')\" ]"
    ;;
standby)
    start_tv --year 2020 --standby
    drive "$address" 1 --answer=cancel
    check "the question says the TV is in standby" has_part "question: Телевизор $address в режиме ожидания."
    check "nothing written" bash -c "[ -z \"\$(ls -A '$work')\" ]"
    ;;
tizen7_certificate)
    # A 2023 set installs only a widget signed with its owner's profile: the question says so
    # and offers the folder dialog; No writes nothing, and nothing reaches the TV.
    start_tv --year 2023
    drive_with_shot profile-question-ru "$address" 1 --answer=no
    check "the question says why" has_part "question: Телевизор $address (модель 2023 года) устанавливает только виджет, подписанный сертификатом Samsung его владельца."
    check "and offers the folder dialog" has_part "Выбрать папку профиля сейчас?"
    check "nothing written" bash -c "[ -z \"\$(ls -A '$work')\" ]"
    check "the TV was asked nothing" bash -c "! grep -q '^shell:' '$dir/tv/commands.log'"
    check "the prompt again" has "status: $ru_prompt"
    drive_with_shot profile-question-en "$address" 1 --english --answer=no
    check "in English too" has_part "question: The TV at $address (a 2023 model) installs only a widget signed with its owner's Samsung certificate."
    ;;
signed_install)
    # A 2023 set with a profile made for it (in a folder with Cyrillic letters and a space, set
    # in advance in the registry) receives the signed widget through the window. The password
    # is ASCII: Wine's PFXImportCertStore cuts each UTF-16 unit to a byte (Windows does not).
    prof="$dir/certs/Гостиная ТВ"
    make_profile "$prof" --duid QVX2023LIVING --password pw-living
    signed_tv QVX2023LIVING
    remember_profile "$prof"
    drive_shot_at question signed-question-ru "$address" 1 --answers=yes --password=pw-living --time-signed
    check "the question says why" has_part "question: Телевизор $address (модель 2023 года) устанавливает только виджет"
    check "and names the remembered folder" has_part "$(winpath "$prof")?"
    check "the password dialog names the folder" has_part "password-dialog: Пароли файлов author.p12 и distributor.p12 из папки"
    check "completion text" has "$ru_done"
    check "bar at 100" has "progress: 100"
    check "no message box" bash -c "! grep -q '^box:' '$out'"
    check "widget installed on the TV" tv_has_app
    check "the TV took the device profile first" grep -q '^push: /home/developer/device-profile.xml' "$dir/tv/commands.log"
    check "the DUID has a log of its own" log_has duid.txt QVX2023LIVING
    check "install log reports completion" log_has step6.txt "install completed"
    check "files removed" signed_leftovers_gone
    check "the folder holds doLog alone" only_dolog_left
    check "no bridge server left running" server_gone
    check "the password is in no log" bash -c "! grep -rqF pw-living '$work'"
    remembered=$(remembered_profile)
    echo "registry: $remembered"
    # regedit doubles each backslash in what it exports
    exported=$(winpath "$prof")
    exported=${exported//\\/\\\\}
    check "the folder, Cyrillic name and all, is still remembered" \
        grep -qF "\"CertificateProfile\"=\"$exported\"" <<<"$remembered"
    check "the password is not in the registry" bash -c "! grep -qF 'pw-living' <<<'$remembered'"
    for figure in profile-check-ms duid-ms sign-ms profile-to-signed-ms; do
        echo "figure: $figure $(value $figure)"
    done
    drive_shot_at password-dialog signed-password-en "$address" 1 --english --answers=yes --password=pw-living --time-signed
    check "in English: the password dialog" has_part "password-dialog: The passwords of author.p12 and distributor.p12 in"
    check "in English: installed again" has "$en_done"
    for figure in profile-check-ms duid-ms sign-ms; do echo "figure (second run): $figure $(value $figure)"; done
    drive_shot_at password-dialog signed-password-ru "$address" 1 --answers=yes --password=pw-living
    check "installed a third time" has "$ru_done"
    ;;
signed_bad_profiles)
    # Each bad profile is named before anything is pushed; the TV never sees a push.
    make_profile "$dir/certs/good" --duid QVX2023GOOD --password pw-good
    make_profile "$dir/certs/expired" --duid QVX2023GOOD --password pw-good --validity expired
    make_profile "$dir/certs/swapped" --duid QVX2023GOOD --password pw-good --swap
    make_profile "$dir/certs/other-tv" --duid QVX2023OTHER --password pw-good
    signed_tv QVX2023GOOD
    w() { winpath "$dir/certs/$1"; }
    remember_profile "$dir/certs/good"
    drive "$address" 1 --answers=yes --password=wrong
    check "a wrong password is named" has_part "box: Пароль не открывает файл $(w good)\\author.p12."
    remember_profile "$dir/certs/expired"
    drive_shot_at box signed-expired-ru "$address" 1 --answers=yes --password=pw-good
    check "an expired certificate is named with its date" has_part "box: Срок действия сертификата в $(w expired)\\author.p12 истёк 20"
    remember_profile "$dir/certs/swapped"
    drive "$address" 1 --answers=yes --password=pw-good
    check "swapped files are named" has_part "box: В файле $(w swapped)\\author.p12 лежит сертификат другой роли"
    check "nothing written before the TV was asked" bash -c "[ -z \"\$(ls -A '$work' | grep -v doLog)\" ]"
    check "and the TV was asked nothing" bash -c "! grep -q '^shell:' '$dir/tv/commands.log'"
    remember_profile "$dir/certs/other-tv"
    drive_shot_at box signed-other-tv-en "$address" 1 --english --answers=yes --password=pw-good
    check "another TV's profile names this TV's DUID" has_part "box: The profile does not permit this TV: its DUID QVX2023GOOD is neither"
    check "the TV was asked its DUID" grep -q 'shell: getduid' "$dir/tv/commands.log"
    check "the TV saw no push" tv_saw_no_push
    check "nothing installed" bash -c "! grep -qF R4vT7mWq2Z.Quorvex '$dir/tv/apps.tsv' 2>/dev/null"
    check "files removed" signed_leftovers_gone
    check "no bridge server left running" server_gone
    ;;
signed_other_author)
    # The widget is installed, signed by someone else: No leaves it; Yes removes it by the
    # package's own id and installs.
    make_profile "$dir/certs/p" --duid QVX2023B --password pw-b
    signed_tv QVX2023B --installed-by-other-author
    remember_profile "$dir/certs/p"
    drive "$address" 1 --answers=yes,no --password=pw-b
    check "the question names the other author's copy" has_part "question: На телевизоре уже установлен этот виджет, подписанный другим автором."
    check "No: the failure names the cause" has_part "box: На телевизоре уже установлена копия этого виджета от другого автора."
    check "No: nothing uninstalled" bash -c "! grep -q 'vd_appuninstall R4vT7mWq2Z.Quorvex' '$dir/tv/commands.log'"
    drive_shot_at question2 signed-other-author-ru "$address" 1 --answers=yes,yes --password=pw-b
    check "Yes: uninstalled by the package's own id" grep -q 'vd_appuninstall R4vT7mWq2Z.Quorvex' "$dir/tv/commands.log"
    check "Yes: installed" has "$ru_done"
    check "Yes: the TV has it" grep -q '^installed: R4vT7mWq2Z.Quorvex' "$dir/tv/commands.log"
    check "files removed" signed_leftovers_gone
    ;;
certificate_refused)
    start_tv --tizen 5.0 --demand-certificate
    drive "$address" 1
    expect_failure "install failed[118, -12]" 'doLog\step6.txt'
    check "the TV printed cmd_ret:0 all the same" log_has step6.txt "cmd_ret:0"
    ;;
dropped_push)
    # The link drops in the middle of the push: the box blames the link, not the series.
    start_tv --tizen 5.0 --drop-after 4000
    drive_with_shot failure-ru "$address" 1
    check "no hang: the run ended" has "progress: 100"
    check "failure text in the status" has "status: $ru_failed"
    check "nothing installed" bash -c "! grep -qF R4vT7mWq2Z.Quorvex '$dir/tv/apps.tsv' 2>/dev/null"
    check "the push log says the connection failed" log_has step5.txt "connection fails"
    check "the box starts with the dropped link" has_part "box: Телевизор $address прервал соединение."
    drive_with_shot failure-en "$address" 1 --english
    check "in English too" has_part "box: The TV at $address dropped the connection."
    ;;
tool_in_use)
    start_tv --tizen 5.0
    # A bridge server started from iu.exe in the work folder keeps that file in use.
    cp "$bridge" "$dir/bridge.exe"
    cp "$dir/bridge.exe" "$work/iu.exe"
    (cd "$work" && timeout "$(limit 120)" "$root/tests/wine/wine-run.sh" iu.exe devices >/dev/null 2>&1)
    check "the old server runs" server_running
    # That iu.exe's own kill-server stops it; the installation then goes ahead.
    drive "$address" 1
    expect_success
    ;;
tool_held_open)
    # Held by a program that is no bridge server: nothing frees it, and the user is told why.
    start_tv --tizen 5.0
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
    check "one uninstall only" test "$(grep -c '^shell: vd_appuninstall' "$dir/tv/commands.log")" -eq 1
    check "widget installed on the TV" tv_has_app
    ;;
close_during_run)
    # Closed while the TV uninstalls (the bridge's server runs by then), then started again.
    start_tv --tizen 5.0 --slow 400
    cp "$bridge" "$dir/bridge.exe"
    drive "$address" 1 --during=close --act-at=27
    check "program ended after the window closed" has "exited-after-close: yes"
    figure exit-after-close-ms
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
    check "the second copy ended by itself" given second-exit-ms
    figure second-exit-ms
    check "the second copy showed no window" has "second-window: no"
    check "the second copy wrote nothing" test -z "$(ls -A "$dir/elsewhere")"
    check "one installation only" test "$(grep -c '^shell: vd_appinstall' "$dir/tv/commands.log")" -eq 1
    ;;
locked_install_log)
    # An earlier run's success, held open by an editor, and no TV at the address.
    mkdir -p "$work/doLog"
    printf 'app_id[R4vT7mWq2Z.Quorvex] install completed\r\ncmd_ret:0\r\n' >"$work/doLog/step6.txt"
    cp "$work/doLog/step6.txt" "$dir/old-step6.txt"
    drive "$nobody" 0 --hold-open='doLog\step6.txt' --answer=no
    expect_failure "$nobody" 'doLog\step1.txt'
    check "the box says the install log could not be written" has_part "$ru_log_missing"
    check "the old log is untouched" cmp -s "$work/doLog/step6.txt" "$dir/old-step6.txt"
    ;;
ctrl_v_paste)
    # Copied from a chat: blanks around it. Ctrl+A, Ctrl+V over a typed placeholder.
    drive "  192.168.1.5	" 0 --clipboard --answer=no
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
    (cd "$work" && timeout "$(limit 120)" "$root/tests/wine/wine-run.sh" "$app/quorvex_iphlpapi_probe.exe") >/dev/null 2>&1
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
sweep_office_lan)
    # An office LAN: a ready TV, one with developer mode off, one whose Host PC IP is another
    # computer, a host that answers 8001 but is no TV, and a TV whose closed bridge port refuses
    # only after a second. The window finds them all by itself; the one ready TV goes into the
    # empty box with its series, and the install succeeds.
    start_tv_at 11 "$dir/tv" --year 2019 --name "[TV] Living room"
    start_tv_at 12 "$dir/tv12" --year 2017 --developer-mode off --name "[TV] Bedroom"
    start_tv_at 13 "$dir/tv13" --year 2020 --host-ip 10.213.0.50 --name "[TV] Office"
    lan_host printer 14
    lan_exec printer python3 -m http.server 8001 --bind 10.213.0.14 --directory "$dir" \
        >/dev/null 2>&1 &
    start_tv_at 15 "$dir/tv15" --year 2018 --developer-mode off --name "[TV] Kitchen"
    # Its first SYN to the bridge port is dropped: the refusal comes with the retransmission (the
    # same source port and sequence number; a new connection has a sequence number of its own).
    lan_exec tv15 nft -f - <<'NFT'
table inet slow {
    set first { typeof ip saddr . tcp sport . tcp sequence; flags timeout; timeout 30s; }
    chain input {
        type filter hook input priority 0;
        tcp dport 26101 tcp flags & (syn | ack) == syn ip saddr . tcp sport . tcp sequence != @first add @first { ip saddr . tcp sport . tcp sequence } drop
    }
}
NFT
    started=$(date +%s%N)
    (exec 3<>/dev/tcp/10.213.0.15/26101) 2>/dev/null
    refused_ms=$((($(date +%s%N) - started) / 1000000))
    echo "control: the kitchen TV's bridge port refused after $refused_ms ms"
    check "control: the kitchen TV refuses only after a second" test "$refused_ms" -ge 1000
    printer_up() { (exec 3<>/dev/tcp/10.213.0.14/8001) 2>/dev/null; }
    for _ in $(seq $(($(limit 60) * 10))); do printer_up && break; sleep 0.1; done
    check "control: the printer's server is up" printer_up
    # The connections in flight, counted from outside every 10 ms while the window searches. One
    # listing of the kernel's sockets is no single moment: a connection that closes while it is
    # taken and the one opened next can both be in it. The sockets in two listings running, though,
    # were all open together when the earlier one ended; each sample counts those.
    ( : >"$dir/sockets.before"
      while :; do
          ss -Htne state syn-sent state established dst 10.213.0.0/24 |
              grep -o ' sk:[0-9a-f]*' | sort >"$dir/sockets.now"
          echo "$(comm -12 "$dir/sockets.before" "$dir/sockets.now" | wc -l)" \
              "$(wc -l <"$dir/sockets.now")"
          mv "$dir/sockets.now" "$dir/sockets.before"
          sleep 0.01
      done ) >"$dir/in-flight.txt" 2>/dev/null &
    counter=$!
    count_knocks || { echo "the knocks could not be counted"; exit 1; }
    drive_with_shot found-tvs - -1 --await-list
    kill "$counter" 2>/dev/null
    most=$(sort -n "$dir/in-flight.txt" | tail -n 1 | cut -d' ' -f1)
    most_listed=$(cut -d' ' -f2 "$dir/in-flight.txt" | sort -n | tail -n 1)
    echo "most connections in flight, counted from outside: $most (one listing alone: $most_listed)"
    check "at most 128 connections in flight" test "${most:-999}" -le 128
    check "control: the count saw the sweep fill its connections" test "${most:-0}" -ge 100
    check "the search ended" given search-ms
    figure list-ms search-ms
    knocked=$(knocked_hosts)
    echo "hosts knocked at: $knocked"
    check "control: the whole /24 but this PC was knocked at" test "$knocked" -eq 253
    check "the ready TV is first" has "found: 10.213.0.11  —  [TV] Living room, 2019, готов к установке"
    check "developer mode off" has "found: 10.213.0.12  —  [TV] Bedroom, 2017, режим разработчика выключен"
    check "the Host PC IP of another computer" has "found: 10.213.0.13  —  [TV] Office, 2020, Host PC IP другого компьютера (10.213.0.50)"
    check "the slow refuser is not lost" has "found: 10.213.0.15  —  [TV] Kitchen, 2018, режим разработчика выключен"
    check "the printer is no TV" has "found: 10.213.0.14  —  не телевизор Samsung"
    check "nothing else found" test "$(grep -c '^found:' "$out")" -eq 5
    check "the ready TV went into the empty box" has "box-after-search: 10.213.0.11"
    check "with its series" has "series-after-search: 1"
    check "the list, opened and closed, left the address in the box, not its label" has "typed: 10.213.0.11"
    expect_success
    ;;
several_ready_tvs)
    # Two ready TVs: nothing goes into the box by itself, and the user picks one from the list.
    # The combo box puts the item's whole label into the box; the window must leave the address
    # there, or the install would end in the bad-address box. Picked with the mouse, then with
    # the keyboard, each installs onto the TV picked.
    own_display
    start_tv_at 11 "$dir/tv11" --year 2016 --name "[TV] Living room"
    start_tv_at 12 "$dir/tv" --year 2019 --name "[TV] Bedroom"
    drive - -1 --await-list --pick=1,mouse
    check "the first ready TV is listed first" bash -c "grep '^found:' '$out' | head -n 1 | grep -qxF 'found: 10.213.0.11  —  [TV] Living room, 2016, готов к установке'"
    check "the second one second" has "found: 10.213.0.12  —  [TV] Bedroom, 2019, готов к установке"
    check "the box stayed empty after the search" has "box-after-search: "
    check "picked with the mouse: the box holds the address alone" has "picked: 10.213.0.12"
    check "no bad-address box" bash -c "! grep -qF 'box: IP Адрес ТВ не задан' '$out'"
    expect_success
    check "M,N,Q,R,T for the 2019 set" grep -q '^push: /home/owner/share/tmp/sdk_tools/tmp/Quorvex.wgt' "$dir/tv/commands.log"
    check "the other TV got no command" bash -c "! grep -qE '^(shell|push):' '$dir/tv11/commands.log'"
    cp "$out" "$dir/driver-mouse.txt"
    installs=$(grep -c '^installed:' "$dir/tv/commands.log")
    drive - -1 --await-list --pick=0,keys
    check "picked with the keyboard: the box holds the address alone" has "picked: 10.213.0.11"
    check "no bad-address box" bash -c "! grep -qF 'box: IP Адрес ТВ не задан' '$out'"
    check "completion text" has "$ru_done"
    check "installed on the TV picked" grep -qF "R4vT7mWq2Z.Quorvex" "$dir/tv11/apps.tsv"
    check "J,K for the 2016 set" grep -q '^push: /opt/usr/apps/tmp/Quorvex.wgt' "$dir/tv11/commands.log"
    check "and nothing more onto the first TV picked" test "$(grep -c '^installed:' "$dir/tv/commands.log")" -eq "$installs"
    ;;
sweep_refresh)
    # Refresh while the first search runs: that one is dropped, the second one's list stands.
    start_tv_at 11 "$dir/tv" --year 2016 --name "[TV] Living room"
    drive - -1 --await-list --refresh-at-start
    check "the second search filled the list" has "found: 10.213.0.11  —  [TV] Living room, 2016, готов к установке"
    check "once" test "$(grep -c '^found:' "$out")" -eq 1
    figure list-ms search-ms
    check "J,K for the 2016 set" has "series-after-search: 0"
    expect_success
    ;;
sweep_close)
    # Closing the window while it searches: the program ends with its window, without waiting
    # for the search, which knocks at all 253 other hosts of the /24 before it ends
    # (sweep_office_lan counts them too).
    start_tv_at 11 "$dir/tv" --year 2019
    count_knocks || { echo "the knocks could not be counted"; exit 1; }
    drive 10.213.0.11 1 --close-at-start
    check "the window went" given window-gone-ms
    check "and the program with it" given exit-ms
    figure window-gone-ms exit-ms
    knocked=$(knocked_hosts)
    echo "hosts knocked at: $knocked"
    check "the search was left unfinished" test "$knocked" -lt 253
    ;;
unspellable_folder)
    # Under Wine's code page 1252 neither Cyrillic nor Kazakh letters can be spelt by a program
    # that is not Unicode; the stand-in starts its server from such a path as the real tool does.
    start_tv --tizen 5.0
    runs=0
    for folder in "Иван/Downloads" "Әлия қызы"; do
        work=$dir/$folder
        mkdir -p "$work"
        said=$(run_tool_here "$bridge" devices)
        check "control: from $folder itself the tool cannot start its server" \
            grep -qxF "fail to create sdb server process: 123" <<<"${said//$'\r'/}"
        drive "$address" 1
        runs=$((runs + 1))
        expect_success
        check "installed $runs time(s)" test "$(grep -c '^installed:' "$dir/tv/commands.log")" -eq "$runs"
        check "the server started" log_has step1.txt "Server has started successfully"
        check "the tool ran from the program's own folder, and is gone" \
            bash -c "[ -d '$own_folders' ] && ! ls '$own_folders'/*/iu.exe >/dev/null 2>&1"
    done
    ;;
real_client_unspellable)
    # The real (old) client in place of the stand-in, in a Cyrillic folder. Its connect does not
    # wait for the TV, so the commands right after it may find the TV offline: it is judged by
    # its server and its connection (whether the application list comes before the TV is
    # online depends on the machine's load).
    real=$(real_tool) || { echo "SKIP: no real bridge tool source in ../shared/third_party/sdb"; exit 77; }
    start_tv --tizen 5.0
    work=$dir/Иван
    mkdir -p "$work"
    said=$(run_tool_here "$real" devices)
    check "control: from the folder itself the real tool cannot start its server" \
        grep -qxF "fail to create sdb server process: 123" <<<"${said//$'\r'/}"
    swap() { cp "$real" "$1.new" && mv -f "$1.new" "$1" && echo "swapped $1" >"$dir/swapped.txt"; }
    on_written swap
    drive "$address" 1 --answer=yes
    check "the real tool went in place of the stand-in" grep -q "ProgramData/Quorvex/" "$dir/swapped.txt"
    check "its server started" log_has step1.txt "server started successfully"
    check "and it connected" log_has step1.txt "connected to $address:26101"
    check "it listed the TV" log_has step2.txt "$address:26101"
    check "no log says the server could not start" bash -c "! grep -rqE 'fail to create|failed to start server' '$work/doLog'"
    check "the TV saw the connection" grep -q '^connection:' "$dir/tv/commands.log"
    check "the tool is gone" bash -c "! ls '$own_folders'/*/iu.exe >/dev/null 2>&1"
    check "no bridge server left running" server_gone
    ;;
tool_removed)
    # An antivirus takes iu.exe away right after it is written: the box names the cause, in
    # both languages. The folder is plain: the tool is written beside the installer, as always.
    start_tv --tizen 5.0
    remove() { rm -f "$1" && echo "removed $1" >"$dir/removed.txt"; }
    on_written remove
    drive "$address" 1
    check "iu.exe was written beside the installer" grep -qF "$work/iu.exe" "$dir/removed.txt"
    check "a plain folder never makes the own folder" absent_file "$own_folders"
    expect_failure "as an internal or external command" 'doLog\step1.txt'
    check "the box starts with the cause, naming the folder" has_part "box: Программа связи с телевизором iu.exe была удалена или заблокирована сразу после записи, скорее всего антивирусом. Разрешите файл iu.exe в антивирусе или добавьте папку \"$(winpath "$work")\" в его исключения"
    on_written remove
    drive "$address" 1 --english
    check "in English too" has_part "box: The TV bridge tool iu.exe was removed or blocked right after it was written, most likely by an antivirus. Allow the file iu.exe in the antivirus, or add the folder \"$(winpath "$work")\" to its exclusions"
    ;;
ssdp_first)
    # Two ready TVs high in the /24, where the sweep (128 knocks at a time, in address order)
    # gets late: one answers SSDP, the other does not. The PC's own firewall marks, in the order
    # the knocks leave, which hosts below .200 the sweep had knocked at before each TV's first
    # knock: the SSDP one is knocked at before the sweep gets there, the silent one only after
    # every host below it. Neither is a duration.
    start_tv_at 200 "$dir/tv" --year 2019 --name "[TV] Hall"
    start_tv_at 201 "$dir/tv201" --year 2018 --name "[TV] Attic" --no-ssdp
    nft -f - <<'NFT' || { echo "the knock order could not be watched"; exit 1; }
table ip order {
    set seen200 { type ipv4_addr; flags dynamic; }
    set seen201 { type ipv4_addr; flags dynamic; }
    set before200 { type ipv4_addr; size 1024; flags dynamic; }
    set before201 { type ipv4_addr; size 1024; flags dynamic; }
    chain out {
        type filter hook output priority 0;
        tcp dport 8001 tcp flags & (syn | ack) == syn ip daddr 10.213.0.2-10.213.0.199 ip saddr != @seen200 add @before200 { ip daddr }
        tcp dport 8001 tcp flags & (syn | ack) == syn ip daddr 10.213.0.2-10.213.0.199 ip saddr != @seen201 add @before201 { ip daddr }
        tcp dport 8001 tcp flags & (syn | ack) == syn ip daddr 10.213.0.200 add @seen200 { ip saddr }
        tcp dport 8001 tcp flags & (syn | ack) == syn ip daddr 10.213.0.201 add @seen201 { ip saddr }
    }
}
NFT
    knocked_before() { nft list set ip order "before$1" | grep -oE '10\.213\.0\.[0-9]+' | sort -u | wc -l; }
    drive - -1 --await-list --list-only
    before200=$(knocked_before 200)
    before201=$(knocked_before 201)
    echo "figure: list-ms $(value list-ms), search-ms $(value search-ms)"
    echo "hosts below .200 knocked at before the SSDP TV: $before200, before the silent one: $before201"
    check "the SSDP TV is listed" has "found: 10.213.0.200  —  [TV] Hall, 2019, готов к установке"
    check "the silent TV is listed" has "found: 10.213.0.201  —  [TV] Attic, 2018, готов к установке"
    check "the first item came before the search ended" \
        bash -c "[ '$(value list-ms)' -lt '$(value search-ms)' ]"
    check "control: the firewall saw the silent TV's knock" nft list set ip order seen201 | grep -qF "$lan_pc"
    check "control: the sweep got to the silent TV after all 198 hosts below it" test "$before201" -eq 198
    check "the SSDP TV was knocked at before the sweep got there" test "$before200" -lt 198
    check "the window closed" has "exited: yes"
    ;;
slow_tv_found)
    # Two TVs that answer each knock about 1 s late (the sweep gives a host 0.8 s): one answers
    # SSDP, one does not. SSDP names the first, and it is waited for and listed; the sweep alone
    # misses the second. The one ready TV goes into the box. (No install: the stand-in tool's
    # connect gives up on a TV this slow.)
    start_tv_at 31 "$dir/tv" --year 2019 --name "[TV] Slow"
    start_tv_at 30 "$dir/tv30" --year 2019 --name "[TV] Slow and silent" --no-ssdp
    lan_slow_host tv31
    lan_slow_host tv30
    drive - -1 --await-list --list-only
    echo "figure: list-ms $(value list-ms), search-ms $(value search-ms)"
    check "the slow TV that answers SSDP is listed" has "found: 10.213.0.31  —  [TV] Slow, 2019, готов к установке"
    check "the slow TV SSDP does not name is not" bash -c "! grep -qF 'found: 10.213.0.30 ' '$out'"
    check "the slow TV went into the box" has "box-after-search: 10.213.0.31"
    check "with its series" has "series-after-search: 1"
    check "the window closed" has "exited: yes"
    # After the run: a knock from here would put it in the neighbour table the window reads.
    started=$(date +%s%N)
    (exec 3<>/dev/tcp/10.213.0.30/8001) 2>/dev/null
    answered_ms=$((($(date +%s%N) - started) / 1000000))
    echo "control: the silent TV's description port answered after $answered_ms ms"
    check "control: it answers only after the sweep's 0.8 s" test "$answered_ms" -ge 800
    ;;
restart_wait)
    # A TV just restarted: developer mode on, its bridge port still closed for 20 s. Yes waits;
    # the status line says so, the button is Cancel, and once the port opens the run goes on by
    # itself and installs.
    start_tv --year 2019 --bridge-after 20
    shot_pattern='^wait-status:' drive_with_shot restart-wait-ru "$address" 1 --hold-at=wait --answers=yes
    check "the question says developer mode is not active yet" has_part "question: $(ru_not_active "$address")"
    check "and offers the wait" has "question-buttons: yes,no,cancel"
    check "the status line says to restart the TV, and how long" has "wait-status: ${ru_restart_wait}0:00${nbsp}из${nbsp}3:00"
    check "the seconds go on" grep -qE "^status-seen: ${ru_restart_wait}0:0[1-9]${nbsp}из" "$out"
    check "the install button is Cancel" has "wait-button: Отмена"
    check "the completion text, with no second press" has "$ru_done"
    check "bar at 100" has "progress: 100"
    check "no message box" bash -c "! grep -q '^box:' '$out'"
    check "widget installed on the TV" tv_has_app
    check "the TV's bridge saw one connection" test "$(grep -c '^connection:' "$dir/tv/commands.log")" -ge 1
    check "the install log reports completion" log_has step6.txt "install completed"
    check "the application list names the widget" log_has step7.txt "R4vT7mWq2Z.Quorvex"
    for i in 1 2 3 4 5 6 7; do check "log $i written" test -f "$work/doLog/step$i.txt"; done
    check "the folder holds doLog alone" only_dolog_left
    check "no bridge server left running" server_gone
    check "button enabled again" has "install-enabled: yes"
    ;;
restart_wait_cancel_limit)
    # Cancel during the wait: nothing written, no command. Then, with the limit at 5 s, the wait
    # gives up and asks again with what the TV last said; No writes nothing either. In English.
    start_tv --year 2019 --bridge-after 600
    drive "$address" 1 --answers=yes --during-wait=cancel --wait-act-after=1
    check "the wait began" has "wait-button: Отмена"
    echo "figure: wait-cancel-ms $(value wait-cancel-ms)"
    check "the button was the install button again" bash -c "grep -qE '^wait-cancel-ms: [0-9]+$' '$out'"
    check "nothing written" bash -c "[ -z \"\$(ls -A '$work')\" ]"
    check "the TV's bridge saw no connection" bash -c "! grep -q '^connection:' '$dir/tv/commands.log'"
    check "the tool never ran: no server log" absent_file "$dir/sdb.log"
    check "and no server" server_gone
    check "the prompt again" has "status: $ru_prompt"
    check "bar unchanged" has "progress: 0"
    check "the window still answers: button enabled" has "install-enabled: yes"
    check "and it closed when told" has "exited: yes"
    cp "$out" "$dir/driver-cancel.txt"
    QUORVEX_RESTART_WAIT_SECONDS=5 drive "$address" 1 --english --answers=yes,no
    check "the wait began" has "wait-button: Cancel"
    check "it gave up after the limit" has "question: The TV was not ready to install after 0:05 of waiting."
    check "and says what the TV last said" bash -c "grep -A2 -xF 'question: The TV was not ready to install after 0:05 of waiting.' '$out' | grep -qF 'Developer mode on the TV at $address is set for this PC but not active yet.'"
    check "and asks whether to install anyway, Yes or No" has "question-buttons: yes,no"
    check "No: nothing written" bash -c "[ -z \"\$(ls -A '$work')\" ]"
    check "the TV's bridge saw no connection" bash -c "! grep -q '^connection:' '$dir/tv/commands.log'"
    check "the prompt again, in English" has_part "status: Enter the IP of your TV"
    ;;
standby_to_ready)
    # A TV in standby when the window opens comes on 8 s after its start: the idle list's label
    # changes by itself, with nothing pressed, and the one ready TV then goes into the empty box.
    start_tv --year 2020 --standby-for 8 --name "[TV] Den"
    drive - -1 --await-list --watch-list=16
    check "listed in standby first" has "found: $address  —  [TV] Den, 2020, в режиме ожидания"
    ready_at=$(changed_to "[TV] Den, 2020, готов к установке")
    echo "figure: the label said ready at ${ready_at:-never} ms after the window appeared"
    check "the label changed to ready while idle" test -n "$ready_at"
    check "the same TV, once" test "$(grep -c '^list-change: ' "$out")" -le 2
    check "no press before the change: typed only after the watch" \
        bash -c "grep -n '' '$out' | grep -E ':(list-change|typed): ' | tail -n 1 | grep -q ':typed: '"
    check "the box empty after the search" has "box-after-search: "
    check "then the TV, ready, went into it" has "typed: $address"
    expect_success
    ;;
refusal_no_room)
    # A full TV: the box names no room and where to free space, with the log's line; it is not
    # the wrong series, and the install ran once. In Russian, then in English.
    start_tv --year 2019 --full-storage
    drive "$address" 1
    expect_failure "download failed[116]" 'doLog\step6.txt'
    check "the box starts with no room" has_part "box: $ru_no_room"
    check "not the wrong series" bash -c "! grep -qF 'Телевизор не принял пакет: $ru_wrong_series' '$out'"
    check "one install, no retry" test "$(grep -c '^shell: vd_appinstall' "$dir/tv/commands.log")" -eq 1
    check "nothing installed" bash -c "! grep -qF R4vT7mWq2Z.Quorvex '$dir/tv/apps.tsv' 2>/dev/null"
    drive_shot_at box no-room-en "$address" 1 --english
    check "in English" has_part "box: $en_no_room"
    check "with the log's line" has_part "download failed[116]"
    ;;
refusal_privilege)
    # A widget that needs a partner certificate: a 2022 set says so in its short words, a 2025
    # one (a signed install, with the owner's profile) names MISMATCHED_PRIVILEGE_LEVEL. Both
    # boxes say a public profile cannot install it.
    start_tv --year 2022 --privilege-mismatch
    drive "$address" 1
    expect_failure "install failed[118, -14], reason: Signature error" 'doLog\step6.txt'
    check "the box says a public profile cannot install it" has_part "box: $ru_partner"
    check "one install, no retry" test "$(grep -c '^shell: vd_appinstall' "$dir/tv/commands.log")" -eq 1
    make_profile "$dir/certs/p" --duid QVX2025PRIV --password pw-p
    start_tv_at 3 "$dir/tv3" --year 2025 --privilege-mismatch --duid QVX2025PRIV \
        --trusted-root "$dir/ca/author-root.pem" --trusted-root "$dir/ca/distributor-root.pem"
    remember_profile "$dir/certs/p"
    drive_shot_at box privilege-2025-en "$lan_subnet.3" 1 --english --answers=yes --password=pw-p
    check "2025: the TV's own words reached the box" has_part "MISMATCHED_PRIVILEGE_LEVEL"
    check "2025: the box says a public profile cannot install it" has_part "box: $en_partner"
    check "2025: the TV took the signed package and refused it" grep -q '^push: .*/Quorvex.wgt' "$dir/tv3/commands.log"
    check "2025: one install, no retry" test "$(grep -c '^shell: vd_appinstall' "$dir/tv3/commands.log")" -eq 1
    check "2025: nothing installed" bash -c "! grep -qF R4vT7mWq2Z.Quorvex '$dir/tv3/apps.tsv' 2>/dev/null"
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

if [ "$failures" -gt 0 ]; then
    echo "---- left in the work folder: $(ls -A "$work" 2>/dev/null | tr '\n' ' ')"
    # driver.err: what Wine itself said while the window ran (a child that could not start or crashed).
    for log in "$work"/doLog/*.txt "$dir/sdb.log" "$dir"/tv*/commands.log "$dir"/tv*/tvsim.log \
        "$dir/driver.err"; do
        [ -f "$log" ] || continue
        [ "$log" != "$dir/driver.err" ] || [ -s "$log" ] || continue
        echo "---- ${log#"$dir"/}:"
        tr -d '\r' <"$log" | tail -n 40 | sed 's/^/    /'
    done
fi
echo "=== $name: $failures check(s) failed"
[ "$failures" -eq 0 ]
