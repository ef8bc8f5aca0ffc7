#!/usr/bin/env bash
# The test profiles are what the other tests believe they are: a few made by make-profile.sh and
# read back with openssl alone.
set -uo pipefail
make="$(cd "$(dirname "$0")" && pwd)/make-profile.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" && failures=$((failures + 1)); }

# A certificate's validity now: valid, expired or not-yet-valid.
when() {
    if ! openssl x509 -noout -checkend 0 <<<"$1" >/dev/null; then echo expired
    elif [ "$(date -d "$(openssl x509 -noout -startdate <<<"$1" | cut -d= -f2)" +%s)" -gt "$(date +%s)" ]; then
        echo not-yet-valid; else echo valid; fi
}

# One fact about a profile: field PROFILE a|d (author.p12 or distributor.p12) PASSWORD NAME.
field() {
    local p12=(openssl pkcs12 -legacy -in "$1/$([ "$2" = a ] && echo author || echo distributor).p12" -passin "pass:$3") ee
    if [ "$4" = xml ]; then tr -d '\n' 2>/dev/null <"$1/device-profile.xml" || echo none; return; fi
    ee=$("${p12[@]}" -nokeys -clcerts 2>/dev/null) || { echo no-open && return; }
    case "$4" in
    subject | issuer) openssl x509 -noout "-$4" -nameopt multiline <<<"$ee" | sed -n 's/ *commonName *= //p' ;;
    duids) openssl x509 -noout -ext subjectAltName <<<"$ee" 2>/dev/null | grep -o 'deviceid=[^,]*' | cut -d= -f2 | xargs ;;
    bits) "${p12[@]}" -nocerts -nodes 2>/dev/null | openssl pkey -noout -text | sed -n 's/.*(\([0-9]*\) bit.*/\1/p' ;;
    cipher) "${p12[@]}" -info -noout 2>&1 | grep -o 'RC2-CBC\|AES-256-CBC' | head -1 ;;
    chain) # the key's certificate, then its intermediate (no root), up to the role's root
        local root=author && [[ "$(openssl x509 -noout -subject <<<"$ee")" != *TizenSDK* ]] || root=distributor
        "${p12[@]}" -nokeys -cacerts 2>/dev/null >"$work/ca.pem"
        [ "$(grep -c BEGIN "$work/ca.pem")" = 1 ] &&
            openssl verify -CAfile "$work/ca/$root-root.pem" -untrusted "$work/ca.pem" <<<"$ee" >/dev/null 2>&1 &&
            [ "$("${p12[@]}" -nocerts -nodes 2>/dev/null | openssl pkey -pubout)" = "$(openssl x509 -noout -pubkey <<<"$ee")" ] &&
            echo ok || echo bad ;;
    when) when "$ee" ;;
    ca-when) when "$("${p12[@]}" -nokeys -cacerts 2>/dev/null)" ;;
    mac) python3 - "$1/$([ "$2" = a ] && echo author || echo distributor).p12" <<'PY' ;;
import ctypes, ctypes.util, sys
c, P = ctypes.CDLL(ctypes.util.find_library("crypto")), ctypes.c_void_p
c.BIO_new_file.restype, c.BIO_new_file.argtypes = P, [ctypes.c_char_p, ctypes.c_char_p]
c.d2i_PKCS12_bio.restype, c.d2i_PKCS12_bio.argtypes = P, [P, P]
c.PKCS12_verify_mac.argtypes = [P, ctypes.c_char_p, ctypes.c_int]
p12 = c.d2i_PKCS12_bio(c.BIO_new_file(sys.argv[1].encode(), b"rb"), None)
# The integrity check made with no password at all, or with an empty one.
print("absent" if c.PKCS12_verify_mac(p12, None, 0) == 1 else
      "empty" if c.PKCS12_verify_mac(p12, b"", 0) == 1 else "other")
PY
    esac
}

x='<?xml version="1.0" encoding="UTF-8" standalone="no"?><Profile name="test"><TestDeviceInfo><TestDevice>'
# name | options | a|d:password:field=expected;...
cases=(
    "default||a:test-pass:subject=Quorvex Test Author;a:test-pass:issuer=Test Samsung Author CA Class;d:test-pass:subject=TizenSDK;d:test-pass:issuer=Test VD DEVELOPER Public CA Class;d:test-pass:duids=TESTDUID0001;a:test-pass:chain=ok;d:test-pass:chain=ok;a:test-pass:bits=2048;a:test-pass:cipher=AES-256-CBC;a:test-pass:when=valid;a:wrong:subject=no-open;a::xml=${x}TESTDUID0001</TestDevice></TestDeviceInfo></Profile>"
    "san|--duid-in san --duid TV1 --duid TV2|d:test-pass:duids=TV1 TV2;a::xml=none"
    "xml|--duid-in profile --duid TV3|d:test-pass:duids=;a::xml=${x}TV3</TestDevice></TestDeviceInfo></Profile>"
    "legacy|--legacy --bits 4096 --password пароль-Ä|a:пароль-Ä:cipher=RC2-CBC;a:пароль-Ä:bits=4096;d:пароль-Ä:chain=ok"
    "passwords|--password '' --distributor-password other|a::subject=Quorvex Test Author;d:other:subject=TizenSDK;d::subject=no-open;a::mac=empty"
    "absent|--absent-password|a::subject=Quorvex Test Author;a::mac=absent;d::mac=absent;d::chain=ok;d:x:subject=no-open"
    "expired intermediate|--expired-intermediate distributor|d:test-pass:when=valid;d:test-pass:ca-when=expired;a:test-pass:ca-when=valid;d:test-pass:issuer=Test VD DEVELOPER Public CA Class"
    "expired|--validity expired|a:test-pass:when=expired;d:test-pass:when=expired"
    "later|--validity not-yet-valid|a:test-pass:when=not-yet-valid;d:test-pass:when=not-yet-valid"
    "swapped|--swap|a:test-pass:subject=TizenSDK;d:test-pass:subject=Quorvex Test Author;a:test-pass:chain=ok"
)
for c in "${cases[@]}"; do
    IFS='|' read -r name opts checks <<<"$c"
    eval "args=($opts)"
    out=$("$make" "$work/$name" "${args[@]}" 2>&1) && [ -z "$out" ] || { fail "$name: made nothing or said: $out" && continue; }
    IFS=';' read -r -a list <<<"$checks"
    for item in "${list[@]}"; do
        IFS=':' read -r file pass rest <<<"$item"
        found=$(field "$work/$name" "$file" "$pass" "${rest%%=*}")
        [ "$found" = "${rest#*=}" ] || fail "$name $file ${rest%%=*}: expected [${rest#*=}], found [$found]"
    done
done

# The CAs are made once and reused; a bad option fails with a message.
root=$(sha256sum <"$work/ca/author-root.pem")
"$make" "$work/again" >/dev/null 2>&1
[ "$root" = "$(sha256sum <"$work/ca/author-root.pem")" ] || fail "the CA was made again"
for bad in "--bits 1024" "--validity soon" "--duid a/b" "--frobnicate" "--expired-intermediate root"; do
    eval "args=($bad)"
    err=$("$make" "$work/bad" "${args[@]}" 2>&1) && fail "$bad accepted"
    [ -n "$err" ] || fail "$bad refused without a message"
done
[ $failures = 0 ] && echo "make-profile: all checks passed"
exit $((failures > 0))
