#!/usr/bin/python3
"""The web front panel in a real headless browser (Chromium through
chromedriver and Selenium), against the program polling the simulator:
the page loads with the token, the display follows the simulator, a key
clicked on the page reaches it, the page reconnects after the program
restarts, an alert rule that fires shows its banner, a call with a
recording gets a player that loads it, and a wrong token, no token, a
foreign Origin and a traversal path are refused.

usage: remote_panel.py ORVENDAL VKS-SIM    (exit 77: skipped)
"""
import os
import re
import math
import shutil
import socket
import sqlite3
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request
import wave
from datetime import datetime, timedelta, timezone
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

SKIP = 77


def skip(why):
    print("SKIP: " + why)
    sys.exit(SKIP)


try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    skip("python3-selenium is not installed")
CHROMIUM = shutil.which("chromium")
DRIVER = shutil.which("chromedriver")
if not CHROMIUM or not DRIVER:
    skip("chromium and chromium-driver are not installed")

PROGRAM, SIM = sys.argv[1], sys.argv[2]
failures = []


def check(ok, what):
    print(("ok    " if ok else "FAIL  ") + what, flush=True)
    if not ok:
        failures.append(what)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def lines_of(stream, into):
    for line in stream:
        into.append(line.rstrip("\n"))


def wait_for(what, timeout):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if what():
            return True
        time.sleep(0.05)
    return False


