#!/usr/bin/env bash
# Renders the SVG sources in this folder into the committed images. For maintainers: the build uses
# the committed files and never runs this. Needs rsvg-convert (librsvg2-bin), icotool (icoutils) and
# ImageMagick's convert/identify.
#
#   app.ico            MAINICON: 16, 24, 32, 48 (32-bit) and 256 (PNG)
#   window.ico         ICON_1: 64 (32-bit)
#   install-glyph.ico  INSTALL_GLYPH: 24, 30, 36, 48 (32-bit), 24 px at 96 DPI
#   ../widget/logo_117.png  PNGIMAGE_1 and the widget's icon (one file for both)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# Always RGBA, so icotool writes 32-bit images with a real alpha channel.
render() { # svg size out.png
    rsvg-convert --width "$2" --height "$2" --format png "$here/$1" -o "$tmp/raw.png"
    convert "$tmp/raw.png" -define png:color-type=6 -strip "$3"
}

render icon-16.svg 16 "$tmp/app16.png"
render icon-24.svg 24 "$tmp/app24.png"
render icon.svg 32 "$tmp/app32.png"
render icon-24.svg 48 "$tmp/app48.png"
render icon.svg 256 "$tmp/app256.png"
icotool -c -b 32 -o "$here/app.ico" "$tmp/app16.png" "$tmp/app24.png" "$tmp/app32.png" "$tmp/app48.png" \
    -r "$tmp/app256.png"

render icon.svg 64 "$tmp/win64.png"
icotool -c -b 32 -o "$here/window.ico" "$tmp/win64.png"

for s in 24 30 36 48; do render install-glyph.svg "$s" "$tmp/glyph$s.png"; done
icotool -c -b 32 -o "$here/install-glyph.ico" "$tmp/glyph24.png" "$tmp/glyph30.png" "$tmp/glyph36.png" \
    "$tmp/glyph48.png"

# The logo's pixel data is left uncompressed inside the PNG: the widget package deflates every
# member, and zip stores a file as is when deflate cannot make it smaller (an already compressed PNG).
rsvg-convert --width 117 --height 117 --format png "$here/logo.svg" -o "$tmp/raw.png"
convert "$tmp/raw.png" -define png:color-type=6 -define png:compression-level=0 -strip \
    "$here/../widget/logo_117.png"

icotool -l "$here/app.ico" "$here/window.ico" "$here/install-glyph.ico"
identify "$here/../widget/logo_117.png"
