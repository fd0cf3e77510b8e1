#!/usr/bin/python3
"""The phone's page in a real browser (Debian's chromium through chromium-driver, headless,
a 360 × 740 window) against the real check-in service and draw screen of
checkin_stage_fixture, a task drawn from those checked in only:

  - the QR code of the check-in screen, read back from its picture with zbarimg, is the
    address the browser loads;
  - a check-in, and each refusal: 名单中没有这个号码, 号码与姓名不符, 已经签到过了;
  - once the draw screen opens, check-in is closed (签到已结束);
  - the winner's phone shows nothing while the batch rolls, and the winners (masked as the
    stage masks them, none who did not check in) and "恭喜您获得一等奖" within a second or
    two of the reveal;
  - the winner's phone shows a claim code and its QR; a desk paired by its QR opens the
    address the QR reads, records the claim, and the winner's phone shows 已领取;
  - tombolix-verify passes the draw, naming the check-in list.

    checkin_browser_test.py FIXTURE VERIFY WORKDIR [SCREENSHOT_DIR]

Exits 77 (skipped) when chromium, chromium-driver, selenium or zbarimg is missing.
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser_support import (By, Fixture, check, finish, need, phone, qr_text,  # noqa: E402
                             wait_for)

need(zbarimg=True)
FIXTURE, VERIFY, WORK = sys.argv[1], sys.argv[2], sys.argv[3]
SHOTS = sys.argv[4] if len(sys.argv) > 4 else None
fixture = Fixture([FIXTURE], WORK)
step = fixture.step

browser = None
try:
    first = fixture.line()
    assert first.startswith("url "), first
    url = first[4:]
    shot = os.path.join(WORK, "checkin-screen.png")
    assert step(f"shot 1024 768 {shot}") == f"shot {shot}"
    decoded = qr_text(shot)
    check(decoded == url, f"the QR code on the screen reads {decoded!r}, the address {url!r}")

    browser = phone(f"{WORK}/chromium")
    browser.get(decoded or url)
    check(browser.find_element(By.TAG_NAME, "h1").text == "扫码签到", "the page loads")

    def attempt(number, name):
        box = browser.find_element(By.ID, "answer")
        browser.execute_script("document.getElementById('answer').textContent=''")
        for field, value in (("id", number), ("name", name)):
            e = browser.find_element(By.ID, field)
            e.clear()
            e.send_keys(value)
        browser.find_element(By.ID, "go").click()
        wait_for(lambda: box.text not in ("", "正在签到…"), 5)
        return box.text

    check(attempt("13900000009", "员工一") == "名单中没有这个号码", "an id not on the list")
    check(attempt("13900000001", "员工二") == "号码与姓名不符", "the name of another")
    check(attempt("13900000001", "员工一") == "签到成功，员工一", "a check-in")
    if SHOTS:
        browser.save_screenshot(os.path.join(SHOTS, "checkin-phone.png"))
    check(attempt("13900000001", "员工一") == "已经签到过了", "the same check-in again")
    check(wait_for(lambda: "已签到 1 / 43" in browser.find_element(By.ID, "count").text, 3),
          "the page counts the check-in")
    # Thirty more check in; 员工零 and 员工二 never do.
    assert step("crowd 30") == "crowd"
    if SHOTS:
        # The pictures of docs/: the check-in screen with a crowd on its wall.
        for w, h in ((1920, 1080), (1024, 768)):
            out = os.path.join(SHOTS, f"checkin-screen-{w}.png")
            assert step(f"shot {w} {h} {out}") == f"shot {out}"

    # The draw: nothing on the phones while the batch rolls.
    assert step("draw") == "draw"
    check(attempt("13900000002", "员工二") == "签到已结束", "check-in closed by the draw")
    if SHOTS:
        out = os.path.join(SHOTS, "checkin-draw-ready.png")
        assert step(f"drawshot {out}") == f"drawshot {out}"
    assert step("start") == "rolling"
    time.sleep(2.5)  # the page polls every second: two polls must still show nothing
    lines = browser.find_element(By.ID, "lines").text
    me = browser.find_element(By.ID, "me")
    check(lines == "尚未开奖" and not me.is_displayed(), f"nothing shown while rolling ({lines!r})")
    assert step("reveal") == "revealed"
    revealed_at = time.time()
    check(wait_for(lambda: me.is_displayed() and me.text == "恭喜您获得一等奖", 3),
          "the winner's phone is told its prize")
    took = time.time() - revealed_at
    lines = browser.find_element(By.ID, "lines").text.split("\n")
    check(lines[0] == "一等奖:" and "139XXXX0001 员工一 财务" in lines and len(lines) == 32 and
          "139XXXX0000 员工零 销售" not in lines and "139XXXX0002 员工二 技术" not in lines and
          "13900000001" not in " ".join(lines),
          f"the 31 checked in won, masked as on the stage, {took:.1f} s after the reveal: "
          f"{lines[:4]}…")
    if SHOTS:
        browser.save_screenshot(os.path.join(SHOTS, "checkin-phone-winner.png"))

    # The prize: the winner's phone shows its claim code and QR; a desk phone paired with the
    # desk code opens the QR's address (as its camera app would), sees the winner and records
    # the claim; the winner's phone then says 已领取.
    prize = browser.find_element(By.ID, "prize")
    check(wait_for(lambda: prize.is_displayed() and "请到领奖台出示此码" in prize.text, 6),
          f"the winner's phone shows a claim code ({prize.text!r})")
    code = prize.find_element(By.CLASS_NAME, "code").text.replace(" ", "")
    phone_shot = os.path.join(WORK, "winner-phone.png")
    browser.save_screenshot(phone_shot)
    if SHOTS:
        browser.save_screenshot(os.path.join(SHOTS, "claim-winner-phone.png"))
    claim_url = qr_text(phone_shot)
    check(claim_url == url + "desk?c=" + code,
          f"the phone's claim QR reads {claim_url!r}")
    pair_url = step("deskurl")[8:]
    if SHOTS:
        out = os.path.join(SHOTS, "claim-desk-pairing.png")
        assert step(f"deskshot {out}") == f"deskshot {out}"
    check("#k=" in pair_url and "?" not in pair_url,
          f"the desk's QR carries its key in the fragment only ({pair_url[:len(url) + 8]}…)")
    desk = phone(f"{WORK}/chromium-desk")
    try:
        desk.get(pair_url)
        check(wait_for(lambda: "已配对" in desk.find_element(By.ID, "desk").text, 5),
              "the desk pairs with the key in its QR")
        check("#" not in desk.current_url, f"and the key leaves the address ({desk.current_url})")
        desk.get(claim_url or url + "desk?c=" + code)
        check(wait_for(lambda: "员工一" in desk.find_element(By.ID, "list").text, 5),
              "the desk sees the winner of the code")
        card = desk.find_element(By.ID, "list").text
        check("一等奖" in card and "未领取" in card, f"with the prize, not yet claimed ({card!r})")
        desk.find_element(By.CLASS_NAME, "claim").click()
        check(wait_for(lambda: desk.find_element(By.ID, "msg").text == "领取成功", 5),
              "确认领取 records the claim")
        if SHOTS:
            desk.save_screenshot(os.path.join(SHOTS, "claim-desk-phone.png"))
        desk.get(claim_url or url + "desk?c=" + code)
        check(wait_for(lambda: "已于" in desk.find_element(By.ID, "list").text, 5),
              "the same code again: 已于 HH:MM 领取")
    finally:
        desk.quit()
    check(wait_for(lambda: "已领取" in prize.text, 6), "the winner's phone then says 已领取")
    if SHOTS:
        browser.save_screenshot(os.path.join(SHOTS, "claim-winner-phone-claimed.png"))

    verify = subprocess.run([VERIFY, os.path.join(WORK, "root"), "1001"], capture_output=True,
                            text=True)
    check(verify.returncode == 0 and "仅抽取已签到人员" in verify.stdout and
          "31人, 与指纹一致, 均在签到记录文件中" in verify.stdout,
          f"tombolix-verify passes the draw and its check-in list: {verify.stdout.strip()!r}")
finally:
    if browser:
        browser.quit()
    fixture.quit()

finish("browser test")
