#!/usr/bin/env python3
"""Runs the programs as processes on a real X display (under xvfb-run) and works them as a person would:
keys through xdotool, the window manager's close request through Xlib. Any sanitizer report, crash or
hang fails the run.

usage: display_session.py SCENARIO --scrivane PATH --install PATH --examples DIR [--dist BUILD_PREFIX] [--init PROGRAM]
"""
import argparse
import ctypes
import ctypes.util
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

WAIT = 30.0  # seconds for a window to appear or a program to end; the sanitizer build is slow to start


class Failure(Exception):
    pass


def xdotool(*args, check=True):
    result = subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=WAIT)
    if check and result.returncode != 0:
        raise Failure("xdotool %s: %s" % (" ".join(args), result.stderr.strip()))
    return result.stdout


def visible_windows(pattern):
    out = xdotool("search", "--onlyvisible", "--name", pattern, check=False)
    return [w for w in out.split() if w]


def window_name(window):
    return xdotool("getwindowname", window, check=False).strip()


class Program:
    def __init__(self, argv, env, log_dir, name):
        self.name = name
        self.stdout_path = os.path.join(log_dir, name + ".out")
        self.stderr_path = os.path.join(log_dir, name + ".err")
        self.process = subprocess.Popen(argv, env=env, stdout=open(self.stdout_path, "w"),
                                        stderr=open(self.stderr_path, "w"), stdin=subprocess.DEVNULL)

    def stderr(self):
        with open(self.stderr_path, errors="replace") as f:
            return f.read()

    def check_alive(self):
        if self.process.poll() is not None:
            raise Failure("%s ended early with %d:\n%s" % (self.name, self.process.returncode, self.stderr()))

    def wait_window(self, pattern, exclude=()):
        """The id of a visible window whose name matches `pattern`, once it shows."""
        deadline = time.monotonic() + WAIT
        while time.monotonic() < deadline:
            self.check_alive()
            for w in visible_windows(pattern):
                if w not in exclude:
                    time.sleep(0.3)  # let it take the focus and paint
                    return w
            time.sleep(0.1)
        raise Failure("no window '%s' appeared; visible: %s" % (pattern, all_window_names()))

    def keys(self, window, *keys):
        xdotool("windowfocus", window, check=False)
        time.sleep(0.1)
        xdotool("key", "--clearmodifiers", *keys)
        time.sleep(0.3)

    def type_text(self, window, text):
        xdotool("windowfocus", window, check=False)
        time.sleep(0.1)
        xdotool("type", "--delay", "15", text)
        time.sleep(0.2)

    def answer_box(self, title, key="Return", text=None):
        """Waits for a message box titled `title`, checks its text if given, and answers it."""
        w = self.wait_window("^%s$" % re.escape(title))
        self.keys(w, key)
        return w

    def wait_end(self, expected=0):
        """Waits for the program's end; it must end with `expected` and no sanitizer report."""
        try:
            code = self.process.wait(timeout=WAIT)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise Failure("%s did not end; visible: %s" % (self.name, all_window_names()))
        err = self.stderr()
        for marker in ("ERROR: AddressSanitizer", "runtime error:", "ERROR: LeakSanitizer", "Segmentation fault"):
            if marker in err:
                raise Failure("%s: sanitizer report:\n%s" % (self.name, err))
        if code != expected:
            raise Failure("%s ended with %d, not %d:\n%s" % (self.name, code, expected, err))

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def all_window_names():
    return [window_name(w) for w in visible_windows(".")]


def request_close(window):
    """What a window manager's close box sends: WM_DELETE_WINDOW in a WM_PROTOCOLS client message."""

    class XClientMessageEvent(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 16)]

    xlib = ctypes.CDLL(ctypes.util.find_library("X11"))
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    xlib.XFlush.argtypes = [ctypes.c_void_p]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = xlib.XOpenDisplay(None)
    if not display:
        raise Failure("cannot open the display")
    event = XClientMessageEvent()
    event.type = 33  # ClientMessage
    event.window = int(window)
    event.message_type = xlib.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.format = 32
    event.data[0] = xlib.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    xlib.XSendEvent(display, int(window), 0, 0, ctypes.byref(event))
    xlib.XFlush(display)
    xlib.XCloseDisplay(display)


def _xlib():
    xlib = ctypes.CDLL(ctypes.util.find_library("X11"))
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XGetWindowProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long,
                                        ctypes.c_long, ctypes.c_int, ctypes.c_ulong,
                                        ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_int),
                                        ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_ulong),
                                        ctypes.POINTER(ctypes.c_void_p)]
    xlib.XDefaultRootWindow.restype = ctypes.c_ulong
    xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    xlib.XFree.argtypes = [ctypes.c_void_p]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    return xlib


