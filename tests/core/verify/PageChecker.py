#!/usr/bin/python3
"""A checker of finished draws written from docs/verify.md alone, as an outside auditor
would write one: it shares no code with the program. Run by ctest as

    PageChecker.py FIXTURE WORKDIR

it has FIXTURE write draws with and without rules (replacements included) into WORKDIR,
replays each from the page's rules, and fails unless every one agrees; a forged
replacement must then fail the replay. The list's root and the chain of openings are
worked out from the page too; a deleted head must fail the chain."""
import hashlib
import os
import shutil
import subprocess
import sys


class Disagree(Exception):
    pass


def expect(cond, what):
    if not cond:
        raise Disagree(what)


def sha(b):
    return hashlib.sha256(b).hexdigest()


def trim(b):
    i, j = 0, len(b)
    while i < j and b[i] <= 0x20:
        i += 1
    while j > i and b[j - 1] <= 0x20:
        j -= 1
    return b[i:j]


def lines_of(b):
    out = b.split(b'\n')
    if out and out[-1] == b'':
        out.pop()
    return [l[:-1] if l.endswith(b'\r') else l for l in out]


def fnv(body):
    h = 2166136261
    for c in body:
        h = ((h ^ c) * 16777619) & 0xffffffff
    return '%08x' % h


def unescape(b):
    out, i = bytearray(), 0
    while i < len(b):
        if b[i:i + 1] == b'%':
            out.append(int(b[i + 1:i + 3], 16))
            i += 3
        else:
            out.append(b[i])
            i += 1
    return bytes(out)


def fields(b):
    b, out = trim(b), []
    while True:
        p = b.find(b' ')
        head = trim(b if p < 0 else b[:p])
        b = b'' if p < 0 else trim(b[p + 1:])
        if not head:
            return out
        out.append(head)


def mth(lines):
    """The Merkle Tree Hash of RFC 6962 over the lines, as the page defines the list's tree."""
    if not lines:
        return hashlib.sha256(b'').digest()
    if len(lines) == 1:
        return hashlib.sha256(b'\x00' + lines[0]).digest()
    k = 1
    while k * 2 < len(lines):
        k *= 2
    return hashlib.sha256(b'\x01' + mth(lines[:k]) + mth(lines[k:])).digest()


def first_line(path):
    with open(path, 'rb') as f:
        line = f.readline()
    return line if line.endswith(b'\n') else b''


def head_fields(line):
    body = line.rstrip(b'\r\n').rsplit(b'\tcheck=', 1)[0]
    return dict(x.split(b'=', 1) for x in body.split(b'\t')[1:])


def check_openings(root, task, D):
    """Follows prevhead from the checked head back to opening 1 among the task's other heads
    (the history's journals and those in LUCK_FILE); returns the checked head's number."""
    heads = {}
    names = ('JOURNAL_%d.txt' % task, 'JOURNAL_%d_DONE.txt' % task)
    folders = [os.path.join(root, 'LUCK_FILE')]
    hist = os.path.join(root, 'LUCK_FILE', 'history')
    if os.path.isdir(hist):
        folders += [os.path.join(hist, d) for d in sorted(os.listdir(hist))]
    for folder in folders:
        for n in names:
            p = os.path.join(folder, n)
            if os.path.exists(p) and first_line(p):
                heads[sha(first_line(p))] = head_fields(first_line(p))
    n, cur = int(D[b'opening']), D
    while b'prevhead' in cur:
        prev = heads.get(cur[b'prevhead'].decode())
        expect(prev is not None, 'opening %d: the head it names is missing' % int(cur[b'opening']))
        expect(int(prev[b'opening']) == int(cur[b'opening']) - 1, 'openings in order')
        cur = prev
    expect(int(cur[b'opening']) == 1, 'the chain reaches the first opening')
    return n


