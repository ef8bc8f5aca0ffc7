#!/usr/bin/env bash
# TVs that answer late, on a test LAN: one just restarted (--bridge-after: developer mode on and
# said so from the start, the bridge port refusing until its time), one in standby for a while
# (--standby-for), and one whose every knock waits for the client's retransmission
# (lan_slow_host). Only lower bounds are checked: they prove each delay acted. Its LAN exists only
# in the test's own network namespace (tests/isolated.sh; bench-lan.sh).
source "$(dirname "$0")/bench-lib.sh"
source "$BENCH_DIR/bench-lan.sh"

# Each TV's start, and whether a check came before its 5 s were up (a loaded machine may be
# late: that check is then skipped, and said so).
iu start.out start.err start-server
declare -A started
lan_started() {
    started[$1]=$(now_ms)
    lan_tv "$@"
}
before_its_time() {
    [ "$(now_ms)" -lt $((started[$1] + 4500)) ] && return 0
    echo "note: the machine is slow, a check of '$1' before its 5 s came too late and was skipped"
    return 1
}
lan_started restart 2 --year 2021 --bridge-after 5
lan_started waking 3 --year 2020 --standby-for 5
lan_tv slow 4 --year 2019
lan_slow_host slow

# Before their time: the bridge port refuses at once; the descriptions say why.
for tv in restart waking; do
    address=$(eval echo "\$TV_$tv")
    read -r ms result <<<"$(knock_ms "$address" 26101)"
    before_its_time "$tv" && check_eq "$result" refused "26101 of '$tv' right after its start"
done
http_get "$TV_restart" /api/v2/ restart-before.json
check_has restart-before.json '"developerIP":"10.213.0.1","developerMode":"1"'
http_get "$TV_waking" /api/v2/ waking-before.json
before_its_time waking && check_has waking-before.json '"PowerState":"standby"'
# The stand-in tool gets what the real one gets from a closed port.
iu_log doLog/restart-before.txt connect "$TV_restart"
check_eq $? 0 "exit status of a connect to the TV not yet open"
if before_its_time restart; then
    check_text doLog/restart-before.txt "error: failed to connect to remote target '$TV_restart'"
fi

# Then each opens, and not before 5 s after its start. Meanwhile the restarted TV keeps saying
# that developer mode is on.
said_off=0
open_at() {
    if [ "$1" = "$TV_restart" ]; then
        http_get "$1" /api/v2/ restart-meanwhile.json
        text_of restart-meanwhile.json | grep -qF '"developerMode":"1"' || said_off=$((said_off + 1))
    fi
    [ "$(knock_ms "$1" 26101 | cut -d' ' -f2)" = accepted ]
}
for tv in restart waking; do
    address=$(eval echo "\$TV_$tv")
    wait_for 20 open_at "$address" || fail "26101 of '$tv' never opened"
    opened=$(($(now_ms) - started[$tv]))
    [ "$opened" -ge 4900 ] || fail "26101 of '$tv' opened $opened ms after its start, before its 5 s"
    echo "26101 of '$tv' open after $opened ms"
done
check_eq "$said_off" 0 "descriptions without developerMode 1 while the bridge was closed"
check_line tv/restart/commands.log "bridge port open"
http_get "$TV_restart" /api/v2/ restart-after.json
check_has restart-after.json '"developerIP":"10.213.0.1","developerMode":"1"'
http_get "$TV_waking" /api/v2/ waking-after.json
check_has waking-after.json '"PowerState":"on"'
iu_log doLog/restart-after.txt connect "$TV_restart"
check_line doLog/restart-after.txt "connected to $TV_restart:26101"
iu_log doLog/waking-after.txt connect "$TV_waking"
check_line doLog/waking-after.txt "connected to $TV_waking:26101"
iu k.out k.err kill-server

# The slow TV: each knock, on either port, is answered (not refused) only after the first SYN's
# retransmission, about 1 s; its description still comes whole.
for port in 26101 8001 26101; do
    read -r ms result <<<"$(knock_ms "$TV_slow" "$port")"
    echo "the slow TV's port $port: $result after $ms ms"
    check_eq "$result" accepted "a knock on the slow TV's port $port"
    [ "$ms" -ge 500 ] || fail "the slow TV's port $port answered after $ms ms, before the retransmission"
done
# A new connection from a source port an earlier one used, to the other port, waits as well: the
# host knows a retransmission by more than its source port.
for port in 26101 8001; do
    read -r ms result <<<"$(knock_from_ms 40001 "$TV_slow" "$port")"
    echo "the slow TV's port $port from source port 40001: $result after $ms ms"
    check_eq "$result" accepted "a knock on the slow TV's port $port from source port 40001"
    [ "$ms" -ge 500 ] || fail "the slow TV's port $port answered source port 40001 after $ms ms"
done
http_get "$TV_slow" /api/v2/ slow.json
check_has slow.json '"model":"19_MUSEL_UHD"'
finish
