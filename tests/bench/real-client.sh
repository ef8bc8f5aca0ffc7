#!/usr/bin/env bash
# A real bridge tool, written by nobody here, against the simulated TV: the public source of an
# old version (2.2.53), built for this host and for Windows (run under Wine, through cmd.exe).
# It proves the TV's side of the protocol: connect, devices, the installer's shell commands and a
# refused one, pushes whose bytes arrive exactly and refused ones, a Host PC IP that is not ours,
# a closed port, a dropped push, kill-server. Its texts are the old version's, not today's.
#   real-client.sh MODE SDB_SOURCE_DIR SDB_OUT_DIR TVSIM [WINE_RUNNER]
# Skipped (77) when the source is not there.
set -uo pipefail
mode=$1 source=$2 out=$3 tvsim=$4
shift 4
# The host tree builds it into itself (never into the repository); a tree built before gets it here.
"$(dirname "$0")/build-real-client.sh" "$source" "$out"
case $? in
0) ;;
77)
    echo "SKIP: no real bridge tool source at $source (its tests need ../shared/third_party/sdb)"
    exit 77
    ;;
*)
    echo "FAIL: building the real tool"
    exit 1
    ;;
esac
tool=$out/sdb
[ "$mode" = windows ] && tool=$out/sdb.exe
set -- "$mode" "$tool" "$tvsim" "$@"
source "$(dirname "$0")/bench-lib.sh"

start_tv jk 2 --year 2016
start_tv later 3 --year 2019
start_tv strict 4 --host-ip 127.0.0.99
start_tv off 5 --developer-mode off
start_tv drop 6 --drop-after 100000
JK=$TV_jk:26101
LATER=$TV_later:26101
STAGING=/home/owner/share/tmp/sdk_tools/tmp

# Under Windows this version's server keeps the files its first caller's output went to (it
# inherits them), and a later line that writes them meets a sharing violation: the caller that
# starts it, and every connect (which starts it when it is not running), write files of their own.
# Under load the start at times fails at once (exit 255 in about 0.2 s, server not started): that
# is this old tool's start under Wine, not the TV, so it is said and tried once more.
started_server() { iu "start$1.out" "start$1.err" start-server && ! port_free "$SERVER_PORT"; }
if ! started_server ""; then
    echo "note: the real tool's start-server failed; started it again. Its output:"
    show start.out
    show start.err
    started_server 2 || fail "the real tool's server did not start"
fi
# This version prints "connected" as soon as TCP connects; the TV is online once it answered the
# CNXN (the host waits 1 s before sending it, and 1 s after).
online() {
    iu st.out st.err -s "$1" get-state
    [ "$(text_of st.out)" = device ]
}
for name in jk later; do
    target=TV_$name
    target=${!target}:26101
    iu "c-$name.out" "c-$name.err" connect "$target"
    check_line "c-$name.out" "connected to $target"
    wait_for 60 online "$target" || fail "$target never came online"
done
iu_log doLog/devices.txt devices
check_line doLog/devices.txt "$(printf '%-20s\t%-10s\t%s' "$JK" device UE40KU6000)"
check_line doLog/devices.txt "$(printf '%-20s\t%-10s\t%s' "$LATER" device UE43RU7400)"

