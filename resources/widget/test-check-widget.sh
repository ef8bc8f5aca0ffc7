#!/usr/bin/env bash
# Shows that check-widget.sh catches the faults it is there for: it must pass the built package and
# fail each broken copy made from it, naming the fault.
#   test-check-widget.sh <package.wgt>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
good="$1"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
failures=0

order=(index.html css/style.css logo_117.png config.xml css/ js/ js/main.js author-signature.xml signature1.xml)

# rezip <name> <zip options> <member>...: a package from the (possibly edited) files in $tmp/x
rezip() {
    local name="$1" opts="$2"
    shift 2
    rm -f "$tmp/$name.wgt"
    # shellcheck disable=SC2086
    (cd "$tmp/x" && TZ=UTC zip -X $opts -q "$tmp/$name.wgt" "$@")
}

# expect_fault <name> <text the report must contain>
expect_fault() {
    local out
    if out="$("$here/check-widget.sh" "$tmp/$1.wgt" 2>&1)"; then
        echo "MISSED: $1 passed the check"; failures=$((failures + 1))
    elif ! grep -qF -- "$2" <<<"$out"; then
        echo "MISSED: $1 failed, but without '$2':"; echo "$out"; failures=$((failures + 1))
    else
        echo "caught: $1"
    fi
}

if ! "$here/check-widget.sh" "$good"; then
    echo "the built package itself does not pass"; exit 1
fi

unzip -q "$good" -d "$tmp/x"

rezip same -9 "${order[@]}"
"$here/check-widget.sh" "$tmp/same.wgt" >/dev/null || { echo "a faithful rezip does not pass"; exit 1; }

# members <package>: its member names, in archive order, one a line
members() { unzip -Z1 "$1"; }
# must_differ <what> <command...>: the fault is really in the copy, or the test itself is broken
must_differ() {
    local what="$1"
    shift
    if "$@"; then echo "the fault was not injected: $what"; exit 1; fi
}

rezip swapped -9 index.html css/style.css config.xml logo_117.png css/ js/ js/main.js author-signature.xml signature1.xml
must_differ "member order" cmp -s <(members "$tmp/swapped.wgt") <(members "$good")
expect_fault swapped "member order"

rezip missing -9 index.html css/style.css logo_117.png config.xml css/ js/ author-signature.xml signature1.xml
must_differ "js/main.js left out" grep -qx js/main.js <(members "$tmp/missing.wgt")
expect_fault missing "signs js/main.js, which is not in the package"

rezip stored -0 "${order[@]}"
must_differ "index.html stored" bash -c "unzip -Zv '$tmp/stored.wgt' index.html | grep -q 'compression method:.*deflated'"
expect_fault stored "member index.html is 'stor', expected deflated"

cp "$tmp/x/index.html" "$tmp/index.html.orig"
printf '<!-- edited after signing -->\n' >> "$tmp/x/index.html"
must_differ "index.html edited" cmp -s "$tmp/x/index.html" "$tmp/index.html.orig"
rezip stale -9 "${order[@]}"
expect_fault stale "author-signature.xml digest of index.html"
cp "$tmp/index.html.orig" "$tmp/x/index.html"

cp "$tmp/x/config.xml" "$tmp/config.xml.orig"
sed -i 's/R4vT7mWq2Z\.Quorvex/R4vT7mWq2Z.Other/' "$tmp/x/config.xml"
must_differ "application id changed" cmp -s "$tmp/x/config.xml" "$tmp/config.xml.orig"
rezip wrongid -9 "${order[@]}"
expect_fault wrongid "application id is 'R4vT7mWq2Z.Other'"
cp "$tmp/config.xml.orig" "$tmp/x/config.xml"

# A new signature value over unchanged digests: only the signature check can see it. The value's
# first character is replaced by another base64 character, so the value always changes.
cp "$tmp/x/signature1.xml" "$tmp/signature1.xml.orig"
perl -pi -e 's{<SignatureValue>(\s*)(\S)}{"<SignatureValue>$1" . ($2 eq "A" ? "B" : "A")}e' \
    "$tmp/x/signature1.xml"
must_differ "signature value altered" cmp -s "$tmp/x/signature1.xml" "$tmp/signature1.xml.orig"
rezip badvalue -9 "${order[@]}"
expect_fault badvalue "signature1.xml signature value does not verify"
cp "$tmp/signature1.xml.orig" "$tmp/x/signature1.xml"

if [ "$failures" -gt 0 ]; then
    echo "$failures fault(s) not caught"; exit 1
fi
echo "every broken copy was caught"
