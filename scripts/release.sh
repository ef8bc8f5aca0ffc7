#!/usr/bin/env bash
# A release in one command: builds QuorvexInstaller.exe carrying the given bridge tool and widget
# package with the given version, signs it when given a code-signing certificate, verifies the
# signature it made, and writes into one folder the exe named with its version, SHA256SUMS and a
# release note (README, "Releasing").
#
#   scripts/release.sh --tool sdb.exe --widget Quorvex.wgt --version 1.2.0[.7] --out DIR
#                      [--certificate CERT.p12 [--password-file FILE] [--timestamp URL]
#                       [--sign-tool] [--ca-file PEM]] [--build-dir DIR]
#
#   --certificate    PKCS#12 file with the code-signing key, its certificate and their chain
#   --password-file  its password, first line; without it, the environment variable
#                    QUORVEX_SIGNING_PASSWORD (never the command line)
#   --timestamp      an RFC 3161 time-stamp server; without it the signature is not time-stamped
#   --sign-tool      sign the carried bridge tool too, when it carries no signature of its own
#   --ca-file        more trusted roots for checking the chain (the system's and the file's own
#                    are used)
#   --build-dir      the build tree (default build/release), configured afresh each time
#
# Every input is checked before anything is built or written; the output folder (new, or empty)
# is written last, at once. The password goes to openssl and osslsigncode through a pipe they
# read: it is never on a command line, in a shell variable, or in what set -x prints.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
here=$root/scripts

usage() {
    sed -n '7,20p' "$0" >&2
    exit 2
}
fail() {
    echo "release: $*" >&2
    exit 1
}

