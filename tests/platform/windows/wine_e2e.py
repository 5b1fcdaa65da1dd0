#!/usr/bin/python3
# Runs the cross-built Windows program under Wine, black-box.
#   wine_e2e.py program BIN_DIR SCREENSHOT   resources, the commands, the window, the dialog
#   wine_e2e.py installer INSTALLER_EXE      install, /rotate, uninstall
# Needs WINEPREFIX (a prefix of the test's own), WINEPATH naming the folders of
# the Qt and runtime DLLs for "program", and DISPLAY (xvfb-run). Message boxes
# are read through Qt's Ctrl+C (it copies a box's title and text) and closed
# with Enter; what the program stored is read from Wine's reg export.

import os, re, struct, subprocess, sys, time
from Xlib import X, display, error, protocol

TITLE = "Zorvane Vistaro 0.2"
SETTINGS_KEY = r"HKCU\Software\Zorvane Vistaro 0.2\Main"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
RUN_VALUE = "Zorvane Vistaro 0.2 Wallpaper Rotation"
PICTURES = "C:\\zv-pictures\\"
WIDE = "Łódź 日本 Ω.bmp"
# Solid pictures, so that the screenshot shows which one is displayed.
COLOURS = {"a.bmp": (220, 30, 30), "b.bmp": (30, 30, 220), "c.bmp": (30, 200, 30), WIDE: (200, 200, 30)}
# The text box's centre in window coordinates at 96 dots per inch (the list
# frame's left and top plus the box's, in twips, at 15 twips a pixel).
TEXT_BOX = ((4369 + 64 + 1550 // 2) // 15, (2846 + 285 // 2) // 15)
connection = display.Display()
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL: " + message, file=sys.stderr)


def wait_for(what, condition, timeout=60):
    deadline = time.monotonic() + timeout
    while not (result := condition()):
        if time.monotonic() > deadline:
            raise TimeoutError("timed out waiting for " + what)
        time.sleep(0.1)
    return result


def unix_path(windows_path):
    return os.path.join(os.environ["WINEPREFIX"], "drive_c", *windows_path[3:].split("\\"))


# A 64 x 48 picture of one colour, 24 bits a pixel (rows need no padding).
def write_bmp(path, colour):
    pixels = bytes(colour[::-1]) * 64 * 48
    with open(unix_path(path), "wb") as out:
        out.write(struct.pack("<2sIHHIIiiHHIIiiII", b"BM", 54 + len(pixels), 0, 0, 54, 40, 64, 48,
                              1, 24, 0, len(pixels), 2835, 2835, 0, 0) + pixels)


# The REG_SZ values of a key as Wine's reg exports them (where the
# console output may lose characters); other types do not match.
def values(key):
    exported = unix_path(r"C:\zv-export.reg")
    if os.path.exists(exported):
        os.remove(exported)
    subprocess.run(["wine", "reg", "export", key, r"C:\zv-export.reg", "/y"], capture_output=True)
    text = open(exported, encoding="utf-16").read().split("\n[")[1] if os.path.exists(exported) else ""
    string = r'"((?:[^"\\]|\\.)*)"'
    return {re.sub(r"\\(.)", r"\1", name): re.sub(r"\\(.)", r"\1", data)
            for name, data in re.findall("^" + string + "=" + string + "$", text, re.MULTILINE)}


def store(names, last):
    for name, data in [("ImageListContent", "; ".join('"%s"' % n for n in names)),
                       ("ImageListLastSelected", last)]:
        subprocess.run(["wine", "reg", "add", SETTINGS_KEY, "/v", name, "/t", "REG_SZ", "/d", data,
                        "/f"], capture_output=True)


def windows(wanted=lambda window: True):
    found = []
    for window in connection.screen().root.query_tree().children:
        try:
            if window.get_attributes().map_state == X.IsViewable and wanted(window):
                found.append(window)
        except error.BadWindow:
            pass  # gone while being looked at
    return found


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True)


def is_box(window):
    return window.get_wm_name() == TITLE


# The box's "title\ntext" as Qt copies it (Wine hands Windows' clipboard
# to X); then Enter closes it.
def read_and_close_box(window):
    xdotool("windowfocus", "--sync", window.id, "sleep", "0.3", "key", "ctrl+c", "sleep", "0.5")
    requestor = connection.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
    target = connection.intern_atom("ZV_CLIPBOARD")
    requestor.convert_selection(connection.intern_atom("CLIPBOARD"),
                                connection.intern_atom("UTF8_STRING"), target, X.CurrentTime)
    connection.flush()
    wait_for("the clipboard", lambda: connection.pending_events() and
             connection.next_event().type == X.SelectionNotify, 10)
    value = requestor.get_full_property(target, X.AnyPropertyType)
    requestor.destroy()
    xdotool("key", "Return")
    copied = value.value.decode("utf-8", "replace").replace("\r", "") if value else ""
    return "\n".join([p.strip("\n") for p in re.split(r"-{10,}", copied) if p.strip("\n")][:2])


# Runs the program with args; returns (status, the texts of the boxes it showed).
def run_command(args, program):
    process = subprocess.Popen(["wine", program, *args], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    boxes, deadline = [], time.monotonic() + 90
    while process.poll() is None and time.monotonic() < deadline:
        if shown := windows(is_box):
            boxes.append(read_and_close_box(shown[0]))
            wait_for("the box to close", lambda: not windows(is_box) or process.poll() is not None, 20)
        time.sleep(0.1)
    if process.poll() is None:
        process.kill()
        return "hung", boxes
    return process.returncode, boxes


def test_commands(program):
    store([PICTURES + name for name in COLOURS], PICTURES + "a.bmp")
    subprocess.run(["wine", "reg", "delete", RUN_KEY, "/v", RUN_VALUE, "/f"], capture_output=True)
    help_box = TITLE + "\nCommand-line options:"
    # The program is not on Wine's PATH, so the logon entry names it by its path.
    exe = subprocess.run(["winepath", "-w", program], capture_output=True, text=True).stdout.strip()
    logon = ('"%s"' % exe if " " in exe else exe) + " /rotate"
    auto_box = "%s\nHKEY_CURRENT_USER%s\\%s\\%s" % (TITLE, RUN_KEY[4:], RUN_VALUE, logon)
    # args, exit status, start of the box's text (or None), the picture then
    # shown and stored as the last one, the Run value after.
    for args, status, box, shown, entry in [
            (["/rotate"], 0, None, "b.bmp", None),
            (["/ROTATE", "two words"], 0, None, "c.bmp", None),
            (["/rotate"], 0, None, WIDE, None),
            (["/auto"], 0, auto_box, "a.bmp", logon),
            (["/remove"], 0, None, "a.bmp", None),
            (["/remove"], 1, TITLE + "\nZVistaro02: Error -2147024894", "a.bmp", None),
            (["/what"], 0, help_box, "a.bmp", None),
            (["rotate"], 0, help_box, "a.bmp", None)]:
        got, boxes = run_command(args, program)
        seen = (got, boxes, values(r"HKCU\Control Panel\Desktop").get("Wallpaper"),
                values(SETTINGS_KEY).get("ImageListLastSelected"), values(RUN_KEY).get(RUN_VALUE))
        check(seen[0] == status and (boxes == [] if box is None else
                                     len(boxes) == 1 and boxes[0].startswith(box)) and
              seen[2:] == (PICTURES + shown, PICTURES + shown, entry),
              "%s: status, boxes, wallpaper, last selected, Run value: %r" % (args, seen))


def test_window(program, screenshot):
    stored = [PICTURES + "a.bmp", PICTURES + "b.bmp"]
    store(stored, PICTURES + "b.bmp")
    process = subprocess.Popen(["wine", program], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        window = wait_for("the window", lambda: windows(lambda w: (w.get_wm_name() or "").startswith(
            TITLE) and w.get_geometry().width > 300))[0]
        time.sleep(2)
        ppm = subprocess.run(["import", "-window", str(window.id), "-depth", "8", "ppm:-"],
                             capture_output=True, check=True).stdout
        subprocess.run(["convert", "ppm:-", screenshot], input=ppm, check=True)
        data = ppm.split(maxsplit=4)[4]
        shown = sum(all(abs(a - b) <= 40 for a, b in zip(data[i:i + 3], COLOURS["b.bmp"]))
                    for i in range(0, len(data), 3))
        check(shown > 1000, "the last selected picture (blue) covers %d pixels only" % shown)
        # A pattern with Windows separators, then two files chosen in the
        # open-file dialog ("..." follows the text box in the tab order).
        xdotool("windowfocus", "--sync", window.id, "mousemove", "--window", window.id, *TEXT_BOX,
                "click", "1", "type", "--delay", "30", PICTURES + "more\\*.bmp")
        xdotool("key", "Return", "sleep", "1", "key", "Tab", "space")
        dialog = wait_for("the open-file dialog", lambda: windows(
            lambda w: w.id != window.id and w.get_geometry().width > 200), 30)[0]
        xdotool("windowfocus", "--sync", dialog.id, "sleep", "1", "type", "--delay", "30", PICTURES[:-1])
        xdotool("key", "Return", "sleep", "1", "type", "--delay", "30", '"c.bmp" "a.bmp"')
        xdotool("key", "Return")
        wait_for("the dialog to close", lambda: not windows(lambda w: w.id == dialog.id), 30)
        event = protocol.event.ClientMessage(window=window, client_type=connection.intern_atom(
            "WM_PROTOCOLS"), data=(32, [connection.intern_atom("WM_DELETE_WINDOW"), 0, 0, 0, 0]))
        window.send_event(event, event_mask=X.NoEventMask)
        connection.flush()
        status = process.wait(timeout=60)
    finally:
        if process.poll() is None:
            process.kill()
    check(status == 0, "window mode ended with status %d" % status)
    expected = stored + [PICTURES + "more\\d.bmp", PICTURES + "more\\e.bmp"] + \
        [PICTURES + "c.bmp", PICTURES + "a.bmp"]
    content = values(SETTINGS_KEY).get("ImageListContent")
    check(content == "; ".join('"%s"' % n for n in expected), "stored list %r" % content)


def test_installer(installer):
    folder = r"C:\Program Files\Zorvane Vistaro 0.2"
    menu = unix_path(r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Zorvane Vistaro 0.2")
    check(subprocess.run(["wine", installer, "/S"]).returncode == 0, "the installer failed")
    installed = unix_path(folder)
    missing = [name for name in ["ZVistaro02.exe", "ZKit10.dll", "Qt6Widgets.dll", "libstdc++-6.dll",
                                 "platforms/qwindows.dll", "imageformats/qjpeg.dll", "Uninstall.exe",
                                 menu + "/Zorvane Vistaro 0.2.lnk"]
               if not os.path.isfile(os.path.join(installed, name))]
    check(missing == [], "not installed: %r" % missing)
    store([PICTURES + name for name in COLOURS], PICTURES + WIDE)
    got = run_command(["/rotate"], folder + r"\ZVistaro02.exe")
    wallpaper = values(r"HKCU\Control Panel\Desktop").get("Wallpaper")
    check(got == (0, []) and wallpaper == PICTURES + "a.bmp", "installed /rotate: %r %r" % (got, wallpaper))
    check(subprocess.run(["wine", folder + r"\Uninstall.exe", "/S"]).returncode == 0,
          "the uninstaller failed")
    subprocess.run(["wineserver", "-w"])  # the uninstaller runs on from a copy of itself
    left = [os.path.join(d, f) for d, _, files in os.walk(installed) for f in files]
    check(left == [] and not os.path.exists(menu), "left installed: %r, menu folder" % left)


# The icon, version record and string table the executable carries.
def test_resources(program):
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..")
    version = re.search(r"project\(ZVistaro02 VERSION (\d+)\.(\d+)\.(\d+)",
                        open(os.path.join(root, "CMakeLists.txt")).read()).groups()
    major, minor, patch = map(int, version)
    strings = re.findall(r'^ *\{(\d+), ("[^"]*")\},$', open(
        os.path.join(root, "src", "resources", "StringTable.cpp")).read(), re.MULTILINE)
    rc = subprocess.run(["x86_64-w64-mingw32-windres", "-i", program, "-O", "rc"],
                        capture_output=True, text=True, check=True).stdout
    text = "%d.%02d.%04d" % (major, minor, patch)
    # Qt's Windows plugin gives windows and the taskbar the icon named IDI_ICON1.
    for line in ['"IDI_ICON1" 14 /* RT_GROUP_ICON */', "FILEVERSION %d, %d, 0, %d" % (major, minor, patch),
                 'VALUE "FileVersion", "%s"' % text, 'VALUE "ProductVersion", "%s"' % text,
                 'VALUE "LegalCopyright", "Copyright (c) 2026 The Zorvane Vistaro authors"',
                 'VALUE "Translation", 0x407, 1200',
                 "STRINGTABLE\nBEGIN\n" + "".join("  %s, %s\n" % entry for entry in strings) + "END"]:
        check(line in rc, "the executable's resources lack: " + line)


def main():
    # A folder named like a picture is no file to add, nor one of another type.
    os.makedirs(unix_path(PICTURES + "more\\sub.bmp"), exist_ok=True)
    for name, colour in COLOURS.items():
        write_bmp(PICTURES + name, colour)
    for name in ["d.bmp", "e.bmp", "skipped.jpg"]:
        write_bmp(PICTURES + "more\\" + name, (128, 128, 128))
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
