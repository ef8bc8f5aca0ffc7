# Sourced after bench-lib.sh by a bench script that needs a test LAN (tests/lan/lan.sh): the PC
# at 10.213.0.1, each TV a host of its own, SSDP among them. lan.sh refuses to make it outside the
# network namespace tests/isolated.sh made for the test (require_own_netns). The LAN goes at exit, before
# bench-lib's own clean-up.
source "$REPO_DIR/tests/lan/lan.sh"
lan_up || {
    echo "FAIL: the test LAN could not be made"
    exit 1
}
lan_cleanup() {
    local status=$?
    lan_down
    (exit "$status")
    cleanup
}
trap lan_cleanup EXIT

# lan_tv NAME N [tvsim options]: a TV at 10.213.0.N on a host NAME, its Host PC IP the PC's, its
# state in tv/NAME; sets TV_NAME to its address.
lan_tv() {
    local name=$1 n=$2
    shift 2
    lan_host "$name" "$n" || {
        echo "FAIL: no LAN host $name"
        exit 1
    }
    TV_STATES+=("$WORK/tv/$name")
    lan_exec "$name" "$START_TV" "$lan_subnet.$n" "$WORK/tv/$name" --host-ip "$lan_pc" "$@" \
        >/dev/null || {
        echo "FAIL: the TV $name did not start"
        exit 1
    }
    printf -v "TV_$name" '%s' "$lan_subnet.$n"
}

# knock_ms ADDRESS PORT: how long a TCP connect took, in ms, and whether it was accepted
# ("1040 accepted" / "3 refused"); a knock nothing answers gives up after 10 s.
knock_ms() {
    local started result=accepted
    started=$(now_ms)
    timeout 10 bash -c "exec 3<>/dev/tcp/$1/$2" 2>/dev/null || result=refused
    echo "$(($(now_ms) - started)) $result"
}

# knock_from_ms SOURCE_PORT ADDRESS PORT: the same, from a source port of our choosing (one that an
# earlier knock used, say).
knock_from_ms() {
    python3 - "$@" <<'PY'
import socket, sys, time
source, address, port = int(sys.argv[1]), sys.argv[2], int(sys.argv[3])
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.settimeout(10)
s.bind(("", source))
started = time.monotonic()
try:
    s.connect((address, port))
    result = "accepted"
except OSError:
    result = "refused"
print(int((time.monotonic() - started) * 1000), result)
PY
}