tool=
widget=
version=
out=
certificate=
password_file=
timestamp=
sign_tool=0
ca_file=
build_dir=$root/build/release
while [ $# -gt 0 ]; do
    case $1 in
    --tool) tool=${2:-} ;;
    --widget) widget=${2:-} ;;
    --version) version=${2:-} ;;
    --out) out=${2:-} ;;
    --certificate) certificate=${2:-} ;;
    --password-file) password_file=${2:-} ;;
    --timestamp) timestamp=${2:-} ;;
    --ca-file) ca_file=${2:-} ;;
    --build-dir) build_dir=${2:-} ;;
    --sign-tool)
        sign_tool=1
        shift
        continue
        ;;
    --pass* | -pass* | --password)
        fail "the certificate's password is never taken on the command line: give a file" \
            "(--password-file) or set QUORVEX_SIGNING_PASSWORD"
        ;;
    -h | --help) usage ;;
    *) echo "release: unknown argument '$1'" >&2 && usage ;;
    esac
    [ $# -ge 2 ] || fail "$1 needs a value"
    shift 2
done
[ -n "$tool" ] && [ -n "$widget" ] && [ -n "$version" ] && [ -n "$out" ] || usage

# --- The inputs, before anything is built or written ---

# Three or four numbers, each a 16-bit field of the version resource, without leading zeros (as
# cmake/Version.cmake checks them again).
number='(0|[1-9][0-9]{0,4})'
[[ $version =~ ^$number\.$number\.$number(\.$number)?$ ]] ||
    fail "version '$version': three or four numbers separated by dots, e.g. 1.2.0 or 1.2.0.7"
IFS=. read -ra parts <<<"$version"
for part in "${parts[@]}"; do
    [ "$part" -le 65535 ] || fail "version '$version': $part is over 65535"
done

for needed in cmake openssl python3 unzip xmllint sha256sum; do
    command -v "$needed" >/dev/null || fail "'$needed' is missing (scripts/setup.sh installs it)"
done
[ -z "$certificate" ] || command -v osslsigncode >/dev/null ||
    fail "'osslsigncode' is missing (scripts/setup.sh installs it)"
[ -n "$certificate" ] || [ "$sign_tool" -eq 0 ] || fail "--sign-tool needs --certificate"

absolute() { realpath -m -- "$1"; }
[ -f "$tool" ] || fail "bridge tool '$tool' not found"
[ -f "$widget" ] || fail "widget package '$widget' not found"
tool=$(absolute "$tool")
widget=$(absolute "$widget")
out=$(absolute "$out")
build_dir=$(absolute "$build_dir")
tool_info=$(python3 "$here/pe-info.py" "$tool" 2>&1) ||
    fail "bridge tool '$tool' is not a Windows program (${tool_info##*: })"
widget_config=$(unzip -p "$widget" config.xml 2>/dev/null) && [ -n "$widget_config" ] ||
    fail "widget package '$widget' is not a widget package (no config.xml in a zip)"
if [ -e "$out" ] && { [ ! -d "$out" ] || [ -n "$(ls -A "$out")" ]; }; then
    fail "output folder '$out' exists and is not empty: give a new one"
fi
case $out/ in "$build_dir"/*) fail "the output folder must not be inside the build folder" ;; esac

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvex-release-XXXXXX")
trap 'rm -rf "$work"' EXIT

# with_password COMMAND...: runs COMMAND with the certificate's password readable on its fd 3.
with_password() {
    if [ -n "$password_file" ]; then
        "$@" 3<"$password_file"
    else
        "$@" 3< <(printenv QUORVEX_SIGNING_PASSWORD)
    fi
}
# p12 OPTIONS...: the certificate file opened with its password (files from older tools use
# algorithms OpenSSL 3 keeps in its legacy provider).
p12() {
    with_password openssl pkcs12 -in "$certificate" -passin fd:3 "$@" 2>"$work/p12.err" ||
        with_password openssl pkcs12 -legacy -in "$certificate" -passin fd:3 "$@" 2>>"$work/p12.err"
}
x509() { openssl x509 -in "$work/leaf.pem" -noout "$@"; }

if [ -n "$certificate" ]; then
    [ -f "$certificate" ] || fail "certificate '$certificate' not found"
    certificate=$(absolute "$certificate")
    if [ -n "$password_file" ]; then
        [ -r "$password_file" ] || fail "password file '$password_file' cannot be read"
    elif ! printenv QUORVEX_SIGNING_PASSWORD >/dev/null; then
        fail "no password for '$certificate': give --password-file or set QUORVEX_SIGNING_PASSWORD"
    fi
    p12 -nokeys -clcerts -out "$work/leaf.pem" ||
        fail "the password does not open '$certificate', or it is not a PKCS#12 file"
    p12 -nokeys -cacerts -out "$work/chain.pem" || fail "the chain in '$certificate' cannot be read"
    [ -s "$work/leaf.pem" ] || fail "'$certificate' holds no certificate for its key"
    # The key must be the certificate's (the key is only piped from one openssl to the next).
    key=$(p12 -nocerts -nodes | openssl pkey -pubout 2>/dev/null | sha256sum) ||
        fail "'$certificate' holds no private key"
    [ "$key" = "$(x509 -pubkey | sha256sum)" ] || fail "the key in '$certificate' is not its certificate's"

    subject=$(x509 -subject -nameopt RFC2253)
    subject=${subject#subject=}
    issuer=$(x509 -issuer -nameopt RFC2253)
    issuer=${issuer#issuer=}
    not_before=$(x509 -startdate)
    not_before=${not_before#notBefore=}
    not_after=$(x509 -enddate)
    not_after=${not_after#notAfter=}
    [ "$(date -d "$not_before" +%s)" -le "$(date +%s)" ] ||
        fail "the certificate of $subject is not valid yet: from $not_before (this machine's clock" \
            "says $(date -u '+%b %e %H:%M:%S %Y GMT'))"
    x509 -checkend 0 >/dev/null || fail "the certificate of $subject expired on $not_after"
    extended_usage=$(x509 -ext extendedKeyUsage 2>/dev/null || true)
    [[ $extended_usage == *"Code Signing"* ]] ||
        fail "the certificate of $subject is not for code signing (its extended key usage lacks" \
            "codeSigning)"
    usage_bits=$(x509 -ext keyUsage 2>/dev/null || true)
    [ -z "$usage_bits" ] || [[ $usage_bits == *"Digital Signature"* ]] ||
        fail "the certificate of $subject may not sign (its key usage lacks digitalSignature)"

    # Trusted for the checks: the system's roots, --ca-file's, and the file's own certificates,
    # of which only a self-signed one (a private CA's root, a self-signed certificate) can end a
    # chain; the chain goes into the signature.
    : >"$work/trust.pem"
    [ ! -f /etc/ssl/certs/ca-certificates.crt ] || cat /etc/ssl/certs/ca-certificates.crt >>"$work/trust.pem"
    if [ -n "$ca_file" ]; then
        [ -f "$ca_file" ] || fail "CA file '$ca_file' not found"
        cat "$ca_file" >>"$work/trust.pem"
    fi
    cat "$work/chain.pem" "$work/leaf.pem" >>"$work/trust.pem"
    untrusted=()
    [ ! -s "$work/chain.pem" ] || untrusted=(-untrusted "$work/chain.pem")
    chain_check=$(openssl verify -CAfile "$work/trust.pem" "${untrusted[@]}" "$work/leaf.pem" 2>&1) ||
        fail "the certificate of $subject does not lead to a trusted root with the chain in" \
            "'$certificate' ($(grep -m1 '^error' <<<"$chain_check" || tail -n 1 <<<"$chain_check"))"
fi

# --- Build ---

tool_signed=$(sed -n 's/^authenticode //p' <<<"$tool_info")
carried_tool=$tool
if [ -n "$certificate" ] && [ "$sign_tool" -eq 1 ] && [ "$tool_signed" = no ]; then
    tool_signed=added
fi

# sign IN OUT: Authenticode, SHA-256, the certificate and its chain; time-stamped when asked.
sign() {
    local stamp=()
    [ -z "$timestamp" ] || stamp=(-ts "$timestamp")
    with_password osslsigncode sign -pkcs12 "$certificate" -readpass /dev/fd/3 -h sha256 \
        -n "Quorvex Tizen Installer" "${stamp[@]}" -in "$1" -out "$2" >"$work/sign.log" 2>&1 ||
        { cat "$work/sign.log" >&2; fail "signing $(basename "$1") failed"; }
}
# verify FILE: the signature checks out against the trusted roots (revocation lists are not
# fetched: this checks the signature just made, not the certificate's standing).
verify() {
    local options=()
    # Older osslsigncode (Debian 12's 2.5) fetches nothing and has no such option.
    [[ $(osslsigncode verify --help 2>&1) != *-ignore-cdp* ]] || options=(-ignore-cdp)
    osslsigncode verify "${options[@]}" -CAfile "$work/trust.pem" -in "$1" >"$work/verify.log" 2>&1 ||
        { cat "$work/verify.log" >&2; fail "the signature on $(basename "$1") does not verify"; }
}

mkdir -p "$build_dir"
log=$build_dir/release.log
if [ "$tool_signed" = added ]; then
    mkdir -p "$build_dir/signed-tool"
    carried_tool=$build_dir/signed-tool/$(basename "$tool")
    sign "$tool" "$carried_tool"
    verify "$carried_tool"
fi

echo "release: building QuorvexInstaller $version in $build_dir (log: $log)"
if ! (cd "$root" && cmake --preset windows -B "$build_dir" --fresh -DQUORVEX_VERSION="$version" \
    -DQUORVEX_BRIDGE_TOOL="$carried_tool" -DQUORVEX_WIDGET_PACKAGE="$widget" -DQUORVEX_STRIP=ON) \
    >"$log" 2>&1 ||
    ! cmake --build "$build_dir" --target QuorvexInstaller -j2 >>"$log" 2>&1; then
    tail -n 30 "$log" >&2
    fail "the build failed (log: $log)"
fi
built=$build_dir/src/QuorvexInstaller.exe
built_info=$(python3 "$here/pe-info.py" "$built")
for field in file-version product-version; do
    grep -qxF "$field $version$([ ${#parts[@]} -eq 3 ] && echo .0)" <<<"$built_info" ||
        fail "the exe's version resource does not say $version: $built_info"
done

# --- Sign, check, write ---

exe_name=QuorvexInstaller-$version.exe
note_name=release-note-$version.txt
stage=$work/out
mkdir "$stage"
if [ -n "$certificate" ]; then
    sign "$built" "$stage/$exe_name"
    verify "$stage/$exe_name"
    grep -E 'Signature verification|Number of verified' "$work/verify.log" | sed 's/^/release: /' || true
else
    cp "$built" "$stage/$exe_name"
fi

size() { stat -c %s "$1"; }
sha256() { sha256sum "$1" | cut -d' ' -f1; }
widget_field() { xmllint --xpath "string($1)" - <<<"$widget_config" 2>/dev/null || true; }
widget_name=$(widget_field "/*[local-name()='widget']/*[local-name()='name']")
widget_id=$(widget_field "/*[local-name()='widget']/*[local-name()='application']/@id")
widget_version=$(widget_field "/*[local-name()='widget']/@version")
tool_version=$(sed -n 's/^file-version //p' <<<"$tool_info")
source_commit=$(git -C "$root" rev-parse HEAD 2>/dev/null || echo unknown)
git -C "$root" diff --quiet HEAD 2>/dev/null || source_commit="$source_commit, with uncommitted changes"
{
    echo "Quorvex Tizen Installer $version"
    echo
    echo "$exe_name"
    echo "  size:     $(size "$stage/$exe_name") bytes"
    echo "  SHA-256:  $(sha256 "$stage/$exe_name")"
    if [ -n "$certificate" ]; then
        echo "  signed:   yes (Authenticode, SHA-256), by $subject"
        echo "            issued by $issuer, valid until $not_after"
        echo "            certificate $(x509 -fingerprint -sha256 | sed 's/^.*=/SHA-256 fingerprint /')"
        if [ -n "$timestamp" ]; then
            echo "            time-stamped by $timestamp"
        else
            echo "            not time-stamped: Windows trusts the signature until $not_after"
        fi
    else
        echo "  signed:   no (Windows SmartScreen warns before it starts: \"Windows protected your PC\")"
    fi
    echo "  rebuilt:  scripts/release.sh with the tool, the widget and the version below gives,"
    echo "            before signing, an exe of SHA-256 $(sha256 "$built")"
    echo "            (source: commit $source_commit)"
    echo
    echo "Carried inside, written beside the exe while it installs:"
    echo "  iu.exe, the bridge tool: $(basename "$tool")"
    echo "    version:  ${tool_version:-none recorded}"
    echo "    size:     $(size "$carried_tool") bytes"
    echo "    SHA-256:  $(sha256 "$carried_tool")"
    case $tool_signed in
    yes) echo "    signed:   yes, its own signature" ;;
    added) echo "    signed:   by this release, as the exe (unsigned original SHA-256 $(sha256 "$tool"))" ;;
    *) echo "    signed:   no" ;;
    esac
    echo "  Quorvex.wgt, the widget package: $(basename "$widget")"
    echo "    widget:   ${widget_name:-unnamed} (${widget_id:-no application id})"
    echo "    version:  ${widget_version:-none recorded}"
    echo "    size:     $(size "$widget") bytes"
    echo "    SHA-256:  $(sha256 "$widget")"
    echo
    echo "To check a download on Windows, compare the SHA-256 above, or SHA256SUMS, with"
    echo "  certutil -hashfile $exe_name SHA256"
    echo "  Get-FileHash $exe_name -Algorithm SHA256      (PowerShell)"
} >"$stage/$note_name"
(cd "$stage" && sha256sum "$exe_name" "$note_name" >SHA256SUMS)

# The folder appears whole or not at all: made beside its final place, then renamed.
mkdir -p "$(dirname "$out")"
final=$(mktemp -d "$(dirname "$out")/.release-XXXXXX")
cp -p "$stage"/* "$final/"
chmod 755 "$final"
[ ! -d "$out" ] || rmdir "$out"
mv -T "$final" "$out"
echo "release: wrote $out:"
(cd "$out" && ls -l)
