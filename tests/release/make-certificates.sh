#!/usr/bin/env bash
# Makes a throwaway code-signing CA (root and intermediate) and PKCS#12 files for the release
# tests, all with the password in DIR/password (the file's first line). Nothing it makes is ever
# committed.
#   make-certificates.sh DIR
# DIR/root.pem is the CA to verify against; the .p12 files hold a key, its certificate and the
# intermediate and root:
#   good.p12              for code signing, valid now
#   expired.p12           for code signing, expired a month ago
#   not-yet-valid.p12     for code signing, valid from next month
#   server-only.p12       valid now, extended key usage serverAuth only
#   no-signature-use.p12  codeSigning, but its key usage keyEncipherment only
#   no-chain.p12          for code signing, valid now, without the intermediate and root
set -euo pipefail
dir=$1
mkdir -p "$dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Spaces, quotes, a dollar and a backslash: a password that any shell evaluation would change.
printf '%s\n' 'open "sesame" $HOME \n x' >"$dir/password"

stamp() { date -u -d "$1" +%Y%m%d%H%M%SZ; }
cat >"$work/ca.cnf" <<CONF
[ ca ]
default_ca = test_ca
[ test_ca ]
database = $work/index.txt
new_certs_dir = $work
serial = $work/serial
default_md = sha256
policy = any_name
unique_subject = no
copy_extensions = none
[ any_name ]
commonName = supplied
organizationName = optional
countryName = optional
[ req ]
distinguished_name = dn
[ dn ]
[ root ]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[ intermediate ]
basicConstraints = critical,CA:TRUE,pathlen:0
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always
[ codesign ]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always
[ server ]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature,keyEncipherment
extendedKeyUsage = serverAuth
[ encipher ]
basicConstraints = critical,CA:FALSE
keyUsage = critical,keyEncipherment
extendedKeyUsage = codeSigning
CONF
: >"$work/index.txt"
echo 01 >"$work/serial"

quiet() { local out; out=$("$@" 2>&1) || { echo "$out" >&2; exit 1; }; }
# issue NAME SUBJECT EXTENSIONS FROM TO [ISSUER]: NAME.key and NAME.pem in $work.
issue() {
    local signer=(-selfsign -keyfile "$work/$1.key")
    [ -z "${6:-}" ] || signer=(-cert "$work/$6.pem" -keyfile "$work/$6.key")
    quiet openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$work/$1.key"
    quiet openssl req -new -key "$work/$1.key" -subj "$2" -out "$work/$1.csr" -config "$work/ca.cnf"
    quiet openssl ca -batch -notext -config "$work/ca.cnf" -in "$work/$1.csr" -out "$work/$1.pem" \
        "${signer[@]}" -extensions "$3" -startdate "$(stamp "$4")" -enddate "$(stamp "$5")" \
        -preserveDN -rand_serial
}
# bundle NAME [CHAIN...]: NAME.p12 in DIR with the key, the certificate and the chain.
bundle() {
    local name=$1 chain=()
    shift
    [ $# -eq 0 ] || { cat "$@" >"$work/$name.chain" && chain=(-certfile "$work/$name.chain"); }
    quiet openssl pkcs12 -export -inkey "$work/$name.key" -in "$work/$name.pem" "${chain[@]}" \
        -name "$name" -passout "file:$dir/password" -out "$dir/$name.p12"
}

issue root "/C=DE/O=Quorvex Test CA/CN=Quorvex Test Root CA" root "5 years ago" "10 years"
issue intermediate "/C=DE/O=Quorvex Test CA/CN=Quorvex Test Code Signing CA" intermediate \
    "5 years ago" "10 years" root
cp "$work/root.pem" "$dir/root.pem"
cp "$work/intermediate.pem" "$dir/intermediate.pem"
chain=("$work/intermediate.pem" "$work/root.pem")
publisher="/C=DE/O=Quorvex/CN=Quorvex Test Publisher"
issue good "$publisher" codesign "1 day ago" "1 year" intermediate
issue expired "$publisher" codesign "13 months ago" "1 month ago" intermediate
issue not-yet-valid "$publisher" codesign "1 month" "13 months" intermediate
issue server-only "/C=DE/O=Quorvex/CN=quorvex.test" server "1 day ago" "1 year" intermediate
issue no-signature-use "$publisher" encipher "1 day ago" "1 year" intermediate
cp "$work/good.key" "$work/no-chain.key"
cp "$work/good.pem" "$work/no-chain.pem"
for name in good expired not-yet-valid server-only no-signature-use; do
    bundle "$name" "${chain[@]}"
done
bundle no-chain