def window_property(window, name):
    """The 32-bit items (atoms, window ids) of a window's property; `window` None is the root window."""
    xlib = _xlib()
    display = xlib.XOpenDisplay(None)
    if not display:
        raise Failure("cannot open the display")
    try:
        target = xlib.XDefaultRootWindow(display) if window is None else int(window)
        atom = xlib.XInternAtom(display, name.encode(), 0)
        actual_type, actual_format = ctypes.c_ulong(), ctypes.c_int()
        count, after, data = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
        if xlib.XGetWindowProperty(display, target, atom, 0, 1024, 0, 0, ctypes.byref(actual_type),
                                   ctypes.byref(actual_format), ctypes.byref(count), ctypes.byref(after),
                                   ctypes.byref(data)) != 0 or not data.value:
            return []
        try:
            if actual_format.value != 32:
                return []
            items = ctypes.cast(data, ctypes.POINTER(ctypes.c_ulong))
            return [items[i] for i in range(count.value)]
        finally:
            xlib.XFree(data)
    finally:
        xlib.XCloseDisplay(display)


def atom(name):
    xlib = _xlib()
    display = xlib.XOpenDisplay(None)
    try:
        return xlib.XInternAtom(display, name.encode(), 0)
    finally:
        xlib.XCloseDisplay(display)


def geometry(window):
    """x, y, width, height of a window on the screen."""
    out = xdotool("getwindowgeometry", "--shell", window)
    values = dict(line.split("=", 1) for line in out.split() if "=" in line)
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


