#!/usr/bin/env bash
# Two TVs on one bridge server: both listed in connect order, -s picks one, a command without -s
# is refused, each TV keeps its own state, a TV that goes away leaves the list; and the device
# description each one serves over HTTP.
source "$(dirname "$0")/bench-lib.sh"

start_tv a 2 --year 2016
start_tv b 3 --year 2020 --model-name QE65Q90T --name "[TV] Living room"
A=$TV_a:26101
B=$TV_b:26101

iu c1.out c1.err connect "$A"
check_text c1.out "* Server is not running. Start it now on port 26099 *
* Server has started successfully *
connecting to $A ...
connected to $A"
iu c2.out c2.err connect "$B"
check_text c2.out "connecting to $B ...
connected to $B"
iu c3.out c3.err connect "$A"
check_text c3.out "$A is already connected"

iu_log doLog/devices.txt devices
check_text doLog/devices.txt "List of devices attached 
$(printf '%-20s\t%-10s\t%s' "$A" device UE40KU6000)
$(printf '%-20s\t%-10s\t%s' "$B" device QE65Q90T)"

iu both.out both.err shell 0 getappinstallpath
check_eq $? 1 "exit status of shell with two targets and no -s"
check_text both.err "error: more than one target found. Specify the target with -s option."
iu pa.out pa.err -s "$A" shell 0 getappinstallpath
check_text pa.out "/opt/usr/apps"
iu pb.out pb.err -s "$B" shell 0 getappinstallpath
check_text pb.out "/opt/usr/home/owner/apps_rw"
iu none.out none.err -s "$NET.9:26101" shell 0 getappinstallpath
check_text none.err "error: target not found"

head -c 20000 /dev/urandom >"$WORK/data.bin"
iu push.out push.err -s "$B" push data.bin /home/owner/share/tmp/sdk_tools/tmp/
check_eq $? 0 "push to a directory of B"
cmp -s "$WORK/data.bin" "$WORK/tv/b/fs/home/owner/share/tmp/sdk_tools/tmp/data.bin" ||
    fail "B does not hold the pushed file"
[ -z "$(find "$WORK/tv/a/fs" -name data.bin)" ] || fail "the push to B reached A"
check_line tv/b/commands.log "push: /home/owner/share/tmp/sdk_tools/tmp/data.bin"

# A TV that goes away leaves the list: the server sees its connection end.
"$STOP_TV" "$WORK/tv/a"
only_b() {
    iu_log doLog/devices2.txt devices
    [ "$(text_of doLog/devices2.txt)" = "List of devices attached 
$(printf '%-20s\t%-10s\t%s' "$B" device QE65Q90T)" ]
}
wait_for 60 only_b || { fail "the stopped TV is still listed"; show doLog/devices2.txt; }
iu pb2.out pb2.err shell 0 getappinstallpath
check_text pb2.out "/opt/usr/home/owner/apps_rw"

iu d.out d.err disconnect "$B"
check_text d.out "disconnected $B"
iu_log doLog/devices3.txt devices
check_text doLog/devices3.txt "List of devices attached "

# The device description on port 8001 (each year's conventions are unit-tested).
http_get "$TV_b" /api/v2/ api.txt
check_line api.txt "HTTP/1.1 200 OK"
for field in '"developerMode":"1"' '"developerIP":"127.0.0.1"' '"name":"[TV] Living room"' \
    '"modelName":"QE65Q90T"' '"model":"20_' '"PowerState":"on"' "\"ip\":\"$TV_b\""; do
    check_has api.txt "$field"
done
body=$(text_of api.txt | sed '1,/^$/d')
length=$(text_of api.txt | sed -n 's/^Content-Length: //p')
check_eq "${#body}" "$length" "Content-Length of the description"
http_get "$TV_b" /api/v1/ other.txt
check_line other.txt "HTTP/1.1 404 Not Found"
finish
