#!/usr/bin/env bash
# run-crypto-test.sh TEST_EXE MAKE_PROFILE
# Makes certificate profiles with openssl (nothing is kept), runs the Windows crypto test under
# Wine against them, then checks every signature it wrote with openssl: Windows' signatures must
# be what any RSA PKCS#1 v1.5 SHA-512 verifier accepts.
set -euo pipefail
exe=$1 make_profile=$2
source "$(dirname "$0")/../own-netns.sh"
require_own_netns "run-crypto-test.sh"
source "$(dirname "$0")/../time-limits.sh"

work=$(mktemp -d /tmp/quorvex-crypto-XXXXXX)
trap 'rm -rf "$work"' EXIT
p=$work/profiles
# make NAME [make-profile options]. The script makes only keys Wine 8 imports right (it takes
# some keys with a short private value wrongly).
make() { bash "$make_profile" "$p/$1" "${@:2}" --ca "$work/ca"; }
make plain --duid TESTDUID0001 --duid TESTDUID0002
make legacy --legacy --password legacy-pass --distributor-password other-pass
make big --bits 4096
make empty --password ''
make absent --absent-password
make cyrillic --password 'пароль-ключа'
mkdir -p "$p/bad"
head -c 1500 "$p/plain/author.p12" >"$p/bad/truncated.p12"
head -c 3000 /dev/urandom >"$p/bad/garbage.p12"
: >"$p/bad/empty.p12"
head -c 1048577 /dev/zero >"$p/bad/huge.p12"
# Files with only the certificates, only the key, or the root CA too.
openssl pkcs12 -in "$p/plain/author.p12" -passin pass:test-pass -nodes -out "$work/author.pem" 2>/dev/null
export_p12() { openssl pkcs12 -export -in "$work/author.pem" -passout pass:test-pass "$@" 2>/dev/null; }
export_p12 -nokeys -out "$p/bad/certificates-only.p12"
export_p12 -nocerts -out "$p/bad/key-only.p12"
export_p12 -certfile "$work/ca/author-root.pem" -out "$p/bad/with-root.p12"
# What openssl reads of each end-entity certificate: its validity as Unix seconds.
for role in author distributor; do
    openssl pkcs12 -in "$p/plain/$role.p12" -passin pass:test-pass -nokeys -clcerts 2>/dev/null |
        openssl x509 -noout -startdate -enddate | sed 's/^[a-zA-Z]*=//' |
        while read -r line; do date -u -d "$line" +%s; done >"$p/plain/$role.dates"
done
for size in 0 3 200000; do
    head -c "$size" /dev/urandom >"$p/data-$size.bin"
    openssl dgst -sha512 -binary "$p/data-$size.bin" >"$p/data-$size.sha512"
done

QUORVEX_PROFILES=$(winepath -w "$p") timeout "$(limit 300)" wine "$exe"

checked=0
for signed in plain/author:test-pass plain/distributor:test-pass legacy/author:legacy-pass \
    legacy/distributor:other-pass big/author:test-pass big/distributor:test-pass; do
    name=${signed%%:*}
    signature=$p/${name/\//-}.sig
    [ -s "$signature" ] || { echo "FAIL: no signature ${name/\//-}.sig"; exit 1; }
    openssl pkcs12 -in "$p/$name.p12" -passin "pass:${signed#*:}" -nokeys -clcerts -legacy \
        2>/dev/null | openssl x509 -pubkey -noout >"$work/key.pem"
    openssl dgst -sha512 -verify "$work/key.pem" -signature "$signature" "$p/data-200000.bin" \
        >/dev/null || { echo "FAIL: openssl does not verify the $name signature"; exit 1; }
    checked=$((checked + 1))
done
echo "openssl verified $checked signatures"
