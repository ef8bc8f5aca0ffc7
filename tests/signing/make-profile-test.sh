#!/usr/bin/env bash
# The test certificate profiles are what the other tests believe they are: makes a few with
# make-profile.sh and reads them back with openssl alone.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
make="$here/make-profile.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { # $1: what, $2: the expected, $3: what was found
    if [ "$2" != "$3" ]; then
        echo "FAIL: $1: expected [$2], found [$3]"
        failures=$((failures + 1))
    fi
}

# Reads one field of a profile file. $1 dir, $2 file, $3 password, $4 field.
field() {
    local p12="$1/$2" pass=$3
    local ee
    ee=$(openssl pkcs12 -legacy -in "$p12" -passin "pass:$pass" -nokeys -clcerts 2>/dev/null) || {
        echo "no-open"
        return
    }
    case "$4" in
    subject) openssl x509 -noout -subject -nameopt multiline <<<"$ee" | sed -n 's/ *commonName *= //p' ;;
    issuer) openssl x509 -noout -issuer -nameopt multiline <<<"$ee" | sed -n 's/ *commonName *= //p' ;;
    duids) openssl x509 -noout -ext subjectAltName <<<"$ee" 2>/dev/null |
        grep -o 'deviceid=[^,]*' | sed 's/deviceid=//' | tr '\n' ' ' ;;
    cas) openssl pkcs12 -legacy -in "$p12" -passin "pass:$pass" -nokeys -cacerts 2>/dev/null |
        grep -c 'BEGIN CERTIFICATE' ;;
    bits) openssl pkcs12 -legacy -in "$p12" -passin "pass:$pass" -nocerts -nodes 2>/dev/null |
        openssl pkey -noout -text | sed -n 's/.*Private-Key: (\([0-9]*\) bit.*/\1/p' ;;
    cipher) openssl pkcs12 -legacy -in "$p12" -passin "pass:$pass" -info -noout 2>&1 |
        grep -o 'pbeWithSHA1And40BitRC2-CBC\|AES-256-CBC' | head -1 ;;
    keymatch)
        local a b
        a=$(openssl x509 -noout -pubkey <<<"$ee" | sha256sum)
        b=$(openssl pkcs12 -legacy -in "$p12" -passin "pass:$pass" -nocerts -nodes 2>/dev/null |
            openssl pkey -pubout | sha256sum)
        [ "$a" = "$b" ] && echo yes || echo no
        ;;
    chain) # against the root of its role, through the intermediate in the file
        local root=author-root.pem
        [ "$(field "$1" "$2" "$pass" subject)" = TizenSDK ] && root=distributor-root.pem
        openssl pkcs12 -legacy -in "$p12" -passin "pass:$pass" -nokeys -cacerts 2>/dev/null \
            >"$work/untrusted.pem"
        openssl verify -CAfile "$work/ca/$root" -untrusted "$work/untrusted.pem" <<<"$ee" \
            >/dev/null 2>&1 && echo ok || echo bad
        ;;
    when) # where now lies against the certificate's dates
        if ! openssl x509 -noout -checkend 0 <<<"$ee" >/dev/null; then echo expired;
        elif [ "$(date -d "$(openssl x509 -noout -startdate <<<"$ee" | cut -d= -f2)" +%s)" -gt \
            "$(date +%s)" ]; then echo not-yet-valid; else echo valid; fi
        ;;
    esac
}

