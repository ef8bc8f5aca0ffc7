#!/usr/bin/env bash
# Checks a built widget package the way a TV would look at it:
#   member order and compression, the ids in config.xml, and both signatures (every digest against
#   its member's bytes, the properties digest, and the signature value against the certificate).
#   check-widget.sh <package.wgt>
# Prints every fault found; exits 1 if there was any.
set -uo pipefail

wgt="$1"
faults=0
fail() { echo "FAIL: $*" >&2; faults=$((faults + 1)); }

for tool in unzip zipinfo xmllint openssl; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/setup.sh)" >&2; exit 1; }
done
[ -f "$wgt" ] || { echo "FAIL: no package at $wgt" >&2; exit 1; }
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

expected_order="index.html css/style.css logo_117.png config.xml css/ js/ js/main.js author-signature.xml signature1.xml"
actual_order="$(unzip -Z1 "$wgt" | tr '\n' ' ' | sed 's/ $//')"
[ "$actual_order" = "$expected_order" ] ||
    fail "member order is '$actual_order', expected '$expected_order'"

# Short zipinfo lines: permissions, version, system, size, type, method, date, time, name.
while read -r perms _ _ _ _ method _ _ name; do
    case "$perms" in
        d*) [ "$method" = stor ] || fail "directory $name is '$method', expected stored" ;;
        -*) case "$method" in
                def?) ;;
                *) fail "member $name is '$method', expected deflated" ;;
            esac ;;
    esac
done < <(zipinfo -s "$wgt" | grep -E '^[-d][rwx-]{9} ')

unzip -q "$wgt" -d "$tmp/x" || fail "package does not unzip"
x="$tmp/x"

xp() { xmllint --xpath "$2" "$1" 2>/dev/null; }
expect() { # description actual expected
    [ "$2" = "$3" ] || fail "$1 is '$2', expected '$3'"
}

cfg="$x/config.xml"
if xmllint --noout "$cfg" 2>/dev/null; then
    w='/*[local-name()="widget" and namespace-uri()="http://www.w3.org/ns/widgets"]'
    t='*[namespace-uri()="http://tizen.org/ns/widgets"]'
    app="$w/$t[local-name()=\"application\"]"
    expect "widget version" "$(xp "$cfg" "string($w/@version)")" 1.0.0
    expect "application id" "$(xp "$cfg" "string($app/@id)")" R4vT7mWq2Z.Quorvex
    expect "package id" "$(xp "$cfg" "string($app/@package)")" R4vT7mWq2Z
    expect "required version" "$(xp "$cfg" "string($app/@required_version)")" 2.3
    expect "profile" "$(xp "$cfg" "string($w/$t[local-name()=\"profile\"]/@name)")" tv-samsung
    expect "name" "$(xp "$cfg" "string($w/*[local-name()=\"name\"])")" Quorvex
    expect "content" "$(xp "$cfg" "string($w/*[local-name()=\"content\"]/@src)")" index.html
    expect "icon" "$(xp "$cfg" "string($w/*[local-name()=\"icon\"]/@src)")" logo_117.png
else
    fail "config.xml is missing or not well-formed"
fi

# check_signature <file> <Id> <role> <member>...
check_signature() {
    local file="$1" id="$2" role="$3"
    shift 3
    local sig="$x/$file" ds='*[namespace-uri()="http://www.w3.org/2000/09/xmldsig#"'
    if ! xmllint --noout "$sig" 2>/dev/null; then
        fail "$file is missing or not well-formed"
        return
    fi
    expect "$file Id" "$(xp "$sig" "string(/$ds and local-name()=\"Signature\"]/@Id)")" "$id"
    expect "$file role" "$(xp "$sig" 'string(//*[local-name()="Role"]/@URI)')" \
        "http://www.w3.org/ns/widgets-digsig#role-$role"

    # The members it names, in document order, must be exactly the ones expected.
    local uris
    uris="$(xp "$sig" '//*[local-name()="Reference"]/@URI' | sed 's/^ *URI="\(.*\)"$/\1/' | grep -v '^#' \
        | sort | tr '\n' ' ' | sed 's/ $//')"
    expect "$file covers" "$uris" "$(printf '%s\n' "$@" | sort | tr '\n' ' ' | sed 's/ $//')"

    local m want got
    for m in "$@"; do
        got="$(xp "$sig" "string(//*[local-name()=\"Reference\"][@URI=\"$m\"]/*[local-name()=\"DigestValue\"])")"
        if [ -f "$x/$m" ]; then
            want="$(openssl dgst -sha256 -binary "$x/$m" | openssl base64 -A)"
            expect "$file digest of $m" "$got" "$want"
        else
            fail "$file signs $m, which is not in the package"
        fi
    done

    # SignedInfo and the properties object as canonicalised by xmllint: the subset is the element's
    # bytes from the canonical document, with the default namespace it inherits written on it.
    local ns='xmlns="http:\/\/www.w3.org\/2000\/09\/xmldsig#"'
    xmllint --exc-c14n "$sig" | sed -n '/^<SignedInfo>/,/^<\/SignedInfo>/p' \
        | sed "1s/^<SignedInfo>/<SignedInfo $ns>/" | head -c -1 > "$tmp/signedinfo"
    xmllint --c14n11 "$sig" | tr '\n' '\r' | grep -o '<Object Id="prop">.*</Object>' | tr '\r' '\n' \
        | sed "1s/^<Object /<Object $ns /" | head -c -1 > "$tmp/object"
    want="$(openssl dgst -sha256 -binary "$tmp/object" | openssl base64 -A)"
    got="$(xp "$sig" 'string(//*[local-name()="Reference"][@URI="#prop"]/*[local-name()="DigestValue"])')"
    expect "$file properties digest" "$got" "$want"

    xp "$sig" 'string(//*[local-name()="X509Certificate"])' | openssl base64 -d -A \
        | openssl x509 -inform DER -pubkey -noout > "$tmp/key.pem" 2>/dev/null ||
        fail "$file has no readable certificate"
    xp "$sig" 'string(//*[local-name()="SignatureValue"])' | openssl base64 -d -A > "$tmp/sigvalue"
    openssl dgst -sha256 -verify "$tmp/key.pem" -signature "$tmp/sigvalue" "$tmp/signedinfo" >/dev/null 2>&1 ||
        fail "$file signature value does not verify over its SignedInfo"
}

signed="config.xml css/style.css index.html js/main.js logo_117.png"
# shellcheck disable=SC2086
check_signature author-signature.xml AuthorSignature author $signed
# shellcheck disable=SC2086
check_signature signature1.xml DistributorSignature distributor $signed author-signature.xml

if [ "$faults" -gt 0 ]; then
    echo "$wgt: $faults fault(s)" >&2
    exit 1
fi
echo "$wgt: order, compression, config.xml and both signatures check out"
