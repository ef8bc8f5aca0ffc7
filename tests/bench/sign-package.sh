#!/usr/bin/env bash
# Signs an unpacked widget with xmlsec1, independently of the program's own signer, in the layout
# Tizen's tools write: author-signature.xml over every file, then signature1.xml over the same
# files and the author signature. For the bench's tests.
#   sign-package.sh DIR PROFILE_DIR [--sha256] [--leave-out author|distributor:FILE]
# PROFILE_DIR holds author.p12 and distributor.p12 (password test-pass; make-profile.sh).
# --sha256: rsa-sha256 and sha256 digests instead of sha512; --leave-out: that signer does not
# reference FILE.
set -euo pipefail
dir=$1
profile=$(cd "$2" && pwd)
shift 2
bits=512
leave_out=""
while [ $# -gt 0 ]; do
    case "$1" in
    --sha256) bits=256 && shift ;;
    --leave-out) leave_out=$2 && shift 2 ;;
    *) echo "sign-package.sh: unknown option $1" >&2 && exit 2 ;;
    esac
done

# encode NAME: percent-encoded as JavaScript's encodeURIComponent does it ("js/a b" -> "js%2Fa%20b").
encode() {
    local LC_ALL=C name=$1 out="" c i
    for ((i = 0; i < ${#name}; i++)); do
        c=${name:i:1}
        case "$c" in
        [A-Za-z0-9._~!*\'\(\)-]) out+=$c ;;
        *) printf -v c '%%%02X' "'$c" && out+=${c: -3} ;;
        esac
    done
    printf '%s' "$out"
}

# template ROLE ID FILE...
template() {
    local role=$1 id=$2 file
    shift 2
    local digest="<DigestMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha$bits\"></DigestMethod>"
    printf '<Signature xmlns="http://www.w3.org/2000/09/xmldsig#" Id="%s">\n<SignedInfo>\n' "$id"
    printf '<CanonicalizationMethod Algorithm="http://www.w3.org/2001/10/xml-exc-c14n#"></CanonicalizationMethod>\n'
    printf '<SignatureMethod Algorithm="http://www.w3.org/2001/04/xmldsig-more#rsa-sha%s"></SignatureMethod>\n' "$bits"
    for file in "$@"; do
        [ "$leave_out" = "$role:$file" ] && continue
        printf '<Reference URI="%s">\n%s\n<DigestValue></DigestValue>\n</Reference>\n' \
            "$(encode "$file")" "$digest"
    done
    printf '<Reference URI="#prop">\n<Transforms>\n<Transform Algorithm="http://www.w3.org/2006/12/xml-c14n11"></Transform>\n</Transforms>\n%s\n<DigestValue></DigestValue>\n</Reference>\n</SignedInfo>\n' "$digest"
    printf '<SignatureValue></SignatureValue>\n<KeyInfo>\n<X509Data>\n</X509Data>\n</KeyInfo>\n'
    printf '<Object Id="prop"><SignatureProperties xmlns:dsp="http://www.w3.org/2009/xmldsig-properties">'
    printf '<SignatureProperty Id="profile" Target="#%s"><dsp:Profile URI="http://www.w3.org/ns/widgets-digsig#profile"></dsp:Profile></SignatureProperty>' "$id"
    printf '<SignatureProperty Id="role" Target="#%s"><dsp:Role URI="http://www.w3.org/ns/widgets-digsig#role-%s"></dsp:Role></SignatureProperty>' "$id" "$role"
    printf '<SignatureProperty Id="identifier" Target="#%s"><dsp:Identifier></dsp:Identifier></SignatureProperty>' "$id"
    printf '</SignatureProperties></Object>\n</Signature>\n'
}

# sign ROLE ID P12 OUT FILE...: the template lives in the package folder while xmlsec1 signs it,
# since the references resolve against its place.
sign() {
    local role=$1 id=$2 p12=$3 out=$4
    shift 4
    template "$role" "$id" "$@" >.template.xml
    xmlsec1 --sign --pkcs12 "$p12" --pwd test-pass --id-attr:Id Object \
        --enabled-reference-uris empty,same-doc,local,remote --output "$out" .template.xml
    rm -f .template.xml
}

cd "$dir"
rm -f author-signature.xml signature[0-9]*.xml
mapfile -t files < <(find . -type f ! -name '.*' | sed 's|^\./||' | LC_ALL=C sort)
sign author AuthorSignature "$profile/author.p12" author-signature.xml "${files[@]}"
sign distributor DistributorSignature "$profile/distributor.p12" signature1.xml \
    author-signature.xml "${files[@]}"