def check(root, task):
    def rd(p):
        return open(os.path.join(root, p), 'rb').read()

    recs = []
    for l in lines_of(rd('LUCK_FILE/JOURNAL_%d_DONE.txt' % task)):
        body, chk = l.rsplit(b'\tcheck=', 1)
        expect(fnv(body) == chk.decode(), 'check value')
        f = body.split(b'\t')
        recs.append((f[0].decode(), dict(x.split(b'=', 1) for x in f[1:])))
    kind, D = recs[0]
    expect(kind == 'DRAW', 'DRAW first')
    expect(sha(bytes.fromhex(D[b'secret'].decode())) == D[b'commit'].decode(), 'commitment')
    data = rd('DATA_FILE/%d.txt' % task)
    expect(sha(data) == D[b'data'].decode(), 'list fingerprint')
    dl = lines_of(data)
    n = int(dl[1].split(b'=')[1])
    title = dl[3]
    cand = [trim(l) for l in dl[4:4 + n]]
    N = len(cand)
    items = [tuple(map(int, x.split(b'/'))) for x in D[b'items'].split(b',')]
    presets = []
    for (iid, _, _) in items:
        p = 'DATA_FILE/CHEAT_%d_%d.txt' % (task, iid)
        if os.path.exists(os.path.join(root, p)):
            for l in lines_of(rd(p)):
                t = trim(l)
                if t:
                    presets.append([iid, t, False])
    expect(sha(b''.join(b'%d\t%s\n' % (i, t) for i, t, _ in presets)) == D[b'presets'].decode(),
           'presets fingerprint')
    again = int(D[b'again'])
    rules = None
    if b'rules' in D:
        rules, excl_raw = unescape(D[b'rules']), unescape(D[b'excluded'])
        expect(sha(rules) == D[b'rulehash'].decode(), 'rules fingerprint')
        excluded = set(excl_raw.split(b'\n')[:-1])
    start = [r for k, r in recs if k == 'START'][0]
    si = (b'tombolix-seed-1\nsecret=' + D[b'secret'] + b'\naudience=' + start[b'audience'] +
          b'\ndata=' + D[b'data'] + b'\npresets=' + D[b'presets'] + b'\nitems=' + D[b'items'] +
          b'\n')
    if rules is not None:
        si += b'rules=' + D[b'rulehash'] + b'\nexcluded=' + sha(excl_raw).encode() + b'\n'
    seed = int.from_bytes(hashlib.sha256(si).digest()[:4], 'big')
    expect(seed == int(start[b'seed']), 'seed')
    # The list's root over the candidate lines, against the one the program gives.
    root_hex = hashlib.sha256(b'\x02' + N.to_bytes(8, 'big') + mth(cand)).hexdigest()
    expect(root_hex == rd('list_root.txt').decode(), 'list root')
    expect(check_openings(root, task, D) == 3, 'third opening')
    gen = [seed]

    def step():
        gen[0] = (gen[0] * 134775813 + 1) & 0xffffffff

    def rnd(M):
        step()
        return (gen[0] * M) >> 32

    tickets_field, taskq, conds, itemq, listed, item_listed = None, None, {}, {}, set(), {}
    if rules is not None:
        for l in rules.split(b'\n'):
            if not l:
                continue
            f = l.split(b'\t')
            if f[0] == b'TICKETS':
                tickets_field = f[1]
            elif f[0] == b'TASKQUOTA':
                taskq = (f[1], int(f[2]))
            elif f[0] == b'ITEM':
                conds.setdefault(int(f[1]), []).append((f[2], f[3], set(f[4:])))
            elif f[0] == b'ITEMQUOTA':
                itemq[int(f[1])] = (f[2], int(f[3]))
            elif f[0] == b'EXCLUDEIDS':
                listed = set(f[1:])
            elif f[0] == b'ITEMEXCLUDEIDS':
                item_listed[int(f[1])] = set(f[2:])
    heads = fields(title)
    cf = [fields(c) for c in cand]

    def val(k, field):
        p = heads.index(field)
        return cf[k][p] if p < len(cf[k]) else b''

    def w(k):
        return int(val(k, tickets_field)) if tickets_field else 1

    on_list = [any(c == t for _, t, _ in presets) for c in cand]
    won, absent, winners = [False] * N, [False] * N, []  # winners: (item, k) by place

    def keeps(k, I):
        if rules is None:
            return True
        if (cf[k] and cf[k][0] in excluded) or w(k) <= 0:
            return False
        if cf[k] and (cf[k][0] in listed or cf[k][0] in item_listed.get(I, ())):
            return False
        return all((val(k, f) in vs) == (kd == b'ONEOF') for kd, f, vs in conds.get(I, []))

    def count(I, field, v, skip):
        return sum(1 for pl, (i, k) in enumerate(winners)
                   if pl != skip and (I is None or i == I) and val(k, field) == v)

    def may_win(k, I, skip=None):
        if not (0 <= k < N) or absent[k] or (not again and won[k]) or not keeps(k, I):
            return False
        if rules is None:
            return True
        if I in itemq and count(I, itemq[I][0], val(k, itemq[I][0]), skip) >= itemq[I][1]:
            return False
        if taskq and count(None, taskq[0], val(k, taskq[0]), skip) >= taskq[1]:
            return False
        return True

    def random_pick(E):
        T = sum(w(k) for k in E)
        if T == 0:
            return None
        if tickets_field is None:
            r = rnd(T)
        else:
            step()
            s1 = gen[0]
            step()
            r = (((s1 << 32) | gen[0]) * T) >> 64
        acc = 0
        for k in E:
            acc += w(k)
            if acc > r:
                return k

    batches, absences, nb = [], [], 0
    for k_, r in recs[1:]:
        if k_ == 'BATCH':
            nb += 1
            batches.append(r)
        elif k_ == 'ABSENT':
            absences.append((nb, r))
    cur, drawn, ai = 0, [0] * len(items), [0]

    def replay_absences(after):
        while ai[0] < len(absences) and absences[ai[0]][0] == after:
            r = absences[ai[0]][1]
            ai[0] += 1
            I, place, a = int(r[b'item']), int(r[b'place']), int(r[b'absent'])
            expect(winners[place] == (I, a), 'absent winner at place')
            if rules is None:
                if again:
                    F = sum(1 for k in range(N) if not on_list[k] and not absent[k]) - (
                        1 if not on_list[a] and not absent[a] else 0)
                else:
                    F = sum(1 for k in range(N) if not on_list[k] and not won[k])
                expect(F > 0, 'somebody to replace')
                while True:
                    k = rnd(N)
                    if k != a and not on_list[k] and not absent[k] and (again or not won[k]):
                        break
            else:
                k = random_pick([k for k in range(N)
                                 if k != a and not on_list[k] and may_win(k, I, skip=place)])
            expect(k == int(r[b'replacement']), 'replacement %s, journal %s' % (k, r[b'replacement']))
            absent[a], won[k] = True, True
            winners[place] = (I, k)
            for _ in range(int(r[b'rolls'])):
                step()
            expect(gen[0] == int(r[b'rng']), 'state after a replacement')

    replay_absences(0)
    for bi, b in enumerate(batches):
        I, lc, lst = items[cur]
        expect(int(b[b'item']) == I, 'item order')
        want, picks, closed = min(lst, lc - drawn[cur]), [], False
        while len(picks) < want:
            if rules is None:
                free = any(not on_list[k] and (again or not won[k]) for k in range(N))
                unused = [p for p in presets if p[0] == I and not p[2]]
                if not free and not any(t in cand and may_win(cand.index(t), I)
                                        for _, t, _ in unused):
                    closed = True
                    break
                pick = None
                if unused:
                    unused[0][2] = True
                    if unused[0][1] in cand:
                        pick = cand.index(unused[0][1])
                if pick is None:
                    if all(on_list):
                        pick = -1
                    else:
                        while True:
                            pick = rnd(N)
                            if not on_list[pick]:
                                break
                if may_win(pick, I):
                    picks.append(pick)
                    won[pick] = True
                    winners.append((I, pick))
            else:
                pick = None
                for p in presets:
                    if p[0] != I or p[2]:
                        continue
                    p[2] = True
                    if p[1] not in cand:
                        pick = random_pick([k for k in range(N) if not on_list[k] and may_win(k, I)])
                        if pick is not None:
                            break
                        continue
                    k = cand.index(p[1])
                    if may_win(k, I):
                        pick = k
                        break
                if pick is None:
                    pick = random_pick([k for k in range(N) if not on_list[k] and may_win(k, I)])
                if pick is None:
                    closed = True
                    break
                picks.append(pick)
                won[pick] = True
                winners.append((I, pick))
        for _ in range(int(b[b'rolls'])):
            step()
        journal = [int(x) for x in b[b'winners'].split(b',')] if b[b'winners'] else []
        expect(picks == journal, 'batch %d: %s, journal %s' % (bi + 1, picks, journal))
        drawn[cur] += len(picks)
        expect(int(b[b'drawn']) == drawn[cur] and int(b[b'closed']) == closed, 'counts')
        expect(gen[0] == int(b[b'rng']), 'state after batch %d' % (bi + 1))
        if drawn[cur] >= lc or closed:
            cur += 1
        replay_absences(bi + 1)
    expect(cur == len(items), 'every item complete')
    for (I, _, _) in items:
        body = b''.join(cand[k] + b'\r\n' for i, k in winners if i == I)
        expect(rd('LUCK_FILE/%d_%d.txt' % (task, I)) == title + b'\r\n' + body, 'winner file')
    return len(batches), len(absences)


