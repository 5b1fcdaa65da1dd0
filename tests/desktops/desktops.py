#!/usr/bin/env python3
# Runs the built ZVistaro02 /rotate on each real desktop of Debian and checks
# what the desktop then shows.   Usage: desktops.py BUILD_BIN_FOLDER [desktop ...]
#
# Each desktop gets a session of its own as an unprivileged user (sway refuses
# root, and a file of mode 000 must really be unreadable): a private Xvfb (sway:
# headless), a private bus, its own HOME and XDG folders; this script runs
# itself inside it with --session. For every name of NAMES it rotates to a
# picture of that name in a colour the screen did not show and checks the
# screen (GNOME, Cinnamon: their settings, as they need OpenGL); then the same
# for a picture of each format of FORMATS, which must show upright (those
# settings must name a PNG or JPEG file that shows it so); then that a list of
# only an unreadable or only a broken file ends with the error report and a
# missing one is passed over, the desktop left as it was. Without a desktop (X11, at depths 24
# and 16) it also sets pictures of bands in several formats, which must cover
# the screen, replacing and freeing the root's pixmap, and refuses a cut one.

import ast, contextlib, glob, os, pathlib, shutil, signal, struct, subprocess, sys, tempfile, time, urllib.parse, zlib

USER = 65534
# Away from the icons and the bottom panel; two near the edges, where a
# picture fitted inside the screen leaves bars.
POINTS = [(320, 240), (630, 240), (600, 400), (400, 20)]
COLOURS = [(220, 30, 30), (30, 40, 200)]
START = (20, 160, 60)
# Names that quoting, URL encoding, shell expansion or a keyfile could get
# wrong on the way to the desktop; "./": listed relative to the program's folder.
NAMES = ["plain.png", "./relative name.png", "a'$(touch INJECTED)'b.png",
         'say "cheese" `touch INJECTED`.png', "back\\slash \\\\ and \\\" end\\.png",
         "two  blanks and\ttab.png", "new\nline.png", "#1 100% $HOME ~ *?[x] ;&|<>.png",
         "ünïcode € ✓.png"]
# name: XDG_CURRENT_DESKTOP, the programs that draw the desktop (started in
# this order), what shows the picture ("screen", or settings keys as file
# URIs), variables of the session.
DESKTOPS = {
    "sway": ("sway", [["sway", "-c", "{work}/sway.config"]], "screen", {}),
    "XFCE": ("XFCE", [["xfwm4", "--compositor=off", "--sm-client-disable"],
                      ["xfdesktop", "--sm-client-disable"]], "screen", {}),
    "MATE": ("MATE", [["caja", "-n", "--force-desktop"]], "screen", {}),
    "LXQt": ("LXQt", [["pcmanfm-qt", "--desktop"]], "screen", {}),
    "LXDE": ("LXDE", [["pcmanfm", "--desktop"]], "screen", {}),
    "Plasma": ("KDE", [["plasmashell", "--no-respawn"]], "screen",
               {"KDE_SESSION_VERSION": "5", "QT_QUICK_BACKEND": "software"}),
    "GNOME": ("ubuntu:GNOME", [], [("org.gnome.desktop.background", "picture-uri"),
                                   ("org.gnome.desktop.background", "picture-uri-dark")], {}),
    "Cinnamon": ("X-Cinnamon", [], [("org.cinnamon.desktop.background", "picture-uri")], {}),
    "X11": ("", [], "screen", {}),  # no desktop: the root window's background
    "X11-16": ("", [], "screen", {}),
}
# Files that not every desktop reads itself, or that need turning: each is
# converted from a PNG of the colour (ImageMagick), or written here. A phone
# photo stored on its side, its left half the first colour: upright, that half
# is on top.
FORMATS = ["lossy.webp", "lossless.webp", "picture.tif", "picture.tga", "phone photo.jpg",
           "two colours.heic"]
TURNED = [(300, 60, 0), (300, 420, 1)]  # where each colour shows upright
BANDS = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (160, 96, 32)]
# Covering the screen, bands of a 2:1 picture end at x 80, 320 and 560.
BAND_POINTS = [(x, y, BANDS[i]) for x, i in [(40, 0), (120, 1), (300, 1), (340, 2), (520, 2),
                                            (600, 3)] for y in (0, 240, 479)]
# Shrunk while decoded; of palette colours; past Qt's default allocation
# limit when decoded (144 MB).
VARIANTS = [("jpeg", 2400, 1200), ("palette", 256, 128), ("rgba16", 6000, 3000), ("rgb", 400, 200)]


