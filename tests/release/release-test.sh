#!/usr/bin/env bash
# The release command for real: four runs of scripts/release.sh with the Windows tree's stand-in
# tool and sample widget as inputs and a code-signing CA made here, then checks of what they wrote.
#   A  folder a, two days ahead (faketime), signed, --sign-tool: the unsigned stand-in gets signed
#   B  a folder with a space in its name, signed, --sign-tool, carrying A's signed tool: kept as is
#   C  B's build tree again, no certificate: the release a third party makes to compare
#   D  B's build tree, version 2.3.4, a time-stamp server that does not answer: fails, writes nothing
# A, B and C carry the same bytes, so their exes before signing must be the same bytes. A is always
# built in a fresh tree; B's tree is kept between runs, so that B's exe is the incremental build's.
#   release-test.sh SOURCE_DIR WINDOWS_TREE WORK_DIR
# Leaves A's release in WORK_DIR/a/out for the end-to-end run (release_signed_installs).
set -uo pipefail
root=$1
tree=$2
dir=$3
objdump=x86_64-w64-mingw32-objdump
version=2.3.4.5
exe=QuorvexInstaller-$version.exe
note=release-note-$version.txt

failures=0
check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
    else
        echo "FAILED: $what"
        failures=$((failures + 1))
    fi
}
has_line() { grep -qxF -- "$2" "$1"; }
fails() { ! "$@"; }
same() { cmp -s "$1" "$2"; }
sha() { sha256sum "$1" | cut -d' ' -f1; }
info() { python3 "$root/scripts/pe-info.py" "$1"; }
# (grep reads all of it: -q would end the pipe early)
signed() { info "$1" | grep -x "authenticode yes" >/dev/null; }
resource_has() { info "$1" | grep -xF "$2" >/dev/null; }
verifies() { osslsigncode verify -CAfile "$dir/ca/root.pem" -in "$1" >"$dir/verify.log" 2>&1; }

# B's build tree stays from the last run: B builds on today's date, so make rebuilds what changed
# since, and a rerun builds only A's tree afresh (A's files are dated two days ahead, and make would
# take them for newer than any edit made meanwhile).
if [ -d "$dir" ]; then
    find "$dir" -mindepth 1 -maxdepth 1 ! -name 'b folder' -exec rm -rf {} +
    find "$dir/b folder" -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} + 2>/dev/null
fi
mkdir -p "$dir/in"
bash "$root/tests/release/make-certificates.sh" "$dir/ca" || exit 1
cp "$tree/resources/payloads/IUFILE" "$dir/in/bridge.exe"
cp "$tree/resources/payloads/WGTFILE" "$dir/in/Quorvex.wgt"
signing=(--certificate "$dir/ca/good.p12" --password-file "$dir/ca/password")

# release NAME [--two-days-ahead] [options]: one run, its output in $dir/NAME.log, its exit status
# in $dir/NAME.status.
# At the lowest priority: it builds beside the Wine tests, whose programs a busy compiler would slow
# more than it gains (cmake/TestLimits.cmake).
release() {
    local name=$1 since=$SECONDS run=(nice -n 19 "$root/scripts/release.sh")
    shift
    if [ "$1" = --two-days-ahead ]; then
        run=(faketime -f +2d "${run[@]}")
        shift
    fi
    "${run[@]}" --widget "$dir/in/Quorvex.wgt" "$@" >"$dir/$name.log" 2>&1
    echo $? >"$dir/$name.status"
    echo "--- release $name: exit $(cat "$dir/$name.status") after $((SECONDS - since)) s"
    cat "$dir/$name.log"
}
succeeded() { [ "$(cat "$dir/$1.status")" = 0 ]; }

a=$dir/a
b="$dir/b folder"
release A --two-days-ahead --tool "$dir/in/bridge.exe" --version "$version" \
    --out "$a/out" --build-dir "$a/build" "${signing[@]}" --sign-tool
release B --tool "$a/build/signed-tool/bridge.exe" --version "$version" --out "$b/out" \
    --build-dir "$b/build" "${signing[@]}" --sign-tool
