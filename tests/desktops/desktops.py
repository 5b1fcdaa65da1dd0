#!/usr/bin/env python3
"""Runs the built ZVistaro02 /rotate on each real desktop of Debian and checks
what the desktop then shows.

Usage: desktops.py BUILD_BIN_FOLDER [desktop ...]

Each desktop gets a session of its own, run as an unprivileged user (sway
refuses root, and a file of mode 000 must really be unreadable): a private
Xvfb (sway: headless), a private bus from dbus-run-session, its own HOME and
XDG folders. This script runs itself inside that session with --session.
For every name of NAMES it rotates from the previous picture to a picture of
that name in a colour the screen did not show, and checks the screen (or, for
the desktops that need a compositor with OpenGL, the settings); then that an
unreadable and a broken file each end with the error report, and a missing
one is passed over, leaving the desktop as it was.
"""

import ast
import glob
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import urllib.parse
import zlib

USER = 65534
WIDTH, HEIGHT = 640, 480
# Points away from the corner where desktops put their icons and from a panel
# at the bottom, two of them near
# the edges, where a picture fitted inside the screen leaves bars.
POINTS = [(320, 240), (630, 240), (600, 400), (400, 20)]
COLOURS = [(220, 30, 30), (30, 40, 200)]
START_COLOUR = (20, 160, 60)

# Names that quoting, URL encoding, shell expansion or a keyfile could get
# wrong on the way to the desktop.
# "./" marks a name that the list holds relative to the program's folder.
NAMES = [
    "plain.png",
    "./relative name.png",
    "a'$(touch INJECTED)'b.png",
    'say "cheese" `touch INJECTED`.png',
    "back\\slash \\\\ and \\\" end\\.png",
    "two  blanks and\ttab.png",
    "new\nline.png",
    "#1 100% $HOME ~ *?[x] ;&|<>.png",
    "ünïcode € ✓.png",
]

# name: XDG_CURRENT_DESKTOP as the desktop sets it, the programs that draw
# the desktop (started in this order), how to read what it shows (the
# screen, or settings keys: schema, key, "uri" or "path"), and optionally a
# bus name to wait for and variables of the session.
DESKTOPS = {
    "sway": dict(xdg="sway", start=[["sway", "-c", "{work}/sway.config"]], check="screen"),
    "XFCE": dict(xdg="XFCE", start=[["xfwm4", "--compositor=off", "--sm-client-disable"],
                                     ["xfdesktop", "--sm-client-disable"]], check="screen"),
    "MATE": dict(xdg="MATE", start=[["caja", "-n", "--force-desktop"]], check="screen"),
    "LXQt": dict(xdg="LXQt", start=[["pcmanfm-qt", "--desktop"]], check="screen",
                 bus_name="org.pcmanfm.PCManFM"),
    "LXDE": dict(xdg="LXDE", start=[["pcmanfm", "--desktop"]], check="screen"),
    "Plasma": dict(xdg="KDE", start=[["plasmashell", "--no-respawn"]], check="screen",
                   bus_name="org.kde.plasmashell",
                   env={"KDE_SESSION_VERSION": "5", "QT_QUICK_BACKEND": "software"}),
    "GNOME": dict(xdg="ubuntu:GNOME", start=[], check=[
        ("org.gnome.desktop.background", "picture-uri", "uri"),
        ("org.gnome.desktop.background", "picture-uri-dark", "uri")]),
    "Cinnamon": dict(xdg="X-Cinnamon", start=[], check=[
        ("org.cinnamon.desktop.background", "picture-uri", "uri")]),
}

SWAY_ENV = {"WLR_BACKENDS": "headless", "WLR_RENDERER": "pixman",
            "WLR_LIBINPUT_NO_DEVICES": "1", "WLR_HEADLESS_OUTPUTS": "1"}


def png(path, colour):
    """Writes a 32 x 32 picture of one colour."""
    row = b"\0" + bytes(colour) * 32
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data +
                                struct.pack(">I", zlib.crc32(kind + data)))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 32, 32, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(row * 32)) + chunk(b"IEND", b""))


def ini_text(text):
    """A value in Qt's INI syntax: in quotes, with its escapes."""
    escaped = "".join({"\\": "\\\\", '"': '\\"', "\n": "\\n", "\t": "\\t"}.get(c, c) for c in text)
    return '"' + escaped + '"'


def write_settings(env, entries, last):
    listed = "; ".join('"' + e.replace('"', '""') + '"' for e in entries)
    path = os.path.join(env["XDG_CONFIG_HOME"], "Zorvane Vistaro 0.2.ini")
    with open(path, "w", encoding="utf-8") as f:
        f.write("[Main]\nImageListContent=" + ini_text(listed) + "\nImageListLastSelected=" +
                ini_text(last) + "\n")


