#!/usr/bin/python3
"""Malformed requests against the check-in server on loopback (not part of scripts/test).

    bench/checkin_badinput.py [BUILD_DIR]

Each case sends its bytes on a fresh connection and reads what comes back (or notes that the
server closed or timed out the connection). After every case the server must still serve
the page, and at the end the check-in file must hold exactly the check-ins that were
answered "ok".
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

BUILD = sys.argv[1] if len(sys.argv) > 1 else "build"
PORT = 18632
n_source = [0]


def connect():
    n_source[0] += 1
    s = socket.socket()
    s.bind((f"127.20.{n_source[0] // 250}.{n_source[0] % 250 + 1}", 0))
    s.settimeout(30)
    s.connect(("127.0.0.1", PORT))
    return s


def exchange(data, chunks=None, pause=0.0, read=True):
    s = connect()
    t = time.perf_counter()
    try:
        if chunks is None:
            s.sendall(data)
        else:
            for c in chunks:
                s.sendall(c)
                time.sleep(pause)
    except (BrokenPipeError, ConnectionResetError):
        pass
    answer = b""
    if read:
        try:
            while True:
                got = s.recv(65536)
                if not got:
                    break
                answer += got
                if b"\r\n\r\n" in answer and b"Connection: close" not in answer and \
                        len(answer) > answer.index(b"\r\n\r\n") + 4:
                    break
        except (socket.timeout, ConnectionResetError):
            pass
    s.close()
    status = answer.split(b" ", 2)[1].decode() if answer.startswith(b"HTTP/") else "closed"
    return status, time.perf_counter() - t, answer


def post(path, body, extra=b""):
    return (b"POST " + path + b" HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
            b"Content-Type: application/x-www-form-urlencoded\r\n" + extra +
            b"Content-Length: " + str(len(body)).encode() + b"\r\n\r\n" + body)


def get(path):
    return b"GET " + path + b" HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"


def endless_headers():
    # Header lines for 15 s, never ending the head.
    yield b"GET / HTTP/1.1\r\nHost: x\r\n"
    for i in range(3000):
        yield b"X-Pad-%d: %s\r\n" % (i, b"a" * 50)


def endless_body():
    yield (b"POST /checkin HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n"
           b"Content-Type: application/x-www-form-urlencoded\r\n\r\n")
    for _ in range(2000):
        yield b"400\r\n" + b"a" * 1024 + b"\r\n"


CASES = [
    ("page", get(b"/"), None, 0, "200"),
    ("huge header 100 KiB", b"GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + b"a" * 100000 +
     b"\r\n\r\n", None, 0, "431"),
    ("headers over 8 KiB in 200 lines", b"GET / HTTP/1.1\r\nHost: x\r\n" +
     b"".join(b"X-%d: %s\r\n" % (i, b"b" * 40) for i in range(200)) + b"\r\n", None, 0, "431"),
    ("endless headers", None, list(endless_headers()), 0.003, "431|closed"),
    ("body over 4 KiB", post(b"/checkin", b"id=" + b"1" * 5000), None, 0, "413"),
    ("chunked endless body", None, list(endless_body()), 0.001, "413|closed"),
    ("bad UTF-8", post(b"/checkin", b"id=%ff%fe%80&name=%c0%80"), None, 0, "200:badtext"),
    ("GBK bytes", post(b"/checkin", b"id=13900000001&name=%D4%B1%B9%A4"), None, 0, "200:badtext"),
    ("raw GBK bytes", post(b"/checkin", b"id=13900000001&name=\xd4\xb1\xb9\xa4"), None, 0,
     "200:badtext"),
    ("truncated body", None, [post(b"/checkin", b"id=13900000002&name=x" * 3)[:-20]], 0,
     "closed|408"),
    ("path traversal", get(b"/../../etc/passwd"), None, 0, "404"),
    ("encoded traversal", get(b"/%2e%2e/%2e%2e/DATA/Tombolix.db"), None, 0, "404"),
    ("backslash path", get(b"/..\\..\\DATA"), None, 0, "404"),
    # The server reads the path as a C string: this is "/", the page.
    ("NUL in path", get(b"/\x00index.html"), None, 0, "400|404|200"),
    ("body without length", b"POST /checkin HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"
     b"id=13900000003&name=%E5%91%98%E5%B7%A53", None, 0, "200:empty|400"),
    ("negative length", b"POST /checkin HTTP/1.1\r\nHost: x\r\nContent-Length: -5\r\n\r\n",
     None, 0, "400|closed"),
    ("two lengths", b"POST /checkin HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\n"
     b"Content-Length: 30\r\n\r\nid=", None, 0, "400|200:empty|closed"),
    ("not HTTP", b"\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03" + os.urandom(200), None, 0,
     "400|closed"),
    ("slow client", None, [b"GET / HTTP/1.1\r\n"], 0, "closed|408"),
    ("unknown method", b"TRACE / HTTP/1.1\r\nHost: x\r\n\r\n", None, 0, "404|405|501"),
    ("a good check-in", post(b"/checkin", b"id=13900000004&name=%E5%91%98%E5%B7%A54"), None, 0,
     "200:ok"),
]


def main():
    root = tempfile.mkdtemp(prefix="checkin-bad-", dir=os.path.abspath(BUILD))
    server = subprocess.Popen([os.path.join(BUILD, "bench", "bench_checkin_server"), root,
                               str(PORT), "100"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    assert server.stdout.readline().startswith(b"ready")
    failures = 0
    try:
        for name, data, chunks, pause, want in CASES:
            status, took, answer = exchange(data, chunks, pause)
            body = answer.split(b"\r\n\r\n", 1)[1] if b"\r\n\r\n" in answer else b""
            got = status
            if status == "200" and body.startswith(b"{"):
                got = "200:" + body.split(b'"kind":"', 1)[1].split(b'"', 1)[0].decode()
            alive, _, _ = exchange(get(b"/"))
            ok = got in want.split("|") and alive == "200" and server.poll() is None
            failures += not ok
            print(f"{'ok  ' if ok else 'FAIL'} {name}: {got} in {took:.2f} s "
                  f"(wanted {want}); server {'up' if alive == '200' else 'DOWN'}")
        with open(os.path.join(root, "LUCK_FILE", "CHECKIN_1.txt"), "rb") as f:
            records = f.read().split(b"\r\n")[1:-1]
        ids = [r.split(b"\t")[0] for r in records]
        good = ids == [b"13900000004"]
        failures += not good
        print(f"file: {ids} ({'ok' if good else 'FAIL'})")
    finally:
        server.stdin.close()
        server.wait(timeout=30)
        shutil.rmtree(root, ignore_errors=True)
    print("bad input: PASS" if failures == 0 else f"bad input: {failures} FAILED")
    return 1 if failures else 0


sys.exit(main())