release C --tool "$a/build/signed-tool/bridge.exe" --version "$version" --out "$dir/c/out" \
    --build-dir "$b/build"
cp "$b/build/src/QuorvexInstaller.exe" "$dir/b-built.exe" 2>/dev/null
release D --tool "$a/build/signed-tool/bridge.exe" --version 2.3.4 --out "$dir/d/out" \
    --build-dir "$b/build" "${signing[@]}" --timestamp http://127.0.0.1:9/
for run in A B C; do
    check "release $run succeeded" succeeded "$run"
done

# --- The same bytes before signing, whatever the folder or the day ---

# where_differ ONE TWO: how many bytes differ, the first ones, and the PE sections they are in.
where_differ() {
    cmp -l "$1" "$2" >"$dir/cmp.txt"
    echo "$(wc -l <"$dir/cmp.txt") bytes differ ($(stat -c %s "$1") and $(stat -c %s "$2") bytes); the first:"
    $objdump -h "$1" >"$dir/sections.txt"
    head -n 8 "$dir/cmp.txt" | while read -r at one two; do
        local section="the headers or the signature" index name size _vma _lma start _align
        at=$((at - 1))
        while read -r index name size _vma _lma start _align; do
            [[ $index =~ ^[0-9]+$ ]] && ((0x$start != 0)) || continue  # not .bss: no bytes in the file
            ((at >= 0x$start && at < 0x$start + 0x$size)) && section=$name
        done <"$dir/sections.txt"
        printf '  offset 0x%x: %03o / %03o, in %s\n' "$at" "$one" "$two" "$section"
    done
}
reproduced() {
    cmp -s "$1" "$2" && return 0
    echo "$1 and $2 differ:"
    where_differ "$1" "$2"
    return 1
}
built_a=$a/build/src/QuorvexInstaller.exe
check "two folders, two days: the same exe before signing (A, B)" reproduced "$built_a" "$dir/b-built.exe"
check "the unsigned release is that exe (A, C)" reproduced "$built_a" "$dir/c/out/$exe"
check "the release note gives that exe's SHA-256 for a rebuild" \
    grep -qF "before signing, an exe of SHA-256 $(sha "$dir/c/out/$exe")" "$a/out/$note"
no_build_paths() {
    local path
    for path in "$dir" "$root" "$tree" "$(dirname "$root")"; do
        if strings -a "$1" | grep -F "$path" >/dev/null || strings -a -el "$1" | grep -F "$path" >/dev/null; then
            echo "$1 names $path"
            return 1
        fi
    done
}
check "no build path in the exe" no_build_paths "$dir/c/out/$exe"

# --- Signatures ---

check "A's exe is signed" signed "$a/out/$exe"
check "A's exe verifies against the test CA" verifies "$a/out/$exe"
grep -E 'Signature verification|Succeeded' "$dir/verify.log" | sed 's/^/  /'
carries_intermediate() {
    osslsigncode extract-signature -pem -in "$1" -out "$dir/signature.pem" >/dev/null 2>&1 &&
        openssl pkcs7 -in "$dir/signature.pem" -print_certs -noout |
        grep "CN *= *Quorvex Test Code Signing CA" >/dev/null
}
check "the signature carries the intermediate CA" carries_intermediate "$a/out/$exe"
# One changed byte in the signed image (its first section, its middle, its last byte before the
# signature), and the signature no longer verifies. (The checksum and the certificate table's
# entry are left out of the hash, as are certificates in the signature that a root replaces.)
for where in 0x400 $(($(stat -c %s "$built_a") / 2)) $(($(stat -c %s "$built_a") - 1)); do
    cp "$a/out/$exe" "$dir/changed.exe"
    byte=$(od -An -tu1 -j "$((where))" -N1 "$dir/changed.exe" | tr -d ' ')
    printf "$(printf '\\%03o' $(((byte + 1) % 256)))" |
        dd of="$dir/changed.exe" bs=1 seek="$((where))" conv=notrunc status=none
    check "a byte changed at $where: the signature fails" fails verifies "$dir/changed.exe"
done
check "B's exe verifies against the test CA" verifies "$b/out/$exe"
check "C's exe is not signed" fails signed "$dir/c/out/$exe"

