#!/usr/bin/env bash
# 2023 and later TVs (Tizen 7+) that trust the test roots: a widget signed by xmlsec1
# (sign-package.sh) with a profile from tests/signing/make-profile.sh (its DUID only in
# device-profile.xml), pushed by the tool with that device list, installs; without the list, on a TV with another DUID, or on one
# that trusts no root, it is refused with -3; a widget that needs a partner-level certificate is
# refused after the checks, a 2025 set saying why. 'shell 0 getduid' answers the TV's DUID.
source "$(dirname "$0")/bench-lib.sh"
command -v xmlsec1 >/dev/null || {
    echo "SKIP: no xmlsec1"
    exit 77
}

APP=kR4vT7mWq2Z.Quorvex # the id the installer asks for
STAGING=/home/owner/share/tmp/sdk_tools/tmp
DUID=QVXBENCH0001
PROFILE=$WORK/profile
bash "$REPO_DIR/tests/signing/make-profile.sh" "$PROFILE" --duid-in profile --duid "$DUID" || {
    echo "FAIL: make-profile.sh"
    exit 1
}
cp "$PROFILE/device-profile.xml" "$WORK/device-profile.xml"
ROOTS=(--trusted-root "$WORK/ca/author-root.pem" --trusted-root "$WORK/ca/distributor-root.pem")

# The widget: a folder with a space and a subfolder in its names, as the percent-encoding needs.
mkdir -p "$WORK/pkg/js" "$WORK/pkg/images"
cat >"$WORK/pkg/config.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<widget xmlns="http://www.w3.org/ns/widgets" xmlns:tizen="http://tizen.org/ns/widgets" id="http://bench.example/R4vT7mWq2Z" version="1.0.0">
    <tizen:application id="R4vT7mWq2Z.Quorvex" package="R4vT7mWq2Z" required_version="2.3"/>
    <name>Signed Quorvex</name>
    <content src="index.html"/>
</widget>
XML
echo "<html><body>signed</body></html>" >"$WORK/pkg/index.html"
head -c 3000 /dev/urandom | base64 >"$WORK/pkg/js/main.js"
head -c 200 /dev/urandom >"$WORK/pkg/images/my icon.png"
if ! bash "$BENCH_DIR/sign-package.sh" "$WORK/pkg" "$PROFILE" ||
    ! (cd "$WORK/pkg" && zip -q -r "$WORK/Quorvex.wgt" .); then
    fail "the package was not made"
fi

# name N "TV options" push-device-list text-in-its-log expected-answer (the last, which may hold
# '|' itself)
chain="install failed[118, -12], reason: Check certificate error : :Invalid certificate chain with certificate in signature.:<-3>"
partner="install failed[118, -14], reason: Signature error : :Check config.xml| - Current certificate signature level = public||[MISMATCHED_PRIVILEGE_LEVEL]| - http://developer.samsung.com/privilege/sso.partner   >> Use at least partner signatured certificate.|:"
cases=(
    "listed|2|--year 2023 --duid $DUID ${ROOTS[*]}|yes|installed: R4vT7mWq2Z.Quorvex|install completed"
    "tizen8|3|--year 2021 --tizen 8.0 --duid $DUID ${ROOTS[*]}|yes|installed: R4vT7mWq2Z.Quorvex|install completed"
    "unlisted|4|--year 2023 --duid $DUID ${ROOTS[*]}|no|neither in the distributor certificate|$chain"
    "otherduid|5|--year 2024 --duid OTHER0000001 ${ROOTS[*]}|yes|DUID OTHER0000001|$chain"
    "noroot|6|--year 2023 --duid $DUID|yes|no root trusted|$chain"
    "partner|7|--year 2025 --duid $DUID ${ROOTS[*]} --privilege-mismatch|yes|partner-level certificate|$partner"
    "partner24|8|--year 2024 --duid $DUID ${ROOTS[*]} --privilege-mismatch|yes|partner-level certificate|install failed[118, -14], reason: Signature error"
)
for entry in "${cases[@]}"; do
    IFS='|' read -r name n options push logged answer <<<"$entry"
    # shellcheck disable=SC2086 # the options are separate words
    start_tv "$name" "$n" $options
    address="$NET.$n:26101"
    iu c.out c.err connect "$address"
    check_line c.out "connected to $address"
    iu_log "doLog/$name-duid.txt" -s "$address" shell 0 getduid
    check_text "doLog/$name-duid.txt" "$(sed -n 's/.*--duid \([^ ]*\).*/\1/p' <<<"$options")"
    if [ "$push" = yes ]; then
        iu "$name-profile.out" "$name-profile.err" -s "$address" push device-profile.xml \
            /home/developer/device-profile.xml
        check_line "$name-profile.out" "1 file(s) pushed. 0 file(s) skipped."
        cmp -s "$PROFILE/device-profile.xml" "$WORK/tv/$name/fs/home/developer/device-profile.xml" ||
            fail "$name: the device profile did not arrive"
    fi
    iu_log "doLog/$name-push.txt" -s "$address" push Quorvex.wgt "$STAGING/Quorvex.wgt"
    check_line "doLog/$name-push.txt" "1 file(s) pushed. 0 file(s) skipped."
    iu_log "doLog/$name-install.txt" -s "$address" shell 0 vd_appinstall "$APP" "$STAGING/Quorvex.wgt;" echo 'cmd_ret:$?;'
    check_line "doLog/$name-install.txt" "app_id[$APP] $answer"
    check_has "tv/$name/commands.log" "$logged"
done
# Elsewhere than its own staging area and /home/developer/device-profile.xml, a push is refused.
iu other.out other.err -s "$NET.2:26101" push device-profile.xml /home/developer/other.xml
check_text other.err "error: failed to close '/home/developer/other.xml': Permission denied"
iu k.out k.err kill-server
finish