class WindowManager:
    """A light window manager on the display for the run, so maximising, stacking and the close box are
    the window manager's, as on a desktop."""

    def __init__(self, log_dir):
        log = os.path.join(log_dir, "wm.out")
        self.process = subprocess.Popen(["openbox", "--sm-disable"], stdout=open(log, "w"),
                                        stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        deadline = time.monotonic() + WAIT
        while not window_property(None, "_NET_SUPPORTING_WM_CHECK"):
            if self.process.poll() is not None or time.monotonic() > deadline:
                said = open(log, errors="replace").read()
                # Another run side by side took the display: the caller tries another one.
                if "Failed to open the display" in said:
                    raise Failure("the window manager could not connect to display %s" % os.environ.get("DISPLAY"))
                raise Failure("the window manager did not start:\n" + said)
            time.sleep(0.1)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def check_managed_setup(app, main, wizard):
    """Under a window manager: the setup's main form maximised, the wizard transient for it and inside it,
    and the wizard's close request (the close box, Alt+F4) refused, so the wizard stays."""
    state = window_property(main, "_NET_WM_STATE")
    for name in ("_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ"):
        if atom(name) not in state:
            raise Failure("the setup's main form is not maximised (%s missing)" % name)
    owners = window_property(wizard, "WM_TRANSIENT_FOR")
    if not owners or owners[0] != int(main):
        raise Failure("the wizard is transient for %r, not for the main form %s" % (owners, main))
    mx, my, mw, mh = geometry(main)
    wx, wy, ww, wh = geometry(wizard)
    if wx < mx or wy < my or wx + ww > mx + mw or wy + wh > my + mh:
        raise Failure("the wizard %r lies outside the backdrop %r" % ((wx, wy, ww, wh), (mx, my, mw, mh)))
    app.keys(wizard, "alt+F4")
    request_close(wizard)
    time.sleep(1)
    app.check_alive()
    if wizard not in visible_windows("."):
        raise Failure("the wizard went on a close request")


def environment(prefix):
    env = dict(os.environ)
    env.pop("QT_QPA_PLATFORM", None)  # the real display, not the headless one
    env.pop("SCRIVANE_EXIT_AFTER_START", None)
    env["SCRIVANE_PREFIX"] = prefix
    env["QT_QPA_PLATFORM"] = "xcb"
    env.setdefault("XDG_RUNTIME_DIR", tempfile.mkdtemp(prefix="xdg-"))
    return env


STAND_IN_COMPILER = """#!/bin/sh
for a in "$@"; do printf '%s\\n' "$a"; done > "$0.tmp"
mv "$0.tmp" "$0.args"
"""


def scrivane_folder(work, scrivane):
    """A program folder of its own: Scrivane, its config.ini and a stand-in help compiler."""
    folder = os.path.join(work, "bin")
    os.makedirs(os.path.join(folder, "Tools"))
    shutil.copy2(scrivane, folder)
    compiler = os.path.join(folder, "Tools", "hcrtf.exe")
    with open(compiler, "w") as f:
        f.write(STAND_IN_COMPILER)
    os.chmod(compiler, 0o755)
    return os.path.join(folder, os.path.basename(scrivane))


def wait_for_file(path):
    deadline = time.monotonic() + WAIT
    while not os.path.exists(path):
        if time.monotonic() > deadline:
            raise Failure("%s was not written" % path)
        time.sleep(0.1)


def scenario_scrivane_session(args, work):
    exe = scrivane_folder(work, args.scrivane)
    project_dir = os.path.join(work, "project")
    os.makedirs(project_dir)
    for name in ("demo.wkp", "logo.bmp"):
        shutil.copy2(os.path.join(args.examples, name), project_dir)
    malformed = os.path.join(work, "malformed.wkp")
    with open(malformed, "wb") as f:
        f.write(b"3\r\nnot a number\r\n\x00\x01garbage")
    project = os.path.join(project_dir, "demo.wkp")

    app = Program([exe, project], environment(os.path.join(work, "prefix")), work, "Scrivane")
    try:
        app.answer_box("About Screen")
        main = app.wait_window("Scrivane", exclude=())

        # "Page" and "Pictures" share Alt+P: each press opens Page, so Alt+P, H always reaches Page > Page
        # Header (its dialog, or the box asking for a page first); Pictures has no H.
        for _ in range(2):
            app.keys(main, "alt+p")
            app.keys(main, "h")
            shown = app.wait_window("^(Page Header|Halvern Scrivane)$")
            if window_name(shown) == "Page Header":
                request_close(shown)
            else:
                app.keys(shown, "Return")
            deadline = time.monotonic() + WAIT
            while visible_windows("^(Page Header|Halvern Scrivane)$"):
                if time.monotonic() > deadline:
                    raise Failure("Page > Page Header stayed open")
                time.sleep(0.1)

        # Make without a compiler: the files are written, and the box says the compiler could not start.
        tools = os.path.join(os.path.dirname(exe), "Tools")
        os.rename(tools, tools + ".away")
        app.keys(main, "ctrl+m")
        app.answer_box("Halvern Scrivane")
        app.check_alive()
        os.rename(tools + ".away", tools)

        # Make: the three compiler input files, the stand-in compiler, then the closing message box.
        app.keys(main, "ctrl+m")
        app.answer_box("Halvern Scrivane")
        recorded = os.path.join(os.path.dirname(exe), "Tools", "hcrtf.exe.args")
        wait_for_file(recorded)
        written = sorted(os.listdir(project_dir))
        for extension in (".wrt", ".whp", ".cnt"):
            if not any(n.lower().endswith(extension) for n in written):
                raise Failure("Make wrote no %s file: %s" % (extension, written))
        arguments = open(recorded).read().split("\n")
        if not arguments or arguments[0] not in ("-x", "-xh") or not arguments[1].lower().endswith(".whp"):
            raise Failure("the compiler was started with %s" % arguments)

        # A save that fails (its folder is gone) shows its error, and the work is still there to save.
        original = open(project, "rb").read()
        shutil.rmtree(project_dir)
        app.keys(main, "ctrl+s")
        app.answer_box("Halvern Scrivane")
        app.check_alive()
        os.makedirs(project_dir)
        app.keys(main, "ctrl+s")
        wait_for_file(project)
        time.sleep(1)  # the save runs a while, page by page
        app.check_alive()
        if open(project, "rb").read() != original:
            raise Failure("the project saved after the failed save differs from the one opened")

        # Open on a malformed project file: the open dialog, then the error.
        app.keys(main, "ctrl+o")
        dialog = app.wait_window("^Open$")
        app.type_text(dialog, malformed)
        app.keys(dialog, "Return")
        box = app.wait_window("^Halvern Scrivane$")
        app.keys(box, "Return")
        app.check_alive()

        # File > Exit through the menu, declining to save.
        app.keys(main, "alt+f")
        app.keys(main, "x")
        deadline = time.monotonic() + WAIT
        while app.process.poll() is None and time.monotonic() < deadline:
            for w in visible_windows("^Confirm$"):
                app.keys(w, "n")
            time.sleep(0.2)
        app.wait_end()
    finally:
        app.kill()


def big_project(work, pages):
    """A project of `pages` short pages, so the load's progress window stays up for seconds."""
    lines = ["WKPFILEVERSION", "3", "Big", "16777215", "15790320", "100", "80", "480", "360", "0", str(pages)]
    for i in range(pages):
        lines += ["Page %04d" % i, "", "IDH_PAGE_%04d" % i, "Page %04d" % i, "", "1",
                  "{\\rtf1\\ansi Page %04d}" % i, "0", "0", "0"]
    path = os.path.join(work, "big.wkp")
    with open(path, "wb") as f:
        f.write("\r\n".join(lines + [""]).encode("ascii"))
    return path


def allowed_actions(window):
    """What the window manager lets a person do to the window (close, minimise, resize, ...)."""
    present = set(window_property(window, "_NET_WM_ALLOWED_ACTIONS"))
    names = ("CLOSE", "MINIMIZE", "MAXIMIZE_HORZ", "MAXIMIZE_VERT", "RESIZE", "MOVE")
    return {name for name in names if atom("_NET_WM_ACTION_" + name) in present}


MOTIF_FUNCTIONS = {"RESIZE": 2, "MOVE": 4, "MINIMIZE": 8, "MAXIMIZE": 16, "CLOSE": 32}


def asked_functions(window):
    """What the window asks the window manager to offer, from its Motif hints; no hint asks for all."""
    hints = window_property(window, "_MOTIF_WM_HINTS")
    if not hints or not hints[0] & 1 or hints[1] & 1:
        return set(MOTIF_FUNCTIONS)
    return {name for name, bit in MOTIF_FUNCTIONS.items() if hints[1] & bit}


def check_buttons(what, window, offered):
    """The window asks for exactly the functions `offered`; the window manager grants what it honours of
    that: moving and resizing, and maximising only what may be resized (it keeps close and minimise)."""
    asked = asked_functions(window)
    if asked != set(offered):
        raise Failure("%s asks the window manager for %s, not %s" % (what, sorted(asked), sorted(offered)))
    granted = allowed_actions(window)
    for name in ("MOVE", "RESIZE", "MAXIMIZE_HORZ", "MAXIMIZE_VERT"):
        if (name in granted) != (name.split("_")[0] in offered):
            raise Failure("the window manager allows %s %s; it was asked for %s" % (what, sorted(granted), sorted(offered)))


def scenario_scrivane_window_buttons(args, work):
    """Under the window manager each form offers the buttons its border and icons give it: a dialog closes
    but neither minimises nor maximises, the progress window offers nothing and outlives a close request
    (the load goes on under it), the main form offers all."""
    exe = scrivane_folder(work, args.scrivane)
    app = Program([exe, big_project(work, 500)], environment(os.path.join(work, "prefix")), work, "Scrivane")
    try:
        about = app.wait_window("^About Screen$")
        check_buttons("the About box", about, ("CLOSE", "MOVE"))
        app.keys(about, "Return")
        progress = app.wait_window("^Progress$")
        check_buttons("the progress window", progress, ("MOVE",))
        for close in (lambda: app.keys(progress, "alt+F4"), lambda: request_close(progress)):
            close()
            time.sleep(0.5)
            app.check_alive()
            if progress not in visible_windows("^Progress$"):
                raise Failure("the progress window went on a close request while the project was loading")
        deadline = time.monotonic() + WAIT
        while visible_windows("^Progress$"):
            if time.monotonic() > deadline:
                raise Failure("the load did not end")
            time.sleep(0.2)
        main = app.wait_window("Scrivane")
        check_buttons("the main form", main, ("CLOSE", "MINIMIZE", "MAXIMIZE", "RESIZE", "MOVE"))
        app.keys(main, "alt+f")
        app.keys(main, "x")
        app.wait_end()
    finally:
        app.kill()


def project_lists(path):
    """The contents entries (indented by depth) and the pages' topic IDs of a saved project."""
    lines = open(path, "rb").read().decode("cp1252").split("\r\n")
    count = int(lines[9])
    contents = lines[10:10 + 4 * count:4]
    topics = [line for line in lines[10 + 4 * count:] if line.startswith("IDH_")]
    return contents, topics


def wait_gone(pattern, what):
    deadline = time.monotonic() + WAIT
    while visible_windows(pattern):
        if time.monotonic() > deadline:
            raise Failure("%s stayed open" % what)
        time.sleep(0.1)


def scenario_scrivane_end_home_keys(args, work):
    """End and Home with nothing chosen, in the contents editor's tree and in the page list: End takes the
    last entry, Home the first, and deleting a group with entries beneath it asks first."""
    exe = scrivane_folder(work, args.scrivane)
    project_dir = os.path.join(work, "project")
    os.makedirs(project_dir)
    for name in ("demo.wkp", "logo.bmp"):
        shutil.copy2(os.path.join(args.examples, name), project_dir)
    project = os.path.join(project_dir, "demo.wkp")
    env = environment(os.path.join(work, "prefix"))
    env["SCRIVANE_FOCUS_LOG"] = os.path.join(work, "focus.log")
    focus = FocusLog(env["SCRIVANE_FOCUS_LOG"])
    app = Program([exe, project], env, work, "Scrivane")
    try:
        app.answer_box("About Screen")
        main = app.wait_window("Scrivane")

        # The contents: End, then Item > Delete takes the last entry (a topic: no question).
        app.keys(main, "ctrl+t")
        contents = app.wait_window("^Table Of Contents$")
        app.keys(contents, "End")
        app.keys(contents, "alt+i", "d")
        # Home, then Item > Delete on the group: asked first, and No keeps it.
        app.keys(contents, "Home")
        app.keys(contents, "alt+i", "d")
        app.answer_box("Confirm", key="n")
        request_close(contents)
        wait_gone("^Table Of Contents$", "the contents editor")

        # The page list: End, then Delete (answered Yes) takes the last page.
        for _ in range(30):
            if (focus.last() or "").endswith(": lstPages"):
                break
            app.keys(main, "Tab")
        else:
            raise Failure("Tab never reached the page list: %r" % focus.lines()[-30:])
        app.keys(main, "End")
        app.keys(main, "Delete")
        app.answer_box("Confirm", key="y")

        before = os.path.getmtime(project)
        app.keys(main, "ctrl+s")
        deadline = time.monotonic() + WAIT
        while os.path.getmtime(project) == before:
            if time.monotonic() > deadline:
                raise Failure("the project was not saved")
            time.sleep(0.1)
        time.sleep(1)  # the save runs a while, page by page
        entries, topics = project_lists(project)
        faults = []
        if entries != ["Introduction", "\tWelcome", "\tGetting Started"]:
            faults.append("End, Delete and Home, Delete, No left the contents %r" % entries)
        if topics != ["IDH_WELCOME", "IDH_GETTING_STARTED"]:
            faults.append("End and Delete in the page list left the pages %r" % topics)
        if faults:
            raise Failure("; ".join(faults))

        app.keys(main, "alt+f")
        app.keys(main, "x")
        app.wait_end()
    finally:
        app.kill()


def scenario_scrivane_missing_project(args, work):
    exe = scrivane_folder(work, args.scrivane)
    app = Program([exe, os.path.join(work, "nothere.wkp")], environment(os.path.join(work, "prefix")), work,
                  "Scrivane")
    try:
        app.answer_box("About Screen")
        app.answer_box("Halvern Scrivane")  # the load's error
        main = app.wait_window("Scrivane")
        app.keys(main, "alt+f")
        app.keys(main, "x")
        app.wait_end()
    finally:
        app.kill()


def scenario_install_starts(args, work):
    """Started directly instead of through the loader: the bad ending's page, then the error."""
    app = Program([args.install], environment(os.path.join(work, "prefix")), work, "ScrivaneInstall")
    try:
        page = app.wait_window("^Setup incomplete$")
        main = visible_windows("^Scrivane Install$")
        app.keys(page, "space")  # Finish has the focus
        box = app.wait_window("^Scrivane Install$", exclude=main)
        app.keys(box, "Return")
        app.wait_end(expected=1)  # a failed installation says so in its exit code
    finally:
        app.kill()


def setup_checks():
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "installer", "setup"))
    import setup_process
    return setup_process


