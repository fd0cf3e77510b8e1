"""What the browser tests of the phones' pages share: finding chromium, chromium-driver,
selenium (and zbarimg), the fixture program stepped by lines, the checks, and a headless
phone-sized browser. A missing program makes the test exit 77 (skipped)."""
import os
import shutil
import subprocess
import sys
import time

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By  # noqa: F401 (for the tests)
except ImportError:
    print("selenium missing: skipped")
    sys.exit(77)

CHROMIUM = shutil.which("chromium")
DRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"


def need(zbarimg=False):
    """Exits 77 when chromium, chromium-driver (or zbarimg, when asked) is missing."""
    if not CHROMIUM or not os.path.exists(DRIVER) or (zbarimg and not shutil.which("zbarimg")):
        print("chromium, chromedriver or zbarimg missing: skipped")
        sys.exit(77)


class Fixture:
    """The fixture program in WORK (emptied first), under the offscreen platform, answering
    one line per command."""

    def __init__(self, args, work):
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        self.process = subprocess.Popen(args + [work], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, env=env, text=True)

    def line(self):
        return self.process.stdout.readline().strip()

    def step(self, command):
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()
        return self.line()

    def quit(self):
        try:
            self.process.stdin.write("quit\n")
            self.process.stdin.flush()
            self.process.wait(timeout=20)
        except Exception:
            self.process.kill()


failures = []


def check(cond, what):
    print(("ok   " if cond else "FAIL ") + what)
    if not cond:
        failures.append(what)


def wait_for(cond, seconds):
    """Whether cond() holds within `seconds`, asked every 0.1 s; an exception is a no."""
    end = time.time() + seconds
    while time.time() < end:
        try:
            if cond():
                return True
        except Exception:
            pass
        time.sleep(0.1)
    try:
        return cond()
    except Exception:
        return False


def phone(profile):
    """A headless chromium 360 × 740, with its own profile directory."""
    options = webdriver.ChromeOptions()
    for a in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
              "--window-size=360,740", f"--user-data-dir={profile}"):
        options.add_argument(a)
    options.binary_location = CHROMIUM
    browser = webdriver.Chrome(service=Service(DRIVER), options=options)
    browser.set_window_size(360, 740)
    return browser


def qr_text(png):
    """The text of the QR code in the picture, read by zbarimg."""
    return subprocess.run(["zbarimg", "--raw", "-q", png], capture_output=True,
                          text=True).stdout.strip()


def finish(name):
    print(f"{name}: PASS" if not failures else f"{name}: {len(failures)} FAILED")
    sys.exit(1 if failures else 0)
