#!/usr/bin/env bash
# SSDP on a test LAN, as a PC that looks for TVs sees it: a TV answers each search target Samsung
# sets answer, and ssdp:all, by unicast from its own address with well-formed answers; it ignores
# other targets and malformed searches; a TV with SSDP off, or in standby, stays silent while its
# port 8001 answers; a TV that comes on (started, or out of standby) announces itself with
# NOTIFY ssdp:alive, which a listener on the PC sees; --ssdp-delay holds the answers back.
source "$(dirname "$0")/bench-lib.sh"
source "$BENCH_DIR/bench-lan.sh"
PROBE=(timeout 30 python3 "$BENCH_DIR/ssdp-probe.py")
RCR=urn:samsung.com:device:RemoteControlReceiver:1
DMR=urn:schemas-upnp-org:device:MediaRenderer:1
DIAL=urn:dial-multiscreen-org:service:dial:1
TARGETS=("$RCR" "$DMR" "$DIAL")

lan_tv ssdp 2 --year 2019
lan_tv quiet 3 --year 2019 --no-ssdp
lan_tv asleep 4 --year 2020 --standby
lan_tv lazy 5 --year 2021 --ssdp-delay 600

# request NAME HEADERS...: an M-SEARCH with these header lines, in ssdp/NAME.
mkdir -p "$WORK/ssdp" "$WORK/answers"
request() {
    local name=$1 line
    shift
    {
        printf 'M-SEARCH * HTTP/1.1\r\n'
        for line in "$@"; do printf '%s\r\n' "$line"; done
        printf '\r\n'
    } >"$WORK/ssdp/$name"
}
HOST='HOST: 239.255.255.250:1900'
MAN='MAN: "ssdp:discover"'
request rcr "$HOST" "$MAN" "MX: 1" "ST: $RCR"
request dmr "$HOST" "$MAN" "MX: 2" "ST: $DMR"
request dial "$HOST" "$MAN" "MX: 1" "ST: $DIAL"
request all "$HOST" "$MAN" "MX: 1" "ST: ssdp:all"
request direct "$HOST" "$MAN" "ST: $RCR" # to one TV's own address: no MX needed
request unknown "$HOST" "$MAN" "MX: 1" "ST: urn:samsung.com:device:NoSuchThing:1"
request root "$HOST" "$MAN" "MX: 1" "ST: upnp:rootdevice"
request unquoted "$HOST" "MAN: ssdp:discover" "MX: 1" "ST: $RCR"
request alive "$HOST" 'MAN: "ssdp:alive"' "MX: 1" "ST: $RCR"
request nomx "$HOST" "$MAN" "ST: $RCR"
printf 'M-SEARCH * HTTP/1.1\nHOST: 239.255.255.250:1900\nMAN: "ssdp:discover"\nMX: 1\nST: ssdp:all\n\n' \
    >"$WORK/ssdp/lf"
printf 'M-SEARCH * HTTP/1.1\r\nMAN: "ssdp:discover"\r\nMX: 1\r\nST: ssdp:all\r\n' >"$WORK/ssdp/unended"
cases=()
for name in rcr dmr dial all unknown root unquoted alive nomx lf unended; do
    cases+=("$name=$WORK/ssdp/$name")
done
cases+=("direct=$WORK/ssdp/direct@$TV_ssdp" "quietdirect=$WORK/ssdp/direct@$TV_quiet"
    "asleepdirect=$WORK/ssdp/direct@$TV_asleep")
"${PROBE[@]}" search "$lan_pc" 2.5 "$WORK/answers" "${cases[@]}" ||
    fail "the SSDP probe failed"

# answers_from NAME ADDRESS: how many answers to NAME came from ADDRESS:1900.
answers_from() { grep -c "^from $2:1900 after " "$WORK/answers/$1"; }
# check_answer NAME ADDRESS TARGET: one answer from ADDRESS for TARGET, with the headers a
# finder reads, every line CRLF-ended.
check_answer() {
    local name=$1 address=$2 target=$3 answer
    answer=$(awk -v from="from $address:1900 " -v st="ST: $target" \
        'index($0, from) == 1 { keep = 1; text = "" } keep { text = text $0 "\n" }
         /^$/ { if (keep && index(text, "\n" st "\n")) { printf "%s", text; n++ } keep = 0 }
         END { exit n != 1 }' "$WORK/answers/$name") || {
        fail "$name: not one answer for $target from $address"
        show "answers/$name"
        return
    }
    local usn
    usn=$(text_of "tv-$address.json" | sed -n 's/.*"udn":"\([^"]*\)".*/\1/p')
    for line in "HTTP/1.1 200 OK" "CACHE-CONTROL: max-age=1800" "EXT: " "USN: $usn::$target"; do
        grep -qxF -- "$line" <<<"$answer" || fail "$name: the answer from $address lacks '$line'"
    done
    grep -q "^LOCATION: http://$address:[0-9]*/" <<<"$answer" ||
        fail "$name: the answer from $address has no LOCATION at its address"
    grep -q "^SERVER: .*UPnP/1.0" <<<"$answer" || fail "$name: no SERVER line from $address"
}
for tv in ssdp lazy; do
    address=$(eval echo "\$TV_$tv")
    http_get "$address" /api/v2/ "tv-$address.json"