def setup_prefix(work):
    """An empty prefix for the setup, its environment, and the log of the windows it shows."""
    prefix = os.path.join(work, "prefix")
    os.makedirs(prefix)
    env = environment(prefix)
    log = os.path.join(work, "windows.log")
    env["SCRIVANE_WINDOW_LOG"] = log
    return prefix, env, log


def scenario_setup_wizard(args, work):
    """The distribution's setup.exe on the display: every page of the wizard answered with its forward
    button from the keyboard, then the installation judged by its files, registry and shortcuts."""
    checks = setup_checks()
    prefix, env, log = setup_prefix(work)
    app = Program([checks.setup_exe(args.dist)], env, work, "setup")
    try:
        for page in checks.WIZARD + ["Setup complete"]:
            window = app.wait_window("^%s$" % re.escape(page))
            if args.wm and page == "Welcome":
                check_managed_setup(app, app.wait_window("^Scrivane Install$"), window)
            app.keys(window, "space")  # each page gives its forward button the focus
        app.wait_end()
    finally:
        app.kill()
    shown = checks.shown_forms(checks.pc.read_lines(log))
    try:
        checks.check_temp_cleaned(prefix, [])
        checks.check_order(shown, checks.WIZARD + ["Copying installation files", "(TInstallStatusForm)",
                                                   "Setup complete"])
        checks.check_installed(prefix, args.examples, work)
    except checks.Failure as failure:
        raise Failure(str(failure))


