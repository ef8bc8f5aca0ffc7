#!/usr/bin/env bash
# Makes a Samsung-like certificate profile for tests: author.p12, distributor.p12 and (unless the
# DUIDs go only into the certificate) device-profile.xml, issued by two throwaway test CAs that are
# made once in the CA folder and reused. Nothing it makes is ever committed.
#
#   make-profile.sh PROFILE_DIR [--ca DIR] [--duid D]... [--duid-in san|profile|both]
#                   [--password P] [--distributor-password P] [--validity valid|expired|not-yet-valid]
#                   [--legacy] [--bits 2048|4096] [--swap] [--expired-intermediate author|distributor]...
#                   [--absent-password]
#
# CA_DIR/author-root.pem and CA_DIR/distributor-root.pem are the roots a simulated TV (or xmlsec1)
# trusts. --expired-intermediate issues that role's certificate (itself valid) from a second
# intermediate CA of the same root whose validity ended a month ago. --absent-password writes both
# key files with no password at all (not an empty one): their integrity check and bags made with
# none, as OpenSSL's PKCS12_create(NULL, ...) writes them. Prints nothing on success.
set -euo pipefail

fail() {
    echo "make-profile.sh: $*" >&2
    exit 2
}

[ $# -ge 1 ] || fail "usage: make-profile.sh PROFILE_DIR [options]"
profile=$1
shift
ca=""
duids=()
duid_in=both
password=test-pass
dist_password=""
dist_password_set=0
validity=valid
legacy=()
bits=2048
swap=0
expired_ca=""
absent=0
while [ $# -gt 0 ]; do
    [ $# -ge 2 ] || case "$1" in --legacy | --swap | --absent-password) ;; *) fail "$1 needs a value" ;; esac
    case "$1" in
    --ca) ca=$2 && shift 2 ;;
    --duid) duids+=("$2") && shift 2 ;;
    --duid-in) duid_in=$2 && shift 2 ;;
    --password) password=$2 && shift 2 ;;
    --distributor-password) dist_password=$2 && dist_password_set=1 && shift 2 ;;
    --validity) validity=$2 && shift 2 ;;
    --bits) bits=$2 && shift 2 ;;
    --legacy) legacy=(-legacy) && shift ;;
    --swap) swap=1 && shift ;;
    --absent-password) absent=1 && password="" && dist_password="" && dist_password_set=1 && shift ;;
    --expired-intermediate) expired_ca+=" $2" && shift 2 ;;
    *) fail "unknown option $1" ;;
    esac
done
[ ${#duids[@]} -gt 0 ] || duids=(TESTDUID0001)
[ $dist_password_set = 1 ] || dist_password=$password
case "$duid_in" in san | profile | both) ;; *) fail "--duid-in: san, profile or both" ;; esac
case "$validity" in valid | expired | not-yet-valid) ;; *) fail "--validity: valid, expired or not-yet-valid" ;; esac
case "$bits" in 2048 | 4096) ;; *) fail "--bits: 2048 or 4096" ;; esac
for role in $expired_ca; do
    case "$role" in author | distributor) ;; *) fail "--expired-intermediate: author or distributor" ;; esac
done
for d in "${duids[@]}"; do
    [[ "$d" =~ ^[A-Za-z0-9._-]+$ ]] || fail "a DUID of letters, digits, '.', '_' and '-' only: $d"
done
mkdir -p "$profile" || fail "cannot make $profile"
[ -n "$ca" ] || ca="$profile/../ca"
mkdir -p "$ca" || fail "cannot make $ca"

