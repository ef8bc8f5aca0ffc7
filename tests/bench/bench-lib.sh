# Shared by the bench tests; sourced, not run. A test is started as
#   TEST.sh native  BRIDGE TVSIM
#   TEST.sh windows BRIDGE.exe TVSIM WINE_RUNNER
# and runs in its own (emptied) working directory, inside a network namespace of its own
# (tests/isolated.sh): the bridge server's fixed port 26099 is this test's alone. It puts its TVs
# on 127.x.y.* addresses (never 127.0.0.1, where a real server would look for an emulator),
# drives the tool through the installer's real command lines (under Wine: through cmd.exe, with
# its redirections) and stops every process it started, also on failure.
MODE=$1
BRIDGE_BUILT=$2
TVSIM=$3
WINE_RUNNER=${4:-}
BENCH_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO_DIR=$(cd "$BENCH_DIR/../.." && pwd)
source "$REPO_DIR/tests/own-netns.sh"
require_own_netns "$(basename "$0")"
source "$REPO_DIR/tests/time-limits.sh"
# A tool line that does not end by itself in this long hangs (under Wine a line takes a second or
# two, several under load).
LINE_LIMIT=$(limit 120)
START_TV=$REPO_DIR/tools/tvsim/start-tv.sh
STOP_TV=$REPO_DIR/tools/tvsim/stop-tv.sh
WORK=$PWD
FAILS=0
TV_STATES=()

if [ ! -x "$TVSIM" ]; then
    echo "SKIP: no native simulated TV at $TVSIM (build the native preset first)"
    exit 77
fi
if [ "$MODE" = windows ] && ! command -v wine >/dev/null; then
    echo "SKIP: no wine"
    exit 77
fi
export QUORVEX_TVSIM=$TVSIM

# Empty the working directory left by an earlier run (it stays for looking at after a failure).
find "$WORK" -mindepth 1 -delete
mkdir -p "$WORK/doLog" "$WORK/tv"

port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
SERVER_PORT=26099
# A server this test fails to stop ends by itself.
export QUORVEX_BRIDGE_SERVER_IDLE_EXIT=300
# The tool's fixed 3 s wait after starting its server is the real tool's; only server-lifecycle.sh
# times it, the other scripts would wait it out at every start.
export QUORVEX_BRIDGE_START_WAIT_MS=${QUORVEX_BRIDGE_START_WAIT_MS-100}
# The native server's log (sdb.log in the temporary folder) stays with the test.
export TMPDIR=$WORK/tmp
mkdir -p "$TMPDIR"
if [ "$MODE" = windows ]; then
    QUORVEX_BRIDGE_LOG_DIR=$(winepath -w "$TMPDIR" 2>/dev/null) && export QUORVEX_BRIDGE_LOG_DIR
fi
NET="127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1))"

if [ "$MODE" = windows ]; then
    TOOL=iu.exe
else
    TOOL=iu
fi
cp "$BRIDGE_BUILT" "$WORK/$TOOL"

# run_line LINE: one command line as the installer issues it (cmd.exe under Wine, no shell
# natively: the words go to the tool as they are, ';' included).
# Each line, its exit status and how long it took go to lines.log, shown when a check fails.
# cmd.exe by its full Windows path, as the installer starts it: given a bare name, wine first
# starts start.exe to find it, a third Windows process for every line.
WINDOWS_CMD='C:\windows\system32\cmd.exe'
windows_line() {
    local started status
    started=$(now_ms)
    (cd "$WORK" && timeout "$LINE_LIMIT" "$WINE_RUNNER" "$WINDOWS_CMD" /c "$1" </dev/null)
    status=$?
    echo "$(date +%T.%N | cut -c1-12) exit $status after $(($(now_ms) - started)) ms: $1" >>"$WORK/lines.log"
    return $status
}

# tool_line LINE ERRFILE: a command line that starts the tool under Wine's cmd. Under load, Wine
# at times fails to start a process: cmd then reports the command unknown (in ERRFILE), or cmd
# itself never starts or ends at once, without even opening ERRFILE, which its redirection makes
# before the tool starts. The tool never ran, so the line is run once more (and said so).
wine_did_not_start() {
    [ ! -e "$WORK/$1" ] || grep -qF "Can't recognize '$TOOL " "$WORK/$1"
}
tool_line() {
    rm -f "$WORK/$2"
    windows_line "$1" >"$WORK/cmd-said.txt" 2>&1
    local status=$?
    cat "$WORK/cmd-said.txt"
    if wine_did_not_start "$2"; then
        echo "note: Wine did not start $TOOL for: $1 (started it again)"
        windows_line "$1"
        status=$?
    fi
    return $status
}

