#!/usr/bin/python3
# The real program's window under its own X server: names typed with X input
# are stored absolute and in order when the window manager closes the window
# (WM_DELETE_WINDOW), and the program ends with 0.
#
# Usage: listcommands_e2e.py <path of ZVistaro02>, with XDG_CONFIG_HOME set to
# a folder of its own (run-isolated.sh does that).

import os
import re
import subprocess
import sys
import tempfile

from Xlib import X, display, protocol


# Types a relative name and a relative pattern, each added with Enter, then
# closes the window; returns the exit status.
def run(program, pictures, env):
    viewer = subprocess.Popen([program], env=env, cwd=pictures)
    try:
        wid = subprocess.run(
            ["xdotool", "search", "--sync", "--onlyvisible", "--name", "^Zorvane Vistaro"],
            env=env, check=True, timeout=30, capture_output=True, text=True).stdout.split()[0]
        # A click into the text box, its centre at the design size and 96 dots an inch.
        for command in (["windowfocus", "--sync", wid, "mousemove", "--window", wid, "347", "199",
                         "click", "1"], ["type", "--delay", "20", "with blank.png"],
                        ["key", "Return", "ctrl+a"], ["type", "--delay", "20", "*.png"],
                        ["key", "Return"]):
            subprocess.run(["xdotool", *command], env=env, check=True)
        connection = display.Display(env["DISPLAY"])
        window = connection.create_resource_object("window", int(wid))
        close = [connection.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]
        window.send_event(protocol.event.ClientMessage(
            window=window, client_type=connection.intern_atom("WM_PROTOCOLS"), data=(32, close)))
        connection.sync()  # the request has reached the server
        connection.close()
        return viewer.wait(timeout=30)
    finally:
        viewer.kill()


def main():
    ready, told = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(told), "-nolisten", "tcp"],
                              pass_fds=[told], stderr=subprocess.DEVNULL)
    os.close(told)
    env = dict(os.environ, DISPLAY=":" + os.read(ready, 16).decode().strip(),
               QT_QPA_PLATFORM="xcb")
    if env.get("ASAN_OPTIONS"):
        env["ASAN_OPTIONS"] += ":suppressions=" + os.path.join(
            os.path.dirname(os.path.abspath(__file__)), "asan-xcb.supp")
    try:
        with tempfile.TemporaryDirectory() as pictures:
            for name in ["b.png", "a.png", "A.PNG", ".hidden.png", "with blank.png"]:
                open(os.path.join(pictures, name), "w").close()
            status = run(os.path.abspath(sys.argv[1]), pictures, env)
            settings = os.path.join(os.environ["XDG_CONFIG_HOME"], "Zorvane Vistaro 0.2.ini")
            with open(settings, encoding="utf-8") as stored:
                line = re.search(r"^ImageListContent=(.*)$", stored.read(), re.MULTILINE)
            # The stored names, whatever quoting the settings file adds.
            entries = re.findall(r'/[^"\\]+', line.group(1) if line else "")
            expected = [os.path.join(pictures, name)
                        for name in ["with blank.png", "a.png", "b.png", "with blank.png"]]
    finally:
        server.terminate()
        server.wait()
    if status != 0 or entries != expected:
        sys.exit("FAIL: exit status %d, stored %r, expected %r" % (status, entries, expected))
    print("PASS: typed names were stored absolute and in order when the window closed")


main()