# Writes a picture of upright bands of equal width: PNG of 8-bit RGB, of a
# palette or of 16-bit RGBA, or JPEG.
def png(path, colours, kind="rgb", width=32, height=32):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    pixel = {"palette": lambda c: bytes([colours.index(c)]),
             "rgba16": lambda c: bytes(v for v in c + (255,) for _ in "hl")}.get(kind, bytes)
    row = b"".join(pixel(c) * (width // len(colours)) for c in colours)
    if kind == "jpeg":
        ppm = b"P6 %d %d 255\n" % (width, height) + row * height
        return subprocess.run(["cjpeg", "-outfile", path], input=ppm, check=True)
    bits, colour_type = {"palette": (8, 3), "rgba16": (16, 6)}.get(kind, (8, 2))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, bits,
                                                               colour_type, 0, 0, 0))
                + (chunk(b"PLTE", b"".join(map(bytes, colours))) if kind == "palette" else b"")
                + chunk(b"IDAT", zlib.compress((b"\0" + row) * height, 1)) + chunk(b"IEND", b""))


# Writes a picture of the format its name ends in, of one colour, or of two
# one above the other: the phone photo stored on its side, upright by its
# EXIF orientation 6; the HEIC stored upright.
def picture_file(path, colours):
    base = path.rsplit(".", 1)[0]
    if path.endswith(".tga"):  # uncompressed true colour, with the footer Qt's reader needs
        header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, 32, 32, 24, 0)
        with open(path, "wb") as f:
            f.write(header + bytes(reversed(colours[0])) * 32 * 32 + bytes(8) +
                    b"TRUEVISION-XFILE.\0")
    elif path.endswith(".jpg"):
        png(base + ".jpeg", colours, "jpeg", 64, 32)
        jpeg = pathlib.Path(base + ".jpeg").read_bytes()
        tiff = b"MM\0\x2a" + struct.pack(">IHHHIHHI", 8, 1, 0x0112, 3, 1, 6, 0, 0)
        exif = b"Exif\0\0" + tiff
        pathlib.Path(path).write_bytes(jpeg[:2] + b"\xff\xe1" + struct.pack(">H", len(exif) + 2)
                                       + exif + jpeg[2:])
        os.remove(base + ".jpeg")
    else:
        png(base + ".source.png", colours if path.endswith(".heic") else colours[:1])
        options = {"lossy.webp": ["-quality", "90"],
                   "lossless.webp": ["-define", "webp:lossless=true"],
                   "two colours.heic": ["-rotate", "90"]}.get(os.path.basename(path), [])
        subprocess.run(["convert", base + ".source.png", *options, path], check=True)
        os.remove(base + ".source.png")


def poll(condition, seconds=30, done=bool):
    deadline = time.monotonic() + seconds
    while not done(result := condition()) and time.monotonic() < deadline:
        time.sleep(0.2)
    return result


# What the file at path shows stretched to the screen, at the points given.
def file_pixels(path, points):
    data = subprocess.run(["convert", path, "-resize", "640x480!", "-depth", "8", "rgb:-"],
                          capture_output=True).stdout
    return [tuple(data[(y * 640 + x) * 3:][:3]) for x, y, _ in points]


# (whether the desktop shows the picture at path, what it shows); expected:
# (x, y, colour) on the screen; an X screen is of depth 24 or 16 (5-6-5 bits).
# A path of None: the settings must name a copy that every desktop reads
# (PNG or JPEG) and that shows the colours upright.
def shows(env, check, path, expected):
    if check != "screen":
        seen = [ast.literal_eval(subprocess.run(["gsettings", "get", *key], env=env, text=True,
                                                capture_output=True).stdout or "''") for key in check]
        # A file URI that needs no further encoding.
        named = [urllib.parse.unquote(v[7:]) for v in seen if v.startswith("file://") and
                 all(c.isascii() and c.isprintable() and c not in ' "#<>\\^`{|}' for c in v)]
        if path is not None or len(named) != len(seen):
            return len(named) == len(seen) and all(n == path for n in named), seen
        for n in named:
            with open(n, "rb") as f:
                start = f.read(4)
            seen += [start, file_pixels(n, expected)]
            if not (start.startswith(b"\x89PNG") or start.startswith(b"\xff\xd8")):
                return False, seen
        return all(abs(a - b) <= 24 for n in named for s, p in zip(file_pixels(n, expected), expected)
                   for a, b in zip(s, p[2])), seen
    if "SWAYSOCK" in env:
        _, size, _, data = subprocess.run(["grim", "-t", "ppm", "-"], env=env,
                                          capture_output=True).stdout.split(b"\n", 3)
        seen = [tuple(data[(y * int(size.split()[0]) + x) * 3:][:3]) for x, y, _ in expected]
    else:
        from Xlib import X, display
        screen = display.Display(env["DISPLAY"])
        root, size = screen.screen().root, 2 if screen.screen().root_depth == 16 else 4
        values = [int.from_bytes(root.get_image(x, y, 1, 1, X.ZPixmap, 0xFFFFFFFF).data[:size],
                                 "little") for x, y, _ in expected]
        screen.close()
        seen = [(v >> 16 & 255, v >> 8 & 255, v & 255) if size == 4 else
                (v >> 8 & 248, v >> 3 & 252, v << 3 & 248) for v in values]
    return all(abs(a - b) <= 24 for s, p in zip(seen, expected) for a, b in zip(s, p[2])), seen


