#!/usr/bin/env bash
# The test profiles are what the other tests believe they are: a few made by make-profile.sh and
# read back with openssl alone.
set -uo pipefail
make="$(cd "$(dirname "$0")" && pwd)/make-profile.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" && failures=$((failures + 1)); }

# One fact about a key file: field FILE PASSWORD NAME.
field() {
    local p12=(openssl pkcs12 -legacy -in "$1" -passin "pass:$2") ee
    ee=$("${p12[@]}" -nokeys -clcerts 2>/dev/null) || { echo no-open && return; }
    case "$3" in
    subject | issuer) openssl x509 -noout "-$3" -nameopt multiline <<<"$ee" | sed -n 's/ *commonName *= //p' ;;
    duids) openssl x509 -noout -ext subjectAltName <<<"$ee" 2>/dev/null | grep -o 'deviceid=[^,]*' |
        cut -d= -f2 | tr '\n' ' ' ;;
    bits) "${p12[@]}" -nocerts -nodes 2>/dev/null | openssl pkey -noout -text | sed -n 's/.*(\([0-9]*\) bit.*/\1/p' ;;
    cipher) "${p12[@]}" -info -noout 2>&1 | grep -o 'RC2-CBC\|AES-256-CBC' | head -1 ;;
    chain) # the key's certificate, then its intermediate (no root), up to the role's root
        local root=author-root.pem
        [[ "$(openssl x509 -noout -subject <<<"$ee")" != *TizenSDK* ]] || root=distributor-root.pem
        "${p12[@]}" -nokeys -cacerts 2>/dev/null >"$work/ca.pem"
        [ "$(grep -c BEGIN "$work/ca.pem")" = 1 ] &&
            openssl verify -CAfile "$work/ca/$root" -untrusted "$work/ca.pem" <<<"$ee" >/dev/null 2>&1 &&
            [ "$("${p12[@]}" -nocerts -nodes 2>/dev/null | openssl pkey -pubout)" = \
                "$(openssl x509 -noout -pubkey <<<"$ee")" ] && echo ok || echo bad ;;
    when) if ! openssl x509 -noout -checkend 0 <<<"$ee" >/dev/null; then echo expired
        elif [ "$(date -d "$(openssl x509 -noout -startdate <<<"$ee" | cut -d= -f2)" +%s)" -gt "$(date +%s)" ]
        then echo not-yet-valid; else echo valid; fi ;;
    esac
}

# name | options | file:password:field=expected;...
cases=(
    "default||author.p12:test-pass:subject=Quorvex Test Author;author.p12:test-pass:issuer=Test Samsung Author CA Class;distributor.p12:test-pass:subject=TizenSDK;distributor.p12:test-pass:issuer=Test VD DEVELOPER Public CA Class;distributor.p12:test-pass:duids=TESTDUID0001 ;author.p12:test-pass:chain=ok;distributor.p12:test-pass:chain=ok;author.p12:test-pass:bits=2048;author.p12:test-pass:cipher=AES-256-CBC;author.p12:test-pass:when=valid;author.p12:wrong:subject=no-open"
    "san|--duid-in san --duid TV1 --duid TV2|distributor.p12:test-pass:duids=TV1 TV2 "
    "xml|--duid-in profile --duid TV3|distributor.p12:test-pass:duids="
    "legacy|--legacy --bits 4096 --password пароль-Ä|author.p12:пароль-Ä:cipher=RC2-CBC;author.p12:пароль-Ä:bits=4096;distributor.p12:пароль-Ä:chain=ok"
    "passwords|--password '' --distributor-password other|author.p12::subject=Quorvex Test Author;distributor.p12:other:subject=TizenSDK;distributor.p12::subject=no-open"
    "expired|--validity expired|author.p12:test-pass:when=expired;distributor.p12:test-pass:when=expired"
    "later|--validity not-yet-valid|author.p12:test-pass:when=not-yet-valid;distributor.p12:test-pass:when=not-yet-valid"
    "swapped|--swap|author.p12:test-pass:subject=TizenSDK;distributor.p12:test-pass:subject=Quorvex Test Author;author.p12:test-pass:chain=ok"
)
for c in "${cases[@]}"; do
    IFS='|' read -r name opts checks <<<"$c"
    eval "args=($opts)"
    out=$("$make" "$work/$name" "${args[@]}" 2>&1) && [ -z "$out" ] || { fail "$name: made nothing or said: $out" && continue; }
    IFS=';' read -r -a list <<<"$checks"
    for item in "${list[@]}"; do
        IFS=':' read -r file pass rest <<<"$item"
        found=$(field "$work/$name/$file" "$pass" "${rest%%=*}")
        [ "$found" = "${rest#*=}" ] || fail "$name $file ${rest%%=*}: expected [${rest#*=}], found [$found]"
    done
done

expected='<?xml version="1.0" encoding="UTF-8" standalone="no"?>
<Profile name="test">
<TestDeviceInfo>
<TestDevice>TESTDUID0001</TestDevice>
</TestDeviceInfo>
</Profile>'
[ "$(cat "$work/default/device-profile.xml")" = "$expected" ] || fail "device-profile.xml"
grep -qx '<TestDevice>TV3</TestDevice>' "$work/xml/device-profile.xml" || fail "xml: its DUID"
[ ! -e "$work/san/device-profile.xml" ] || fail "san: a device-profile.xml"

# The CAs are made once and reused; a bad option fails with a message.
root=$(sha256sum <"$work/ca/author-root.pem")
"$make" "$work/again" >/dev/null 2>&1
[ "$root" = "$(sha256sum <"$work/ca/author-root.pem")" ] || fail "the CA was made again"
for bad in "--bits 1024" "--validity soon" "--duid a/b" "--frobnicate"; do
    eval "args=($bad)"
    err=$("$make" "$work/bad" "${args[@]}" 2>&1) && fail "$bad accepted"
    [ -n "$err" ] || fail "$bad refused without a message"
done
[ $failures = 0 ] && echo "make-profile: all checks passed"
exit $((failures > 0))