# native_line OUT ERR WORD...: the tool run without a shell; ERR may name OUT.
native_line() {
    local out=$1 err=$2 started status
    shift 2
    started=$(now_ms)
    if [ "$err" = "$out" ]; then
        (cd "$WORK" && timeout "$LINE_LIMIT" "./$TOOL" "$@" >"$out" 2>&1 </dev/null)
    else
        (cd "$WORK" && timeout "$LINE_LIMIT" "./$TOOL" "$@" >"$out" 2>"$err" </dev/null)
    fi
    status=$?
    echo "$(date +%T.%N | cut -c1-12) exit $status after $(($(now_ms) - started)) ms: $TOOL $* > $out" >>"$WORK/lines.log"
    return $status
}

# iu OUT ERR WORD...: the tool's standard output to OUT, standard error to ERR (files in WORK).
iu() {
    local out=$1 err=$2
    shift 2
    if [ "$MODE" = windows ]; then
        tool_line "$TOOL $* > ${out//\//\\} 2> ${err//\//\\}" "$err"
    else
        native_line "$out" "$err" "$@"
    fi
}

# iu_log LOG WORD...: both streams to LOG, like "iu.exe ... > doLog\stepN.txt 2>&1".
iu_log() {
    local log=$1
    shift
    if [ "$MODE" = windows ]; then
        tool_line "$TOOL $* > ${log//\//\\} 2>&1" "$log"
    else
        native_line "$log" "$log" "$@"
    fi
}

# our_servers: pids of bridge servers in this test's network namespace (other tests run theirs
# in namespaces of their own).
our_servers() {
    local pid
    for pid in $(pgrep -f "fork-server server\$"); do
        [ "$(readlink "/proc/$pid/ns/net")" = "$(readlink /proc/self/ns/net)" ] && echo "$pid"
    done
}

# start_tv NAME N [tvsim options]: a TV on $NET.N with state folder tv/NAME; sets TV_NAME=address.
start_tv() {
    local name=$1 n=$2
    shift 2
    local state="$WORK/tv/$name"
    TV_STATES+=("$state")
    if ! "$START_TV" "$NET.$n" "$state" "$@" >/dev/null; then
        echo "FAIL: could not start the TV $name on $NET.$n"
        exit 1
    fi
    printf -v "TV_$name" '%s' "$NET.$n"
}