done
check_answer rcr "$TV_ssdp" "$RCR"
check_answer dmr "$TV_ssdp" "$DMR"
check_answer dial "$TV_ssdp" "$DIAL"
check_answer direct "$TV_ssdp" "$RCR"
for target in "${TARGETS[@]}"; do
    check_answer all "$TV_ssdp" "$target"
    check_answer all "$TV_lazy" "$target"
done
check_answer rcr "$TV_lazy" "$RCR"
check_eq "$(answers_from all "$TV_ssdp")" 3 "answers to ssdp:all from the TV"
for name in rcr dmr dial; do
    check_eq "$(answers_from "$name" "$TV_ssdp")" 1 "answers to $name from the TV"
    check_eq "$(grep -c '^from ' "$WORK/answers/$name")" 2 "answers to $name on the LAN"
done
check_eq "$(grep -c '^from ' "$WORK/answers/direct")" 1 "answers to a search of the TV alone"
for name in rcr dmr dial all direct; do
    check_lacks "answers/$name" "MALFORMED"
done
# The lazy TV answered only after its 600 ms (a lower bound: the option acted).
lazy_ms=$(sed -n "s/^from $TV_lazy:1900 after \([0-9]*\) ms$/\1/p" "$WORK/answers/rcr" | head -n 1)
[ "${lazy_ms:-0}" -ge 500 ] || fail "the lazy TV answered after ${lazy_ms:-no} ms, not 600"

# Silence: none of these came back, though each reached the TV (its log says why it kept quiet).
for name in unknown root unquoted alive nomx lf unended quietdirect asleepdirect; do
    check_text "answers/$name" ""
done
check_has tv/ssdp/commands.log "not a target of this TV: urn:samsung.com:device:NoSuchThing:1"
check_has tv/ssdp/commands.log "not a target of this TV: upnp:rootdevice"
check_has tv/ssdp/commands.log 'MAN is not "ssdp:discover"'
check_has tv/ssdp/commands.log "no MX"
check_has tv/ssdp/commands.log "not an M-SEARCH"
check_has tv/ssdp/commands.log "no empty line after the headers"
check_has tv/asleep/commands.log "ssdp: in standby, nothing for $lan_pc"
! grep -qs "ssdp:" "$WORK/tv/quiet/commands.log" || fail "the TV without SSDP heard a search"
# The silent ones are there: they answer on 8001.
http_get "$TV_quiet" /api/v2/ quiet.json
check_has quiet.json '"developerMode":"1"'
http_get "$TV_asleep" /api/v2/ asleep.json
check_has asleep.json '"PowerState":"standby"'

# A TV started now, and one that leaves standby 4 s after its start: each announces itself once
# it is on. Searched in between, the one in standby keeps quiet.
"${PROBE[@]}" listen "$lan_pc" 20 6 >"$WORK/notices" &
listener=$!
wait_for 10 grep -qx listening "$WORK/notices" || fail "the listener did not start"
request late "$HOST" "$MAN" "MX: 1" "ST: $RCR"
lan_tv late 6 --year 2022
waking_started=$(now_ms)
lan_tv waking 7 --year 2022 --standby-for 4
"${PROBE[@]}" search "$lan_pc" 1 "$WORK/answers" "late=$WORK/ssdp/late"
check_eq "$(answers_from late "$TV_late")" 1 "answers of the TV just started"
if [ "$(now_ms)" -lt $((waking_started + 4000)) ]; then
    check_eq "$(answers_from late "$TV_waking")" 0 "answers of the TV still in standby"
else
    echo "note: the machine is slow, the search came after the standby and was not judged"
fi
wait "$listener" || fail "the listener failed"
for tv in late waking; do
    address=$(eval echo "\$TV_$tv")
    check_eq "$(grep -c "^from $address:1900 after " "$WORK/notices")" 3 "notices from $tv"
    # A TTL of 1: no router passes them on.
    check_eq "$(grep -c "^from $address:1900 after [0-9]* ms ttl 1$" "$WORK/notices")" 3 \
        "notices from $tv with a TTL of 1"
    for target in "${TARGETS[@]}"; do
        awk -v from="from $address:1900 " -v nt="NT: $target" \
            'index($0, from) == 1 { keep = 1; text = "" } keep { text = text $0 "\n" }
             /^$/ { if (keep && index(text, "\n" nt "\n")) print text; keep = 0 }' \
            "$WORK/notices" >"$WORK/notice-$tv"
        check_line "notice-$tv" "NOTIFY * HTTP/1.1"
        check_line "notice-$tv" "NTS: ssdp:alive"
        check_line "notice-$tv" "HOST: 239.255.255.250:1900"
        check_line "notice-$tv" "CACHE-CONTROL: max-age=1800"
        text_of "notice-$tv" | grep -q "^USN: uuid:.*::$target$" || fail "$tv: no USN for $target"
        text_of "notice-$tv" | grep -q "^LOCATION: http://$address:" || fail "$tv: no LOCATION"
    done
done
check_lacks notices "MALFORMED"
check_eq "$(grep -c '^from ' "$WORK/notices")" 6 "notices on the LAN"
# Awake now, it answers too.
"${PROBE[@]}" search "$lan_pc" 1 "$WORK/answers" "woken=$WORK/ssdp/late"
check_eq "$(answers_from woken "$TV_waking")" 1 "answers of the TV out of standby"
finish
