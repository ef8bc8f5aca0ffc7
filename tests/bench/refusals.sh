#!/usr/bin/env bash
# What TVs refuse, as retail sets do: a host that is not the TV's Host PC IP (closed right after
# it is accepted: "failed to connect" after 3 s), a TV whose bridge port is closed (developer mode
# off, not active yet, standby: nothing listens), a right-to-left TV's reversed Host PC IP, shell
# commands a retail set does not run, pushes outside the TV's own staging area, and over-long
# paths, each with the real tool's words, streams and exit status.
source "$(dirname "$0")/bench-lib.sh"

start_tv strict 2 --host-ip 127.0.0.99
start_tv off 3 --developer-mode off
start_tv pending 4 --developer-mode pending --year 2021
start_tv standby 5 --standby --year 2019
start_tv rtl 6 --rtl --year 2020                    # stored 1.0.0.127: we are not that
start_tv rtlours 7 --rtl --host-ip 1.0.0.127         # stored 127.0.0.1: that is us
start_tv later 8 --year 2019
start_tv jk 9 --year 2016

iu start.out start.err start-server
for tv in strict rtl; do
    address=$(eval echo "\$TV_$tv")
    started=$(now_ms)
    iu "$tv.out" "$tv.err" connect "$address"
    check_eq $? 1 "exit status of a connect the TV closes ($tv)"
    took=$(($(now_ms) - started))
    check_text "$tv.out" "connecting to $address:26101 ...
failed to connect to $address:26101"
    check_text "$tv.err" ""
    [ "$took" -ge 2500 ] || fail "$tv: 'failed to connect' came after $took ms, not after 3 s"
    check_line "tv/$tv/commands.log" "refused: 127.0.0.1"
done
for tv in off pending standby; do
    address=$(eval echo "\$TV_$tv")
    iu_log "doLog/$tv.txt" connect "$address:26101"
    check_eq $? 0 "exit status of a connect nothing answers ($tv)"
    check_text "doLog/$tv.txt" "error: failed to connect to remote target '$address'"
done
iu_log doLog/devices.txt devices
check_text doLog/devices.txt "List of devices attached "

# What each of them tells over HTTP.
http_get "$TV_off" /api/v2/ off-api.txt
check_has off-api.txt '"developerIP":"0.0.0.0","developerMode":"0"'
http_get "$TV_pending" /api/v2/ pending-api.txt
check_has pending-api.txt '"developerIP":"127.0.0.1","developerMode":"0"'
http_get "$TV_standby" /api/v2/ standby-api.txt
check_has standby-api.txt '"PowerState":"standby"'
http_get "$TV_rtl" /api/v2/ rtl-api.txt
check_has rtl-api.txt '"developerIP":"1.0.0.127","developerMode":"1"'

# The right-to-left TV whose reversed Host PC IP is ours lets us in.
iu ours.out ours.err connect "$TV_rtlours"
check_eq $? 0 "connect to the TV that stored our address reversed"
check_line ours.out "connected to $TV_rtlours:26101"
iu d.out d.err disconnect

# Beyond loopback only inside a test's own network namespace (tests/isolated.sh: unshare --net).
if ip addr add 10.77.0.2/32 dev lo 2>/dev/null; then
    env -u QUORVEX_ISOLATED "$TVSIM" --address 10.77.0.2 --state "$WORK/tv/outside" \
        >outside.out 2>&1 </dev/null
    check_eq $? 2 "exit status of a TV outside loopback without QUORVEX_ISOLATED"
    check_has outside.out "must be a loopback address"
    # The marks alone are not enough: the namespace must differ from the one the test came from.
    env QUORVEX_OUTER_NETNS="$(readlink /proc/self/ns/net)" "$TVSIM" --address 10.77.0.2 \
        --state "$WORK/tv/outside" >outside2.out 2>&1 </dev/null
    check_eq $? 2 "exit status of a TV outside loopback in the namespace it was started from"
    check_has outside2.out "must be a loopback address"
    TV_STATES+=("$WORK/tv/lan")
    "$START_TV" 10.77.0.2 "$WORK/tv/lan" --host-ip 10.77.0.2 >/dev/null || fail "no TV on 10.77.0.2"
    iu lan.out lan.err connect 10.77.0.2
    check_line lan.out "connected to 10.77.0.2:26101"
    iu d.out d.err disconnect
