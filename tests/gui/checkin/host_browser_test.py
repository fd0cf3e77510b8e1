#!/usr/bin/python3
"""The host's page in a real browser (Debian's chromium through chromium-driver, headless,
360 px wide) against the real server, remote window and draw screen of host_remote_fixture:

  - host requests without a token, or with a guessed one, are refused (403);
  - the QR code of the operator's remote window, read back with zbarimg, pairs the phone;
  - 开始 and 停止 pressed on the phone start and stop a batch on the stage, and the phone
    shows the winners the stage revealed;
  - a second phone asking to be host waits for the operator, and is refused;
  - the draw screen closed, the phone is unpaired.

    host_browser_test.py FIXTURE WORKDIR [SCREENSHOT_DIR]

Exits 77 (skipped) when chromium, chromium-driver, selenium or zbarimg is missing.
"""
import json
import os
import shutil
import subprocess
import sys
import time
import urllib.error
import urllib.request

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
except ImportError:
    print("selenium missing: skipped")
    sys.exit(77)

FIXTURE, WORK = sys.argv[1], sys.argv[2]
SHOTS = sys.argv[3] if len(sys.argv) > 3 else None
CHROMIUM = shutil.which("chromium")
DRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"
if not CHROMIUM or not os.path.exists(DRIVER) or not shutil.which("zbarimg"):
    print("chromium, chromedriver or zbarimg missing: skipped")
    sys.exit(77)

shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(WORK)
env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
fixture = subprocess.Popen([FIXTURE, WORK], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                           env=env, text=True)
failures = []


def check(cond, what):
    print(("ok   " if cond else "FAIL ") + what)
    if not cond:
        failures.append(what)


def step(command):
    fixture.stdin.write(command + "\n")
    fixture.stdin.flush()
    return fixture.stdout.readline().strip()


def wait_for(cond, seconds):
    end = time.time() + seconds
    while time.time() < end:
        try:
            if cond():
                return True
        except Exception:
            pass
        time.sleep(0.1)
    return cond()


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
    found = wait_for(click, 3)
    check(found, f"the page offers {label}")


browser = None
try:
    first = fixture.stdout.readline().strip()
    assert first.startswith("url "), first
    url = first[4:]
    # An attendee's phone: no token, a guessed token, a wrong code.
    status, _ = post(url + "host/input", "t=&n=1&a=start")
    check(status == 403, f"a host press without a token is refused ({status})")
    status, body = post(url + "host/input", "t=" + "ab" * 16 + "&n=1&a=start")
    check(status == 403 and body["kind"] == "unpaired", f"a guessed token is refused ({status})")
    status, body = post(url + "host/state", "t=" + "cd" * 16)
    check(status == 403, f"the state is not told to a guessed token ({status})")

    shot = os.path.join(WORK, "remote-window.png")
    assert step(f"winshot {shot}") == f"winshot {shot}"
    code = step("code")[5:]
    decoded = subprocess.run(["zbarimg", "--raw", "-q", shot], capture_output=True,
                             text=True).stdout.strip()
    check(decoded == f"{url}host#c={code}", f"the window's QR code reads {decoded!r}")

    options = webdriver.ChromeOptions()
    for a in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
              "--window-size=360,740", f"--user-data-dir={WORK}/chromium"):
        options.add_argument(a)
    options.binary_location = CHROMIUM
    browser = webdriver.Chrome(service=Service(DRIVER), options=options)
    browser.set_window_size(360, 740)
    browser.get(decoded or f"{url}host#c={code}")
    check(browser.find_element(By.TAG_NAME, "h1").text == "主持人遥控", "the page loads")
    phase = browser.find_element(By.ID, "phase")
    check(wait_for(lambda: phase.text == "等待抽奖画面打开", 5),
          f"the scan paired the phone, no draw screen yet ({phase.text!r})")
    check(step("code")[5:] != code, "the code was used once: the window shows a new one")

    assert step("draw") == "draw"
    check(wait_for(lambda: buttons(browser) == ["开始", "结束"], 5),
          f"the Ready screen offers 开始 and 结束 ({buttons(browser)})")
    pressed = time.time()
    press(browser, "开始")
    check(step("wait rolling") == "phase rolling", "开始 on the phone starts the batch")
    check(wait_for(lambda: buttons(browser) == ["停止"], 3), "the phone offers 停止")
    won = browser.find_element(By.ID, "won")
    check(won.text == "尚未揭晓", f"nothing of the rolling batch on the phone ({won.text!r})")
    press(browser, "停止")
    check(step("wait revealed") == "phase revealed", "停止 on the phone stops and reveals it")
    ids = step("winners").split()[1:]
    check(len(ids) == 2, f"two winners on the stage: {ids}")
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

    # A second phone with the new code waits for the operator, who refuses it.
    status, body = post(url + "pair", "c=" + step("code")[5:])
    check(status == 200 and body["kind"] == "waiting", f"a second host waits ({body})")
    check(step("waiting") == "waiting 1", "the window asks the operator")
    assert step("refuse") == "refused"
    status, body = post(url + "host/state", "t=" + body["token"])
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
finally:
    if browser:
        browser.quit()
    try:
        fixture.stdin.write("quit\n")
        fixture.stdin.flush()
        fixture.wait(timeout=20)
    except Exception:
        fixture.kill()

print("browser test: PASS" if not failures else f"browser test: {len(failures)} FAILED")
sys.exit(1 if failures else 0)
