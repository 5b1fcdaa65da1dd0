#!/usr/bin/python3
"""Drives the real program in window mode under its own X server.

Types a file name and then a pattern into the window with synthetic X input,
closes the window the way a window manager does (WM_DELETE_WINDOW), and checks
that the settings file holds the added files in order.

Usage: listcommands_e2e.py <path of ZVistaro02>
Needs XDG_CONFIG_HOME set to a folder of its own (run-isolated.sh does that).
"""

import os
import re
import subprocess
import sys
import tempfile
import time

from Xlib import X, display, error, protocol

DISPLAYS = range(80, 90)
TITLE_PREFIX = "Zorvane Vistaro"
SETTINGS_NAME = "Zorvane Vistaro 0.2.ini"
# The text box's centre in window coordinates at 96 dots per inch: the list
# frame's left (4369 twips) plus the box's left (64) and half its width
# (1550), and its top (2846) plus half its height (285), at 15 twips a pixel.
TEXT_BOX = ((4369 + 64 + 1550 // 2) // 15, (2846 + 285 // 2) // 15)


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def wait_for(what, condition, timeout=20.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        result = condition()
        if result:
            return result
        time.sleep(0.05)
    fail("timed out waiting for " + what)


def display_in_use(number):
    """Whether a live X server holds the display's lock file."""
    try:
        with open("/tmp/.X%d-lock" % number) as lock:
            os.kill(int(lock.read().strip()), 0)
        return True
    except FileNotFoundError:
        return False
    except (ValueError, ProcessLookupError):
        return False
    except PermissionError:
        return True


def stop(process):
    """Ends a process we started; SIGTERM first, so that Xvfb removes its lock."""
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def start_xvfb():
    """Starts Xvfb on the first free display of our range; returns (process, connection, name)."""
    for number in DISPLAYS:
        if display_in_use(number):
            continue
        name = ":%d" % number
        server = subprocess.Popen(
            ["Xvfb", name, "-noreset", "-nolisten", "tcp", "-screen", "0", "1024x768x24"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and server.poll() is None:
            try:
                return server, display.Display(name), name
            except (error.DisplayError, error.ConnectionClosedError):
                time.sleep(0.05)
        stop(server)
    fail("no free X display in %d-%d" % (DISPLAYS[0], DISPLAYS[-1]))


def program_window(connection):
    """The program's top-level window once it is mapped, else None."""
    for window in connection.screen().root.query_tree().children:
        try:
            name = window.get_wm_name() or ""
            if name.startswith(TITLE_PREFIX) and \
                    window.get_attributes().map_state == X.IsViewable:
                return window
        except error.BadWindow:
            continue
    return None


def send_close(connection, window):
    protocols = connection.intern_atom("WM_PROTOCOLS")
    delete = connection.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(
        window=window, client_type=protocols,
        data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    window.send_event(event, event_mask=X.NoEventMask)
    connection.flush()


def stored_list(path):
    """The entries of ImageListContent in the INI file the program wrote."""
    with open(path, encoding="utf-8") as settings:
        text = settings.read()
    match = re.search(r"^ImageListContent=(.*)$", text, re.MULTILINE)
    if not match:
        fail("no ImageListContent in:\n" + text)
    value = match.group(1)
    # QSettings quotes values holding separators and escapes \ and ".
    if value.startswith('"') and value.endswith('"'):
        value = re.sub(r'\\(.)', r'\1', value[1:-1])
    # The list text: every entry in double quotes, doubled inside, "; " between.
    return [entry.replace('""', '"') for entry in re.findall(r'"((?:[^"]|"")*)"', value)]


def drive(program, pictures, connection, name):
    """Starts the program, adds a name and a pattern, closes it; returns its status."""
    env = dict(os.environ, DISPLAY=name, QT_QPA_PLATFORM="xcb")
    if env.get("ASAN_OPTIONS"):
        env["ASAN_OPTIONS"] += ":suppressions=" + os.path.join(
            os.path.dirname(os.path.abspath(__file__)), "asan-xcb.supp")
    viewer = subprocess.Popen([program], env=env, cwd=pictures)
    try:
        def shown():
            if viewer.poll() is not None:
                fail("the program ended with status %d before showing its window"
                     % viewer.returncode)
            return program_window(connection)

        window = wait_for("the window", shown)

        def xdotool(*args):
            subprocess.run(["xdotool", *args], env=env, check=True)

        wid = str(window.id)
        xdotool("windowfocus", "--sync", wid)
        xdotool("mousemove", "--window", wid, str(TEXT_BOX[0]), str(TEXT_BOX[1]), "click", "1")
        xdotool("type", "--delay", "20", pictures + "/c.dib")
        xdotool("key", "Return")
        xdotool("key", "ctrl+a")
        xdotool("type", "--delay", "20", pictures + "/*.bmp")
        xdotool("key", "Return")
        send_close(connection, window)
        return viewer.wait(timeout=30)
    finally:
        stop(viewer)


def make_pictures(folder):
    for name in ["b.bmp", "a.bmp", "A.BMP", "c.dib", ".hidden.bmp", "with blank.bmp", "note"]:
        with open(os.path.join(folder, name), "wb") as picture:
            picture.write(b"BM")
    os.mkdir(os.path.join(folder, "sub.bmp"))


def main():
    program = os.path.abspath(sys.argv[1])
    settings = os.path.join(os.environ["XDG_CONFIG_HOME"], SETTINGS_NAME)
    with tempfile.TemporaryDirectory() as pictures:
        make_pictures(pictures)
        run(program, settings, pictures)


def run(program, settings, pictures):
    server, connection, name = start_xvfb()
    try:
        status = drive(program, pictures, connection, name)
    finally:
        connection.close()
        stop(server)
    if status != 0:
        fail("exit status %d after closing the window" % status)
    expected = [pictures + "/" + entry for entry in ["c.dib", "a.bmp", "b.bmp", "with blank.bmp"]]
    entries = stored_list(settings)
    if entries != expected:
        fail("stored list %r, expected %r" % (entries, expected))
    print("PASS: the window added a typed name and a pattern's files and stored them in order")


if __name__ == "__main__":
    main()
