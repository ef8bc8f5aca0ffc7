#!/usr/bin/env bash
# 2023 and later TVs (Tizen 7+) that trust the test roots: a widget signed here by xmlsec1 with a
# profile from tests/signing/make-profile.sh (its DUID only in device-profile.xml), pushed by the
# tool with that device list, installs; without the list, on a TV with another DUID, or on one
# that trusts no root, it is refused with -3. 'shell 0 getduid' answers the TV's DUID.
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

# template ROLE ID FILE...: a signature template in the layout Tizen's tools write.
template() {
    local role=$1 id=$2 file
    shift 2
    local digest='<DigestMethod Algorithm="http://www.w3.org/2001/04/xmlenc#sha512"></DigestMethod>'
    printf '<Signature xmlns="http://www.w3.org/2000/09/xmldsig#" Id="%s">\n<SignedInfo>\n' "$id"
    printf '<CanonicalizationMethod Algorithm="http://www.w3.org/2001/10/xml-exc-c14n#"></CanonicalizationMethod>\n'
    printf '<SignatureMethod Algorithm="http://www.w3.org/2001/04/xmldsig-more#rsa-sha512"></SignatureMethod>\n'
    for file in "$@"; do
        printf '<Reference URI="%s">\n%s\n<DigestValue></DigestValue>\n</Reference>\n' \
            "$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1], safe="-_.!~*()\x27"))' "$file")" \
            "$digest"
    done
    printf '<Reference URI="#prop">\n<Transforms>\n<Transform Algorithm="http://www.w3.org/2006/12/xml-c14n11"></Transform>\n</Transforms>\n%s\n<DigestValue></DigestValue>\n</Reference>\n</SignedInfo>\n' "$digest"
    printf '<SignatureValue></SignatureValue>\n<KeyInfo>\n<X509Data>\n</X509Data>\n</KeyInfo>\n'
    printf '<Object Id="prop"><SignatureProperties xmlns:dsp="http://www.w3.org/2009/xmldsig-properties">'
    printf '<SignatureProperty Id="profile" Target="#%s"><dsp:Profile URI="http://www.w3.org/ns/widgets-digsig#profile"></dsp:Profile></SignatureProperty>' "$id"
    printf '<SignatureProperty Id="role" Target="#%s"><dsp:Role URI="http://www.w3.org/ns/widgets-digsig#role-%s"></dsp:Role></SignatureProperty>' "$id" "$role"
    printf '<SignatureProperty Id="identifier" Target="#%s"><dsp:Identifier></dsp:Identifier></SignatureProperty>' "$id"
    printf '</SignatureProperties></Object>\n</Signature>\n'
}

# sign_as ROLE ID P12 OUT FILE...: xmlsec1 signs the template inside the package folder (the
# references resolve against it) and the template goes.
sign_as() {
    local role=$1 id=$2 p12=$3 out=$4
    shift 4
    template "$role" "$id" "$@" >.template.xml
    xmlsec1 --sign --pkcs12 "$p12" --pwd test-pass --id-attr:Id Object \
        --enabled-reference-uris empty,same-doc,local,remote --output "$out" .template.xml ||
        fail "xmlsec1 could not sign $out"
    rm -f .template.xml
}

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
(
    cd "$WORK/pkg" || exit 1
    mapfile -t files < <(find . -type f ! -name '.*' | sed 's|^\./||' | LC_ALL=C sort)
    sign_as author AuthorSignature "$PROFILE/author.p12" author-signature.xml "${files[@]}"
    sign_as distributor DistributorSignature "$PROFILE/distributor.p12" signature1.xml \
        author-signature.xml "${files[@]}"
    zip -q -r "$WORK/Quorvex.wgt" .
) || fail "the package was not made"

# name N "TV options" push-device-list expected-answer text-in-its-log
chain="install failed[118, -12], reason: Check certificate error : :Invalid certificate chain with certificate in signature.:<-3>"
cases=(
    "listed|2|--year 2023 --duid $DUID ${ROOTS[*]}|yes|install completed|installed: R4vT7mWq2Z.Quorvex"
    "tizen8|3|--year 2021 --tizen 8.0 --duid $DUID ${ROOTS[*]}|yes|install completed|installed: R4vT7mWq2Z.Quorvex"
    "unlisted|4|--year 2023 --duid $DUID ${ROOTS[*]}|no|$chain|neither in the distributor certificate"
    "otherduid|5|--year 2024 --duid OTHER0000001 ${ROOTS[*]}|yes|$chain|DUID OTHER0000001"
    "noroot|6|--year 2023 --duid $DUID|yes|$chain|no root trusted"
)
for entry in "${cases[@]}"; do
    IFS='|' read -r name n options push answer logged <<<"$entry"
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
