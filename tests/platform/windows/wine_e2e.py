#!/usr/bin/python3
# Runs the cross-built Windows program under Wine, black-box.
#   wine_e2e.py BIN_DIR INSTALLER_EXE
# checks the program's resources, its commands and its window, then installs,
# runs and uninstalls it.
# Needs WINEPREFIX (a prefix of the test's own), WINEPATH naming the folders of
# the Qt and runtime DLLs, and DISPLAY (xvfb-run). What the
# program stored is read from Wine's reg export.

import os, re, subprocess, sys, time
from Xlib import X, display, protocol

TITLE = "Zorvane Vistaro 0.2"
SETTINGS_KEY = r"HKCU\Software\Zorvane Vistaro 0.2\Main"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
RUN_VALUE = "Zorvane Vistaro 0.2 Wallpaper Rotation"
PICTURES = "C:\\zv-pictures\\"
NAMES = ["a.bmp", "b.bmp", "c.bmp", "Łódź 日本 Ω.bmp"]
failures = []
connection = display.Display()


def check(condition, message, *seen):
    if not condition:
        failures.append("FAIL: %s %r" % (message, seen))


def unix_path(windows_path):
    return os.path.join(os.environ["WINEPREFIX"], "drive_c", *windows_path[3:].split("\\"))


def wine(*args):
    return subprocess.run(["wine", *args], capture_output=True)


# The REG_SZ values of a key as Wine's reg exports them (where the console
# output may lose characters); values of other types are left out.
def values(key):
    if wine("reg", "export", key, r"C:\zv-export.reg", "/y").returncode != 0:
        return {}
    text = open(unix_path(r"C:\zv-export.reg"), encoding="utf-16").read().split("\n[")[1]
    string = r'"((?:[^"\\]|\\.)*)"'
    return {re.sub(r"\\(.)", r"\1", name): re.sub(r"\\(.)", r"\1", data)
            for name, data in re.findall("^" + string + "=" + string + "$", text, re.MULTILINE)}


def store(names, last):
    for name, data in [("ImageListContent", "; ".join('"%s"' % n for n in names)),
                       ("ImageListLastSelected", last)]:
        wine("reg", "add", SETTINGS_KEY, "/v", name, "/t", "REG_SZ", "/d", data, "/f")


def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True, timeout=60).stdout


def clipboard():
    requestor = connection.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
    target = connection.intern_atom("ZV_CLIPBOARD")
    requestor.convert_selection(connection.intern_atom("CLIPBOARD"),
                                connection.intern_atom("UTF8_STRING"), target, X.CurrentTime)
    connection.flush()
    while connection.next_event().type != X.SelectionNotify:
        pass
    value = requestor.get_full_property(target, X.AnyPropertyType)
    return value.value.decode("utf-8", "replace") if value else ""


# Runs the program with args; returns (status, the texts of its boxes, the
# wallpaper, the last selected picture, the Run value). A box's "title\ntext"
# is what Qt's Ctrl+C copies (Wine hands Windows' clipboard to X); Enter
# closes it.
def run_command(program, *args):
    process, boxes = subprocess.Popen(["wine", program, *args], stderr=subprocess.DEVNULL), []
    for _ in range(600):
        if process.poll() is not None:
            break
        if box := xdotool("search", "--onlyvisible", "--name", "^%s$" % TITLE).split():
            xdotool("windowfocus", "--sync", box[0], "sleep", "0.3", "key", "ctrl+c", "sleep", "0.5")
            copied = re.split(r"-{10,}", clipboard())
            boxes.append("\n".join([p.strip("\r\n") for p in copied if p.strip("\r\n")][:2]))
            xdotool("key", "Return")
            while process.poll() is None and xdotool("search", "--onlyvisible", "--name", "^%s$" % TITLE):
                time.sleep(0.1)
        time.sleep(0.1)
    return (process.poll() if process.poll() is not None else process.kill(), boxes,
            values(r"HKCU\Control Panel\Desktop").get("Wallpaper"),
            values(SETTINGS_KEY).get("ImageListLastSelected"), values(RUN_KEY).get(RUN_VALUE))


def test_commands(program):
    store([PICTURES + name for name in NAMES], PICTURES + "a.bmp")
    wine("reg", "delete", RUN_KEY, "/v", RUN_VALUE, "/f")
    # The program is not on Wine's PATH, so the logon entry names it by its path.
    exe = subprocess.run(["winepath", "-w", program], capture_output=True, text=True).stdout.strip()
    logon = ('"%s"' % exe if " " in exe else exe) + " /rotate"
    auto_box = ["%s\nHKEY_CURRENT_USER%s\\%s\\%s" % (TITLE, RUN_KEY[4:], RUN_VALUE, logon)]
    help_box = [TITLE + "\nCommand-line options:\n/rotate\tchange desktop-wallpaper to"]
    # args; the exit status, the start of each box's text, the picture then
    # shown and stored as the last one, the Run value after.
    for args, status, boxes, shown, entry in [
            (["/rotate"], 0, [], "b.bmp", None),
            (["/ROTATE", "two words"], 0, [], "c.bmp", None),
            (["/rotate"], 0, [], NAMES[3], None),
            (["/auto"], 0, auto_box, "a.bmp", logon),
            (["/remove"], 0, [], "a.bmp", None),
            (["/remove"], 1, [TITLE + "\nError -2147024894"], "a.bmp", None),
            (["/what"], 0, help_box, "a.bmp", None),
            (["rotate"], 0, help_box, "a.bmp", None)]:
        got = run_command(program, *args)
        starts = [box[:len(want)] for box, want in zip(got[1], boxes)] + got[1][len(boxes):]
        check((got[0], starts, *got[2:]) == (status, boxes, PICTURES + shown, PICTURES + shown, entry),
              args, got)


