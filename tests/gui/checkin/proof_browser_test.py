#!/usr/bin/python3
"""A guest's proof that their line is in the list, in a real browser (Debian's chromium
through chromium-driver, headless, a 360 × 740 window) against the real check-in service of
checkin_stage_fixture:

  - a check-in shows 你在名单中（第N行）, N the line as the list's root counts lines, and the
    root the page itself computed is the root worked out here from the draw data file by the
    rules of docs/verify.md; the root typed from the notice is compared (the whole, the
    first 8 digits, another root);
  - the verifier's command shown on the page, run as it stands, answers 是;
  - a reloaded page shows the proof again;
  - the lookup page (/list) answers a guest who does not check in, and 不在名单中 for an id
    not on the list;
  - a proof, root or line tampered on its way to the page fails the page's own check.

    proof_browser_test.py FIXTURE VERIFY WORKDIR [SCREENSHOT_DIR]

Exits 77 (skipped) when chromium, chromium-driver or selenium is missing.
"""
import hashlib
import os
import shlex
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser_support import By, Fixture, check, finish, need, phone, wait_for  # noqa: E402

need()
FIXTURE, VERIFY, WORK = sys.argv[1], sys.argv[2], sys.argv[3]
SHOTS = sys.argv[4] if len(sys.argv) > 4 else None
fixture = Fixture([FIXTURE], WORK)


def list_root(path):
    """The list's root by docs/verify.md: the candidate lines of the draw data file, trimmed
    of the bytes 0x00 to 0x20, as the leaves of RFC 6962's tree, with their count."""
    data = open(path, "rb").read()
    lines = [l[:-1] if l.endswith(b"\r") else l for l in data.split(b"\n")]
    if data.endswith(b"\n"):
        lines.pop()
    count = int(lines[1].split(b"=")[1])
    blanks = bytes(range(0x21))
    leaves = [l.strip(blanks) for l in lines[4:4 + count]]

    def mth(part):
        if len(part) == 1:
            return hashlib.sha256(b"\x00" + part[0]).digest()
        k = 1
        while k * 2 < len(part):
            k *= 2
        return hashlib.sha256(b"\x01" + mth(part[:k]) + mth(part[k:])).digest()

    root = hashlib.sha256(b"\x02" + len(leaves).to_bytes(8, "big") + mth(leaves)).hexdigest()
    return root, leaves


browser = None
try:
    first = fixture.line()
    assert first.startswith("url "), first
    url = first[4:]
    root, leaves = list_root(os.path.join(WORK, "root", "DATA_FILE", "1001.txt"))
    number = leaves.index("13900000001 员工一 财务".encode("gbk")) + 1

    browser = phone(f"{WORK}/chromium")
    browser.get(url)
    text = lambda i: browser.find_element(By.ID, i).text

    def fill(values, button="go"):
        for field, value in values:
            e = browser.find_element(By.ID, field)
            e.clear()
            e.send_keys(value)
        browser.find_element(By.ID, button).click()

    fill((("id", "13900000001"), ("name", "员工一")))
    if SHOTS:
        wait_for(lambda: text("pv") != "", 5)
        browser.save_screenshot(os.path.join(SHOTS, "checkin-phone-proof-top.png"))
    check(wait_for(lambda: text("pv") != "", 5) and text("pv") == f"你在名单中（第{number}行）",
          f"a check-in shows its line: {text('pv')!r}")
    check(text("pr") == root, f"the page computed the list's root {text('pr')!r}, here {root!r}")
    check(text("pn") == "13900000001 员工一 财务", f"and shows the line {text('pn')!r}")

    # The guest types the root from the notice: whole, its start, or another list's.
    def compare(typed):
        e = browser.find_element(By.ID, "pc")
        e.clear()
        e.send_keys(typed)
        return text("pm")

    check(compare(root.upper()) == "与你输入的根值完全相同", "the whole root typed matches")
    check(compare(root[:4] + " " + root[4:8]) == "前8位与你输入的相同", "its first 8 digits")
    other = hashlib.sha256(b"another list").hexdigest()
    check(compare(other) == "与你输入的根值不同：这份证明不属于公示的名单",
          "another root is named as different")
    check(compare(root[:5]) == "请至少输入8位", "too few digits are asked for")
    compare(root[:8])
    if SHOTS:
        browser.execute_script("document.getElementById('pv').scrollIntoView(true)")
        browser.save_screenshot(os.path.join(SHOTS, "checkin-phone-proof.png"))

    # The verifier's command, copied from the page and run as it stands.
    command = browser.find_element(By.ID, "pt").get_attribute("value")
    args = shlex.split(command)
    check(args[:2] == ["tombolix-verify", "--proof"] and len(args) == 6,
          f"the page shows the verifier's command: {command[:60]!r}…")
    run = subprocess.run([VERIFY] + args[1:], capture_output=True, text=True)
    check(run.returncode == 0 and run.stdout.startswith("是"),
          f"tombolix-verify takes it: {run.stdout.strip()!r}")
    check(args[5] == root and args[3] == str(number), "with the number and the root")

    # Opened again, the page still shows the proof, checked again.
    browser.get(url)
    check(wait_for(lambda: text("pv") == f"你在名单中（第{number}行）", 5) and text("pr") == root,
          "a reloaded page shows its proof again")
    browser.find_element(By.LINK_TEXT, "不签到，只查自己在不在名单中").click()

    # A guest who does not check in asks the lookup page.
    check(wait_for(lambda: browser.title == "名单查询", 5), "the check-in page links the lookup")
    fill((("id", "13900000009"), ("name", "员工九")))
    check(wait_for(lambda: text("answer") == "不在名单中：名单中没有这个号码", 5) and
          not browser.find_element(By.ID, "proof").is_displayed(), "an id not on the list")
    number2 = leaves.index("13900000002 员工二 技术".encode("gbk")) + 1
    fill((("id", "13900000002"), ("name", "员工二")))
    check(wait_for(lambda: text("pv") == f"你在名单中（第{number2}行）", 5) and
          text("pr") == root, "a guest who does not check in gets the line's proof")
    if SHOTS:
        browser.save_screenshot(os.path.join(SHOTS, "checkin-phone-list.png"))

    # The answer tampered on its way: the page's own check fails and says so.
    def tampered(change):
        browser.get(url + "list")
        browser.execute_script(
            "var parse=JSON.parse;JSON.parse=function(t){var r=parse(t);"
            "if(r&&r.proof){" + change + "}return r;};")
        fill((("id", "13900000002"), ("name", "员工二")))
        wait_for(lambda: text("pv") != "", 5)
        return text("pv"), text("pw")

    flip = "var p=r.proof.proof;r.proof.proof=p.slice(0,-1)+(p.slice(-1)==='0'?'1':'0');"
    for what, change in (("proof", flip),
                         ("root", f"r.proof.root='{other}';"),
                         ("line", "r.proof.hex=r.proof.hex.replace('3032','3033');")):
        verdict, why = tampered(change)
        if SHOTS and what == "root":
            browser.save_screenshot(os.path.join(SHOTS, "checkin-phone-proof-failed.png"))
        check(verdict == "证明核对失败：不能确认你在名单中" and "不同" in why,
              f"a tampered {what} fails the page's check: {verdict!r} {why!r}")
    verdict, why = tampered("r.proof.proof=r.proof.proof+'00';")
    check(verdict == "证明核对失败：不能确认你在名单中" and why.startswith("证明的格式不对"),
          f"a proof with a hash too many is refused: {why!r}")
finally:
    if browser:
        browser.quit()
    fixture.quit()

finish("proof browser test")