tmp = tempfile.mkdtemp(prefix="orvendal-browser-")
pty = os.path.join(tmp, "scanner")
sim = subprocess.Popen([SIM, "--link", pty, "--log"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
sim_log = []
threading.Thread(target=lines_of, args=(sim.stdout, sim_log), daemon=True).start()
if not wait_for(lambda: os.path.exists(pty), 10):
    sim.kill()
    sys.exit("the simulator did not start")
os.makedirs(os.path.join(tmp, "config/OVKS4410"))
with open(os.path.join(tmp, "config/OVKS4410/OVKS4410.conf"), "w") as conf:
    conf.write("[Config]\nCom_Port=1\nCom_Speed=19200\nCom_Device_1=%s\n" % pty)
# A database of the test's own (made by the program on first use), with its
# recordings folder beside it.
database = os.path.join(tmp, "db", "Orvendal.db")
os.makedirs(os.path.dirname(database))
open(database, "w").close()
port = free_port()
env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_CONFIG_HOME=os.path.join(tmp, "config"),
           XDG_DATA_HOME=os.path.join(tmp, "data"))


def start_program():
    program = subprocess.Popen([PROGRAM, "--remote", "127.0.0.1:%d" % port, "--database", database], stdout=subprocess.PIPE, env=env,
                               text=True)
    for line in program.stdout:
        match = re.search(r"Web front panel: (\S+)", line)
        if match:
            threading.Thread(target=lines_of, args=(program.stdout, []), daemon=True).start()
            return program, match.group(1)
    program.kill()
    sys.exit("the program printed no address")


program, url = start_program()
base = "http://127.0.0.1:%d" % port
token = re.search(r"token=([0-9a-f]+)", url).group(1)

options = webdriver.ChromeOptions()
options.binary_location = CHROMIUM
for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
    options.add_argument(arg)
browser = webdriver.Chrome(service=Service(DRIVER), options=options)
foreign = None
try:
    def text(element_id):
        return browser.find_element(By.ID, element_id).text

    def until(what, timeout=15):
        try:
            WebDriverWait(browser, timeout, poll_frequency=0.05).until(lambda _: what())
            return True
        except Exception:
            return False

    browser.get(url)
    check(until(lambda: text("connection") == "Connected"), "the page loads with the token and connects")
    check(until(lambda: text("f-BANK") != "" or text("f-FREQ") != ""), "the display shows the scanner's")

    def click(key):
        browser.find_element(By.CSS_SELECTOR, 'button[data-key="%s"]' % key).click()

    sim_log.clear()
    click("btnMAN")
    check(wait_for(lambda: any("KEY01" in l for l in sim_log), 10), "a key clicked on the page reaches the simulator")
    check(until(lambda: text("f-MANUAL") == "MANUAL"), "the display follows the simulator into manual mode")
    click("btnSCAN")
    check(until(lambda: text("f-MANUAL") == "" and text("f-SCAN") == "SCAN"), "and back into scan mode")

    # A call with a recording (a real short WAV), as the recorder leaves it:
    # the page shows it once the program reads the activity again.
    def tables():
        try:
            with sqlite3.connect(database, timeout=10) as db:
                return {r[0] for r in db.execute("SELECT name FROM sqlite_master WHERE type = 'table'")}
        except sqlite3.Error:
            return set()

    check(wait_for(lambda: "RECORDINGS" in tables(), 30), "the program made its database")
    recording = os.path.join(tmp, "db", "Recordings", "call.wav")
    os.makedirs(os.path.dirname(recording))
    with wave.open(recording, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(8000)
        w.writeframes(b"".join(struct.pack("<h", int(8000 * math.sin(i / 8.0))) for i in range(12000)))
    heard = datetime.now(timezone.utc) - timedelta(seconds=2)
    stamp = lambda t: t.strftime("%Y-%m-%dT%H:%M:%S.") + "%03dZ" % (t.microsecond // 1000)
    with sqlite3.connect(database, timeout=10) as db:
        activity = db.execute("INSERT INTO TALKGROUP_ACTIVITY (ID, BANK, HEARD) VALUES ('7301', 'C', ?)",
                              (stamp(heard),)).lastrowid
        db.execute("INSERT INTO RECORDINGS (FILE, START_UTC, END_UTC, DURATION, TALKGROUP, ACTIVITY, BYTES) "
                   "VALUES (?, ?, ?, 1.5, '7301', ?, ?)", (recording, stamp(heard), stamp(heard + timedelta(seconds=1.5)),
                                                          activity, os.path.getsize(recording)))

    # The program ends and comes back on the same port: the page finds it.
    program.terminate()
    program.wait(30)
    check(until(lambda: text("connection").startswith("Not connected"), 10), "the page sees the program go")
    # It comes back with an alert rule for every channel.
    with sqlite3.connect(database) as db:
        db.execute("INSERT INTO ALERT_RULES (NAME, MATCH_KIND, MATCH_TEXT, NOTIFY, COOLDOWN_SECS) "
                   "VALUES ('Any channel', 'channels', '1-1000', 1, 0)")
    program, url = start_program()
    check(until(lambda: text("connection") == "Connected", 40), "the page reconnects after the program restarts")
    sim_log.clear()
    click("btnHOLD")
    check(wait_for(lambda: any("KEY07" in l for l in sim_log), 10), "keys work again after the reconnection")
    click("btnSCAN")
    check(until(lambda: text("alert").startswith("Any channel: Channel "), 30), "an alert that fires shows its banner")

    play = None
    if until(lambda: browser.find_elements(By.CSS_SELECTOR, "#rows button[data-recording]")):
        play = browser.find_element(By.CSS_SELECTOR, "#rows button[data-recording]")
    check(play is not None and play.find_element(By.XPATH, "../..").text.find("7301") >= 0,
          "the call with a recording has a play button")
    if play is not None:
        play.click()
        check(until(lambda: browser.find_element(By.ID, "player").is_displayed()), "the player shows")
        loaded = until(lambda: browser.execute_script(
            "const a = document.getElementById('audio'); return a.readyState >= 1 && a.duration > 0;"))
        state = browser.execute_script(
            "const a = document.getElementById('audio'); return [a.readyState, a.duration, a.error && a.error.code];")
        check(loaded and abs(state[1] - 1.5) < 0.05, "the <audio> element loads the recording (%s)" % state)
        # Seeking in a long recording takes ranges of it.
        part = browser.execute_async_script("""
            const done = arguments[arguments.length - 1];
            fetch(document.getElementById('audio').src, {headers: {Range: 'bytes=44-143'}})
                .then(r => r.arrayBuffer().then(b => done([r.status, b.byteLength])), e => done(String(e)));
        """)
        check(part == [206, 100], "the page gets a range of it (%s)" % part)

    # Refusals: no token, a wrong token, a page of another origin, a traversal.
    browser.get(base + "/")
    check("valid token" in browser.page_source, "no token: refused")
    browser.get(base + "/?token=" + "0" * 32)
    check("valid token" in browser.page_source, "a wrong token: refused")

    class Foreign(BaseHTTPRequestHandler):
        def do_GET(self):
            body = b"<!DOCTYPE html><title>elsewhere</title>"
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass

    foreign = ThreadingHTTPServer(("127.0.0.1", 0), Foreign)
    threading.Thread(target=foreign.serve_forever, daemon=True).start()
    browser.get("http://127.0.0.1:%d/" % foreign.server_address[1])
    outcome = browser.execute_async_script("""
        const done = arguments[arguments.length - 1];
        const ws = new WebSocket(arguments[0]);
        ws.onopen = () => done('open');
        ws.onerror = () => done('refused');
    """, "ws://127.0.0.1:%d/ws?token=%s" % (port, token))
    check(outcome == "refused", "a WebSocket from a page of another origin: refused (%s)" % outcome)

    with socket.create_connection(("127.0.0.1", port)) as s:
        s.sendall(b"GET /%2e%2e/%2e%2e/etc/passwd HTTP/1.1\r\nHost: x\r\nX-Orvendal-Token: " + token.encode()
                  + b"\r\nConnection: close\r\n\r\n")
        answer = s.recv(4096)
    check(answer.startswith(b"HTTP/1.1 404") and b"root:" not in answer, "a traversal path: refused")
finally:
    browser.quit()
    if foreign:
        foreign.shutdown()
    program.terminate()
    try:
        program.wait(30)
    except subprocess.TimeoutExpired:
        program.kill()
    sim.terminate()
    sim.wait(10)
    shutil.rmtree(tmp, ignore_errors=True)

print("%d failed" % len(failures) if failures else "all passed")
sys.exit(1 if failures else 0)