def screen_pixels(env):
    """The colours at POINTS on the screen now."""
    if "SWAYSOCK" in env:
        shot = subprocess.run(["grim", "-t", "ppm", "-"], env=env, capture_output=True,
                              timeout=20).stdout.split(b"\n", 3)
        width = int(shot[1].split()[0])
        return [tuple(shot[3][(y * width + x) * 3:][:3]) for x, y in POINTS]
    from Xlib import X, display
    screen = display.Display(env["DISPLAY"])
    raw = [screen.screen().root.get_image(x, y, 1, 1, X.ZPixmap, 0xFFFFFFFF).data
           for x, y in POINTS]
    screen.close()
    return [(p[2], p[1], p[0]) for p in raw]


def stored_as(value, path, form):
    """Whether a settings value names the path: as it is, or as a file URI
    that needs no further encoding."""
    if form == "path" or value is None:
        return value == path
    return (value.startswith("file://") and urllib.parse.unquote(value[7:]) == path and
            all(c.isascii() and c.isprintable() and c not in ' "#<>\\^`{|}' for c in value))


def shows(env, desktop, path, colour, wait):
    """Whether the desktop shows the picture, and what it shows; polls for up
    to wait seconds."""
    deadline = time.monotonic() + wait
    while True:
        if desktop["check"] == "screen":
            seen = screen_pixels(env)
            ok = all(abs(a - b) <= 24 for pixel in seen for a, b in zip(pixel, colour))
        else:
            seen = [subprocess.run(["gsettings", "get", schema, key], env=env, text=True,
                                   capture_output=True, timeout=20).stdout.strip()
                    for schema, key, _ in desktop["check"]]
            ok = all(v and stored_as(ast.literal_eval(v), path, form)
                     for v, (_, _, form) in zip(seen, desktop["check"]))
        if ok or time.monotonic() > deadline:
            return ok, seen
        time.sleep(0.2)


def desktop_window_shown(env):
    """Whether a window of the desktop type is on the screen."""
    from Xlib import X, display, error
    screen = display.Display(env["DISPLAY"])
    kind = screen.intern_atom("_NET_WM_WINDOW_TYPE")
    desktop = screen.intern_atom("_NET_WM_WINDOW_TYPE_DESKTOP")
    shown = False
    # A window manager may have put the desktop window into a frame.
    top = screen.screen().root.query_tree().children
    try:
        for window in top + [child for w in top for child in w.query_tree().children]:
            types = window.get_full_property(kind, X.AnyPropertyType)
            if types and desktop in types.value and \
                    window.get_attributes().map_state == X.IsViewable:
                shown = True
    except error.BadWindow:
        pass  # a window that went while being looked at: ask again
    screen.close()
    return shown


def bus_name_owned(env, name):
    return "true" in subprocess.run(
        ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
         "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:" + name],
        env=env, capture_output=True, text=True, timeout=20).stdout


def wait_until(condition, seconds=30):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.2)
    return True


def rotate(program, env, entries, last):
    """Runs /rotate in the pictures' folder, from last to the entry after it."""
    write_settings(env, entries, last)
    # The error report goes to standard error only, not into a message box.
    return subprocess.run([program, "/rotate"], env=dict(env, QT_QPA_PLATFORM="offscreen"),
                          cwd=os.path.dirname(entries[0]), capture_output=True, text=True, errors="replace",
                          timeout=60)


def run_session(name, program, work):
    """Inside the desktop's session: starts it, rotates, checks."""
    desktop = DESKTOPS[name]
    env = dict(os.environ, XDG_CURRENT_DESKTOP=desktop["xdg"], ZVISTARO_TRACE="-",
               **desktop.get("env", {}))
    started = []
    for argv in desktop["start"]:
        log = open(os.path.join(work, os.path.basename(argv[0]) + ".log"), "w")
        started.append(subprocess.Popen([a.format(work=work) for a in argv], env=env,
                                        cwd=work, stdout=log, stderr=subprocess.STDOUT))
    failures = []
    try:
        sockets = env["XDG_RUNTIME_DIR"] + "/sway-ipc.*.sock"
        if name == "sway":
            if not wait_until(lambda: glob.glob(sockets)):
                return ["sway did not start"]
            env["SWAYSOCK"] = glob.glob(sockets)[0]
            env["WAYLAND_DISPLAY"] = "wayland-1"
        elif desktop["start"] and not wait_until(lambda: desktop_window_shown(env)):
            return ["no desktop window appeared"]
        bus_name = desktop.get("bus_name")
        if bus_name and not wait_until(lambda: bus_name_owned(env, bus_name)):
            return [bus_name + " did not appear on the bus"]
        pictures = os.path.join(work, "pictures")
        previous = os.path.join(pictures, "start.png")
        png(previous, START_COLOUR)
        colour = START_COLOUR
        for i, picture in enumerate(NAMES):
            path = os.path.normpath(os.path.join(pictures, picture))
            colour = COLOURS[i % 2]
            png(path, colour)
            listed = picture[2:] if picture.startswith("./") else path
            done = rotate(program, env, [previous, listed], previous)
            ok, seen = shows(env, desktop, path, colour, 20)
            if done.returncode != 0 or not ok:
                failures.append(f"{picture!r}: exit {done.returncode}, shows {seen} "
                                f"instead of {colour}\n{done.stderr}")
            previous = path
        with open(os.path.join(pictures, "broken.png"), "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\nnot a picture")
        png(os.path.join(pictures, "unreadable.png"), START_COLOUR)
        os.chmod(os.path.join(pictures, "unreadable.png"), 0)
        # A missing name never enters the list (the next existing one is set:
        # the same picture again); the others are refused with the report.
        for bad, status in [("missing.png", 0), ("unreadable.png", 1), ("broken.png", 1)]:
            done = rotate(program, env, [previous, os.path.join(pictures, bad)], previous)
            time.sleep(1)  # time for a desktop that wrongly took the file to show it
            ok, seen = shows(env, desktop, previous, colour, 0)
            reported = "ZVistaro02: Error" in done.stderr
            if done.returncode != status or reported != bool(status) or not ok:
                failures.append(f"{bad}: exit {done.returncode}, shows {seen}"
                                f"\n{done.stderr}")
    finally:
        for process in reversed(started):
            process.terminate()
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
    injected = [os.path.join(d, f) for d, _, files in os.walk(work) for f in files
                if f == "INJECTED"]
    if injected:
        failures.append("a name ran as a command: " + ", ".join(injected))
    return failures