def setup_fresh_prefix(args, work):
    """A prefix laid out as a fresh machine's, its snapshot, its environment, and the window log."""
    checks = setup_checks()
    prefix, before = checks.fresh_prefix(args, work)
    env = environment(prefix)
    log = os.path.join(work, "windows.log")
    env["SCRIVANE_WINDOW_LOG"] = log
    return prefix, before, env, log


def through_the_wizard(app, checks, last_keys=("space",)):
    """Every page answered with its forward button from the keyboard; the last page's keys are given."""
    for page in checks.WIZARD:
        window = app.wait_window("^%s$" % re.escape(page))
        app.keys(window, *(last_keys if page == checks.WIZARD[-1] else ("space",)))


def wait_logged(log, line):
    """Waits until the window log has `line`: a window shown by the program, whatever the screen shows."""
    checks = setup_checks()
    deadline = time.monotonic() + WAIT
    while line not in checks.pc.read_lines(log):
        if time.monotonic() > deadline:
            raise Failure("no '%s' in the window log: %r" % (line, checks.pc.read_lines(log)))
        time.sleep(0.05)


def cancelled_mid_copy(args, work, cancel):
    """The copy window cancelled by `cancel` (app, window) while the copy goes on: the bad ending, exit 2,
    and the prefix as before."""
    checks = setup_checks()
    prefix, before, env, log = setup_fresh_prefix(args, work)
    app = Program([checks.setup_exe(args.dist)], env, work, "setup")
    try:
        through_the_wizard(app, checks)
        wait_logged(log, "form Copying installation files")
        copying = app.wait_window("^Copying installation files$")
        cancel(app, copying)
        done = app.wait_window("^Setup incomplete$")
        app.keys(done, "space")
        app.wait_end(expected=checks.CANCELLED)
    finally:
        app.kill()
    shown = checks.shown_forms(checks.pc.read_lines(log))
    try:
        checks.check_order(shown, checks.WIZARD + ["Copying installation files", "Setup incomplete"])
        if "Setup complete" in shown:
            raise Failure("the good ending was shown after the Cancel: %r" % shown)
        checks.wait_until_as_before(prefix, before, "after the Cancel in the copy window")
    except checks.Failure as failure:
        raise Failure(str(failure))


