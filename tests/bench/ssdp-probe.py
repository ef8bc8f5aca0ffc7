#!/usr/bin/env python3
"""SSDP from the PC of a test LAN, for the bench scripts.

  ssdp-probe.py search FROM WAIT OUT NAME=FILE[@ADDRESS] ...
      sends each FILE's bytes to 239.255.255.250:1900 (or to ADDRESS:1900), each from a socket
      of its own bound to FROM, and writes what comes back within WAIT seconds to OUT/NAME.
  ssdp-probe.py listen FROM SECONDS COUNT
      joins the group on FROM, prints "listening", then each datagram that arrives, until COUNT
      have come or SECONDS have passed.

A datagram is written as "from ADDRESS:PORT after MS ms" (listen adds "ttl N", the TTL it came
with), its lines without their CRLF, and an empty line; a line "MALFORMED: ..." says where it was not CRLF-ended or lacked its empty line.
Multicast leaves from FROM (IP_MULTICAST_IF) with a TTL of 1: it stays on the test LAN.
"""
import os
import selectors
import socket
import struct
import sys
import time

GROUP = "239.255.255.250"
PORT = 1900
IP_RECVTTL = getattr(socket, "IP_RECVTTL", 12)  # Linux's values
IP_TTL = getattr(socket, "IP_TTL", 2)


def describe(data, source, started, ttl=None):
    text = data.decode("utf-8", "replace")
    out = ["from %s:%d after %d ms" % (source[0], source[1], (time.monotonic() - started) * 1000)]
    if ttl is not None:
        out[0] += " ttl %d" % ttl
    head, blank, _ = text.partition("\r\n\r\n")
    if not blank:
        out.append("MALFORMED: no empty line after the head")
    for line in head.split("\r\n"):
        if "\r" in line or "\n" in line:
            out.append("MALFORMED: a line not ended by CRLF: %r" % line)
        out.append(line)
    return "\n".join(out) + "\n\n"


def search(source, wait, out_dir, cases):
    os.makedirs(out_dir, exist_ok=True)
    selector = selectors.DefaultSelector()
    started = time.monotonic()
    results = {}
    for case in cases:
        name, _, rest = case.partition("=")
        path, _, address = rest.partition("@")
        with open(path, "rb") as f:
            payload = f.read()
        sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        sock.bind((source, 0))
        sock.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_IF, socket.inet_aton(source))
        sock.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_TTL, 1)
        # Not to the PC's own listener.
        sock.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_LOOP, 0)
        sock.sendto(payload, (address or GROUP, PORT))
        selector.register(sock, selectors.EVENT_READ, name)
        results[name] = ""
    while (left := started + wait - time.monotonic()) > 0:
        for key, _ in selector.select(left):
            try:
                data, sender = key.fileobj.recvfrom(65536)
            except ConnectionRefusedError:
                # Nothing listens on that address's port 1900: no answer will come.
                selector.unregister(key.fileobj)
                continue
            results[key.data] += describe(data, sender, started)
    for name, text in results.items():
        with open(os.path.join(out_dir, name), "w") as f:
            f.write(text)


def listen(source, seconds, count):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind((GROUP, PORT))
    membership = struct.pack("4s4s", socket.inet_aton(GROUP), socket.inet_aton(source))
    sock.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, membership)
    sock.setsockopt(socket.IPPROTO_IP, IP_RECVTTL, 1)
    started = time.monotonic()
    print("listening", flush=True)
    seen = 0
    while seen < count and (left := started + seconds - time.monotonic()) > 0:
        sock.settimeout(left)
        try:
            data, ancillary, _, sender = sock.recvmsg(65536, socket.CMSG_SPACE(4))
        except socket.timeout:
            break
        ttl = None
        for level, kind, value in ancillary:
            if level == socket.IPPROTO_IP and kind == IP_TTL:
                ttl = int.from_bytes(value[:4], sys.byteorder)
        sys.stdout.write(describe(data, sender, started, ttl))
        sys.stdout.flush()
        seen += 1


def main(args):
    if len(args) >= 5 and args[0] == "search":
        search(args[1], float(args[2]), args[3], args[4:])
    elif len(args) == 4 and args[0] == "listen":
        listen(args[1], float(args[2]), int(args[3]))
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