# The pixmaps the root names in _XROOTPMAP_ID and ESETROOT_PMAP_ID, then
# the depth of the pixmap old if it still exists.
def root_pixmaps(env, old):
    from Xlib import display, error
    screen = display.Display(env["DISPLAY"])
    root = screen.screen().root
    named = [getattr(root.get_full_property(screen.intern_atom(name), 0), "value", [0])[0]
             for name in ("_XROOTPMAP_ID", "ESETROOT_PMAP_ID")]
    with contextlib.suppress(error.XError):
        named.append(screen.create_resource_object("pixmap", old).get_geometry().depth)
    screen.close()
    return named


# Runs /rotate in the pictures' folder, from last to the entry after it;
# the error report goes to standard error only.
def rotate(program, env, entries, last):
    def ini(text):
        return '"' + "".join({"\\": "\\\\", '"': '\\"', "\n": "\\n", "\t": "\\t"}.get(c, c)
                             for c in text) + '"'
    listed = "; ".join('"' + e.replace('"', '""') + '"' for e in entries)
    with open(env["XDG_CONFIG_HOME"] + "/Zorvane Vistaro 0.2.ini", "w", encoding="utf-8") as f:
        f.write(f"[Main]\nImageListContent={ini(listed)}\nImageListLastSelected={ini(last)}\n")
    return subprocess.run([program, "/rotate"], env=dict(env, QT_QPA_PLATFORM="offscreen"),
                          cwd=os.path.dirname(entries[0]), capture_output=True, text=True,
                          errors="replace", timeout=60)


# Inside the desktop's session: starts it, rotates, checks.
def run_session(name, program, work):
    xdg, start, check, variables = DESKTOPS[name]
    env = dict(os.environ, XDG_CURRENT_DESKTOP=xdg, ZVISTARO_TRACE="-", **variables)
    for argv in start:
        subprocess.Popen([a.format(work=work) for a in argv], env=env, cwd=work,
                         stdout=open(f"{work}/{argv[0]}.log", "w"), stderr=subprocess.STDOUT)
    if name == "sway":
        sockets = poll(lambda: glob.glob(env["XDG_RUNTIME_DIR"] + "/sway-ipc.*.sock"))
        env.update(SWAYSOCK=sockets[0], WAYLAND_DISPLAY="wayland-1")  # fails if sway did not start
    failures, pictures, x11 = [], work + "/pictures", name.startswith("X11")
    bands = [f"bands {kind}.{'jpg' if kind == 'jpeg' else 'png'}" for kind, *_ in VARIANTS] * x11
    for file, variant in zip(bands, VARIANTS):
        png(f"{pictures}/{file}", BANDS, *variant)
    png(pictures + "/cut.png", BANDS, *VARIANTS[-1])
    os.truncate(pictures + "/cut.png", 1000)  # a header that promises pixels cut off
    pathlib.Path(pictures, "broken.png").write_bytes(b"\x89PNG\r\n\x1a\nnot a picture")
    for picture, colour in [("start.png", START), ("unreadable.png", START)] + \
            [(p, COLOURS[i % 2]) for i, p in enumerate(NAMES)]:
        png(os.path.join(pictures, picture), [colour])
    # Their colours go on from those of NAMES, so that each differs from the last.
    first = len(NAMES) % 2
    for i, picture in enumerate(FORMATS):
        picture_file(os.path.join(pictures, picture), COLOURS[(first + i) % 2:] +
                     COLOURS[:(first + i) % 2])
    os.chmod(pictures + "/unreadable.png", 0)
    # On X11 each picture set replaces the root's pixmap and frees the old one.
    # A missing name never enters the list (the next existing one is set:
    # the same picture again); a list of only an unreadable or a broken file
    # ends with the report, naming it, and leaves the desktop as it was.
    previous, shown = pictures + "/start.png", pictures + "/start.png"
    turned = lambda i: [(x, y, COLOURS[(i + c) % 2]) for x, y, c in TURNED]
    for i, (picture, points, status) in enumerate(
            [(p, [(x, y, COLOURS[i % 2]) for x, y in POINTS], 0) for i, p in enumerate(NAMES)]
            + [(b, BAND_POINTS, 0) for b in bands]
            + [(p, turned(first + i) if "colours" in p or "phone" in p else
                [(x, y, COLOURS[(first + i) % 2]) for x, y in POINTS], 0)
               for i, p in enumerate(FORMATS)]
            + [("missing.png", None, 0), ("unreadable.png", None, 1), ("broken.png", None, 1)]
            + [("cut.png", None, 1)] * x11):
        path = os.path.normpath(os.path.join(pictures, picture))
        if points:  # a picture of its own, or a copy of it where the desktop reads files
            shown, expected = (None if picture in FORMATS else path), points
        entries, last = ([path], path) if status else \
            ([previous, picture[2:] if picture[:2] == "./" else path], previous)
        old = root_pixmaps(env, 0) if x11 else None
        # The first rotation is tried again while the desktop starts; a refused
        # file gets a second for the desktop to wrongly show it.
        done, (ok, seen) = poll(lambda: (
            rotate(program, env, entries, last),
            poll(lambda: shows(env, check, shown, expected), 10 if points else 1,
                 lambda r: points and r[0])), 60 if i == 0 else 0,
            lambda r: r[0].returncode == 0 and r[1][0])
        if x11:
            now = root_pixmaps(env, old[0])
            ok = ok and (now[:2] == old and len(now) == 3 if status else
                         now[0] == now[1] not in (0, old[0]) and len(now) == 2)
        if done.returncode != status or ("ZVistaro02: Error" in done.stderr) != bool(status) \
                or (status and f'"{path}"' not in done.stderr) or not ok:
            failures.append(f"{picture!r}: exit {done.returncode}, shows {seen}\n{done.stderr}")
        if points:
            previous = path
    # The desktop's programs end with the session's process group.
    injected = [d for d, _, files in os.walk(work) if "INJECTED" in files]
    return failures + (["a name ran as a command in " + ", ".join(injected)] if injected else [])


