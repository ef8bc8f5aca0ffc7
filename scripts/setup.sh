#!/usr/bin/env bash
# Installs what building and testing need, from Debian's packages, when it is missing.
set -euo pipefail
packages=(
    cmake make g++ clang libclang-rt-14-dev googletest   # host build, sanitizers, libFuzzer
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64       # the Windows build
    wine64 fonts-wine xvfb xauth x11-utils imagemagick   # running and looking at it
    libasio-dev libzip-dev zip unzip openssl libssl-dev  # the network, the bench, the sample widget
    xmlsec1                                              # checks signed packages independently
    nlohmann-json3-dev                                   # the TV's description of itself
    librsvg2-bin icoutils                                # images from their SVG sources
    libxml2-utils procps                                 # xmllint for the sample widget; pgrep, ps
    iproute2 util-linux nftables python3                 # tests' own networks: ip, unshare, nft; a web server
    libudev-dev gcc-mingw-w64-x86-64                     # building the real bridge client the tests use
    zlib1g-dev libz-mingw-w64-dev                        # widget packages on both hosts
    osslsigncode faketime                                # signing a release; rebuilding it another day
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}" >/dev/null
fi
