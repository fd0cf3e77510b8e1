#!/usr/bin/python3
"""Load on the check-in server, on loopback (not part of scripts/test).

    bench/checkin_load.py [BUILD_DIR]

1. 3,000 check-ins from 300 concurrent clients (keep-alive connections, 10 each): the time,
   the answers' p50/p99/max, and the check-in file read back: every id once, none lost.
2. 1,000 phones polling the winners page once a second for 20 s while a batch is revealed
   every 5 s: the answers' p99 and how soon each phone saw each reveal.
3. A flood of 500 requests/s for 30 s (bounded), with the p99 of the answers.
"""
import asyncio
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse

BUILD = sys.argv[1] if len(sys.argv) > 1 else "build"
PORT = 18631
IDS = 3000


async def request(reader, writer, method, path, body=b""):
    head = (f"{method} {path} HTTP/1.1\r\nHost: 127.0.0.1\r\n"
            f"Content-Type: application/x-www-form-urlencoded\r\n"
            f"Content-Length: {len(body)}\r\n\r\n").encode()
    writer.write(head + body)
    await writer.drain()
    status_line = await reader.readline()
    status = int(status_line.split()[1])
    length = 0
    while True:
        line = await reader.readline()
        if line in (b"\r\n", b""):
            break
        k, _, v = line.decode("latin1").partition(":")
        if k.lower() == "content-length":
            length = int(v.strip())
    data = await reader.readexactly(length)
    return status, data


def pct(values, p):
    s = sorted(values)
    return s[min(len(s) - 1, int(len(s) * p))] * 1000


def source(n):
    """A loopback address of its own for client n, as each phone in a hall has its own."""
    return (f"127.10.{n // 250}.{n % 250 + 1}", 0)


async def client(n, ids, latencies, answers):
    reader, writer = await asyncio.open_connection("127.0.0.1", PORT, local_addr=source(n))
    for i in ids:
        name = urllib.parse.quote(f"员工{i}")
        body = f"id={13900000000 + i}&name={name}".encode()
        t = time.perf_counter()
        status, data = await request(reader, writer, "POST", "/checkin", body)
        latencies.append(time.perf_counter() - t)
        answers.append(json.loads(data)["kind"] if status == 200 else f"http{status}")
    writer.close()


async def checkins():
    latencies, answers = [], []
    t = time.perf_counter()
    await asyncio.gather(*(client(c, range(c * 10, c * 10 + 10), latencies, answers)
                           for c in range(300)))
    took = time.perf_counter() - t
    ok = answers.count("ok")
    print(f"check-in: {len(answers)} answers in {took:.2f} s from 300 clients, {ok} ok, "
          f"others {sorted(set(answers) - {'ok'})}; p50 {pct(latencies, .5):.1f} ms, "
          f"p99 {pct(latencies, .99):.1f} ms, max {max(latencies) * 1000:.1f} ms")
    return took, ok, latencies


async def phone(n, token, stop, seen, latencies):
    reader, writer = await asyncio.open_connection("127.0.0.1", PORT, local_addr=source(n))
    shown = -1
    while time.perf_counter() < stop:
        t = time.perf_counter()
        status, data = await request(reader, writer, "POST", "/winners", f"t={token}".encode())
        latencies.append(time.perf_counter() - t)
        lines = len(json.loads(data)["lines"])
        if lines != shown:
            shown = lines
            seen.append((lines, time.perf_counter()))
        await asyncio.sleep(max(0, 1 - (time.perf_counter() - t)))
    writer.close()


async def winners(server):
    seen, latencies = [], []
    stop = time.perf_counter() + 20
    tasks = [asyncio.create_task(phone(n, "", stop, seen, latencies)) for n in range(1000)]
    reveals = {}
    for k in range(1, 4):
        await asyncio.sleep(5)
        server.stdin.write(f"board {k * 10}\n".encode())
        server.stdin.flush()
        reveals[k * 10 + 1] = time.perf_counter()
    await asyncio.gather(*tasks)
    delays = [at - reveals[n] for n, at in seen if n in reveals]
    print(f"winners page: 1000 phones, {len(latencies)} polls, p99 {pct(latencies, .99):.1f} ms; "
          f"{len(delays)} reveals seen, slowest {max(delays):.2f} s after the reveal")


async def flood():
    latencies = []
    statuses = {}
    sem = asyncio.Semaphore(200)

    async def one():
        async with sem:
            t = time.perf_counter()
            reader, writer = await asyncio.open_connection("127.0.0.1", PORT,
                                                           local_addr=source(len(latencies) % 1000))
            status, _ = await request(reader, writer, "GET", "/")
            latencies.append(time.perf_counter() - t)
            statuses[status] = statuses.get(status, 0) + 1
            writer.close()

    tasks = []
    start = time.perf_counter()
    for i in range(500 * 30):
        at = start + i / 500
        await asyncio.sleep(max(0, at - time.perf_counter()))
        tasks.append(asyncio.create_task(one()))
    await asyncio.gather(*tasks)
    print(f"flood: {len(latencies)} requests in {time.perf_counter() - start:.1f} s, "
          f"statuses {statuses}, p99 {pct(latencies, .99):.1f} ms")


def main():
    # On the build folder's disk, not a tmpfs: every confirmed check-in pays its flush.
    root = tempfile.mkdtemp(prefix="checkin-load-", dir=os.path.abspath(BUILD))
    server = subprocess.Popen([os.path.join(BUILD, "bench", "bench_checkin_server"), root,
                               str(PORT), str(IDS)], stdin=subprocess.PIPE,
                              stdout=subprocess.PIPE)
    assert server.stdout.readline().startswith(b"ready")
    try:
        took, ok, latencies = asyncio.run(checkins())
        with open(os.path.join(root, "LUCK_FILE", "CHECKIN_1.txt"), "rb") as f:
            records = f.read().split(b"\r\n")[1:-1]
        ids = [r.split(b"\t")[0] for r in records]
        print(f"file: {len(ids)} records, {len(set(ids))} distinct ids")
        asyncio.run(winners(server))
        asyncio.run(flood())
        good = took <= 10 and ok == IDS and len(ids) == IDS and len(set(ids)) == IDS and \
            pct(latencies, .99) <= 200
        print("load: PASS" if good else "load: FAIL")
        return 0 if good else 1
    finally:
        server.stdin.close()
        server.wait(timeout=30)
        shutil.rmtree(root, ignore_errors=True)


sys.exit(main())
