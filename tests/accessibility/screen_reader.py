#!/usr/bin/python3
"""The program as a screen reader meets it, through AT-SPI.

Run inside an X server and a private D-Bus session (the CTest entry uses
xvfb-run and dbus-run-session): starts the accessibility bus, the program
with --demo, then checks that every control of the faceplate and of the
windows it opens has a name, that the display is read as words, and that a
full backup can be done from the keyboard alone.

Usage: screen_reader.py PROGRAM
Exit 77 (skipped) when a part it needs is missing.
"""
import os
import re
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

SKIP = 77


def skip(why):
    print("SKIP:", why)
    sys.exit(SKIP)


try:
    import pyatspi
except ImportError:
    skip("python3-pyatspi is not installed")
for tool in ("xdotool",):
    if not shutil.which(tool):
        skip(tool + " is not installed")
LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
if not os.path.exists(LAUNCHER):
    skip("at-spi2-core is not installed")
if not os.environ.get("DISPLAY") or not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
    skip("needs an X display and a session bus (run under xvfb-run and dbus-run-session)")

CONTROL_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_COMBO_BOX,
    pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_SLIDER, pyatspi.ROLE_TABLE, pyatspi.ROLE_LIST,
    pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_MENU,
    pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE,
}
failures = []


def wait_for(what, predicate, seconds=30.0):
    end = time.time() + seconds
    while time.time() < end:
        try:
            value = predicate()
        except Exception:  # objects come and go while windows open
            value = None
        if value:
            return value
        time.sleep(0.2)
    raise SystemExit("FAIL: timed out waiting for " + what)


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "OVKS4410":
            return app
    return None


def walk(node, depth=0):
    if node is None or depth > 25:
        return
    yield node
    # Cells of a table and entries of a list are its contents, not controls.
    if node.getRole() in (pyatspi.ROLE_TABLE, pyatspi.ROLE_LIST, pyatspi.ROLE_TREE_TABLE):
        return
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)


def window(app, title):
    for i in range(app.childCount):
        w = app.getChildAtIndex(i)
        if w is not None and title.lower() in (w.name or "").lower() and w.getState().contains(pyatspi.STATE_SHOWING):
            return w
    return None


def check_names(app, where):
    unnamed = []
    for node in walk(app):
        states = node.getState()
        if not states.contains(pyatspi.STATE_SHOWING):
            continue
        if node.getRole() in CONTROL_ROLES and not (node.name or "").strip():
            unnamed.append("%s in %s" % (node.getRoleName(), where))
    if unnamed:
        failures.append("controls without a name: " + ", ".join(unnamed[:20]))
    print("names checked:", where)


def key(*keys):
    subprocess.run(["xdotool", "key", "--delay", "60"] + list(keys), check=True)


def focus_faceplate():
    # No window manager here gives the faceplate the focus back; this does.
    subprocess.run(["xdotool", "search", "--name", "VKS-4410 Valkes", "windowfocus", "--sync"], check=False)


def choose(app, menu_key, item):
    """Opens a menu with its Alt key and moves down to the item, as a
    keyboard user does; True once it is chosen."""
    focus_faceplate()
    key(menu_key)
    for _ in range(15):
        if any(n.getRole() == pyatspi.ROLE_MENU_ITEM and n.name == item and
               (n.getState().contains(pyatspi.STATE_SELECTED) or n.getState().contains(pyatspi.STATE_FOCUSED))
               for n in walk(app)):
            key("Return")
            return True
        key("Down")
    key("Escape")
    failures.append("%s cannot be reached from the keyboard" % item)
    return False


