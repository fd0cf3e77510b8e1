#!/usr/bin/python3
# Writes relay.zip and relay_full.zip, the relay package harness's seeds: small relay packages
# in the documented form, one with the set-up and journal only, one with check-ins and claims.
import hashlib
import zipfile


def seal(body):
    h = 2166136261
    for c in body.encode("gbk"):
        h = ((h ^ c) * 16777619) & 0xFFFFFFFF
    return body + "\tcheck=%08x\r\n" % h


hexa = "ab" * 32
journal = (seal("DRAW\ttask=1001\tdata=" + hexa + "\tpresets=" + hexa + "\tagain=0\tcommit=" +
                hexa + "\tsecret=" + "cd" * 32 + "\titems=2001/2/1") +
           seal("START\taudience=\tseed=5") +
           seal("BATCH\titem=2001\tdrawn=1\tclosed=0\tpresets=0\trng=7\trolls=3\twinners=0"))
setup = b"PK\x05\x06" + b"\0" * 18
checkin = "CHECKIN\t1001\r\nA01\t2026-12-10 19:00:00\t" + "a" * 32 + "\r\n"
claims = "CLAIM\t1001\t" + hexa + "\r\nA01\t2001\t2026-12-10 20:00:00\tdesk\r\n"
for name, entries in (("relay.zip", {"setup.zip": setup, "journal.txt": journal}),
                      ("relay_full.zip", {"setup.zip": setup, "journal.txt": journal,
                                          "checkin.txt": checkin, "claims.txt": claims})):
    data = {k: (v if isinstance(v, bytes) else v.encode("gbk")) for k, v in entries.items()}
    manifest = "format=1\r\ntask=年会\r\nmachine=STAGE\r\nwritten=2026-12-10 20:30:00\r\nbatches=1\r\n"
    for k, v in data.items():
        manifest += "sha256 %s %s\r\n" % (k, hashlib.sha256(v).hexdigest())
    with zipfile.ZipFile(name, "w", zipfile.ZIP_DEFLATED) as z:
        for k, v in data.items():
            z.writestr(k, v)
        z.writestr("relay.txt", manifest.encode("gbk"))
