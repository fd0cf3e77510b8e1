#!/usr/bin/python3
"""The host's page in a real browser (Debian's chromium through chromium-driver, headless,
360 px wide) against the real server, remote window and draw screen of host_remote_fixture:

  - host requests in plain forms, with a guessed token or a guessed code, are refused;
  - the QR code of the operator's remote window, read back with zbarimg, carries the key of
    the code the window shows (PBKDF2 worked out here by Python) in the address's fragment,
    and pairs the phone; the page's own HMAC and PBKDF2 give what Python's give;
  - 开始 and 停止 pressed on the phone, signed by the page, start and stop a batch on the
    stage, also after the page is reloaded, and the phone shows the winners the stage revealed;
  - the phone's token in a plain request is refused with the word to scan again;
  - a second phone asking to be host waits for the operator, and is refused;
  - the draw screen closed, the phone is unpaired; the code typed by hand (lower case, with
    dashes) pairs it again.

    host_browser_test.py FIXTURE WORKDIR [SCREENSHOT_DIR]

Exits 77 (skipped) when chromium, chromium-driver, selenium or zbarimg is missing.
"""
import hashlib
import hmac
import json
import os
import sys
import urllib.error
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser_support import (By, Fixture, check, finish, need, phone, qr_text,  # noqa: E402
                             wait_for)

need(zbarimg=True)
FIXTURE, WORK = sys.argv[1], sys.argv[2]
SHOTS = sys.argv[3] if len(sys.argv) > 3 else None
fixture = Fixture([FIXTURE], WORK)
step = fixture.step


def key_of(code):
    """The key of a code as shown ("ABCD EFGH …"): PBKDF2-HMAC-SHA256, 10000 rounds."""
    return hashlib.pbkdf2_hmac("sha256", code.replace(" ", "").encode(), b"tombolix-pair-1",
                               10000).hex()


def signed(key, path, token, n, payload=""):
    """A host request's body signed as the page signs it."""
    sig = hmac.new(bytes.fromhex(key), f"host|POST|{path}|{n}|{payload}".encode(),
                   hashlib.sha256).hexdigest()
    return f"t={token}&n={n}&s={sig}" + (f"&{payload}" if payload else "")


def post(url, body):
    """Status and JSON (or None) of a form POST, 5 s at most."""
    req = urllib.request.Request(url, data=body.encode(), method="POST")
    try:
        with urllib.request.urlopen(req, timeout=5) as r:
            status, text = r.status, r.read().decode()
    except urllib.error.HTTPError as e:
        status, text = e.code, e.read().decode()
    try:
        return status, json.loads(text)
    except ValueError:
        return status, None


def buttons(browser, where="#buttons button"):
    return [b.text for b in browser.find_elements(By.CSS_SELECTOR, where)]


def press(browser, label, where="#buttons button"):
    """Clicks the button once the page offers it (3 s at most)."""
    def click():
        for b in browser.find_elements(By.CSS_SELECTOR, where):
            if b.text == label:
                b.click()
                return True
        return False
    check(wait_for(click, 3), f"the page offers {label}")


