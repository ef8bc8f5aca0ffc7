#!/usr/bin/env bash
# Measures on the host (OpenSSL) what the tests no longer time: signing the sample widget and
# checking a certificate profile, with 2048-bit keys (what Tizen Studio makes) and 4096-bit ones.
# The same work under Wine, in the installer, is printed by the e2e scenario signed_install
# ("figure: sign-ms", "figure: profile-check-ms").
# Usage: bench/signing.sh [RUNS]   (default 7)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
out=build/bench-signing
scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target quorvex_sign_timing quorvex_sample_widget >/dev/null
rm -rf "$out"
mkdir -p "$out"
tests/signing/make-profile.sh "$out/2048-bit"
tests/signing/make-profile.sh "$out/4096-bit" --bits 4096
build/native/bench/quorvex_sign_timing build/native/payloads/Quorvex.wgt "$runs" \
    "$out/2048-bit" "$out/4096-bit"
