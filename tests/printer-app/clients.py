#!/usr/bin/env python3
"""Clients that misbehave, for the printer application's tests, on loopback.

  clients.py slow-headers PORT N SECONDS   N connections sending a request
      header one byte every 2 s; prints how many the server closed within
      SECONDS, then ends.
  clients.py idle PORT N SECONDS           N connections that send nothing,
      held for SECONDS (or until the server closes them); prints how many the
      server closed at once (within 1 s) and how many in all.
  clients.py print-slowly PORT PRINTER FILE FORMAT BYTES_PER_SECOND
      one IPP Print-Job whose document comes at that rate; prints the job id.
  clients.py ask PORT HEX SECONDS          sends the bytes HEX on a socket
      print connection and prints the bytes answered within SECONDS (in hex,
      "none" for none), then closes.
  clients.py send-and-wait PORT HEX        sends HEX and keeps the connection
      open without sending; prints the seconds until the server closes it.
"""
import socket
import struct
import sys
import time


def connect(port):
    s = socket.create_connection(("127.0.0.1", port), timeout=5)
    s.setblocking(False)
    return s


def closed(s):
    try:
        return s.recv(1) == b""
    except BlockingIOError:
        return False
    except OSError:
        return True


def slow_headers(port, n, seconds):
    header = b"GET / HTTP/1.1\r\nHost: localhost\r\nX-Slow: " + b"a" * 200
    socks = [connect(port) for _ in range(n)]
    gone = set()
    start = time.time()
    at = 0
    while time.time() - start < seconds and len(gone) < n:
        for i, s in enumerate(socks):
            if i in gone:
                continue
            try:
                s.send(header[at % len(header):at % len(header) + 1])
            except OSError:
                gone.add(i)
                continue
            if closed(s):
                gone.add(i)
        at += 1
        time.sleep(2)
    print(len(gone))


def idle(port, n, seconds):
    socks, refused = [], 0
    for _ in range(n):
        try:
            socks.append(connect(port))
        except OSError:
            refused += 1
    time.sleep(1)
    at_once = refused + sum(1 for s in socks if closed(s))
    end = time.time() + seconds
    while time.time() < end and sum(1 for s in socks if closed(s)) + refused < n:
        time.sleep(0.5)
    print(at_once, refused + sum(1 for s in socks if closed(s)))


def ipp_attr(tag, name, value):
    name, value = name.encode(), value.encode()
    return struct.pack(">BH", tag, len(name)) + name + struct.pack(">H", len(value)) + value


def print_slowly(port, printer, path, fmt, rate):
    uri = "ipp://localhost:%d/ipp/print/%s" % (port, printer)
    request = struct.pack(">BBHI", 2, 0, 0x0002, 1) + b"\x01"
    request += ipp_attr(0x47, "attributes-charset", "utf-8")
    request += ipp_attr(0x48, "attributes-natural-language", "en")
    request += ipp_attr(0x45, "printer-uri", uri)
    request += ipp_attr(0x42, "requesting-user-name", "slow")
    request += ipp_attr(0x42, "job-name", "slow-upload")
    request += ipp_attr(0x49, "document-format", fmt)
    request += b"\x03"
    body = request + open(path, "rb").read()
    s = socket.create_connection(("127.0.0.1", port), timeout=60)
    s.sendall(b"POST /ipp/print/%s HTTP/1.1\r\nHost: localhost:%d\r\nContent-Type: application/ipp\r\n"
              b"Content-Length: %d\r\n\r\n" % (printer.encode(), port, len(body)))
    step = max(1, rate // 10)
    for at in range(0, len(body), step):
        s.sendall(body[at:at + step])
        time.sleep(0.1)
    marker = b"\x21\x00\x06job-id\x00\x04"
    answer = b""
    s.settimeout(30)
    while answer.find(marker) < 0 or len(answer) < answer.find(marker) + len(marker) + 4:
        try:
            more = s.recv(65536)
        except OSError:
            break
        if not more:
            break
        answer += more
    at = answer.find(marker)
    print(struct.unpack(">i", answer[at + len(marker):at + len(marker) + 4])[0] if at >= 0 else 0)


def ask(port, data, seconds):
    s = socket.create_connection(("127.0.0.1", port), timeout=5)
    s.sendall(bytes.fromhex(data))
    s.settimeout(seconds)
    got = b""
    end = time.time() + seconds
    while time.time() < end:
        try:
            more = s.recv(64)
        except OSError:
            break
        if not more:
            break
        got += more
    s.close()
    print(got.hex() if got else "none")


def send_and_wait(port, data):
    s = socket.create_connection(("127.0.0.1", port), timeout=60)
    s.sendall(bytes.fromhex(data))
    start = time.time()
    try:
        while s.recv(64):
            pass
    except OSError:
        pass
    print("%.1f" % (time.time() - start))


if __name__ == "__main__":
    what = sys.argv[1]
    if what == "slow-headers":
        slow_headers(int(sys.argv[2]), int(sys.argv[3]), float(sys.argv[4]))
    elif what == "idle":
        idle(int(sys.argv[2]), int(sys.argv[3]), float(sys.argv[4]))
    elif what == "ask":
        ask(int(sys.argv[2]), sys.argv[3], float(sys.argv[4]))
    elif what == "send-and-wait":
        send_and_wait(int(sys.argv[2]), sys.argv[3])
    elif what == "print-slowly":
        print_slowly(int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5], int(sys.argv[6]))
    else:
        sys.exit(__doc__)
