#!/usr/bin/python3
"""Runs the cross-built Windows program under Wine, black-box.

  wine_e2e.py program BIN_DIR SCREENSHOT   the commands, the window, the dialog
  wine_e2e.py installer INSTALLER_EXE      install, /rotate, uninstall

Needs WINEPREFIX (a prefix of the test's own), WINEPATH naming the folders of
the Qt and runtime DLLs for "program", and DISPLAY (xvfb-run). Message boxes
are read through Qt's Ctrl+C (it copies a box's title and text) and closed
with Enter; what the program stored is read with Wine's reg tool.
"""

import os
import re
import struct
import subprocess
import sys
import time

from Xlib import X, display, error, protocol

TITLE = "Zorvane Vistaro 0.2"
SETTINGS_KEY = r"HKCU\Software\Zorvane Vistaro 0.2\Main"
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
RUN_VALUE = "Zorvane Vistaro 0.2 Wallpaper Rotation"
PICTURES = r"C:\zv-pictures"
# Solid pictures, so that the screenshot shows which one is displayed.
COLOURS = {"a.bmp": (220, 30, 30), "b.bmp": (30, 30, 220), "c.bmp": (30, 200, 30),
           "Łódź 日本 Ω.bmp": (200, 200, 30)}
WIDE = "Łódź 日本 Ω.bmp"
MORE = ["d.bmp", "e.bmp"]
# The text box's centre in window coordinates at 96 dots per inch (the list
# frame's left and top plus the box's, in twips, at 15 twips a pixel).
TEXT_BOX = ((4369 + 64 + 1550 // 2) // 15, (2846 + 285 // 2) // 15)

connection = display.Display()
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL: " + message, file=sys.stderr)
    return condition


def wait_for(what, condition, timeout=60.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        result = condition()
        if result:
            return result
        time.sleep(0.1)
    raise TimeoutError("timed out waiting for " + what)


def unix_path(windows_path):
    return os.path.join(os.environ["WINEPREFIX"], "drive_c",
                        *windows_path[3:].split("\\"))


def write_bmp(path, colour, width=64, height=48):
    row = bytes(colour[::-1]) * width + b"\0" * ((4 - width * 3 % 4) % 4)
    pixels = row * height
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info + pixels)


def reg(*args):
    return subprocess.run(["wine", "reg", *args], capture_output=True, text=True,
                          errors="replace")


def reg_value(key, name):
    """(type, data) of a registry value, or None."""
    result = reg("query", key, "/v", name)
    for line in result.stdout.replace("\r", "").splitlines():
        parts = line.strip().split("    ")
        if len(parts) >= 2 and parts[0] == name:
            return parts[1], parts[2] if len(parts) > 2 else ""
    return None


def set_setting(name, data):
    reg("add", SETTINGS_KEY, "/v", name, "/t", "REG_SZ", "/d", data, "/f")


def list_text(names):
    return "; ".join('"%s"' % name for name in names)


def visible_windows(name=None):
    found = []
    for window in connection.screen().root.query_tree().children:
        try:
            if window.get_attributes().map_state != X.IsViewable:
                continue
            title = window.get_wm_name() or ""
            if name is None or title == name:
                found.append(window)
        except error.BadWindow:
            continue
    return found


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True)


def clipboard_text():
    """The CLIPBOARD selection as text (Wine hands Windows' clipboard to X)."""
    requestor = connection.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
    target = connection.intern_atom("ZV_CLIPBOARD")
    requestor.convert_selection(connection.intern_atom("CLIPBOARD"),
                                connection.intern_atom("UTF8_STRING"), target, X.CurrentTime)
    connection.flush()
    deadline = time.monotonic() + 10
    text = ""
    while time.monotonic() < deadline:
        if connection.pending_events():
            event = connection.next_event()
            if event.type == X.SelectionNotify:
                value = requestor.get_full_property(target, X.AnyPropertyType)
                text = value.value.decode("utf-8", "replace") if value else ""
                break
        else:
            time.sleep(0.05)
    requestor.destroy()
    return text.replace("\r", "")


def read_and_close_box(window):
    """The box's "title\ntext" as Qt copies it; then Enter closes it."""
    xdotool("windowfocus", "--sync", window.id)
    time.sleep(0.3)
    xdotool("key", "ctrl+c")
    time.sleep(0.5)
    copied = clipboard_text()
    xdotool("key", "Return")
    parts = [part.strip("\n") for part in re.split(r"-{10,}", copied) if part.strip("\n")]
    return "\n".join(parts[:2])


def run_command(args, program):
    """Runs the program with args; returns (status, the texts of the boxes it showed)."""
    process = subprocess.Popen(["wine", program, *args], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    boxes = []
    deadline = time.monotonic() + 90
    while process.poll() is None and time.monotonic() < deadline:
        shown = visible_windows(TITLE)
        if shown:
            boxes.append(read_and_close_box(shown[0]))
            wait_for("the box to close", lambda: not visible_windows(TITLE) or
                     process.poll() is not None, 20)
        time.sleep(0.1)
    if process.poll() is None:
        process.kill()
        return "hung", boxes
    return process.returncode, boxes


def wallpaper():
    # Exported, because the export keeps every character where the console
    # output may not.
    exported = unix_path(r"C:\zv-desktop.reg")
    reg("export", DESKTOP_KEY, r"C:\zv-desktop.reg", "/y")
    with open(exported, encoding="utf-16") as text:
        match = re.search(r'^"Wallpaper"="(.*)"$', text.read(), re.MULTILINE)
    return match.group(1).replace("\\\\", "\\") if match else None


def test_commands(program):
    picture = PICTURES + "\\"
    set_setting("ImageListContent", list_text(picture + name for name in COLOURS))
    set_setting("ImageListLastSelected", picture + "a.bmp")
    reg("delete", RUN_KEY, "/v", RUN_VALUE, "/f")
    run_entry = ("REG_SZ", "ZVistaro02 /rotate")
    help_box = TITLE + "\nCommand-line options:"
    # args, exit status, start of the box's text (or None), wallpaper after,
    # the Run value after.
    cases = [
        (["/rotate"], 0, None, "b.bmp", None),
        (["/ROTATE", "two words"], 0, None, "c.bmp", None),
        (["/rotate"], 0, None, WIDE, None),
        (["/auto"], 0, TITLE + "\n" + RUN_KEY.replace("HKCU", "HKEY_CURRENT_USER") + "\\" +
         RUN_VALUE + "\\ZVistaro02 /rotate", "a.bmp", run_entry),
        (["/remove"], 0, None, "a.bmp", None),
        (["/remove"], 1, TITLE + "\nZVistaro02: Error -2147024894", "a.bmp", None),
        (["/what"], 0, help_box, "a.bmp", None),
        (["rotate"], 0, help_box, "a.bmp", None),
    ]
    for args, status, box, shown, entry in cases:
        got, boxes = run_command(args, program)
        what = " ".join(args)
        check(got == status, "%s: exit status %s, expected %s" % (what, got, status))
        if box is None:
            check(boxes == [], "%s: showed %r" % (what, boxes))
        else:
            check(len(boxes) == 1 and boxes[0].startswith(box),
                  "%s: boxes %r, expected one starting %r" % (what, boxes, box))
        check(wallpaper() == picture + shown, "%s: wallpaper %r" % (what, wallpaper()))
        if shown != WIDE:
            last = reg_value(SETTINGS_KEY, "ImageListLastSelected")
            check(last == ("REG_SZ", picture + shown), "%s: last selected %r" % (what, last))
        got_entry = reg_value(RUN_KEY, RUN_VALUE)
        check(got_entry == entry, "%s: Run value %r, expected %r" % (what, got_entry, entry))


def window_pixels(window, saved=None):
    """The window's pixels as rows of (r, g, b); saved also as a PNG when named."""
    ppm = subprocess.run(["import", "-window", str(window.id), "-depth", "8", "ppm:-"],
                         capture_output=True, check=True).stdout
    if saved:
        subprocess.run(["convert", "ppm:-", saved], input=ppm, check=True)
    fields = ppm.split(maxsplit=4)
    width, height = int(fields[1]), int(fields[2])
    data = fields[4]
    return [[tuple(data[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
            for y in range(height)]


def near(pixel, colour, tolerance=40):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))


def test_window(program, screenshot):
    picture = PICTURES + "\\"
    stored = [picture + "a.bmp", picture + "b.bmp"]
    set_setting("ImageListContent", list_text(stored))
    set_setting("ImageListLastSelected", picture + "b.bmp")
    process = subprocess.Popen(["wine", program], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        window = wait_for("the window", lambda: next(
            (w for w in visible_windows() if (w.get_wm_name() or "").startswith(TITLE) and
             w.get_geometry().width > 300), None))
        time.sleep(2)
        pixels = window_pixels(window, screenshot)
        shown = sum(near(p, COLOURS["b.bmp"]) for row in pixels for p in row)
        check(shown > 1000, "the last selected picture (blue) covers %d pixels only" % shown)

        # A pattern with Windows separators, then two files chosen in the
        # open-file dialog ("..." follows the text box in the tab order).
        xdotool("windowfocus", "--sync", window.id)
        xdotool("mousemove", "--window", window.id, *TEXT_BOX, "click", "1")
        xdotool("type", "--delay", "30", PICTURES + "\\more\\*.bmp")
        xdotool("key", "Return")
        time.sleep(1)
        xdotool("key", "Tab", "space")
        dialog = wait_for("the open-file dialog", lambda: next(
            (w for w in visible_windows() if w.id != window.id and
             w.get_geometry().width > 200), None), 30)
        xdotool("windowfocus", "--sync", dialog.id)
        time.sleep(1)
        xdotool("type", "--delay", "30", PICTURES)
        xdotool("key", "Return")
        time.sleep(1)
        xdotool("type", "--delay", "30", '"c.bmp" "a.bmp"')
        xdotool("key", "Return")
        wait_for("the dialog to close", lambda: dialog.id not in
                 [w.id for w in visible_windows()], 30)

        protocols = connection.intern_atom("WM_PROTOCOLS")
        event = protocol.event.ClientMessage(window=window, client_type=protocols, data=(
            32, [connection.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
        window.send_event(event, event_mask=X.NoEventMask)
        connection.flush()
        status = process.wait(timeout=60)
    finally:
        if process.poll() is None:
            process.kill()
    check(status == 0, "window mode ended with status %d" % status)
    expected = stored + [picture + "more\\" + name for name in MORE] + \
        [picture + "c.bmp", picture + "a.bmp"]
    content = reg_value(SETTINGS_KEY, "ImageListContent")
    check(content == ("REG_SZ", list_text(expected)),
          "stored list %r, expected %r" % (content, list_text(expected)))


def test_installer(installer):
    folder = r"C:\Program Files\Zorvane Vistaro 0.2"
    status = subprocess.run(["wine", installer, "/S"]).returncode
    check(status == 0, "the installer ended with status %d" % status)
    installed = unix_path(folder)
    for name in ["ZVistaro02.exe", "ZKit10.dll", "Qt6Widgets.dll", "libstdc++-6.dll",
                 "platforms/qwindows.dll", "imageformats/qjpeg.dll", "Uninstall.exe"]:
        check(os.path.isfile(os.path.join(installed, name)), "not installed: " + name)
    menu = unix_path(r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Zorvane Vistaro 0.2")
    check(os.path.isfile(os.path.join(menu, "Zorvane Vistaro 0.2.lnk")), "no Start-menu shortcut")
    set_setting("ImageListContent", list_text(PICTURES + "\\" + name for name in COLOURS))
    set_setting("ImageListLastSelected", PICTURES + "\\" + WIDE)
    status, boxes = run_command(["/rotate"], folder + r"\ZVistaro02.exe")
    check(status == 0 and boxes == [], "installed /rotate: status %s, boxes %r" % (status, boxes))
    check(wallpaper() == PICTURES + "\\a.bmp", "installed /rotate: wallpaper %r" % wallpaper())
    status = subprocess.run(["wine", folder + r"\Uninstall.exe", "/S"]).returncode
    check(status == 0, "the uninstaller ended with status %d" % status)
    # The uninstaller copies itself away and runs from there: wait for it.
    subprocess.run(["wineserver", "-w"])
    left = [os.path.join(d, f) for d, _, files in os.walk(installed) for f in files] \
        if os.path.isdir(installed) else []
    check(left == [], "left in the install folder: %r" % left)
    check(not os.path.exists(menu), "the Start-menu folder is left")


def test_resources(program):
    """The icon, version record and string table the executable carries."""
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..")
    with open(os.path.join(root, "CMakeLists.txt")) as project:
        major, minor, patch = map(int, re.search(r"project\(ZVistaro02 VERSION (\d+)\.(\d+)\.(\d+)",
                                                 project.read()).groups())
    with open(os.path.join(root, "src", "resources", "StringTable.cpp")) as table:
        strings = re.findall(r'^ *\{(\d+), ("[^"]*")\},$', table.read(), re.MULTILINE)
    rc = subprocess.run(["x86_64-w64-mingw32-windres", "-i", program, "-O", "rc"],
                        capture_output=True, text=True, check=True).stdout
    text = "%d.%02d.%04d" % (major, minor, patch)
    # Qt's Windows plugin gives windows and the taskbar the icon named
    # IDI_ICON1 (under Wine the X window shows the first icon regardless).
    expected = ['"IDI_ICON1" 14 /* RT_GROUP_ICON */',
                "FILEVERSION %d, %d, 0, %d" % (major, minor, patch),
                'VALUE "FileVersion", "%s"' % text, 'VALUE "ProductVersion", "%s"' % text,
                'VALUE "LegalCopyright", "Copyright (c) 2026 The Zorvane Vistaro authors"',
                'VALUE "Translation", 0x407, 1200',
                "STRINGTABLE\nBEGIN\n" + "".join("  %s, %s\n" % entry for entry in strings) + "END"]
    for line in expected:
        check(line in rc, "the executable's resources lack: " + line)


def make_pictures():
    # A folder named like a picture is no file to add.
    os.makedirs(unix_path(PICTURES + "\\more\\sub.bmp"), exist_ok=True)
    for name, colour in COLOURS.items():
        write_bmp(unix_path(PICTURES + "\\" + name), colour)
    for name in MORE + ["skipped.jpg"]:
        write_bmp(unix_path(PICTURES + "\\more\\" + name), (128, 128, 128))


def main():
    make_pictures()
    if sys.argv[1] == "program":
        program = os.path.join(sys.argv[2], "ZVistaro02.exe")
        test_resources(program)
        test_commands(program)
        test_window(program, sys.argv[3])
    else:
        test_installer(sys.argv[2])
    if failures:
        sys.exit("%d check(s) failed" % len(failures))
    print("PASS: %s under Wine" % sys.argv[1])


if __name__ == "__main__":
    main()
