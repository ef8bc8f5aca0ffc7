#!/usr/bin/env bash
# Builds the fuzz target with clang's libFuzzer (and ASan/UBSan) and runs it for a bounded
# number of inputs, starting from a few seeds. Usage: run-fuzz.sh SOURCE_DIR WORK_DIR [RUNS]
set -euo pipefail
src=$1
work=$2
runs=${3:-300000}
mkdir -p "$work/corpus"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$src" "$src/tests/fuzz/address_fuzz.cpp" "$src/src/tv_address.cpp" "$src/src/install_commands.cpp" \
    -o "$work/address_fuzz"
seed() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE >"$work/corpus/$2"; }
seed "192.168.1.5" good
seed " 10.0.0.255 " spaces
seed "1.2.3.4&calc" tail
seed "999.1.1.1" range
"$work/address_fuzz" -runs="$runs" -max_len=64 -artifact_prefix="$work/" "$work/corpus" 2>&1 | tail -n 3