def main():
    program = sys.argv[1]
    home = tempfile.mkdtemp(prefix="orvendal-a11y-")
    env = dict(os.environ, HOME=home, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
               XDG_DATA_HOME=os.path.join(home, "data"), XDG_CONFIG_HOME=os.path.join(home, "config"))
    env.pop("QT_LOGGING_RULES", None)
    bus = subprocess.Popen([LAUNCHER, "--launch-immediately"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(0.5)
    prog = subprocess.Popen([program, "--demo"], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    try:
        app = wait_for("the program on the accessibility bus", application, 40)
        face = wait_for("the faceplate", lambda: window(app, "VKS-4410"), 30)

        # The display in words, as the demo's scanner runs.
        display = wait_for("the display", lambda: next(n for n in walk(face) if n.name == "Display"))
        words = wait_for("the display read as words",
                         lambda: re.search(r"(Channel \d+, [\d.]+ megahertz|Talkgroup \d+)", display.description or "")
                         and display.description, 60)
        print("display reads:", words)
        if re.search(r"[\u2013_]{3,}", words):
            failures.append("the display is read as segments: " + words)
        check_names(app, "faceplate")

        # A full backup from the keyboard: Ctrl+B, Tab to CHECK ALL, Space,
        # Tab on to BACKUP NOW, Space; the report is closed with Return.
        key("ctrl+b")
        dialog = wait_for("the backup window", lambda: window(app, "Back Up Scanner Memory"))
        check_names(app, "backup window")
        key(*(["Tab"] * 20), "space")
        wait_for("every bank ticked", lambda: len([n for n in walk(dialog) if n.getRole() == pyatspi.ROLE_CHECK_BOX
                                                  and n.getState().contains(pyatspi.STATE_CHECKED)]) == 20, 10)
        key("Tab", "Tab", "Tab", "space")
        started = time.time()

        def report():
            for n in walk(app):
                if n.getRole() == pyatspi.ROLE_LABEL and "Scanner memory backup" in (n.name or ""):
                    return n.name
            return None
        text = wait_for("the backup's report", report, 600)
        print("backup report after %.0f s: %s" % (time.time() - started, text))
        if "SUCCESSFUL" not in text:
            failures.append("the backup did not succeed: " + text)
        key("Return")
        wait_for("the report closed", lambda: not report(), 10)
        db = None
        for root, _, files in os.walk(home):
            if "Orvendal.db" in files:
                db = os.path.join(root, "Orvendal.db")
        if not db:
            failures.append("no database after the backup")
        else:
            con = sqlite3.connect(db)
            tables = [t for (t,) in con.execute("SELECT name FROM sqlite_master WHERE type='table' AND name LIKE 'BANK%'")]
            rows = sum(con.execute('SELECT count(*) FROM "%s"' % t).fetchone()[0] for t in tables)
            print("channels in the database: %d in %d bank tables" % (rows, len(tables)))
            if len(tables) != 20 or rows == 0:
                failures.append("the backup stored %d channels in %d tables" % (rows, len(tables)))

        # The editors, opened from the keyboard too, once the backup window
        # is put away with Escape.
        key("Escape")
        wait_for("the backup window closed", lambda: not window(app, "Back Up Scanner Memory"), 10)
        focus_faceplate()
        key("ctrl+c")
        wait_for("the bank editor", lambda: window(app, "BANK01") and window(app, "BANK01").childCount)
        focus_faceplate()
        key("ctrl+t")
        wait_for("the talkgroup editor", lambda: window(app, "TalkGroups") and window(app, "TalkGroups").childCount)
        check_names(app, "editors")

        # Every window of the View menu, and every dialog of the Options menu
        # (closed again with Escape), reached from the keyboard.
        for item in ("Talkgroup Activity", "Activity Statistics", "Serial Monitor"):
            if choose(app, "alt+v", item):
                time.sleep(1.5)
                check_names(app, item)
        for item in ("Remote Access...", "Alerts...", "Recording...", "MQTT..."):
            if choose(app, "alt+o", item):
                time.sleep(1.5)
                check_names(app, item)
                key("Escape")
                time.sleep(0.5)
    finally:
        prog.send_signal(signal.SIGTERM)
        try:
            out, _ = prog.communicate(timeout=20)
        except subprocess.TimeoutExpired:
            prog.kill()
            out, _ = prog.communicate()
        bus.terminate()
        shutil.rmtree(home, ignore_errors=True)
    if failures:
        print("program output:\n" + out.decode(errors="replace")[-3000:])
        for f in failures:
            print("FAIL:", f)
        return 1
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
