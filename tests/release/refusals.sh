#!/usr/bin/env bash
# What scripts/release.sh refuses, each before anything is built or written: bad certificates, a
# wrong or missing password, bad versions and inputs. Every run is traced (bash -x), and neither
# the trace nor the messages may hold the password.
#   refusals.sh SOURCE_DIR WORK_DIR
set -uo pipefail
root=$1
dir=$2
rm -rf "$dir"
mkdir -p "$dir/in"
bash "$root/tests/release/make-certificates.sh" "$dir/ca" || exit 1
ca=$dir/ca
password=$(head -n 1 "$ca/password")
printf 'wrong\n' >"$dir/wrong-password"

# The inputs: a small Windows program for the tool, a package with the sample's config.xml.
printf 'int main(void) { return 0; }\n' >"$dir/in/tool.c"
x86_64-w64-mingw32-gcc -o "$dir/in/tool.exe" "$dir/in/tool.c" || exit 1
(cd "$root/resources/widget" && zip -q "$dir/in/widget.wgt" config.xml) || exit 1
printf 'not a program\n' >"$dir/in/text.exe"
mkdir -p "$dir/used" && touch "$dir/used/QuorvexInstaller-0.9.0.exe"

failures=0
# refused NAME EXPECTED [VAR=VALUE...] -- ARGS...: release.sh with the tool, the widget, version
# 1.2.0, a new output folder and ARGS (later ones win), in the environment given, must exit 1
# saying EXPECTED, and write nothing.
refused() {
    local name=$1 expected=$2 env=() out=$dir/out/$1 build=$dir/build/$1 ok=1
    shift 2
    while [ "$1" != -- ]; do env+=("$1") && shift; done
    shift
    env -u QUORVEX_SIGNING_PASSWORD "${env[@]}" bash -x "$root/scripts/release.sh" \
        --tool "$dir/in/tool.exe" --widget "$dir/in/widget.wgt" --version 1.2.0 --out "$out" \
        --build-dir "$build" "$@" >"$dir/$name.log" 2>&1
    local status=$?
    local said
    said=$(grep '^release: ' "$dir/$name.log")
    [ "$status" -eq 1 ] || { echo "  exit $status, not 1"; ok=0; }
    grep -qF -- "$expected" <<<"$said" || { echo "  no message '$expected'"; ok=0; }
    [ ! -e "$out" ] || { echo "  $out written"; ok=0; }
    [ ! -e "$build" ] || { echo "  $build written"; ok=0; }
    ! grep -qF -- "$password" "$dir/$name.log" || { echo "  the password shown"; ok=0; }
    if [ "$ok" -eq 1 ]; then
        echo "ok: $name: $said"
    else
        echo "FAILED: $name: $said"
        failures=$((failures + 1))
    fi
}
file=(--password-file "$ca/password")
good=(--certificate "$ca/good.p12")

# Certificates and passwords.
refused wrong-password-file "the password does not open" -- "${good[@]}" --password-file "$dir/wrong-password"
refused wrong-password-env "the password does not open" QUORVEX_SIGNING_PASSWORD=wrong -- "${good[@]}"
refused no-password "no password for" -- "${good[@]}"
refused password-argument "never taken on the command line" -- "${good[@]}" --password "$password"
refused unreadable-password-file "cannot be read" -- "${good[@]}" --password-file "$dir/none"
refused expired "expired on" -- --certificate "$ca/expired.p12" "${file[@]}"
refused expired-env "expired on" "QUORVEX_SIGNING_PASSWORD=$password" -- --certificate "$ca/expired.p12"
refused not-yet-valid "is not valid yet: from" -- --certificate "$ca/not-yet-valid.p12" "${file[@]}"
refused server-only "is not for code signing" -- --certificate "$ca/server-only.p12" "${file[@]}"
refused no-signature-use "may not sign" -- --certificate "$ca/no-signature-use.p12" "${file[@]}"
refused no-chain "does not lead to a trusted root" -- --certificate "$ca/no-chain.p12" "${file[@]}"
refused not-pkcs12 "does not open" -- --certificate "$ca/root.pem" "${file[@]}"
refused sign-tool-unsigned "--sign-tool needs --certificate" -- --sign-tool
# Versions: three or four numbers of 0-65535, no leading zeros.
refused version-two-parts "version '1.2'" -- --version 1.2
refused version-five-parts "version '1.2.3.4.5'" -- --version 1.2.3.4.5
refused version-leading-zero "version '1.02.3'" -- --version 1.02.3
refused version-too-big "65536 is over 65535" -- --version 1.2.65536
refused version-prefix "version 'v1.2.3'" -- --version v1.2.3
refused version-space "version '1.2.3 '" -- --version "1.2.3 "
refused version-letters "version '1.2.3-rc1'" -- --version 1.2.3-rc1
# Inputs and the output folder.
refused tool-missing "bridge tool" -- --tool "$dir/in/none.exe"
refused tool-not-a-program "not a Windows program" -- --tool "$dir/in/text.exe"
refused widget-not-a-package "is not a widget package" -- --widget "$dir/in/tool.exe"
refused output-not-empty "exists and is not empty" -- --out "$dir/used"
check_kept() { [ "$(ls -A "$dir/used")" = QuorvexInstaller-0.9.0.exe ]; }
check_kept || { echo "FAILED: the used output folder was changed" && failures=$((failures + 1)); }

echo "$failures failed"
[ "$failures" -eq 0 ]
