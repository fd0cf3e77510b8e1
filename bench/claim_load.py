#!/usr/bin/python3
"""Prize claims under load, on loopback (not part of scripts/test).

    bench/claim_load.py [BUILD_DIR]

1,000 phones check in, 300 of them win; 20 paired prize desks then claim those 300 prizes
(each a find by the winner's code, then 确认领取) while all 1,000 phones poll the winners
page once a second (the winners also their claim codes). Every claim must be answered
领取成功 once, the claim file must hold each of the 300 once, and the claims' p99 must stay
within 200 ms. Prints the claims' and the polls' p50/p99/max.
"""
import asyncio
import json
import multiprocessing
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse

BUILD = sys.argv[1] if len(sys.argv) > 1 else "build"
PORT = 18641
PHONES = 1000
WINNERS = 300
DESKS = 20


async def request(reader, writer, path, body):
    head = (f"POST {path} HTTP/1.1\r\nHost: 127.0.0.1\r\n"
            f"Content-Type: application/x-www-form-urlencoded\r\n"
            f"Content-Length: {len(body)}\r\n\r\n").encode()
    writer.write(head + body)
    await writer.drain()
    status = int((await reader.readline()).split()[1])
    length = 0
    while True:
        line = await reader.readline()
        if line in (b"\r\n", b""):
            break
        k, _, v = line.decode("latin1").partition(":")
        if k.lower() == "content-length":
            length = int(v.strip())
    return status, await reader.readexactly(length)


def pct(values, p):
    s = sorted(values)
    return s[min(len(s) - 1, int(len(s) * p))] * 1000


def source(n):
    """A loopback address of its own for client n, as each phone in a hall has its own."""
    return (f"127.20.{n // 250}.{n % 250 + 1}", 0)


async def connect(n):
    return await asyncio.open_connection("127.0.0.1", PORT, local_addr=source(n))


async def check_in(n):
    reader, writer = await connect(n)
    body = f"id={13900000000 + n}&name={urllib.parse.quote(f'员工{n}')}".encode()
    status, data = await request(reader, writer, "/checkin", body)
    writer.close()
    return json.loads(data)["token"]


async def desk(d, token, codes, latencies, answers):
    reader, writer = await connect(PHONES + d)
    seq = 0
    for code in codes:
        for path, form in (("/desk/find", f"c={code}"), ("/desk/claim", f"c={code}")):
            seq += 1
            t = time.perf_counter()
            status, data = await request(reader, writer, path,
                                         f"k={token}&n={seq}&{form}".encode())
            if path == "/desk/claim":
                latencies.append(time.perf_counter() - t)
                answers.append(json.loads(data)["kind"] if status == 200 else f"http{status}")
        await asyncio.sleep(0.05)  # the desk hands the prize over
    writer.close()


def phones(tokens, seconds, out):
    """The phones, in a process of their own: the desks' timings are not spent waiting
    behind a thousand polls in one event loop."""
    async def all_phones():
        polls, codes = [], {}
        stop = time.perf_counter() + seconds
        await asyncio.gather(*(phone(n, tokens[n], stop, polls, codes, out)
                               for n in range(PHONES)))
        out.put(("polls", polls))
    asyncio.run(all_phones())


async def phone(n, token, stop, polls, codes, out):
    reader, writer = await connect(n)
    while time.perf_counter() < stop:
        t = time.perf_counter()
        status, data = await request(reader, writer, "/winners", f"t={token}".encode())
        polls.append(time.perf_counter() - t)
        if json.loads(data)["me"] and n not in codes:
            status, data = await request(reader, writer, "/prize", f"t={token}".encode())
            for p in json.loads(data)["prizes"]:
                codes[n] = p["code"].replace(" ", "")
                out.put(("code", n, codes[n]))
        await asyncio.sleep(max(0, 1 - (time.perf_counter() - t)))
    writer.close()


async def setup(server):
    tokens = []
    for start in range(0, PHONES, 100):
        tokens += await asyncio.gather(*(check_in(n) for n in range(start, start + 100)))
    server.stdin.write(f"board {WINNERS}\n".encode())
    server.stdin.flush()
    assert server.stdout.readline().startswith(b"board")
    desks = []
    for d in range(DESKS):
        server.stdin.write(b"code\n")
        server.stdin.flush()
        code = server.stdout.readline().split()[1].decode()
        reader, writer = await connect(PHONES + d)
        status, data = await request(reader, writer, "/desk/pair", f"code={code}".encode())
        writer.close()
        desks.append(json.loads(data)["token"])
    return tokens, desks


async def claims(desks, codes):
    latencies, answers = [], []
    queue = [codes[n] for n in sorted(codes)]
    t = time.perf_counter()
    await asyncio.gather(*(desk(d, desks[d], queue[d::DESKS], latencies, answers)
                           for d in range(DESKS)))
    return latencies, answers, time.perf_counter() - t


def run(server):
    tokens, desks = asyncio.run(setup(server))
    out = multiprocessing.Queue()
    polling = multiprocessing.Process(target=phones, args=(tokens, 25, out))
    polling.start()
    codes = {}
    end = time.time() + 20
    while len(codes) < WINNERS and time.time() < end:
        item = out.get(timeout=20)
        if item[0] == "code":
            codes[item[1]] = item[2]
    latencies, answers, took = asyncio.run(claims(desks, codes))
    polls = []
    while True:
        item = out.get(timeout=60)
        if item[0] == "polls":
            polls = item[1]
            break
    polling.join(timeout=30)
    return polls, latencies, answers, took


def main():
    # On the build folder's disk, not a tmpfs: every claim pays its flush.
    root = tempfile.mkdtemp(prefix="claim-load-", dir=os.path.abspath(BUILD))
    server = subprocess.Popen([os.path.join(BUILD, "bench", "bench_checkin_server"), root,
                               str(PORT), str(PHONES)], stdin=subprocess.PIPE,
                              stdout=subprocess.PIPE)
    assert server.stdout.readline().startswith(b"ready")
    try:
        polls, latencies, answers, took = run(server)
        names = [n for n in os.listdir(os.path.join(root, "LUCK_FILE")) if n.startswith("CLAIM_")]
        with open(os.path.join(root, "LUCK_FILE", names[0]), "rb") as f:
            records = f.read().split(b"\r\n")[1:-1]
        ids = [r.split(b"\t")[0] for r in records]
        ok = answers.count("ok")
        print(f"claims: {len(answers)} from {DESKS} desks in {took:.2f} s, {ok} ok, others "
              f"{sorted(set(answers) - {'ok'})}; p50 {pct(latencies, .5):.1f} ms, "
              f"p90 {pct(latencies, .9):.1f} ms, p99 {pct(latencies, .99):.1f} ms, "
              f"max {max(latencies) * 1000:.1f} ms")
        print(f"polls: {PHONES} phones, {len(polls)} polls, p50 {pct(polls, .5):.1f} ms, "
              f"p99 {pct(polls, .99):.1f} ms")
        print(f"file: {len(ids)} claims, {len(set(ids))} distinct")
        good = ok == WINNERS and len(ids) == WINNERS and len(set(ids)) == WINNERS and \
            pct(latencies, .99) <= 200
        print("claims load: PASS" if good else "claims load: FAIL")
        return 0 if good else 1
    finally:
        server.stdin.close()
        server.wait(timeout=30)
        shutil.rmtree(root, ignore_errors=True)


sys.exit(main())