# --sign-tool: A signed the unsigned stand-in and carries that; B kept the signed one it was given.
check "the stand-in tool was unsigned" fails signed "$dir/in/bridge.exe"
check "A signed the tool it carries" verifies "$a/build/signed-tool/bridge.exe"
check "A carries its signed tool" same "$a/build/resources/payloads/IUFILE" "$a/build/signed-tool/bridge.exe"
check "B carries the signed tool as given" same "$b/build/resources/payloads/IUFILE" \
    "$a/build/signed-tool/bridge.exe"
check "B signed no tool of its own" test ! -e "$b/build/signed-tool"
check "A's note: the tool signed by this release" has_line "$a/out/$note" \
    "    signed:   by this release, as the exe (unsigned original SHA-256 $(sha "$dir/in/bridge.exe"))"
check "B's note: the tool's own signature" has_line "$b/out/$note" "    signed:   yes, its own signature"

# --- What the folders hold ---

only_release_files() {
    [ "$(ls -A "$1" | sort | tr '\n' ' ')" = "$exe SHA256SUMS $note " ] || { ls -A "$1"; return 1; }
    (cd "$1" && sha256sum --quiet -c SHA256SUMS) || return 1
    [ "$(cut -d' ' -f3 "$1/SHA256SUMS" | sort | tr '\n' ' ')" = "$exe $note " ]
}
for out in "$a/out" "$b/out" "$dir/c/out"; do
    check "$out: the exe, SHA256SUMS and the note, the sums right" only_release_files "$out"
done
for field in "file-version $version" "product-version $version" "FileVersion $version" \
    "ProductVersion $version"; do
    check "version resource: $field" resource_has "$dir/c/out/$exe" "$field"
done
check "the version text in UTF-16, as Properties read it" bash -c \
    'strings -a -el "$1" | grep -xF "$2" >/dev/null' _ "$dir/c/out/$exe" "$version"
note_names() { # note_names NOTE EXE TOOL WIDGET
    local line
    for line in "Quorvex Tizen Installer $version" "  SHA-256:  $(sha "$2")" \
        "  size:     $(stat -c %s "$2") bytes" "  iu.exe, the bridge tool: bridge.exe" \
        "    SHA-256:  $(sha "$3")" "    size:     $(stat -c %s "$3") bytes" \
        "  Quorvex.wgt, the widget package: Quorvex.wgt" "    SHA-256:  $(sha "$4")" \
        "    size:     $(stat -c %s "$4") bytes" "    widget:   Quorvex (R4vT7mWq2Z.Quorvex)" \
        "    version:  1.0.0"; do
        has_line "$1" "$line" || { echo "$1 lacks: $line"; return 1; }
    done
}
check "A's note names the exe, the tool and the widget" note_names "$a/out/$note" "$a/out/$exe" \
    "$a/build/signed-tool/bridge.exe" "$dir/in/Quorvex.wgt"
check "C's note names the exe, the tool and the widget" note_names "$dir/c/out/$note" \
    "$dir/c/out/$exe" "$a/build/signed-tool/bridge.exe" "$dir/in/Quorvex.wgt"
check "A's note: signed, by whom" grep -qxF \
    "  signed:   yes (Authenticode, SHA-256), by CN=Quorvex Test Publisher,O=Quorvex,C=DE" "$a/out/$note"
check "C's note: not signed" grep -q "^  signed:   no " "$dir/c/out/$note"

# D: a version of three numbers built, then the time-stamp server did not answer.
check "D failed at the time-stamp server" bash -c '! grep -qx 0 "$1" && grep -q "signing .* failed" "$2"' \
    _ "$dir/D.status" "$dir/D.log"
check "D wrote no output folder" test ! -e "$dir/d/out"
check "D's exe says 2.3.4.0 in numbers" resource_has "$b/build/src/QuorvexInstaller.exe" "file-version 2.3.4.0"
check "D's exe says 2.3.4 in text" resource_has "$b/build/src/QuorvexInstaller.exe" "FileVersion 2.3.4"

echo "$failures failed"
[ "$failures" -eq 0 ]
