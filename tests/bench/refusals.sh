#!/usr/bin/env bash
# What TVs refuse: a connection from a host that is not the TV's Host PC IP, any connection when
# developer mode is off (both reset), a push to a directory the TV's kind does not allow.
source "$(dirname "$0")/bench-lib.sh"

start_tv strict 2 --host-ip 127.0.0.99
start_tv off 3 --developer-mode off
start_tv later 4 --tizen 3.0
start_tv jk 5 --tizen 2.4

for tv in strict off; do
    address=$(eval echo "\$TV_$tv")
    iu_log "doLog/$tv.txt" connect "$address:26101"
    check_ne $? 0 "exit status of a reset connect ($tv)"
    check_line "doLog/$tv.txt" "connecting to $address:26101 ..."
    check_line "doLog/$tv.txt" "error: failed to connect to remote target '$address'"
    check_lacks "doLog/$tv.txt" "connected to"
    check_line "tv/$tv/commands.log" "reset: 127.0.0.1"
done
iu_log doLog/devices.txt devices
check_text doLog/devices.txt "List of devices attached "
http_get "$TV_off" /api/v2/ off-api.txt
check_has off-api.txt '"developerMode":"0"'
http_get "$TV_strict" /api/v2/ strict-api.txt
check_has strict-api.txt '"developerIP":"127.0.0.99"'

echo package >"$WORK/Quorvex.wgt"
LATER=$TV_later:26101
JK=$TV_jk:26101
iu c.out c.err connect "$LATER"
iu c.out c.err connect "$JK"

# A later TV refuses the J/K staging directory; the error goes to standard error.
iu old.out old.err -s "$LATER" push Quorvex.wgt /opt/usr/apps/tmp/Quorvex.wgt
check_ne $? 0 "exit status of a refused push"
check_text old.err "sdb sync: FAIL: You cannot push files to this path."
check_text old.out ""
[ ! -e "$WORK/tv/later/fs/opt/usr/apps/tmp/Quorvex.wgt" ] || fail "the refused file is on the TV"
# ... and a path that climbs out of its directories.
iu up.out up.err -s "$LATER" push Quorvex.wgt /home/owner/share/tmp/sdk_tools/../../../../../../escaped.wgt
check_text up.err "sdb sync: FAIL: You cannot push files to this path."
[ -z "$(find "$WORK" -name escaped.wgt)" ] || fail "a push escaped the TV's folder"
# The connection stays usable after a refusal.
iu new.out new.err -s "$LATER" push Quorvex.wgt /home/owner/share/tmp/sdk_tools/tmp/Quorvex.wgt
check_eq $? 0 "push to the later TV's staging directory"
check_line new.err "1 file(s) pushed. 0 file(s) skipped."

# A J/K TV takes /opt/usr/apps/tmp only.
iu jknew.out jknew.err -s "$JK" push Quorvex.wgt /home/owner/share/tmp/sdk_tools/tmp/Quorvex.wgt
check_text jknew.err "sdb sync: FAIL: You cannot push files to this path."
iu jkold.out jkold.err -s "$JK" push Quorvex.wgt /opt/usr/apps/tmp/Quorvex.wgt
check_eq $? 0 "push to the J/K staging directory"
cmp -s "$WORK/Quorvex.wgt" "$WORK/tv/jk/fs/opt/usr/apps/tmp/Quorvex.wgt" || fail "J/K TV lacks the file"
finish