def scenario_setup_cancel_copy(args, work):
    """Escape, the copy window's Cancel from the keyboard, while the files are copied."""
    cancelled_mid_copy(args, work, lambda app, window: app.keys(window, "Escape"))


def scenario_setup_close_copy(args, work):
    """The copy window's close request (Alt+F4 under the window manager, its close message on the bare
    display) is a Cancel: the window stays and the run ends cancelled."""

    def close(app, window):
        if args.wm:
            app.keys(window, "alt+F4")
        else:
            request_close(window)

    cancelled_mid_copy(args, work, close)


def scenario_setup_return_twice(args, work):
    """Return pressed twice on the last page: the second press belongs to that page, not to the copy
    window that comes up under it, so the installation goes through."""
    checks = setup_checks()
    prefix, _, env, log = setup_fresh_prefix(args, work)
    app = Program([checks.setup_exe(args.dist)], env, work, "setup")
    try:
        # A quick double press: the copy window comes up between the two.
        through_the_wizard(app, checks, last_keys=("--delay", "300", "Return", "Return"))
        done = app.wait_window("^Setup (complete|incomplete)$")
        if window_name(done) != "Setup complete":
            raise Failure("the run ended %r: %r" % (window_name(done), checks.pc.read_lines(log)))
        app.keys(done, "space")
        app.wait_end()
    finally:
        app.kill()
    try:
        checks.check_temp_cleaned(prefix, [])
        checks.check_installed(prefix, args.examples, work)
    except checks.Failure as failure:
        raise Failure(str(failure))


class Stacking:
    """The top-level windows of the display from bottom to top, as the window manager stacks them
    (_NET_CLIENT_LIST_STACKING); one connection, read often."""

    def __init__(self):
        self.xlib = _xlib()
        self.display = self.xlib.XOpenDisplay(None)
        if not self.display:
            raise Failure("cannot open the display")
        self.root = self.xlib.XDefaultRootWindow(self.display)

    def close(self):
        self.xlib.XCloseDisplay(self.display)

    def _property(self, window, name):
        """The items of a property: a list of 32-bit values, or the text of an 8-bit one."""
        x = self.xlib
        atom_id = x.XInternAtom(self.display, name.encode(), 0)
        kind, fmt = ctypes.c_ulong(), ctypes.c_int()
        count, after, data = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
        if x.XGetWindowProperty(self.display, window, atom_id, 0, 4096, 0, 0, ctypes.byref(kind), ctypes.byref(fmt),
                                ctypes.byref(count), ctypes.byref(after), ctypes.byref(data)) != 0 or not data.value:
            return None
        try:
            if fmt.value == 32:
                items = ctypes.cast(data, ctypes.POINTER(ctypes.c_ulong))
                return [items[i] for i in range(count.value)]
            return ctypes.string_at(data, count.value).decode("utf-8", "replace")
        finally:
            x.XFree(data)

    def name(self, window):
        """The title; read each time, since a wizard's frame changes it with each page."""
        return self._property(window, "_NET_WM_NAME") or self._property(window, "WM_NAME")

    def windows(self):
        """[(id, name)] of the managed top-level windows, bottom first."""
        return [(w, self.name(w)) for w in self._property(self.root, "_NET_CLIENT_LIST_STACKING") or []]


