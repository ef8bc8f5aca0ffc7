#!/usr/bin/env bash
# Builds a fuzz target with clang's libFuzzer (and ASan/UBSan), when its sources changed since the
# last build, and runs it for a fixed time, starting from a few seeds and what earlier runs kept;
# a slower machine tries fewer inputs, and the count is printed ("Done N runs in S second(s)").
#   run-fuzz.sh TARGET SOURCE_DIR WORK_DIR [SECONDS]
# TARGET: tv_address (the address check and the command lines), tvsim_requests (what the
# simulated TV parses from a host), widget_package (the widget package reader and its rewrite),
# ssdp_message (the SSDP datagrams the search and the watch read from the local network).
set -euo pipefail
target=$1
src=$2
work=$3/$target
seconds=${4:-10}
mkdir -p "$work/corpus"
case $target in
tv_address)
    sources=("$src/tests/fuzz/address_fuzz.cpp" "$src/src/tvs/tv_address.cpp" "$src/src/install/install_commands.cpp")
    seed() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE >"$work/corpus/$2"; }
    seed "192.168.1.5" good
    seed " 10.0.0.255 " spaces
    seed "1.2.3.4&calc" tail
    seed "999.1.1.1" range
    max_len=64
    ;;
tvsim_requests)
    sources=("$src/tests/fuzz/tvsim_requests_fuzz.cpp" "$src/tools/protocol/packet.cpp"
        "$src/tools/protocol/sync.cpp" "$src/tools/protocol/host_service.cpp"
        "$src/tools/tvsim/device_description.cpp" "$src/tools/tvsim/options.cpp"
        "$src/tools/tvsim/shell_line.cpp" "$src/tools/tvsim/ssdp.cpp")
    # A first byte picks the parser (its value mod 6): packets, sync, host services, HTTP, shell,
    # SSDP.
    printf '\x00CNXN\x00\x00\x10\x00\x00\x00\x04\x00\x07\x00\x00\x00\xe6\x01\x00\x00\xbc\xb1\xa7\xb1host::\x00' >"$work/corpus/cnxn"
    printf '\x01STAT\x05\x00\x00\x00/tmp/SEND\x0a\x00\x00\x00/a,33261\x00\x00DATA\x01\x00\x00\x00xDONE\x00\x00\x00\x00' >"$work/corpus/sync"
    printf '\x020012host:transport-any0005sync:' >"$work/corpus/service"
    printf '\x03GET /api/v2/ HTTP/1.1\r\nHost: tv\r\n\r\n' >"$work/corpus/http"
    printf '\x040 vd_appinstall a "/b c.wgt"; echo cmd_ret:$?;' >"$work/corpus/shell"
    printf '\x05M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: "ssdp:discover"\r\nMX: 1\r\nST: ssdp:all\r\n\r\n' >"$work/corpus/ssdp"
    max_len=4200
    ;;
widget_package)
    sources=("$src/tests/fuzz/widget_package_fuzz.cpp" "$src/src/signing/widget_package.cpp"
        "$src/src/signing/widget_ids.cpp" "$src/platform/text.cpp")
    libs=(-lz)
    # Small archives of each kind the reader takes: stored, deflated, folders, old signatures.
    mkdir -p "$work/seed/js"
    printf '<widget xmlns:tizen="http://tizen.org/ns/widgets"><tizen:application id="Ab12345678.A" package="Ab12345678"/></widget>' >"$work/seed/config.xml"
    printf 'var a = 1; var a = 1; var a = 1;' >"$work/seed/js/main.js"
    printf 'old' >"$work/seed/author-signature.xml"
    (cd "$work/seed" && rm -f ../corpus/*.zip && zip -q -X ../corpus/deflated.zip config.xml js js/main.js author-signature.xml &&
        zip -q -X -0 ../corpus/stored.zip config.xml author-signature.xml)
    max_len=4096
    ;;
ssdp_message)
    sources=("$src/tests/fuzz/ssdp_message_fuzz.cpp" "$src/platform/net/ssdp_message.cpp")
    # A Samsung set's reply, its announcement, another host's search, and a folded, bare-LF one.
    printf 'HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=1800\r\nEXT:\r\nLOCATION: http://192.168.1.20:7676/smp_15_\r\nSERVER: SHP, UPnP/1.0, Samsung UPnP SDK/1.0\r\nST: urn:samsung.com:device:RemoteControlReceiver:1\r\nUSN: uuid:0f7ff5fc::urn:samsung.com:device:RemoteControlReceiver:1\r\nContent-Length: 0\r\n\r\n' >"$work/corpus/reply"
    printf 'NOTIFY * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nNT: urn:dial-multiscreen-org:service:dial:1\r\nNTS: ssdp:alive\r\nUSN: u\r\n\r\n' >"$work/corpus/alive"
    printf 'M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: "ssdp:discover"\r\nMX: 1\r\nST: ssdp:all\r\n\r\n' >"$work/corpus/search"
    printf '\nhttp/1.0  200 ok\nst:\turn:schemas-upnp-org:\n device:MediaRenderer:1 \nusn: a\n' >"$work/corpus/folded"
    max_len=9000
    ;;
*)
    echo "unknown fuzz target $target" >&2
    exit 2
    ;;
esac
# Built again only when a source the target could include (or this script) is newer than it.
if [ ! -x "$work/fuzz" ] || [ -n "$(find "$src/src" "$src/platform" "$src/tools" "$src/tests/fuzz" \
    -newer "$work/fuzz" -print -quit)" ]; then
    clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
        -I"$src" "${sources[@]}" ${libs[@]+"${libs[@]}"} -o "$work/fuzz.new"
    mv "$work/fuzz.new" "$work/fuzz"
fi
"$work/fuzz" -max_total_time="$seconds" -max_len="$max_len" -artifact_prefix="$work/" "$work/corpus" \
    2>&1 | tail -n 3
