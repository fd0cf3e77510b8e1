#!/usr/bin/python3
# Writes the spare stream harness's seeds beside this script: the first byte picks the
# reader (0 request, 1 answer, 2 sealed message, 3 greeting or code, 4 answer applied).
import hashlib, os, struct

here = os.path.dirname(os.path.abspath(__file__))

def b(x):
    return struct.pack(">I", len(x)) + x

def request(held, setup=b"", part=b"", part_len=0):
    out = b"Q"
    for length, sha in held:
        out += struct.pack(">Q", length) + b(sha)
    return out + b(setup) + b(part) + struct.pack(">Q", part_len)

def answer(pieces, setup_sha=b"", setup_total=0, setup_off=0, setup=b"", task=7):
    out = b"A" + struct.pack(">I", task) + b("年会".encode("gb18030")) + b(b"stage")
    out += b(b"2026-12-10 20:00:00") + struct.pack(">III", 2, 1, 0)
    for present, restart, off, total, data in pieces:
        out += bytes([present, restart]) + struct.pack(">QQ", off, total) + b(data)
    return out + b(setup_sha) + struct.pack(">QQ", setup_total, setup_off) + b(setup)

sha = hashlib.sha256(b"DRAW\r\n").hexdigest().encode()
setup = b"PK\x03\x04setup"
seeds = {
    "request-empty": b"\0" + request([(0, b"")] * 3),
    "request-held": b"\0" + request([(6, sha), (0, b""), (0, b"")], sha, sha, 3),
    "answer-append": b"\1" + answer([(1, 0, 0, 6, b"DRAW\r\n"), (0, 0, 0, 0, b""), (0, 0, 0, 0, b"")]),
    "answer-setup": b"\1" + answer([(0, 0, 0, 0, b"")] * 3, hashlib.sha256(setup).hexdigest().encode(),
                                   len(setup), 0, setup),
    "sealed-short": b"\2TSS1\x01" + b"\0" * 40,
    "hello": b"\3TOMBOLIX-SPARE 1 7 000102030405060708090a0b0c0d0e0f",
    "code": b"\3abcd-efgh jkmn pqrs",
    "apply-append": b"\4" + answer([(1, 0, 0, 6, b"DRAW\r\n"), (1, 0, 0, 3, b"C\r\n"), (0, 0, 0, 0, b"")]),
    "apply-restart": b"\4" + answer([(1, 1, 0, 4, b"NEW\n"), (0, 0, 0, 0, b""), (0, 0, 0, 0, b"")]),
}
for name, data in seeds.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