# UTC stamps as openssl ca takes them.
stamp() { date -u -d "$1" +%Y%m%d%H%M%SZ; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One openssl ca configuration for every certificate: the dates come from the command line, the
# extensions from the section named there.
write_config() { # $1: the SAN section's lines (may be empty)
    cat >"$work/ca.cnf" <<EOF
[ ca ]
default_ca = test_ca
[ test_ca ]
dir = $work
database = $work/index.txt
new_certs_dir = $work/new
serial = $work/serial
default_md = sha256
policy = any_name
unique_subject = no
email_in_dn = no
copy_extensions = none
[ any_name ]
commonName = supplied
organizationName = optional
organizationalUnitName = optional
countryName = optional
[ req ]
distinguished_name = dn
[ dn ]
[ ext_root ]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[ ext_intermediate ]
basicConstraints = critical,CA:TRUE,pathlen:0
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always
[ ext_author ]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always
[ ext_distributor ]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always
$1
EOF
    : >"$work/index.txt"
    echo 01 >"$work/serial"  # -rand_serial picks the serials; openssl ca wants the file anyway
    mkdir -p "$work/new"
}

quiet() { # runs openssl, shows its output only when it fails
    local out
    out=$("$@" 2>&1) || {
        echo "$out" >&2
        fail "failed: $*"
    }
}

# A new RSA key of $2 bits in $1 whose private values are each as long as their kind: Wine 8
# imports a key whose private exponent, dP, dQ or CRT inverse is a byte shorter wrongly (about one
# key in 70), and every signature made with it then fails the check against its certificate.
# Windows takes any key; the tests that sign under Wine need keys both take.
new_key() {
    local attempt
    for attempt in 1 2 3 4 5 6 7 8 9 10; do
        quiet openssl genpkey -algorithm RSA -pkeyopt "rsa_keygen_bits:$2" -out "$1"
        openssl rsa -in "$1" -text -noout 2>/dev/null | python3 -c '
import re, sys
values, name = {}, None
for line in sys.stdin:
    if re.match(r"^[a-zA-Z0-9]+:", line):
        name = line.split(":")[0]
        values[name] = ""
    elif line.startswith("    ") and name:
        values[name] += line.strip().replace(":", "")
n = {k: int(v, 16) for k, v in values.items() if v}
size = lambda x: (x.bit_length() + 7) // 8
p, q, full = n["prime1"], n["prime2"], size(n["prime1"])
ok = size(n["privateExponent"]) == size(n["modulus"]) and all(
    size(x) == full for x in (n["exponent1"], n["exponent2"], pow(q, -1, p), pow(p, -1, q)))
sys.exit(0 if ok else 1)' && return 0
    done
    fail "no $2-bit key with private values of full length"
}

# A new key in $1 ($2 bits) and its certificate in $4, subject $3, extensions from section $5,
# valid from $6 to $7, issued by certificate $8 with key $9 (self-signed without them).
issue() {
    new_key "$1" "$2"
    quiet openssl req -new -key "$1" -subj "$3" -out "$work/req.csr" -config "$work/ca.cnf"
    local signer=(-selfsign -keyfile "$1")
    [ -z "${8:-}" ] || signer=(-cert "$8" -keyfile "$9")
    quiet openssl ca -batch -notext -config "$work/ca.cnf" -in "$work/req.csr" -out "$4" \
        "${signer[@]}" -extensions "$5" -startdate "$6" -enddate "$7" -preserveDN -rand_serial
}

# The CAs, once: several tests may start at the same time, so one makes them and the others wait.
exec 9>"$ca/.lock"
flock 9
if [ ! -s "$ca/distributor-ca.pem" ]; then
    write_config ""
    ca_from=$(stamp "5 years ago")
    ca_to=$(stamp "10 years")
    for role in author distributor; do
        if [ $role = author ]; then
            root_cn="Test Samsung Author Root CA"
            mid_cn="Test Samsung Author CA Class"
        else
            root_cn="Test Samsung Distributor Root CA"
            mid_cn="Test VD DEVELOPER Public CA Class"
        fi
        issue "$work/$role-root.key" 2048 "/C=KR/O=Quorvex Test CA/CN=$root_cn" \
            "$work/$role-root.pem" ext_root "$ca_from" "$ca_to"
        issue "$work/$role-ca.key" 2048 "/C=KR/O=Quorvex Test CA/CN=$mid_cn" "$work/$role-ca.pem" \
            ext_intermediate "$ca_from" "$ca_to" "$work/$role-root.pem" "$work/$role-root.key"
    done
    for f in author-root author-ca distributor-root distributor-ca; do
        mv "$work/$f.key" "$ca/$f.key"
        mv "$work/$f.pem" "$ca/$f.pem"
    done
fi
# A role's expired intermediate, once, beside its valid one.
for role in $expired_ca; do
    [ ! -s "$ca/$role-ca-expired.pem" ] || continue
    write_config ""
    if [ $role = author ]; then mid_cn="Test Samsung Author CA Class"; else mid_cn="Test VD DEVELOPER Public CA Class"; fi
    issue "$work/$role-ca-expired.key" 2048 "/C=KR/O=Quorvex Test CA/CN=$mid_cn" \
        "$work/$role-ca-expired.pem" ext_intermediate "$(stamp "5 years ago")" "$(stamp "1 month ago")" \
        "$ca/$role-root.pem" "$ca/$role-root.key"
    mv "$work/$role-ca-expired.key" "$work/$role-ca-expired.pem" "$ca/"
done
flock -u 9
exec 9>&-

case "$validity" in
valid) from=$(stamp "1 day ago") && to=$(stamp "1 day ago + 1 year") ;;
expired) from=$(stamp "13 months ago") && to=$(stamp "1 month ago") ;;
not-yet-valid) from=$(stamp "1 month") && to=$(stamp "13 months") ;;
esac

