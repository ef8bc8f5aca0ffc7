#!/usr/bin/env bash
# The bridge's background server: started by the first command that needs it, silent kill-server,
# detached from the caller's log file, holding the executable while it runs; and the answers when
# no target is connected.
source "$(dirname "$0")/bench-lib.sh"

iu none.out none.err kill-server
check_eq $? 0 "kill-server without a server"
check_text none.out "info: Server is not running"

# The first command starts it; the caller's redirected log must not be held by the server, or
# this (bounded) call would not come back.
started=$(date +%s)
iu_log doLog/devices1.txt devices
check_eq $? 0 "devices (starting the server)"
check_text doLog/devices1.txt "* Server is not running. Start it now on port $SERVER_PORT *
* Server has started successfully *
List of devices attached "
[ $(($(date +%s) - started)) -lt 30 ] || fail "starting the server took $(($(date +%s) - started)) s"
# The header keeps its trailing space, as the real tool prints it.
text_of doLog/devices1.txt | grep -qx 'List of devices attached ' || fail "header without its space"

iu_log doLog/devices2.txt devices
check_text doLog/devices2.txt "List of devices attached "
port_free "$SERVER_PORT" && fail "no server listens on $SERVER_PORT"

if [ "$MODE" = native ]; then
    pid=$(pgrep -f "fork-server server $SERVER_PORT\$" | head -n 1)
    if [ -z "$pid" ]; then
        fail "no server process"
    else
        # Its own session, and nothing open but /dev/null and its sockets.
        [ "$(ps -o sid= -p "$pid")" != "$(ps -o sid= -p $$)" ] || fail "server in the caller's session"
        held=$(ls -l "/proc/$pid/fd" | awk 'NR > 1 {print $NF}' | grep -v -e '^/dev/null$' -e '^socket:' -e '^anon_inode:' || true)
        [ -z "$held" ] || fail "server holds: $held"
    fi
else
    # The server did not inherit the log file cmd.exe opened for the client: it can go.
    windows_line 'del doLog\devices1.txt' >del0.out 2>&1
    [ ! -f "$WORK/doLog/devices1.txt" ] || fail "the server holds the client's log file"
    # The running server is the same exe: Windows (and Wine) refuse to delete it.
    windows_line "del $TOOL" >del1.out 2>&1
    [ -f "$WORK/$TOOL" ] || fail "$TOOL could be deleted while the server runs"
fi

# Nothing connected: commands that need a target say so on standard error.
iu noshell.out noshell.err shell 0 applist
check_ne $? 0 "exit status of shell without a target"
check_text noshell.err "error: target not found"
check_text noshell.out ""
echo widget >"$WORK/small.wgt"
iu nopush.out nopush.err push small.wgt /home/owner/share/tmp/sdk_tools/tmp/small.wgt
check_ne $? 0 "exit status of push without a target"
check_text nopush.err "error: target not found"
iu nofile.out nofile.err push missing.wgt /home/owner/share/tmp/sdk_tools/tmp/missing.wgt
check_ne $? 0 "exit status of push of a missing file"
check_has nofile.err "missing.wgt"

# Nothing answers on this address: "failed to connect", and no target appears.
iu_log doLog/noanswer.txt connect "$NET.250:26101"
check_ne $? 0 "exit status of a connect that nobody answers"
check_text doLog/noanswer.txt "connecting to $NET.250:26101 ...
failed to connect to $NET.250:26101"
iu_log doLog/devices3.txt devices
check_text doLog/devices3.txt "List of devices attached "

iu kill.out kill.err kill-server
check_eq $? 0 "kill-server"
check_text kill.out ""
check_text kill.err ""
port_free "$SERVER_PORT" || fail "the server still listens after kill-server"
iu again.out again.err kill-server
check_text again.out "info: Server is not running"
if [ "$MODE" = windows ]; then
    # kill-server returns only when the server is gone, so the exe can be deleted at once.
    windows_line "del $TOOL" >del2.out 2>&1
    [ ! -f "$WORK/$TOOL" ] || fail "$TOOL still locked after kill-server"
    cp "$BRIDGE_BUILT" "$WORK/$TOOL"
fi

export QUORVEX_BRIDGE_SERVER_PORT=notaport
iu badport.out badport.err devices
check_ne $? 0 "exit status with a bad QUORVEX_BRIDGE_SERVER_PORT"
check_has badport.err "QUORVEX_BRIDGE_SERVER_PORT"
export QUORVEX_BRIDGE_SERVER_PORT=$SERVER_PORT
finish