else
    fail "could not add an address in the test's namespace"
fi

echo package >"$WORK/Quorvex.wgt"
LATER=$TV_later:26101
JK=$TV_jk:26101
iu c.out c.err connect "$LATER"
iu c.out c.err connect "$JK"

# Only "0 <fixed command>" runs; anything else is refused with "closed" and status 1.
for line in "ls /" "getappinstallpath" "0 rm -rf /"; do
    # shellcheck disable=SC2086 # the words go as separate arguments
    iu sh.out sh.err -s "$LATER" shell $line
    check_eq $? 1 "exit status of the refused 'shell $line'"
    check_text sh.err "closed"
    check_text sh.out ""
done
check_line tv/later/commands.log "refused: shell:ls /"

# A later TV refuses the J/K staging directory: the real tool reports it and ends with 0.
iu old.out old.err -s "$LATER" push Quorvex.wgt /opt/usr/apps/tmp/Quorvex.wgt
check_eq $? 0 "exit status of a refused push"
check_text old.err "error: failed to close '/opt/usr/apps/tmp/Quorvex.wgt': Permission denied"
check_lacks old.out "file(s) pushed"
[ ! -e "$WORK/tv/later/fs/opt/usr/apps/tmp/Quorvex.wgt" ] || fail "the refused file is on the TV"
# ... and a path that climbs out of its directories.
up=/home/owner/share/tmp/sdk_tools/../../../../../../escaped.wgt
iu up.out up.err -s "$LATER" push Quorvex.wgt "$up"
check_text up.err "error: failed to close '$up': Permission denied"
[ -z "$(find "$WORK" -name escaped.wgt)" ] || fail "a push escaped the TV's folder"
# A name longer than a file system takes: the TV says why.
long=/home/owner/share/tmp/sdk_tools/tmp/$(printf 'n%.0s' $(seq 1 300)).wgt
iu long.out long.err -s "$LATER" push Quorvex.wgt "$long"
check_text long.err "error: failed to close '$long': File name too long"
# A path longer than the protocol allows (1024): the TV refuses the request and lives on.
longer=/home/owner/share/tmp/sdk_tools/tmp/$(printf 'd/%.0s' $(seq 1 600))x.wgt
iu longer.out longer.err -s "$LATER" push Quorvex.wgt "$longer"
check_ne $? 0 "exit status of a push with a path over 1024 bytes"
check_has longer.err "failed to"
# The connection stays usable after each refusal.
iu new.out new.err -s "$LATER" push Quorvex.wgt /home/owner/share/tmp/sdk_tools/tmp/Quorvex.wgt
check_eq $? 0 "push to the later TV's staging directory"
check_line new.out "1 file(s) pushed. 0 file(s) skipped."
check_text new.err ""

# A J/K TV takes /opt/usr/apps/tmp only.
iu jknew.out jknew.err -s "$JK" push Quorvex.wgt /home/owner/share/tmp/sdk_tools/tmp/Quorvex.wgt
check_text jknew.err "error: failed to close '/home/owner/share/tmp/sdk_tools/tmp/Quorvex.wgt': Permission denied"
iu jkold.out jkold.err -s "$JK" push Quorvex.wgt /opt/usr/apps/tmp/Quorvex.wgt
check_eq $? 0 "push to the J/K staging directory"
cmp -s "$WORK/Quorvex.wgt" "$WORK/tv/jk/fs/opt/usr/apps/tmp/Quorvex.wgt" || fail "J/K TV lacks the file"
finish