# The installer's shell commands, each "0 <command>".
iu_log doLog/path-jk.txt -s "$JK" shell 0 getappinstallpath
check_text doLog/path-jk.txt "/opt/usr/apps"
iu_log doLog/path.txt -s "$LATER" shell 0 getappinstallpath
check_text doLog/path.txt "/opt/usr/home/owner/apps_rw"
# Lines come from a PTY: "\r\n" (and "\r\r\n" under Windows, whose text mode adds one).
grep -q $'apps_rw\r' "$WORK/doLog/path.txt" || fail "the TV's line does not end in \\r\\n"
APP=R4vT7mWq2Z.Quorvex
iu_log doLog/uninstall0.txt -s "$LATER" shell 0 vd_appuninstall "$APP;" echo 'cmd_ret:$?;'
check_line doLog/uninstall0.txt "app_id[$APP] uninstall failed[132]"
check_line doLog/uninstall0.txt "cmd_ret:0"
iu mk.out mk.err -s "$LATER" shell 0 mkdir "$STAGING"
make_package "$WORK/Quorvex.wgt" "$APP" R4vT7mWq2Z
iu_log doLog/push.txt -s "$LATER" push Quorvex.wgt "$STAGING/Quorvex.wgt"
check_line doLog/push.txt "1 file(s) pushed. 0 file(s) skipped."
cmp -s "$WORK/Quorvex.wgt" "$WORK/tv/later/fs$STAGING/Quorvex.wgt" || fail "the pushed package differs on the TV"
iu_log doLog/install.txt -s "$LATER" shell 0 vd_appinstall "$APP" "$STAGING/Quorvex.wgt;" echo 'cmd_ret:$?;'
check_line doLog/install.txt "app_id[$APP] install completed"
check_line doLog/install.txt "cmd_ret:0"
iu rm.out rm.err -s "$LATER" shell 0 rmfile "$STAGING/Quorvex.wgt"
[ ! -e "$WORK/tv/later/fs$STAGING/Quorvex.wgt" ] || fail "rmfile left the package"
iu_log doLog/applist.txt -s "$LATER" shell 0 applist
check_line doLog/applist.txt "'Bench R4vT7mWq2Z'	 '$APP'"
check_line tv/later/commands.log "installed: $APP"

# A command a retail set does not run: refused, the tool prints "closed".
iu ls.out ls.err -s "$LATER" shell ls /
check_ne $? 0 "exit status of a refused shell command"
check_text ls.err "closed"

# A big push to the J/K set, many packets of at most 4096 bytes each way: every byte arrives.
head -c 2000000 /dev/urandom >"$WORK/big.bin"
iu big.out big.err -s "$JK" push big.bin /opt/usr/apps/tmp/big.bin
check_eq $? 0 "exit status of a big push"
cmp -s "$WORK/big.bin" "$WORK/tv/jk/fs/opt/usr/apps/tmp/big.bin" || fail "the big push differs on the TV"
# The other generation's staging directory: refused.
iu old.out old.err -s "$LATER" push Quorvex.wgt /opt/usr/apps/tmp/Quorvex.wgt
# (This version prints the message from a buffer it does not end: bytes may follow it.)
check_has old.err "error: failed to close '/opt/usr/apps/tmp/Quorvex.wgt': Permission denied"
[ ! -e "$WORK/tv/later/fs/opt/usr/apps/tmp/Quorvex.wgt" ] || fail "the refused file is on the TV"

# A TV whose Host PC IP is another computer closes the connection: never online.
iu s.out s.err connect "$TV_strict:26101"
refused() { text_of tv/strict/commands.log | grep -qxF "refused: 127.0.0.1"; }
wait_for 60 refused || fail "the TV with another Host PC IP did not refuse 127.0.0.1"
online "$TV_strict:26101" && fail "a TV with another Host PC IP came online"
# Developer mode off: nothing listens.
iu off.out off.err connect "$TV_off:26101"
check_text off.out "error: failed to connect to remote target '$TV_off'"

# A push the TV drops half-way: the tool fails, the TV kept what came.
iu c-drop.out c-drop.err connect "$TV_drop:26101"
wait_for 60 online "$TV_drop:26101" || fail "the drop TV never came online"
head -c 600000 /dev/urandom >"$WORK/drop.bin"
iu drop.out drop.err -s "$TV_drop:26101" push drop.bin "$STAGING/drop.bin"
check_ne $? 0 "exit status of a dropped push"
echo "the real tool on a dropped push: $(text_of drop.err | tr '\n' '|')"
check_eq "$(stat -c %s "$WORK/tv/drop/fs$STAGING/drop.bin" 2>/dev/null)" 100000 "bytes the TV kept"

iu k.out k.err kill-server
check_eq $? 0 "kill-server"
wait_for 30 port_free "$SERVER_PORT" || fail "the real server still runs after kill-server"
finish
