#!/usr/bin/env bash
# Packs the sample widget: signs its files and zips them into a .wgt.
#   pack-widget.sh <source dir> <output .wgt> <work dir>
# The signatures are the sample's own: a throwaway RSA key and a self-signed certificate made in the
# work dir on first use (no real author or distributor certificate). A TV in developer mode, or the
# simulated TV, only checks that both signature files are there and that the digests match.
# The same key and fixed file times give the same package on every run.
set -euo pipefail

src="$(cd "$1" && pwd)"
out="$2"
work="$3"

# Files the author signature covers; the distributor signature covers these and author-signature.xml.
signed=(config.xml css/style.css index.html js/main.js logo_117.png)
# Member order in the zip.
order=(index.html css/style.css logo_117.png config.xml css/ js/ js/main.js author-signature.xml signature1.xml)
stamp="2024-01-01 00:00:00"

mkdir -p "$work/keys"
for who in author distributor; do
    if [ ! -s "$work/keys/$who.key" ] || [ ! -s "$work/keys/$who.pem" ]; then
        openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 \
            -subj "/O=Quorvex/CN=Quorvex sample $who (not trusted)" \
            -keyout "$work/keys/$who.key" -out "$work/keys/$who.pem" 2>/dev/null
    fi
done

stage="$work/stage"
rm -rf "$stage"
mkdir -p "$stage/css" "$stage/js"
for f in "${signed[@]}"; do
    cp "$src/$f" "$stage/$f"
done

digest() { openssl dgst -sha256 -binary "$1" | openssl base64 -A; }

# The signed text is SignedInfo in exclusive canonical form: the default namespace written on it and
# empty elements as start and end tags. The file keeps the short form.
canonical() { sed -e 's#^<SignedInfo>#<SignedInfo xmlns="http://www.w3.org/2000/09/xmldsig\#">#' \
                  -e 's#<\([A-Za-z]*\)\( [^>]*\)/>#<\1\2></\1>#g'; }

# sign <output file> <signature id> <role> <key name> <member>...
sign() {
    local file="$1" id="$2" role="$3" who="$4"
    shift 4
    local refs="" m
    for m in "$@"; do
        refs+="<Reference URI=\"$m\">
<DigestMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"/>
<DigestValue>$(digest "$stage/$m")</DigestValue>
</Reference>
"
    done

    # An identifier unique to this content, without randomness.
    local ident
    ident="$(printf '%s' "$id$refs" | openssl dgst -sha256 -r | cut -c1-32)"

    # The properties object, written in canonical form so its digest is over exactly these bytes
    # plus the default namespace it inherits from Signature.
    local object="<Object Id=\"prop\"><SignatureProperties xmlns:dsp=\"http://www.w3.org/2009/xmldsig-properties\">
<SignatureProperty Id=\"profile\" Target=\"#$id\"><dsp:Profile URI=\"http://www.w3.org/ns/widgets-digsig#profile\"></dsp:Profile></SignatureProperty>
<SignatureProperty Id=\"role\" Target=\"#$id\"><dsp:Role URI=\"http://www.w3.org/ns/widgets-digsig#role-$role\"></dsp:Role></SignatureProperty>
<SignatureProperty Id=\"identifier\" Target=\"#$id\"><dsp:Identifier>$ident</dsp:Identifier></SignatureProperty>
</SignatureProperties></Object>"
    local prop_digest
    prop_digest="$(printf '%s' "$object" \
        | sed -e '1s#^<Object #<Object xmlns="http://www.w3.org/2000/09/xmldsig\#" #' \
        | openssl dgst -sha256 -binary | openssl base64 -A)"

    local signed_info="<SignedInfo>
<CanonicalizationMethod Algorithm=\"http://www.w3.org/2001/10/xml-exc-c14n#\"/>
<SignatureMethod Algorithm=\"http://www.w3.org/2001/04/xmldsig-more#rsa-sha256\"/>
$refs<Reference URI=\"#prop\">
<Transforms>
<Transform Algorithm=\"http://www.w3.org/2006/12/xml-c14n11\"/>
</Transforms>
<DigestMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"/>
<DigestValue>$prop_digest</DigestValue>
</Reference>
</SignedInfo>"
    local value
    value="$(printf '%s' "$signed_info" | canonical \
        | openssl dgst -sha256 -sign "$work/keys/$who.key" | openssl base64 -A)"
    local cert
    cert="$(openssl x509 -in "$work/keys/$who.pem" -outform DER | openssl base64 -A)"

    {
        printf '<Signature xmlns="http://www.w3.org/2000/09/xmldsig#" Id="%s">\n' "$id"
        printf '%s\n' "$signed_info"
        printf '<SignatureValue>%s</SignatureValue>\n' "$value"
        printf '<KeyInfo>\n<X509Data>\n<X509Certificate>%s</X509Certificate>\n</X509Data>\n</KeyInfo>\n' "$cert"
        printf '%s\n' "$object"
        printf '</Signature>\n'
    } > "$stage/$file"
}

sign author-signature.xml AuthorSignature author author "${signed[@]}"
sign signature1.xml DistributorSignature distributor distributor "${signed[@]}" author-signature.xml

# Fixed times and modes, so zip writes the same bytes whatever the checkout looks like.
export TZ=UTC
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
find "$stage" -exec touch -d "$stamp" {} +

mkdir -p "$(dirname "$out")"
tmp="$out.tmp"
rm -f "$tmp"
(cd "$stage" && zip -X -9 -q "$tmp" "${order[@]}")
mv -f "$tmp" "$out"