def forge_first_replacement(root):
    path = os.path.join(root, 'LUCK_FILE/JOURNAL_1001_DONE.txt')
    out = []
    done = False
    for l in open(path, 'rb').read().split(b'\r\n'):
        if not done and l.startswith(b'ABSENT\t'):
            body = l.rsplit(b'\tcheck=', 1)[0]
            f = body.split(b'\t')
            f = [x if not x.startswith(b'replacement=') else
                 b'replacement=%d' % ((int(x.split(b'=')[1]) + 1) % 40) for x in f]
            body = b'\t'.join(f)
            l = body + b'\tcheck=' + fnv(body).encode()
            done = True
        out.append(l)
    open(path, 'wb').write(b'\r\n'.join(out))


def main():
    fixture, work = sys.argv[1], sys.argv[2]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    subprocess.run([fixture, work], check=True)
    for case in ('rules', 'flat', 'uniform'):
        root = os.path.join(work, case)
        batches, absences = check(root, 1001)
        if absences == 0:
            sys.exit('%s: the fixture made no replacement' % case)
        print('%s: %d batches, %d replacements agree' % (case, batches, absences))
        # The second opening's head deleted from the history: a gap in the chain.
        gap = root + '-gap'
        shutil.copytree(root, gap)
        hist = os.path.join(gap, 'LUCK_FILE', 'history')
        for d in os.listdir(hist):
            p = os.path.join(hist, d, 'JOURNAL_1001.txt')
            if os.path.exists(p) and head_fields(first_line(p)).get(b'opening') == b'2':
                os.remove(p)
        try:
            check(gap, 1001)
        except Disagree as e:
            print('%s: a deleted head is a gap: %s' % (case, e))
        else:
            sys.exit('%s: a deleted head passed' % case)
        forge_first_replacement(root)
        try:
            check(root, 1001)
        except Disagree as e:
            print('%s: a forged replacement fails: %s' % (case, e))
        else:
            sys.exit('%s: a forged replacement passed' % case)


if __name__ == '__main__':
    main()