# name | options | checks (file:password:field=expected, ...)
cases=(
    "default||author.p12:test-pass:subject=Quorvex Test Author;author.p12:test-pass:issuer=Test Samsung Author CA Class;distributor.p12:test-pass:subject=TizenSDK;distributor.p12:test-pass:issuer=Test VD DEVELOPER Public CA Class;distributor.p12:test-pass:duids=TESTDUID0001 ;author.p12:test-pass:cas=1;distributor.p12:test-pass:cas=1;author.p12:test-pass:keymatch=yes;distributor.p12:test-pass:keymatch=yes;author.p12:test-pass:chain=ok;distributor.p12:test-pass:chain=ok;author.p12:test-pass:bits=2048;author.p12:test-pass:cipher=AES-256-CBC;author.p12:test-pass:when=valid;author.p12:wrong:subject=no-open"
    "san-only|--duid-in san --duid TV1 --duid TV2|distributor.p12:test-pass:duids=TV1 TV2 "
    "profile-only|--duid-in profile --duid TV3|distributor.p12:test-pass:duids="
    "legacy-4096-unicode|--legacy --bits 4096 --password пароль-Ä|author.p12:пароль-Ä:cipher=pbeWithSHA1And40BitRC2-CBC;author.p12:пароль-Ä:bits=4096;distributor.p12:пароль-Ä:chain=ok;author.p12:test-pass:subject=no-open"
    "two-passwords|--password '' --distributor-password other|author.p12::subject=Quorvex Test Author;distributor.p12:other:subject=TizenSDK;distributor.p12::subject=no-open"
    "expired|--validity expired|author.p12:test-pass:when=expired;distributor.p12:test-pass:when=expired;distributor.p12:test-pass:chain=bad"
    "not-yet-valid|--validity not-yet-valid|author.p12:test-pass:when=not-yet-valid;distributor.p12:test-pass:when=not-yet-valid"
    "swapped|--swap|author.p12:test-pass:subject=TizenSDK;distributor.p12:test-pass:subject=Quorvex Test Author;author.p12:test-pass:chain=ok"
)
for c in "${cases[@]}"; do
    IFS='|' read -r name opts checks <<<"$c"
    eval "args=($opts)"
    if ! out=$("$make" "$work/$name" "${args[@]}" 2>&1) || [ -n "$out" ]; then
        echo "FAIL: $name: make-profile.sh failed or printed: $out"
        failures=$((failures + 1))
        continue
    fi
    IFS=';' read -r -a list <<<"$checks"
    for item in "${list[@]}"; do
        IFS=':' read -r file pass rest <<<"$item"
        check "$name $file ${rest%%=*}" "${rest#*=}" "$(field "$work/$name" "$file" "$pass" "${rest%%=*}")"
    done
done

# device-profile.xml: one element a line, the DUIDs given; none when they go only into the SAN.
check "default device-profile.xml" '<?xml version="1.0" encoding="UTF-8" standalone="no"?>
<Profile name="test">
<TestDeviceInfo>
<TestDevice>TESTDUID0001</TestDevice>
</TestDeviceInfo>
</Profile>' "$(cat "$work/default/device-profile.xml" 2>&1)"
check "profile-only device-profile.xml" "<TestDevice>TV3</TestDevice>" \
    "$(grep TestDevice\> "$work/profile-only/device-profile.xml" 2>&1)"
check "san-only has no device-profile.xml" no "$([ -e "$work/san-only/device-profile.xml" ] && echo yes || echo no)"

# The CAs are made once and reused; a bad option fails with a message.
root=$(sha256sum <"$work/ca/author-root.pem")
"$make" "$work/again" >/dev/null 2>&1
check "CA reused" "$root" "$(sha256sum <"$work/ca/author-root.pem")"
check "CA trusts the new profile" ok "$(field "$work/again" distributor.p12 test-pass chain)"
for bad in "--bits 1024" "--validity soon" "--duid-in both --duid a/b" "--frobnicate"; do
    eval "args=($bad)"
    if err=$("$make" "$work/bad" "${args[@]}" 2>&1); then
        echo "FAIL: $bad accepted"
        failures=$((failures + 1))
    elif [ -z "$err" ]; then
        echo "FAIL: $bad refused without a message"
        failures=$((failures + 1))
    fi
done

[ $failures = 0 ] && echo "make-profile: all checks passed"
exit $((failures > 0))