def test_window(program):
    stored = [PICTURES + "a.bmp", PICTURES + "b.bmp"]
    store(stored, stored[1])
    process = subprocess.Popen(["wine", program], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(600):  # the main window, not one Wine makes for it
        time.sleep(0.1)
        found = [connection.create_resource_object("window", int(w)) for w in xdotool(
            "search", "--onlyvisible", "--name", "^" + TITLE).split()]
        if wide := [w for w in found if w.get_geometry().width > 300]:
            break
    window = wide[0]
    # A pattern with Windows separators, typed into the text box (its centre
    # at 96 dots per inch); then the window is closed.
    xdotool("sleep", "2", "windowfocus", "--sync", window.id, "mousemove", "--window", window.id, 347, 199,
            "click", "1", "type", "--delay", "30", PICTURES + "more\\*.bmp")
    xdotool("key", "Return", "sleep", "1")
    window.send_event(protocol.event.ClientMessage(window=window, client_type=connection.intern_atom(
        "WM_PROTOCOLS"), data=(32, [connection.intern_atom("WM_DELETE_WINDOW"), 0, 0, 0, 0])))
    connection.flush()
    seen = (process.wait(timeout=60), values(SETTINGS_KEY))
    content = "; ".join('"%s"' % n for n in stored + [PICTURES + "more\\d.bmp", PICTURES + "more\\e.bmp"])
    check(seen == (0, {"ImageListContent": content, "ImageListLastSelected": stored[1]}), "window", seen)


def test_installer(installer):
    folder = r"C:\Program Files\Zorvane Vistaro 0.2"
    menu = unix_path(r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Zorvane Vistaro 0.2")
    installed = unix_path(folder)
    check(wine(installer, "/S").returncode == 0, "the installer failed")
    missing = [name for name in ["ZVistaro02.exe", "ZKit10.dll", "Qt6Widgets.dll", "libstdc++-6.dll",
                                 "platforms/qwindows.dll", "imageformats/qjpeg.dll", "Uninstall.exe",
                                 menu + "/Zorvane Vistaro 0.2.lnk"]
               if not os.path.isfile(os.path.join(installed, name))]
    check(missing == [], "not installed", missing)
    store([PICTURES + name for name in NAMES], PICTURES + NAMES[3])
    got = run_command(folder + r"\ZVistaro02.exe", "/rotate")
    check(got[:3] == (0, [], PICTURES + "a.bmp"), "installed /rotate", got)
    check(wine(folder + r"\Uninstall.exe", "/S").returncode == 0, "the uninstaller failed")
    subprocess.run(["wineserver", "-w"])  # the uninstaller runs on from a copy of itself
    left = [os.path.join(d, f) for d, _, files in os.walk(installed) for f in files]
    check(left == [] and not os.path.exists(menu), "left installed (or the menu folder)", left)


# The icon, version record and string table the executable carries.
def test_resources(program):
    table = open(os.path.join(os.path.dirname(__file__), "../../../src/resources/StringTable.cpp")).read()
    strings = re.findall(r'^ *\{(\d+), ("[^"]*")\},$', table, re.MULTILINE)
    rc = subprocess.run(["x86_64-w64-mingw32-windres", "-i", program, "-O", "rc"],
                        capture_output=True, text=True, check=True).stdout
    # Qt's Windows plugin gives windows and the taskbar the icon named IDI_ICON1.
    missing = [line for line in [
        '"IDI_ICON1" 14 /* RT_GROUP_ICON */', "FILEVERSION 0, 2, 0, 5", 'VALUE "FileVersion", "0.02.0005"',
        'VALUE "ProductVersion", "0.02.0005"', 'VALUE "Translation", 0x407, 1200',
        'VALUE "LegalCopyright", "Copyright (c) 2026 The Zorvane Vistaro authors"',
        "STRINGTABLE\nBEGIN\n" + "".join("  %s, %s\n" % entry for entry in strings) + "END"]
        if line not in rc]
    check(missing == [], "the executable's resources lack", missing)


if __name__ == "__main__":
    # A folder named like a picture is no file to add, nor one of another type.
    os.makedirs(unix_path(PICTURES + "more\\sub.bmp"), exist_ok=True)
    for name in NAMES + ["more\\d.bmp", "more\\e.bmp", "more\\skipped.jpg"]:
        subprocess.run(["convert", "-size", "64x48", "xc:gray", "BMP3:" + unix_path(PICTURES + name)],
                       check=True)
    program = os.path.join(sys.argv[1], "ZVistaro02.exe")
    test_resources(program)
    test_commands(program)
    test_window(program)
    test_installer(sys.argv[2])
    sys.exit("\n".join(failures) or print("PASS: the program and its installer under Wine"))