# Prepares the folders and the X server, then runs the session as USER.
def run_desktop(name, program):
    work = tempfile.mkdtemp(prefix=f"zv-desktop-{name}-")
    env = {variable: f"{work}/{folder}" for variable, folder in [
        ("HOME", "home"), ("XDG_CONFIG_HOME", "config"), ("XDG_DATA_HOME", "data"),
        ("XDG_CACHE_HOME", "cache"), ("XDG_RUNTIME_DIR", "runtime")]}
    for folder in list(env.values()) + [work + "/pictures"]:
        os.mkdir(folder, 0o700)
    pathlib.Path(work, "sway.config").write_text("output * bg #000000 solid_color\n")
    subprocess.run(["chown", "-R", f"{USER}:{USER}", work], check=True)
    env.update(PATH="/usr/local/bin:/usr/bin:/bin", LANG="C.UTF-8", NO_AT_BRIDGE="1")
    env.update(WLR_BACKENDS="headless", WLR_RENDERER="pixman", WLR_LIBINPUT_NO_DEVICES="1",
               WLR_HEADLESS_OUTPUTS="1")  # for sway, which leaves Xvfb unused
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-ac", "-nolisten", "tcp", "-noreset",
                             "-screen", "0", "640x480x" + ("16" if name == "X11-16" else "24")],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    env["DISPLAY"] = ":" + xvfb.stdout.readline().decode().strip()
    # The session's output goes to a file (services the bus started would
    # hold a pipe open); its own process group ends with it, those included.
    with open(work + "/session.log", "w+", errors="replace") as log:
        session = subprocess.Popen(
            ["setpriv", f"--reuid={USER}", f"--regid={USER}", "--clear-groups",
             "dbus-run-session", "--", sys.executable, os.path.abspath(__file__), "--session",
             name, program, work], env=env, stdout=log, stderr=subprocess.STDOUT,
            start_new_session=True)
        ok = poll(session.poll, 600, lambda r: r is not None) == 0
        with contextlib.suppress(ProcessLookupError):
            os.killpg(session.pid, signal.SIGKILL)
        log.seek(0)
        report = log.read()
    xvfb.terminate()
    xvfb.wait()
    if ok:
        shutil.rmtree(work, ignore_errors=True)
    return ok, report + f"(logs kept in {work})\n"


def main():
    if sys.argv[1] == "--session":
        sys.exit("\n".join(run_session(*sys.argv[2:5])) or None)
    copy = tempfile.mkdtemp(prefix="zv-desktop-bin-")  # one the unprivileged user can reach
    os.chmod(copy, 0o755)
    for entry in glob.glob(sys.argv[1] + "/ZVistaro02") + glob.glob(sys.argv[1] + "/lib*.so*"):
        shutil.copy(entry, copy)
    failed = []
    for name in sys.argv[2:] or DESKTOPS:
        started = time.monotonic()
        ok, report = run_desktop(name, copy + "/ZVistaro02")
        print(f"{name}: {'passed' if ok else 'FAILED'} in {time.monotonic() - started:.1f} s")
        if not ok:
            print(report)
            failed.append(name)
    shutil.rmtree(copy)
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