san=""
if [ "$duid_in" != profile ]; then
    san="subjectAltName = @san
[ san ]
URI.0 = URN:tizen:packageid="
    i=1
    for d in "${duids[@]}"; do
        san+=$'\n'"URI.$i = URN:tizen:deviceid=$d"
        i=$((i + 1))
    done
    san="[ ext_distributor_san ]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always
$san"
fi
write_config "$san"
dist_ext=ext_distributor
[ -z "$san" ] || dist_ext=ext_distributor_san

# The intermediate that issues a role's certificate (without .pem or .key).
issuer() { if [[ " $expired_ca " == *" $1 "* ]]; then echo "$ca/$1-ca-expired"; else echo "$ca/$1-ca"; fi; }
issue "$work/author.key" "$bits" "/O=Quorvex Test/CN=Quorvex Test Author" "$work/author.pem" \
    ext_author "$from" "$to" "$(issuer author).pem" "$(issuer author).key"
issue "$work/distributor.key" "$bits" "/CN=TizenSDK" "$work/distributor.pem" "$dist_ext" \
    "$from" "$to" "$(issuer distributor).pem" "$(issuer distributor).key"

# $1: whose key and certificate, $2: the file, $3: its password
export_p12() {
    PROFILE_PASS=$3 quiet openssl pkcs12 -export "${legacy[@]}" -inkey "$work/$1.key" \
        -in "$work/$1.pem" -certfile "$(issuer "$1").pem" -name "$1" -passout env:PROFILE_PASS \
        -out "$2"
}
# $1: a key file written with an empty password, written again in place with none. The openssl
# command cannot write one (its empty password is an empty string); libcrypto's own call can.
without_password() {
    python3 - "$1" <<'PY' || fail "cannot write $1 without a password"
import ctypes, ctypes.util, sys
c, P = ctypes.CDLL(ctypes.util.find_library("crypto")), ctypes.c_void_p
c.BIO_new_file.restype, c.BIO_new_file.argtypes = P, [ctypes.c_char_p, ctypes.c_char_p]
c.d2i_PKCS12_bio.restype, c.d2i_PKCS12_bio.argtypes = P, [P, P]
c.PKCS12_parse.argtypes = [P, ctypes.c_char_p] + [ctypes.POINTER(P)] * 3
c.PKCS12_create.restype = P
c.PKCS12_create.argtypes = [ctypes.c_char_p, ctypes.c_char_p, P, P, P] + [ctypes.c_int] * 5
c.i2d_PKCS12_bio.argtypes, c.BIO_free.argtypes = [P, P], [P]
file = sys.argv[1].encode()
bio = c.BIO_new_file(file, b"rb")
p12 = c.d2i_PKCS12_bio(bio, None)
c.BIO_free(bio)
key, cert, ca = P(), P(), P()
if not p12 or c.PKCS12_parse(p12, b"", ctypes.byref(key), ctypes.byref(cert), ctypes.byref(ca)) != 1:
    sys.exit(1)
made = c.PKCS12_create(None, None, key, cert, ca, 0, 0, 0, 0, 0)
bio = c.BIO_new_file(file, b"wb")
sys.exit(0 if made and bio and c.i2d_PKCS12_bio(bio, made) == 1 and c.BIO_free(bio) == 1 else 1)
PY
}

author_inside=author
dist_inside=distributor
[ $swap = 0 ] || { author_inside=distributor && dist_inside=author; }
export_p12 $author_inside "$profile/author.p12" "$password"
export_p12 $dist_inside "$profile/distributor.p12" "$dist_password"
if [ $absent = 1 ]; then
    without_password "$profile/author.p12"
    without_password "$profile/distributor.p12"
fi

rm -f "$profile/device-profile.xml"
if [ "$duid_in" != san ]; then
    {
        echo '<?xml version="1.0" encoding="UTF-8" standalone="no"?>'
        echo '<Profile name="test">'
        echo '<TestDeviceInfo>'
        for d in "${duids[@]}"; do
            echo "<TestDevice>$d</TestDevice>"
        done
        echo '</TestDeviceInfo>'
        echo '</Profile>'
    } >"$profile/device-profile.xml"
fi
