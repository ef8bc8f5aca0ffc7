#!/usr/bin/env bash
# The TV's side of the protocol where neither the real tool nor the stand-in goes (see
# host_probe.cpp): a host that waits before its CNXN and announces a small maximum, requests cut
# into one-byte WRTEs, an idle sync stream, a packet whose data check is wrong.
source "$(dirname "$0")/bench-lib.sh"

start_tv tv 2 --year 2019
timeout "$(limit 180)" "$QUORVEX_HOST_PROBE" "$TV_tv" >probe.out 2>&1
status=$?
sed 's/^/    /' probe.out
check_eq "$status" 0 "the probe's checks"
check_has tv/tv/commands.log "sync timeout"
check_has tv/tv/commands.log "dropped the connection: bad packet header or data check"
finish
