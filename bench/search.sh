#!/usr/bin/env bash
# Measures the search for TVs under Wine and Xvfb, on a test LAN (tests/lan/lan.sh) in a network
# namespace of its own, with one ready TV at 10.213.0.2 (SSDP on):
#  1. how soon the first TV is listed after the window appears, and how long the whole search
#     takes (the driver's list-ms and search-ms);
#  2. what the search sends: packets, TCP connections (SYNs, a retransmission counted again),
#     SSDP datagrams and ARP requests, counted by nftables on this PC's side of the LAN;
#  3. the idle list's load: packets and connections per minute over 60 s once the search ended.
# Usage: bench/search.sh [RUNS]   (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=${1:-3}
idle=60
out=$root/build/bench-search
win=$root/build/windows
installer=$win/src/QuorvexInstaller.exe
driver=$win/tests/e2e/quorvex_e2e_driver.exe
source "$root/tests/own-netns.sh"
if ! in_own_netns; then
    rm -rf "$out"
    mkdir -p "$out"
    echo "Building..." >&2
    cmake --preset native >/dev/null && cmake --build --preset native -j2 --target quorvex_tvsim >/dev/null
    cmake --preset windows >/dev/null
    cmake --build --preset windows -j2 --target QuorvexInstaller quorvex_e2e_driver >/dev/null
    export QUORVEX_WINEPREFIX=${QUORVEX_WINEPREFIX:-$root/build/wineprefix}
    exec "$root/tests/isolated.sh" --wine "$0" "$@"
fi
require_own_netns "bench/search.sh"
export QUORVEX_TVSIM=$root/build/native/tools/tvsim/quorvex_tvsim
source "$root/tests/lan/lan.sh"
lan_up
trap 'lan_down' EXIT
lan_host tv 2
lan_exec tv "$root/tools/tvsim/start-tv.sh" "$lan_subnet.2" "$out/tv" --host-ip "$lan_pc" --year 2019 >/dev/null

# What this PC sends and receives on the LAN, and its ARP requests.
nft -f - <<'NFT'
table ip count {
    counter sent {}
    counter received {}
    counter syns {}
    counter ssdp {}
    chain out {
        type filter hook output priority 0;
        oifname "lan0" counter name sent
        oifname "lan0" tcp flags & (syn | ack) == syn counter name syns
        oifname "lan0" udp dport 1900 counter name ssdp
    }
    chain in {
        type filter hook input priority 0;
        iifname "lan0" counter name received
    }
}
table arp count {
    counter requests {}
    chain out {
        type filter hook output priority 0;
        arp operation request counter name requests
    }
}
NFT
counters() {  # sent received syns ssdp arp
    local c
    for c in "ip count sent" "ip count received" "ip count syns" "ip count ssdp" "arp count requests"; do
        # shellcheck disable=SC2086
        nft list counter $c | sed -n 's/.*packets \([0-9]*\).*/\1/p'
    done | tr '\n' ' '
}
reset_counters() { nft reset counters table ip count >/dev/null; nft reset counters table arp count >/dev/null; }

winpath() { printf 'Z:%s' "${1//\//\\}"; }
export -f winpath counters reset_counters
export root out installer driver runs idle

measure() {
    set -euo pipefail
    printf '%-4s %8s %9s | %7s %5s %5s %4s | %9s %9s %9s\n' run list-ms search-ms packets conns ssdp arp \
        "idle p/m" "recv p/m" "conns/m"
    for run in $(seq 1 "$runs"); do
        mkdir -p "$out/work$run"
        ip neigh flush dev lan0
        reset_counters
        log=$out/driver$run.txt
        "$root/tests/wine/wine-run.sh" "$driver" "$(winpath "$installer")" "$(winpath "$out/work$run")" - -1 \
            --await-list --watch-list="$idle" --list-only --timeout=$((idle + 60)) >"$log" 2>/dev/null &
        pid=$!
        until grep -q '^search-ms:' "$log" 2>/dev/null; do
            kill -0 "$pid" 2>/dev/null || { echo "the driver ended early:"; cat "$log"; exit 1; }
            sleep 0.05
        done
        read -r s_sent s_recv s_syns s_ssdp s_arp <<<"$(counters)"
        wait "$pid"
        read -r e_sent e_recv e_syns _ _ <<<"$(counters)"
        value() { sed -n "s/^$1: //p" "$log" | tail -n 1; }
        grep -q '^found: 10.213.0.2 ' "$log" || { echo "run $run: the TV was not found"; cat "$log"; exit 1; }
        per_minute() { echo $(($1 * 60 / idle)); }
        printf '%-4s %8s %9s | %7s %5s %5s %4s | %9s %9s %9s\n' "$run" "$(value list-ms)" "$(value search-ms)" \
            "$s_sent" "$s_syns" "$s_ssdp" "$s_arp" "$(per_minute $((e_sent - s_sent)))" "$(per_minute $((e_recv - s_recv)))" \
            "$(per_minute $((e_syns - s_syns)))"
    done
    echo "packets, conns (TCP SYNs), ssdp (datagrams to port 1900), arp (requests): sent by this PC during the search;"
    echo "idle: per minute over the ${idle} s after it (sent, received, TCP SYNs sent)"
}
export -f measure
xvfb-run -a -s "-screen 0 1400x1000x24" bash -c "$(declare -f measure winpath counters reset_counters); measure"
