#!/usr/bin/env bash
# Faults: a connection dropped in the middle of a push (the tool reports it and ends), packages
# the TV rejects (one whose zip directory lies about sizes among them), a TV that demands a
# certificate, full storage, a widget that needs a partner-level certificate, slow answers. In
# every case the vd_ command still ends with cmd_ret:0, as on real TVs.
source "$(dirname "$0")/bench-lib.sh"

APP=kR4vT7mWq2Z.Quorvex
STAGING=/home/owner/share/tmp/sdk_tools/tmp
CERT_ERROR="app_id[$APP] install failed[118, -12], reason: Check certificate error : :Invalid certificate chain with certificate in signature.:<-3>"
ARCHIVE_ERROR="app_id[$APP] install failed[118,-4] Load archive info fail"

# --- a push cut off after 100000 bytes
start_tv drop 2 --drop-after 100000
DROP=$TV_drop:26101
iu c.out c.err connect "$DROP"
head -c 600000 /dev/urandom >"$WORK/big.wgt"
# The tool ends by itself (255), not at the line's hang-catching limit (124).
iu drop.out drop.err push big.wgt "$STAGING/big.wgt"
check_eq $? 255 "exit status of a dropped push"
text_of drop.err | grep -qxE "fatal: failed to (write|close) '$STAGING/big.wgt': connection fails" ||
    { fail "no 'connection fails' for the dropped push"; show drop.err; }
check_lacks drop.out "file(s) pushed"
check_eq "$(stat -c %s "$WORK/tv/drop/fs$STAGING/big.wgt" 2>/dev/null)" 100000 "bytes the TV kept"
no_targets() {
    iu_log doLog/after-drop.txt devices
    [ "$(text_of doLog/after-drop.txt)" = "List of devices attached " ]
}
wait_for 60 no_targets || { fail "the dropped TV is still listed"; show doLog/after-drop.txt; }
iu gone.out gone.err shell 0 getappinstallpath
check_text gone.err "error: target not found"
# The TV itself lives on: a new connection and a small push work.
iu c2.out c2.err connect "$DROP"
check_line c2.out "connected to $DROP"
echo small >"$WORK/small.wgt"
iu small.out small.err push small.wgt "$STAGING/small.wgt"
check_eq $? 0 "a push below the drop limit"
iu d.out d.err disconnect "$DROP"

# --- packages a TV rejects
start_tv later 3 --year 2017
iu c.out c.err connect "$TV_later:26101"
make_package "$WORK/good.wgt" R4vT7mWq2Z.Quorvex R4vT7mWq2Z
make_package "$WORK/tampered.wgt" R4vT7mWq2Z.Quorvex R4vT7mWq2Z tamper
make_package "$WORK/unsigned.wgt" R4vT7mWq2Z.Quorvex R4vT7mWq2Z no-signature1
make_package "$WORK/noid.wgt" R4vT7mWq2Z.Quorvex R4vT7mWq2Z no-app-id
head -c 5000 /dev/urandom >"$WORK/notzip.wgt"
# The same good package, its directory claiming 4 GB for every member.
cp "$WORK/good.wgt" "$WORK/lies.wgt"
for at in $(grep -obUaP 'PK\x01\x02' "$WORK/lies.wgt" | cut -d: -f1); do
    printf '\xf0\xff\xff\xff' | dd of="$WORK/lies.wgt" bs=1 seek=$((at + 24)) conv=notrunc status=none
done

# install_log LOG FILE: push FILE as Quorvex.wgt and install it with the installer's line.
install_log() {
    iu p.out p.err push "$2" "$STAGING/Quorvex.wgt"
    iu_log "$1" shell 0 vd_appinstall "$APP" "$STAGING/Quorvex.wgt;" echo 'cmd_ret:$?;'
}
# check_refused LOG LINE: the install ended with LINE, a time line and cmd_ret:0.
check_refused() {
    check_line "$1" "app_id[$APP] install start"
    check_line "$1" "$2"
    check_lacks "$1" "install completed"
    [ "$(text_of "$1" | tail -n 2 | head -n 1 | sed -E 's/\[[0-9]+\]/[N]/')" = "spend time for wascmd is [N]ms" ] ||
        fail "$1: no 'spend time' line before the end"
    text_of "$1" | tail -n 1 | grep -qx 'cmd_ret:0' || fail "$1 does not end with cmd_ret:0"
}
install_log doLog/tampered.txt tampered.wgt
check_refused doLog/tampered.txt "$CERT_ERROR"
install_log doLog/unsigned.txt unsigned.wgt
check_refused doLog/unsigned.txt "$CERT_ERROR"
install_log doLog/notzip.txt notzip.wgt
check_refused doLog/notzip.txt "$ARCHIVE_ERROR"
install_log doLog/noid.txt noid.wgt
check_refused doLog/noid.txt "$ARCHIVE_ERROR"
install_log doLog/lies.txt lies.wgt
check_refused doLog/lies.txt "$ARCHIVE_ERROR"
iu r.out r.err shell 0 rmfile "$STAGING/Quorvex.wgt"
iu_log doLog/nofile.txt shell 0 vd_appinstall "$APP" "$STAGING/Quorvex.wgt;" echo 'cmd_ret:$?;'
check_refused doLog/nofile.txt "$ARCHIVE_ERROR"
[ ! -s "$WORK/tv/later/apps.tsv" ] || fail "a rejected package was installed"
# The same TV takes the good package, so the refusals above came from the packages.
install_log doLog/good.txt good.wgt
check_line doLog/good.txt "app_id[$APP] install completed"
iu d.out d.err disconnect

# --- a TV that demands a certificate (asked for, and always from Tizen 7); one with no room; one
# that wants a partner-level certificate for the widget (a 2025 set checks the certificate first)
start_tv cert 4 --demand-certificate
start_tv seven 5 --year 2023
start_tv full 6 --full-storage
start_tv partner 8 --year 2022 --privilege-mismatch
start_tv partner25 9 --year 2025 --privilege-mismatch
for tv in cert seven full partner partner25; do
    iu c.out c.err connect "$(eval echo "\$TV_$tv"):26101"
    install_log "doLog/$tv.txt" good.wgt
    [ ! -s "$WORK/tv/$tv/apps.tsv" ] || fail "the $tv TV installed the package"
    iu d.out d.err disconnect
done
check_refused doLog/cert.txt "$CERT_ERROR"
check_refused doLog/seven.txt "$CERT_ERROR"
check_refused doLog/full.txt "app_id[$APP] download failed[116]"
check_refused doLog/partner.txt "app_id[$APP] install failed[118, -14], reason: Signature error"
check_refused doLog/partner25.txt "$CERT_ERROR"

# --- slow answers: every line comes, each after the pause
start_tv slow 7 --slow 300
iu c.out c.err connect "$TV_slow:26101"
started=$(now_ms)
iu_log doLog/slow.txt shell 0 vd_appuninstall "$APP;" echo 'cmd_ret:$?;'
took=$(($(now_ms) - started))
check_line doLog/slow.txt "app_id[$APP] uninstall failed[132]"
check_line doLog/slow.txt "cmd_ret:0"
[ "$took" -ge 900 ] || fail "three lines from a TV with 300 ms pauses came in $took ms"
finish