def free_display():
    return next(n for n in range(70, 100) if not os.path.exists(f"/tmp/.X11-unix/X{n}")
                and not os.path.exists(f"/tmp/.X{n}-lock"))


def run_desktop(name, program):
    """Prepares the folders and the X server, then runs the session as USER."""
    work = tempfile.mkdtemp(prefix=f"zv-desktop-{name}-")
    env = {"PATH": "/usr/local/bin:/usr/bin:/bin", "HOME": work + "/home",
           "XDG_CONFIG_HOME": work + "/config", "XDG_DATA_HOME": work + "/data",
           "XDG_CACHE_HOME": work + "/cache", "XDG_RUNTIME_DIR": work + "/runtime",
           "LANG": "C.UTF-8", "NO_AT_BRIDGE": "1"}
    for folder in ["home", "config", "data", "cache", "runtime", "pictures"]:
        os.mkdir(os.path.join(work, folder), 0o700)
    with open(os.path.join(work, "sway.config"), "w") as f:
        f.write("output * bg #000000 solid_color\n")
    for d, folders, files in os.walk(work):
        for entry in [d] + [os.path.join(d, f) for f in files]:
            os.chown(entry, USER, USER)
    xvfb = None
    if name == "sway":
        env.update(SWAY_ENV)
    else:
        number = free_display()
        xvfb = subprocess.Popen(["Xvfb", f":{number}", "-ac", "-nolisten", "tcp", "-noreset",
                                 "-screen", "0", f"{WIDTH}x{HEIGHT}x24"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        env["DISPLAY"] = f":{number}"
        deadline = time.monotonic() + 20
        while not os.path.exists(f"/tmp/.X11-unix/X{number}") and time.monotonic() < deadline:
            time.sleep(0.1)
    # The session's output goes to a file: services the bus started would
    # hold a pipe open. Its own process group ends with it, those services
    # included.
    log_path = os.path.join(work, "session.log")
    try:
        with open(log_path, "w") as log:
            session = subprocess.Popen(
                ["setpriv", f"--reuid={USER}", f"--regid={USER}", "--clear-groups",
                 "dbus-run-session", "--", sys.executable, os.path.abspath(__file__),
                 "--session", name, program, work],
                env=env, stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
            try:
                ok = session.wait(600) == 0
            except subprocess.TimeoutExpired:
                ok = False
        try:
            os.killpg(session.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        with open(log_path, errors="replace") as log:
            report = log.read()
    finally:
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
    if ok:
        shutil.rmtree(work, ignore_errors=True)
    else:
        report += f"(logs kept in {work})\n"
    return ok, report


def main():
    if sys.argv[1] == "--session":
        failures = run_session(sys.argv[2], sys.argv[3], sys.argv[4])
        print("\n".join(failures))
        sys.exit(1 if failures else 0)
    # A copy the unprivileged user can reach wherever the build is.
    copy = tempfile.mkdtemp(prefix="zv-desktop-bin-")
    os.chmod(copy, 0o755)
    for entry in glob.glob(os.path.join(sys.argv[1], "ZVistaro02")) + \
            glob.glob(os.path.join(sys.argv[1], "lib*.so*")):
        shutil.copy(entry, copy)
    program = os.path.join(copy, "ZVistaro02")
    names = sys.argv[2:] or list(DESKTOPS)
    failed = []
    for name in names:
        started = time.monotonic()
        ok, report = run_desktop(name, program)
        print(f"{name}: {'passed' if ok else 'FAILED'} in {time.monotonic() - started:.1f} s")
        if not ok:
            print(report)
            failed.append(name)
    shutil.rmtree(copy)
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