class FocusLog:
    """Where the keys go, from the program's focus log: "focus <form caption>: <control name>" lines."""

    def __init__(self, path):
        self.path = path

    def lines(self):
        try:
            with open(self.path, errors="replace") as f:
                return [line.rstrip("\n")[len("focus "):] for line in f if line.startswith("focus ")]
        except FileNotFoundError:
            return []

    def last(self):
        lines = self.lines()
        return lines[-1] if lines else None

    def tab_cycle(self, app, window):
        """The stops of one Tab cycle, from where the focus is back to it."""
        start = self.last()
        stops = []
        for _ in range(30):
            app.keys(window, "Tab")
            here = self.last()
            if here == start or here in stops:
                return stops
            stops.append(here)
        raise Failure("the Tab cycle did not come back to %r: %r" % (start, stops))

    def tab_to(self, app, window, stop):
        for _ in range(30):
            if self.last() == stop:
                return
            app.keys(window, "Tab")
        raise Failure("Tab never reached %r; the focus went %r" % (stop, self.lines()[-30:]))


def scenario_setup_restart(args, work):
    """A reinstall while Scrivane.exe is held: the wizard from the keyboard, then the message that the
    restart finishes the installation, answered with Return; the run ends waiting for the restart."""
    checks = setup_checks()
    prefix, _, env, log = setup_fresh_prefix(args, work)
    try:
        checks.install(args, prefix, work)
        held = checks.hold(checks.pc.host_path(prefix, checks.SCRIVANE_EXE))
    except checks.Failure as failure:
        raise Failure(str(failure))
    app = Program([checks.setup_exe(args.dist)], env, work, "setup")
    try:
        app.wait_window("^Welcome$")
        main = visible_windows("^Scrivane Install$")
        through_the_wizard(app, checks)
        deadline = time.monotonic() + WAIT
        while not [line for line in checks.pc.read_lines(log) if line.startswith("message Scrivane Install: ")]:
            if time.monotonic() > deadline:
                raise Failure("the restart was not announced: %r" % checks.pc.read_lines(log))
            time.sleep(0.05)
        box = app.wait_window("^Scrivane Install$", exclude=main)
        app.keys(box, "Return")
        app.wait_end(expected=checks.RESTART)
    finally:
        app.kill()
        os.close(held)
    told = [line for line in checks.pc.read_lines(log) if line.startswith("message Scrivane Install: ")]
    if not any("Windows starts again" in line for line in told):
        raise Failure("the message does not say that the restart finishes the installation: %r" % told)


def scenario_setup_keys(args, work):
    """The wizard worked with the keyboard alone: Tab and typing on the Welcome page, every page's Tab
    cycle, and the label accelerators of the program-menu page; the installation goes where it was meant to."""
    checks = setup_checks()
    prefix, env, log = setup_prefix(work)
    env["SCRIVANE_FOCUS_LOG"] = os.path.join(work, "focus.log")
    focus = FocusLog(env["SCRIVANE_FOCUS_LOG"])
    app = Program([checks.setup_exe(args.dist)], env, work, "setup")
    try:
        welcome = app.wait_window("^Welcome$")
        for _ in range(16):
            app.keys(welcome, "Tab", "d")
        for page in checks.WIZARD:
            window = welcome if page == "Welcome" else app.wait_window("^%s$" % re.escape(page))
            forward = page + ": ProceedBtn"
            focus.tab_to(app, window, forward)
            stops = focus.tab_cycle(app, window)
            strays = [stop for stop in stops if not stop.startswith(page + ": ")]
            if strays:
                raise Failure("the Tab cycle of %s went into other pages: %r" % (page, stops))
            if page == "Choose Destination Location":
                names = sorted(stop[len(page) + 2:] for stop in stops + [forward])
                if names != sorted(["edDestDir", "BrowseBtn", "BackBtn", "ProceedBtn", "CancelBtn"]):
                    raise Failure("the destination page's Tab cycle holds %r" % names)
            if page == "Select folder in start menu":
                app.keys(window, "alt+p")
                if focus.last() != page + ": FolderEdit":
                    raise Failure("Alt+P left the focus on %r" % focus.last())
                app.keys(window, "alt+x")
                if focus.last() != page + ": FolderListBox":
                    raise Failure("Alt+X left the focus on %r" % focus.last())
            focus.tab_to(app, window, forward)
            app.keys(window, "space")
        done = app.wait_window("^Setup complete$")
        app.keys(done, "space")
        app.wait_end()
    finally:
        app.kill()
    try:
        checks.check_installed(prefix, args.examples, work)
    except checks.Failure as failure:
        raise Failure(str(failure))


