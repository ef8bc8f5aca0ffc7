#!/usr/bin/env bash
# The installer's eleven command lines against a J/K set (2016, Tizen 2.4) and a later one (2018,
# Tizen 4.0): every step log in the real tool's texts, and the TV's state after each step that
# changes it.
source "$(dirname "$0")/bench-lib.sh"

APP=kR4vT7mWq2Z.Quorvex       # the id the installer asks for
DECLARED=R4vT7mWq2Z.Quorvex   # the id the package declares, which the TV installs under
make_package "$WORK/Quorvex.wgt" "$DECLARED" R4vT7mWq2Z
SIZE=$(stat -c %s "$WORK/Quorvex.wgt")

# install_steps ADDRESS STAGING: the installer's command lines, in its order.
install_steps() {
    local address=$1 staging=$2
    rm -f "$WORK"/doLog/*
    iu s1.out s1.err kill-server
    iu_log doLog/step1.txt connect "$address:26101"
    iu_log doLog/step2.txt devices
    iu_log doLog/step3.txt shell 0 getappinstallpath
    iu_log doLog/step4.txt shell 0 vd_appuninstall "$APP;" echo 'cmd_ret:$?;'
    iu s6.out s6.err shell 0 mkdir "$staging"
    iu_log doLog/step5.txt push Quorvex.wgt "$staging/Quorvex.wgt"
    cp "$state/fs$staging/Quorvex.wgt" "$WORK/on-tv.wgt" 2>/dev/null
    iu_log doLog/step6.txt shell 0 vd_appinstall "$APP" "$staging/Quorvex.wgt;" echo 'cmd_ret:$?;'
    iu s9.out s9.err shell 0 rmfile "$staging/Quorvex.wgt"
    iu_log doLog/step7.txt shell 0 applist
    iu s11.out s11.err kill-server
}

# check_steps ADDRESS MODEL INSTALL_PATH STAGING
check_steps() {
    local address=$1 model=$2 path=$3 staging=$4
    check_text doLog/step1.txt "* Server is not running. Start it now on port 26099 *
* Server has started successfully *
connecting to $address:26101 ...
connected to $address:26101"
    check_text doLog/step2.txt "List of devices attached 
$(printf '%-20s\t%-10s\t%s' "$address:26101" device "$model")"
    check_text doLog/step3.txt "$path"
    # The uninstall of the id the installer asks for fails: the package declares another one.
    check_line doLog/step4.txt "app_id[$APP] uninstall failed[132]"
    text_of doLog/step4.txt | grep -qxE 'spend time for wascmd is \[[0-9]+\]ms' ||
        fail "step4 has no 'spend time' line"
    text_of doLog/step4.txt | tail -n 1 | grep -qx 'cmd_ret:0' || fail "step4 does not end with cmd_ret:0"
    # The TV got the words joined by single spaces, ';' and '$?' untouched.
    check_line "tv/$name/commands.log" "shell: vd_appuninstall $APP; echo cmd_ret:\$?;"

    # The push: its warning, progress pieces ended by "\r", the last one at 100 %, the summary.
    check_line doLog/step5.txt "WARNING: Your data are to be sent over an unencrypted connection and could be read by others."
    pieces_of doLog/step5.txt | grep -qE $'^pushed Quorvex\\.wgt\t  0%\t +0KB\t +[0-9]+KB/s$' ||
        fail "step5: no progress piece at 0 %"
    check_line doLog/step5.txt "1 file(s) pushed. 0 file(s) skipped."
    pieces_of doLog/step5.txt | grep -B1 -x "1 file(s) pushed. 0 file(s) skipped." | head -n 1 |
        grep -qE $'^pushed Quorvex\\.wgt\t100%\t +[0-9]+KB\t +[0-9]+KB/s$' ||
        fail "step5: the line before the count is not the 100 % one"
    text_of doLog/step5.txt | grep -qE "^Quorvex\\.wgt {19} +[0-9]+KB/s \\($SIZE bytes in [0-9]+\\.[0-9]{3}s\\)\$" ||
        fail "step5: no summary line for $SIZE bytes"
    cmp -s "$WORK/Quorvex.wgt" "$WORK/on-tv.wgt" || fail "the file on the TV differs from the pushed one"
    [ ! -e "$state/fs$staging/Quorvex.wgt" ] || fail "rmfile left $staging/Quorvex.wgt"

    local expected="app_id[$APP] install start
app_id[$APP] installing[5]
app_id[$APP] installing[25]
app_id[$APP] installing[50]
app_id[$APP] installing[75]
app_id[$APP] installing[100]
app_id[$APP] install completed"
    [ "$(text_of doLog/step6.txt | head -n 7)" = "$expected" ] || {
        fail "step6 is not a completed install"
        show doLog/step6.txt
    }
    text_of doLog/step6.txt | tail -n 1 | grep -qx 'cmd_ret:0' || fail "step6 does not end with cmd_ret:0"
    check_line "tv/$name/apps.tsv" "$DECLARED	Bench R4vT7mWq2Z	R4vT7mWq2Z"
    check_text doLog/step7.txt "Application List for user 5001
User's Application 
 Name 	 AppID 
=================================================
'Bench R4vT7mWq2Z'	 '$DECLARED'
================================================="
    check_text s11.out ""
    wait_for 30 port_free "$SERVER_PORT" || fail "the server still runs after the last kill-server"
}

for kind in jk later; do
    if [ $kind = jk ]; then
        name=jk n=2 model=UE40KU6000 path=/opt/usr/apps staging=/opt/usr/apps/tmp
        start_tv jk 2 --year 2016
    else
        name=later n=3 model=QE55Q70R path=/opt/usr/home/owner/apps_rw
        staging=/home/owner/share/tmp/sdk_tools/tmp
        start_tv later 3 --year 2018 --model-name QE55Q70R
    fi
    state="$WORK/tv/$name"
    address="$NET.$n"
    install_steps "$address" "$staging"
    check_steps "$address" "$model" "$path" "$staging"

    # Installing again replaces the application; uninstalling the declared id works.
    install_steps "$address" "$staging"
    check_line doLog/step6.txt "app_id[$APP] install completed"
    [ "$(grep -c "^$DECLARED	" "$state/apps.tsv")" = 1 ] || fail "a second install left two entries"
    iu c.out c.err connect "$address"  # the port defaults to 26101
    check_line c.out "connected to $address:26101"
    iu_log doLog/uninstall.txt shell 0 vd_appuninstall "$DECLARED;" echo 'cmd_ret:$?;'
    check_line doLog/uninstall.txt "app_id[$DECLARED] uninstall start"
    check_line doLog/uninstall.txt "app_id[$DECLARED] uninstalling[100]"
    check_line doLog/uninstall.txt "app_id[$DECLARED] uninstall completed"
    check_line doLog/uninstall.txt "cmd_ret:0"
    [ ! -s "$state/apps.tsv" ] || fail "the uninstalled application is still in apps.tsv"
    iu s.out s.err kill-server
done

# Where each part of a push report goes: all of it on standard output.
start_tv streams 5 --year 2019
iu c.out c.err connect "$NET.5"
iu p.out p.err push Quorvex.wgt /home/owner/share/tmp/sdk_tools/tmp/Quorvex.wgt
check_eq $? 0 "exit status of a push"
check_text p.err ""
check_has p.out "WARNING: Your data are to be sent"
check_has p.out "1 file(s) pushed. 0 file(s) skipped."
iu k.out k.err kill-server

# The project's sample package (when this build makes one) installs as the id it declares.
if [ -n "${QUORVEX_BENCH_SAMPLE_WGT:-}" ] && [ -f "$QUORVEX_BENCH_SAMPLE_WGT" ]; then
    cp "$QUORVEX_BENCH_SAMPLE_WGT" "$WORK/Quorvex.wgt"
    SIZE=$(stat -c %s "$WORK/Quorvex.wgt")
    start_tv sample 4
    name=sample
    state="$WORK/tv/sample"
    install_steps "$NET.4" /home/owner/share/tmp/sdk_tools/tmp
    check_line doLog/step6.txt "app_id[$APP] install completed"
    text_of doLog/step7.txt | grep -qE "^'.*'	 '$DECLARED'\$" || fail "the sample is not in the applist"
elif [ -n "${QUORVEX_BENCH_SAMPLE_WGT:-}" ]; then
    echo "note: the sample package is not built ($QUORVEX_BENCH_SAMPLE_WGT); its install was not tried"
fi
finish