cleanup() {
    local status=$?
    set +e
    [ "$status" -eq 0 ] || show_diagnostics
    if ! port_free "$SERVER_PORT"; then
        iu kill.out kill.err kill-server
        wait_for 30 port_free "$SERVER_PORT"
        if ! port_free "$SERVER_PORT" && [ "$MODE" = native ]; then
            # kill-server did not do it: end our own server, the one in this namespace.
            for pid in $(our_servers); do kill -9 "$pid"; done
        fi
    fi
    for state in "${TV_STATES[@]}"; do
        "$STOP_TV" "$state"
    done
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# What helps to tell why a check failed: every tool line run, and the bridge server's log.
DIAGNOSED=
show_diagnostics() {
    [ -z "$DIAGNOSED" ] || return 0
    DIAGNOSED=yes
    [ -f "$WORK/lines.log" ] && show lines.log
    [ -f "$TMPDIR/sdb.log" ] && show tmp/sdb.log
    local log
    for log in "$WORK"/tv/*/tvsim.log; do
        [ -f "$log" ] && show "${log#"$WORK"/}"
    done
    return 0
}

# Checks. A failed one is reported and counted; the test goes on and fails at the end.
fail() {
    echo "FAIL: $*"
    FAILS=$((FAILS + 1))
}
text_of() { tr -d '\r' <"$WORK/$1" 2>/dev/null; }
show() {
    echo "---- $1:"
    text_of "$1" | sed 's/^/    /'
}
check_has() {  # FILE TEXT: TEXT occurs in FILE
    text_of "$1" | grep -qF -- "$2" || {
        fail "$1 lacks '$2'"
        show "$1"
    }
}
check_line() {  # FILE LINE: FILE has exactly this line
    text_of "$1" | grep -qxF -- "$2" || {
        fail "$1 lacks the line '$2'"
        show "$1"
    }
}
check_lacks() {  # FILE TEXT
    if text_of "$1" | grep -qF -- "$2"; then
        fail "$1 has '$2'"
        show "$1"
    fi
}
check_text() {  # FILE EXPECTED: the whole file
    local actual
    actual=$(text_of "$1")
    [ "$actual" = "$2" ] || {
        fail "$1 differs from what was expected"
        echo "---- expected:"
        printf '%s\n' "$2" | sed 's/^/    /'
        show "$1"
    }
}
check_eq() {  # ACTUAL EXPECTED WHAT
    [ "$1" = "$2" ] || fail "$3: got '$1', expected '$2'"
}
check_ne() {  # ACTUAL UNEXPECTED WHAT
    [ "$1" != "$2" ] || fail "$3: got '$1'"
}
finish() {
    if [ "$FAILS" -gt 0 ]; then
        show_diagnostics
        echo "$FAILS check(s) failed ($MODE)"
        exit 1
    fi
    echo "all checks passed ($MODE)"
    exit 0
}

# make_package OUT APPID PACKAGE [tamper|no-signature1|no-app-id]: a small widget package signed
# the way the sample one is (W3C references with SHA-256 digests), or broken in the way asked.
make_package() {
    local out=$1 app=$2 package=$3 fault=${4:-}
    local dir="$WORK/pkg-src-$(basename "$out")"
    rm -rf "$dir"
    mkdir -p "$dir/js"
    local declared="<tizen:application id=\"$app\" package=\"$package\" required_version=\"2.3\"/>"
    [ "$fault" = no-app-id ] && declared="<tizen:profile name=\"tv-samsung\"/>"
    cat >"$dir/config.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<widget xmlns="http://www.w3.org/ns/widgets" xmlns:tizen="http://tizen.org/ns/widgets" id="http://bench.example/$package" version="1.0.0">
    $declared
    <name>Bench $package</name>
    <content src="index.html"/>
</widget>
XML
    echo "<html><body>bench $package</body></html>" >"$dir/index.html"
    head -c 3000 /dev/urandom | base64 >"$dir/js/main.js"
    local refs=""
    for member in config.xml index.html js/main.js; do
        refs+="<Reference URI=\"$member\"><DigestMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"/><DigestValue>$(openssl dgst -sha256 -binary "$dir/$member" | openssl base64 -A)</DigestValue></Reference>"$'\n'
    done
    for file in author-signature.xml signature1.xml; do
        printf '<Signature xmlns="http://www.w3.org/2000/09/xmldsig#" Id="%s"><SignedInfo>\n%s<Reference URI="#prop"><DigestValue>AAAA</DigestValue></Reference></SignedInfo></Signature>\n' \
            "$file" "$refs" >"$dir/$file"
    done
    [ "$fault" = no-signature1 ] && rm "$dir/signature1.xml"
    [ "$fault" = tamper ] && echo "<!-- changed after signing -->" >>"$dir/index.html"
    rm -f "$out"
    (cd "$dir" && zip -q -r "$out" .) || {
        echo "FAIL: zip"
        exit 1
    }
}

# http_get ADDRESS PATH OUT: one HTTP request to the TV's port 8001, the whole answer to OUT.
http_get() {
    (
        exec 3<>"/dev/tcp/$1/8001" || exit 1
        printf 'GET %s HTTP/1.1\r\nHost: %s:8001\r\nConnection: close\r\n\r\n' "$2" "$1" >&3
        timeout "$(limit 30)" cat <&3 >"$WORK/$3"
    ) || fail "no HTTP answer from $1"
}

# wait_for SECONDS COMMAND...: polls until COMMAND succeeds; fails after SECONDS (stretched by
# QUORVEX_TEST_TIME_FACTOR: a limit that only catches what never happens).
wait_for() {
    local seconds
    seconds=$(limit "$1")
    shift
    local until=$(($(date +%s%N) / 1000000 + seconds * 1000))
    until "$@"; do
        [ $(($(date +%s%N) / 1000000)) -lt "$until" ] || return 1
        sleep 0.1
    done
}

# pieces_of FILE: the file's text split at "\r" as well as "\n" (progress lines end in "\r"),
# empty pieces left out.
pieces_of() { tr '\r' '\n' <"$WORK/$1" 2>/dev/null | grep -v '^$'; }

# now_ms: milliseconds, for checking that a deliberate wait (a slow TV's pauses, the tool's
# fixed waits) was not skipped; no check here holds anything to an upper bound.
now_ms() { echo $(($(date +%s%N) / 1000000)); }