def scenario_setup_browse_title(args, work):
    """Browse on the destination page, then its New Folder button, from the keyboard: the prompt for the
    folder's name is titled "New Folder", without the button's ampersand. Cancelled, nothing is made."""
    checks = setup_checks()
    prefix, before, env, log = setup_fresh_prefix(args, work)
    app = Program([checks.setup_exe(args.dist)], env, work, "setup")
    try:
        for page in checks.WIZARD[:3]:
            app.keys(app.wait_window("^%s$" % re.escape(page)), "space")
        destination = app.wait_window("^Choose Destination Location$")
        app.keys(destination, "alt+b")
        browser = app.wait_window("^Browse for Folder$")
        app.keys(browser, "alt+n")
        prompt = app.wait_window("New Folder")
        if window_name(prompt) != "New Folder":
            raise Failure("the new-folder prompt is titled %r" % window_name(prompt))
        app.keys(prompt, "Escape")
        app.keys(browser, "Escape")
        destination = app.wait_window("^Choose Destination Location$")
        app.keys(destination, "Escape")
        app.answer_box("Setup incomplete", "space")
        app.wait_end(expected=checks.CANCELLED)
    finally:
        app.kill()
    try:
        checks.wait_until_as_before(prefix, before, "after Browse and the setup were cancelled")
    except checks.Failure as failure:
        raise Failure(str(failure))


def scenario_setup_status_above(args, work):
    """The status popup of the installation's later stages ("Installing shell links...") is stacked above
    the backdrop while it shows, also when the backdrop is raised (as a click on it would) meanwhile. Only
    a window manager keeps an owned window above its owner, so this runs under one."""
    if not args.wm:
        raise Failure("setup-status-above runs under a window manager (--wm)")
    checks = setup_checks()
    prefix, env, log = setup_prefix(work)
    app = Program([checks.setup_exe(args.dist)], env, work, "setup")
    stacking = Stacking()
    seen = []
    try:
        through_the_wizard(app, checks)
        wait_logged(log, "form Copying installation files")
        backdrop = app.wait_window("^Scrivane Install$")
        raised = False
        deadline = time.monotonic() + 10 * WAIT
        while time.monotonic() < deadline:
            windows = stacking.windows()
            names = [name for _, name in windows]
            if "Setup complete" in names:
                break
            if "Copying installation files" in names or "scrivane" not in names:
                continue
            ids = [w for w, _ in windows]
            popup = ids[names.index("scrivane")]
            if int(backdrop) not in ids:
                continue
            seen.append(names)
            if ids.index(popup) < ids.index(int(backdrop)):
                raise Failure("the status popup is under the backdrop: %r (bottom first)" % names)
            if not raised:
                xdotool("windowraise", backdrop, check=False)
                raised = True
        done = app.wait_window("^Setup complete$")
        app.keys(done, "space")
        app.wait_end()
    finally:
        stacking.close()
        app.kill()
    if not seen:
        raise Failure("the status popup was never seen after the copy: %r" % checks.pc.read_lines(log))


SCENARIOS = {
    "setup-browse-title": scenario_setup_browse_title,
    "setup-status-above": scenario_setup_status_above,
    "scrivane-session": scenario_scrivane_session,
    "scrivane-missing-project": scenario_scrivane_missing_project,
    "scrivane-window-buttons": scenario_scrivane_window_buttons,
    "scrivane-end-home-keys": scenario_scrivane_end_home_keys,
    "install-starts": scenario_install_starts,
    "setup-wizard": scenario_setup_wizard,
    "setup-keys": scenario_setup_keys,
    "setup-cancel-copy": scenario_setup_cancel_copy,
    "setup-close-copy": scenario_setup_close_copy,
    "setup-return-twice": scenario_setup_return_twice,
    "setup-restart": scenario_setup_restart,
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    parser.add_argument("--scrivane")
    parser.add_argument("--install")
    parser.add_argument("--examples")
    parser.add_argument("--dist")
    parser.add_argument("--init", help="the platform's program that lays out a fresh prefix")
    parser.add_argument("--wm", action="store_true", help="run under a window manager")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        print("no DISPLAY: run under xvfb-run", file=sys.stderr)
        return 2
    work = tempfile.mkdtemp(prefix="display-")
    manager = None
    try:
        if args.wm:
            manager = WindowManager(work)
        SCENARIOS[args.scenario](args, work)
    except Failure as failure:
        print("FAILED: %s" % failure, file=sys.stderr)
        if "could not connect to display" in str(failure):
            return 75  # the display went away under us: on-xvfb.sh tries another one
        if shutil.which("import"):
            subprocess.run(["import", "-window", "root", os.path.join(work, "screen.png")], capture_output=True)
        print("(kept %s)" % work, file=sys.stderr)
        return 1
    finally:
        if manager:
            manager.stop()
    shutil.rmtree(work, ignore_errors=True)
    print("%s: passed" % args.scenario)
    return 0


if __name__ == "__main__":
    sys.exit(main())