browser = None
try:
    first = fixture.line()
    assert first.startswith("url "), first
    url = first[4:]
    # An attendee's phone: plain forms, a guessed token, a guessed code.
    status, _ = post(url + "host/input", "t=&n=1&a=start")
    check(status == 403, f"a host press without a token is refused ({status})")
    guess = "ab" * 32
    status, body = post(url + "host/input", signed(guess, "/host/input", "cd" * 16, 1, "a=start"))
    check(status == 403 and body["kind"] == "unpaired", f"a guessed token is refused ({status})")
    status, body = post(url + "pair", signed(key_of("2345 6789 ABCD EFGH"), "/pair", "", 1))
    check(status == 200 and body["kind"] == "wrong", f"a guessed code pairs nobody ({body})")

    shot = os.path.join(WORK, "remote-window.png")
    assert step(f"winshot {shot}") == f"winshot {shot}"
    code = step("code")[5:]
    check(len(code) == 19 and code.count(" ") == 3, f"the window shows 4 groups of 4 ({code})")
    key = key_of(code)
    decoded = qr_text(shot)
    check(decoded == f"{url}host#k={key}", f"the window's QR code reads {decoded!r}")

    browser = phone(f"{WORK}/chromium")
    browser.get(decoded or f"{url}host#k={key}")
    check(browser.find_element(By.TAG_NAME, "h1").text == "主持人遥控", "the page loads")
    phase = browser.find_element(By.ID, "phase")
    check(wait_for(lambda: phase.text == "等待抽奖画面打开", 5),
          f"the scan paired the phone, no draw screen yet ({phase.text!r})")
    check("#" not in browser.current_url, f"the key left the address ({browser.current_url})")
    check(step("code")[5:] != code, "the code was used once: the window shows a new one")
    # The page's own arithmetic, against Python's.
    mac = browser.execute_script("return Signed.hmacHex(arguments[0],arguments[1]);", key,
                                 "host|POST|/host/input|7|a=start")
    check(mac == hmac.new(bytes.fromhex(key), b"host|POST|/host/input|7|a=start",
                          hashlib.sha256).hexdigest(), f"the page's HMAC-SHA256 ({mac})")
    typed = browser.execute_script("return Signed.keyOf(Signed.codeOf(arguments[0]));",
                                   code.lower().replace(" ", "-"))
    check(typed == key, f"the page's key of the typed code ({typed})")
    stored = json.loads(browser.execute_script("return localStorage.getItem('tombolix-host');"))
    token = stored["token"]

    assert step("draw") == "draw"
    check(wait_for(lambda: buttons(browser) == ["开始", "结束"], 5),
          f"the Ready screen offers 开始 and 结束 ({buttons(browser)})")
    press(browser, "开始")
    check(step("wait rolling") == "phase rolling", "开始 on the phone starts the batch")
    check(wait_for(lambda: buttons(browser) == ["停止"], 3), "the phone offers 停止")
    won = browser.find_element(By.ID, "won")
    check(won.text == "尚未揭晓", f"nothing of the rolling batch on the phone ({won.text!r})")
    # Reloaded, the page goes on from its counter.
    browser.refresh()
    check(wait_for(lambda: buttons(browser) == ["停止"], 5), "reloaded, the page goes on")
    press(browser, "停止")
    check(step("wait revealed") == "phase revealed", "停止 on the phone stops and reveals it")
    ids = step("winners").split()[1:]
    check(len(ids) == 2, f"two winners on the stage: {ids}")
    won = browser.find_element(By.ID, "won")
    check(wait_for(lambda: all(i in won.text for i in ids), 3),
          f"the phone shows the stage's winners {ids}: {won.text!r}")
    check(wait_for(lambda: "继续" in buttons(browser) and "标记缺席" in buttons(browser), 3),
          f"then 继续, 标记缺席, 结束 ({buttons(browser)})")
    # 黑屏 stands apart from the phase's buttons; the stage's answer turns it to 恢复投影.
    press(browser, "黑屏", "#screen button")
    check(wait_for(lambda: buttons(browser, "#screen button") == ["恢复投影"], 3),
          "the stage blanked the projector: the page offers 恢复投影")
    press(browser, "恢复投影", "#screen button")
    check(wait_for(lambda: buttons(browser, "#screen button") == ["黑屏"], 3),
          "the projector is back: the page offers 黑屏")
    if SHOTS:
        browser.save_screenshot(os.path.join(SHOTS, "host-remote-phone.png"))
        assert step(f"winshot {SHOTS}/host-remote-window.png").startswith("winshot")
        assert step(f"drawshot {WORK}/draw-revealed.png").startswith("drawshot")

    # The token alone, as before signing: refused, with the word to scan again.
    status, body = post(url + "host/input", f"t={token}&n=999&a=start")
    check(status == 403 and "重新扫描" in body["text"], f"a plain request is refused ({body})")

    # A second phone with the new code waits for the operator, who refuses it.
    second = key_of(step("code")[5:])
    status, body = post(url + "pair", signed(second, "/pair", "", 1))
    check(status == 200 and body["kind"] == "waiting", f"a second host waits ({body})")
    check(step("waiting") == "waiting 1", "the window asks the operator")
    assert step("refuse") == "refused"
    status, body = post(url + "host/state", signed(second, "/host/state", body["token"], 2))
    check(status == 403 and body["kind"] == "refused", f"the refused phone is told ({body})")
    check(step("waiting") == "waiting 0", "nobody waits any more")
    press(browser, "继续")
    check(step("wait rolling") == "phase rolling", "the first phone still drives the stage")
    press(browser, "停止")
    # The last item's batch: the draw is finished with its reveal.
    answer = step("wait finished")
    check(answer == "phase finished", f"and stops it ({answer})")

    assert step("close") == "closed"
    check(wait_for(lambda: browser.find_element(By.ID, "pair").is_displayed(), 5),
          "the draw screen closed: the phone is unpaired and asks for a code")
    # The code typed by hand, lower case with dashes.
    code = step("code")[5:]
    box = browser.find_element(By.ID, "code")
    box.clear()
    box.send_keys(code.lower().replace(" ", "-"))
    if SHOTS:
        browser.save_screenshot(os.path.join(SHOTS, "host-remote-pair.png"))
    browser.find_element(By.ID, "pgo").click()
    check(wait_for(lambda: browser.find_element(By.ID, "phase").text == "等待抽奖画面打开", 8),
          "the typed code pairs the phone again "
          f"({browser.find_element(By.ID, 'pmsg').text!r})")
    if SHOTS:
        browser.save_screenshot(os.path.join(SHOTS, "host-remote-typed.png"))
finally:
    if browser:
        browser.quit()
    fixture.quit()

finish("browser test")
