#!/usr/bin/env bash
# The bridge's background server: started by the first command that needs it (with the real
# tool's lines and its fixed wait), detached from the caller's log file, holding its exe and its
# log, in its exe's folder; one server only; kill-server; and the answers when no target is there.
# The real wait after starting the server, which this test times (bench-lib.sh shortens it).
export QUORVEX_BRIDGE_START_WAIT_MS=
source "$(dirname "$0")/bench-lib.sh"

iu none.out none.err kill-server
check_eq $? 0 "kill-server without a server"
check_text none.out "info: Server is not running"
check_text none.err ""

# The first command starts it; the caller's redirected log must not be held by the server, or
# this (bounded) call would not come back.
started=$(now_ms)
iu_log doLog/devices1.txt devices
check_eq $? 0 "devices (starting the server)"
took=$(($(now_ms) - started))
check_text doLog/devices1.txt "* Server is not running. Start it now on port 26099 *
* Server has started successfully *
List of devices attached "
# The real tool waits a fixed 3 s after starting its server (the wait is not skipped).
[ "$took" -ge 3000 ] || fail "starting the server took $took ms, not 3 s"
# The header keeps its trailing space, as the real tool prints it.
text_of doLog/devices1.txt | grep -qx 'List of devices attached ' || fail "header without its space"

iu dev2.out dev2.err devices
check_text dev2.out "List of devices attached "
check_text dev2.err ""
port_free "$SERVER_PORT" && fail "no server listens on $SERVER_PORT"

if [ "$MODE" = native ]; then
    pid=$(our_servers | head -n 1)
    if [ -z "$pid" ]; then
        fail "no server process"
    else
        # Its own session, its exe's folder, and nothing open but /dev/null, its log and sockets.
        [ "$(ps -o sid= -p "$pid")" != "$(ps -o sid= -p $$)" ] || fail "server in the caller's session"
        check_eq "$(readlink "/proc/$pid/cwd")" "$WORK" "the server's current directory"
        held=$(ls -l "/proc/$pid/fd" | awk 'NR > 1 {print $NF}' |
            grep -v -e '^/dev/null$' -e '^socket:' -e '^anon_inode:' -e "^$TMPDIR/sdb.log\$" || true)
        [ -z "$held" ] || fail "server holds: $held"
        check_has tmp/sdb.log "server listening on 127.0.0.1:26099"
    fi
    # A second server cannot take the port: the real tool's words and status.
    (cd "$WORK" && timeout "$(limit 60)" ./$TOOL fork-server server >second.out 2>second.err)
    check_eq $? 255 "exit status of a second server"
    check_text second.err "fatal: server listener(26099) cannot bind"
else
    # The server did not inherit the log file cmd.exe opened for the client: it can go.
    windows_line 'del doLog\devices1.txt' >del0.out 2>&1
    [ ! -f "$WORK/doLog/devices1.txt" ] || fail "the server holds the client's log file"
    # The running server is the same exe: Windows (and Wine) refuse to delete it.
    windows_line "del $TOOL" >del1.out 2>&1
    [ -f "$WORK/$TOOL" ] || fail "$TOOL could be deleted while the server runs"
fi

# Nothing connected: commands that need a target say so on standard error, with status 1.
iu noshell.out noshell.err shell 0 applist
check_eq $? 1 "exit status of shell without a target"
check_text noshell.err "error: target not found"
check_text noshell.out ""
echo widget >"$WORK/small.wgt"
iu nopush.out nopush.err push small.wgt /home/owner/share/tmp/sdk_tools/tmp/small.wgt
check_eq $? 1 "exit status of push without a target"
check_text nopush.err "error: target not found"
iu nofile.out nofile.err push missing.wgt /home/owner/share/tmp/sdk_tools/tmp/missing.wgt
check_eq $? 1 "exit status of push of a missing file"
check_text nofile.err "error: failed to get status of 'missing.wgt': No such file or directory"

# Nothing listens on this address: one line, status 0 (as the real tool), and no target appears.
iu noanswer.out noanswer.err connect "$NET.250:26101"
check_eq $? 0 "exit status of a connect that nobody answers"
check_text noanswer.out "error: failed to connect to remote target '$NET.250'"
check_text noanswer.err ""
iu_log doLog/devices3.txt devices
check_text doLog/devices3.txt "List of devices attached "

iu kill.out kill.err kill-server
check_eq $? 0 "kill-server"
check_text kill.out ""
check_text kill.err ""
# The server answers and exits at once; it is gone a moment later, not when kill-server returns.
wait_for 30 port_free "$SERVER_PORT" || fail "the server still listens after kill-server"
iu again.out again.err kill-server
check_text again.out "info: Server is not running"
if [ "$MODE" = windows ]; then
    deleted() {
        windows_line "del $TOOL" >/dev/null 2>&1
        [ ! -f "$WORK/$TOOL" ]
    }
    wait_for 30 deleted || fail "$TOOL still locked 30 s after kill-server"
    cp "$BRIDGE_BUILT" "$WORK/$TOOL"
fi
finish
