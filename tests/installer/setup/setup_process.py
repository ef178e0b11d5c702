#!/usr/bin/env python3
"""The distribution of Scrivane installed as a person installs it: its setup.exe started through the
loader in a fresh prefix, the wizard answered page by page, and the result judged by the files, the
registry and the shortcuts; and whatever the setup and the uninstaller leave, judged by the whole prefix
against its state before. Offscreen; the display scenarios of tests/display do the same on Xvfb.

usage: setup_process.py SCENARIO --dist BUILD_PREFIX --examples DIR --init PROGRAM
  install   every page answered with its forward button: Scrivane is installed; installed again over it
            (its records are not doubled); removed through Add/Remove Programs: the prefix is as before
  cancel    Cancel on the welcome page: "Setup incomplete", the prefix is as before
  fail      a file that cannot be written stops the copy: "Setup incomplete", the error, the prefix as before
  damaged   a setup.exe cut short, with a changed byte in a packed file, or with a damaged list of files:
            the error says what is damaged, the exit code is 1, the prefix as before
  restart_uninstall  a reinstall while Scrivane.exe is held waits for the restart and says so; the uninstall
            that follows takes its waiting work back: after it and the next start the prefix is as before
  restart_again      a setup run again before that restart: the next start ends well and changes nothing
  restart_resume     that reinstall finished by the next start, then uninstalled: the prefix is as before,
            the maker's key that was there before included
  shared    Tools\hwdll.dll is there before, counted by another product: the setup counts it too, the
            uninstall lowers the count and leaves the file to the other product
  running   uninstalled while the installed Scrivane runs: its program stays, named, in the records; once
            it has ended and Windows has started again (scrivane-boot) the prefix is as before
  --init    a program of the platform that lays out a fresh prefix and changes nothing else
"""
import argparse
import fcntl
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import prefix_checks as pc  # noqa: E402

WAIT = 300  # seconds; the sanitizer build of the programs is large and slow to unpack

INSTALL_DIR = r"C:\Program Files\Halvern\Scrivane"
UNINSTALL_KEY = "HKEY_LOCAL_MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL\\SCRIVANE"
WIZARD = ["Welcome", "Software license agreement", "Readme information", "Choose Destination Location",
          "Select folder in start menu"]
FORWARD = {"Welcome": "Next >", "Software license agreement": "Accept >", "Readme information": "Next >",
           "Choose Destination Location": "Next >", "Select folder in start menu": "Next >"}


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def setup_exe(dist):
    path = pc.host_path(dist, r"C:\Scrivane\Setup\setup.exe")
    check(os.path.isfile(path), "no distribution at %s (the SetupDistribution test builds it)" % path)
    return path


TEMP = r"C:\Documents and Settings\User\Local Settings\Temp"


def temp_entries(prefix):
    folder = pc.host_path(prefix, TEMP)
    return sorted(os.listdir(folder)) if os.path.isdir(folder) else []


def check_temp_cleaned(prefix, before):
    """The loader's temporary copy of the setup is gone once its clean-up batch has run after the end."""
    deadline = time.monotonic() + 30
    while temp_entries(prefix) != before and time.monotonic() < deadline:
        time.sleep(0.2)
    check(temp_entries(prefix) == before, "left in the temporary folder: %r" % temp_entries(prefix))


# Exit codes of the setup: a good ending, a failure, and the user's Cancel.
GOOD, FAILED, CANCELLED, RESTART = 0, 1, 2, 3


def answered_env(prefix, work, answers, stem):
    """The environment of a program run in `prefix` whose windows are answered by `answers`, and the log of
    its windows (emptied: the log is appended to, and each run is judged by its own windows)."""
    script = os.path.join(work, stem + "answers.txt")
    with open(script, "w") as f:
        f.write("".join("%s\t%s\n" % pair for pair in answers))
    log = os.path.join(work, stem + "windows.log")
    if os.path.exists(log):
        os.remove(log)
    env = dict(os.environ, SCRIVANE_PREFIX=prefix, QT_QPA_PLATFORM="offscreen", SCRIVANE_ANSWERS=script,
               SCRIVANE_WINDOW_LOG=log)
    env.pop("SCRIVANE_EXIT_AFTER_START", None)
    return env, log


def run_setup(dist, prefix, work, answers, expected=GOOD, exe=None, temp_kept=False):
    """Runs setup.exe (the distribution's, or `exe`) in `prefix` with the answer script; it must end with
    `expected`. Returns the window log's lines and stderr. The temporary copy the loader made must be gone
    afterwards, unless `temp_kept` (a run that waits for the restart keeps it)."""
    env, log = answered_env(prefix, work, answers, "")
    before = temp_entries(prefix)
    try:
        result = subprocess.run([exe or setup_exe(dist)], env=env, cwd=work, capture_output=True, text=True,
                                errors="replace", timeout=WAIT)
    except subprocess.TimeoutExpired:
        raise Failure("setup.exe did not end within %d seconds" % WAIT)
    for marker in ("ERROR: AddressSanitizer", "runtime error:", "ERROR: LeakSanitizer"):
        check(marker not in result.stderr, "sanitizer report:\n" + result.stderr)
    check(result.returncode == expected, "setup.exe ended with %d, not %d:\n%s\n%r" % (
        result.returncode, expected, result.stderr, pc.read_lines(log)))
    check("nobody to answer" not in result.stderr, "a window was not answered:\n%s\n%r" % (result.stderr,
                                                                                         pc.read_lines(log)))
    if not temp_kept:
        check_temp_cleaned(prefix, before)
    return pc.read_lines(log), result.stderr


def shown_forms(log):
    return [line[len("form "):] for line in log if line.startswith("form ")]


def check_order(shown, expected):
    """`expected` appears in `shown` in this order (other windows may come between)."""
    position = 0
    for caption in shown:
        if position < len(expected) and caption == expected[position]:
            position += 1
    check(position == len(expected), "windows shown %r, expected in order %r" % (shown, expected))


def z_path(host):
    """The Windows path of a host file through drive Z:, the host's root."""
    return "Z:" + os.path.abspath(host).replace("/", "\\")


def check_installed(prefix, examples, work):
    """Everything the installation of Scrivane leaves: files, shortcuts, association, uninstall record; and
    the association's command starts the installed program on a project."""
    for name in (r"\Scrivane.exe", r"\Tools\hcrtf.exe", r"\Tools\hwdll.dll", r"\Help\SCRIVANE HELP.HLP",
                 r"\Help\Scrivane Help.cnt", r"\Uninstall\uninstall.exe"):
        check(os.path.isfile(pc.host_path(prefix, INSTALL_DIR + name)), "not installed: " + INSTALL_DIR + name)
    check(os.access(pc.host_path(prefix, INSTALL_DIR + r"\Scrivane.exe"), os.X_OK), "Scrivane.exe cannot run")

    menu = pc.PROGRAMS_MENU + r"\Halvern\Scrivane"
    links = {"Scrivane.LNK": INSTALL_DIR + r"\Scrivane.exe",
             "Scrivane Help.LNK": INSTALL_DIR + r"\Help\SCRIVANE HELP.HLP",
             "uninstall.lnk": INSTALL_DIR + r"\Uninstall\uninstall.exe"}
    if shutil.which("lnkinfo"):
        for link, target in links.items():
            info = pc.lnkinfo(pc.host_path(prefix, menu + "\\" + link))
            check("Local path\t\t\t: " + target in info, "%s does not lead to %s:\n%s" % (link, target, info))
    else:
        print("lnkinfo is not installed: the shortcuts' targets are not read back")
    url = pc.host_path(prefix, menu + r"\www.example.com.URL")
    check(os.path.isfile(url) and "URL=http://www.example.com" in open(url, errors="replace").read(),
          "the internet shortcut is missing or wrong")

    registry = pc.read_registry(prefix)
    classes = "HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES\\"
    check(registry.get(classes + ".WKP", {}).get("") == "ScrivaneProject", "the .wkp association is missing")
    command = registry.get(classes + "SCRIVANEPROJECT\\SHELL\\OPEN\\COMMAND", {}).get("")
    check(command == '"%s\\Scrivane.exe" "%%1"' % INSTALL_DIR, "open command is %r" % command)
    check(registry.get(classes + "SCRIVANEPROJECT\\DEFAULTICON", {}).get("") == INSTALL_DIR + r"\FileIcon.ico",
          "the default icon is missing")
    uninstall = registry.get("HKEY_LOCAL_MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL\\SCRIVANE")
    check(uninstall is not None, "no Add/Remove Programs record")
    check(uninstall.get("DISPLAYNAME") == "Scrivane", "Add/Remove Programs name: %r" % uninstall.get("DISPLAYNAME"))
    check(INSTALL_DIR + r"\Uninstall\uninstall.exe" in str(uninstall.get("UNINSTALLSTRING")),
          "uninstall command: %r" % uninstall.get("UNINSTALLSTRING"))
    changes = pc.read_lines(os.path.join(prefix, "shell-changes"))
    check("08000000 2000" in changes, "the shell was not told of the new association: %r" % changes)

    # The association's command, with a project for %1, as the shell would run it. The projects lie outside
    # the prefix, so that all the prefix holds afterwards is what the programs put there.
    projects = os.path.join(work, "projects")
    os.makedirs(projects, exist_ok=True)
    for name in os.listdir(examples):
        shutil.copy(os.path.join(examples, name), projects)
    # The program reports a project it cannot load, so a run without a report is a run on the project.
    for project, loads in ((z_path(os.path.join(projects, "demo.wkp")), True),
                           (z_path(os.path.join(projects, "missing.wkp")), False)):
        argv = pc.split_command(command.replace("%1", project))
        check(len(argv) == 2 and argv[1] == project, "the open command splits into %r" % argv)
        log = os.path.join(work, "scrivane-windows.log")
        if os.path.exists(log):
            os.remove(log)
        env = dict(os.environ, SCRIVANE_PREFIX=prefix, QT_QPA_PLATFORM="offscreen",
                   SCRIVANE_EXIT_AFTER_START="1", SCRIVANE_WINDOW_LOG=log)
        env.pop("SCRIVANE_ANSWERS", None)
        result = subprocess.run([pc.host_path(prefix, argv[0])] + argv[1:], env=env, cwd=work,
                                capture_output=True, text=True, errors="replace", timeout=WAIT)
        check(result.returncode == 0, "the installed Scrivane ended with %d:\n%s" % (result.returncode, result.stderr))
        messages = [line for line in pc.read_lines(log) if line.startswith("message ")]
        if loads:
            check(not messages, "Scrivane could not open %s: %r" % (project, messages))
        else:
            check(any("File not found." in line for line in messages), "no report of %s: %r" % (project, messages))


def check_uninstall(prefix, work):
    """The Add/Remove Programs command, run as the control panel runs it and answered as a person answers
    its questions, removes all that the installation put in place but the running uninstaller itself."""
    registry = pc.read_registry(prefix)
    key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL\\SCRIVANE"
    argv = pc.split_command(registry[key]["UNINSTALLSTRING"])
    script = os.path.join(work, "uninstall-answers.txt")
    with open(script, "w") as f:
        f.write("Confirm\t&Yes\nInformation\tOK\n")
    log = os.path.join(work, "uninstall-windows.log")
    env = dict(os.environ, SCRIVANE_PREFIX=prefix, QT_QPA_PLATFORM="offscreen", SCRIVANE_ANSWERS=script,
               SCRIVANE_WINDOW_LOG=log)
    result = subprocess.run([pc.host_path(prefix, argv[0])] + argv[1:], env=env, cwd=work, capture_output=True,
                            text=True, errors="replace", timeout=WAIT)
    check(result.returncode == 0, "the uninstaller ended with %d:\n%s\n%r" % (result.returncode, result.stderr,
                                                                              pc.read_lines(log)))
    check("message Information: Scrivane was removed." in pc.read_lines(log), "uninstall: %r" % pc.read_lines(log))
    left = []
    for root, _, files in os.walk(pc.host_path(prefix, INSTALL_DIR)):
        left += [os.path.join(root, name) for name in files]
    # Scrivane's own settings, written when it ran above, are the user's and stay. The uninstaller removes
    # itself once it has ended, so it may or may not be gone yet; wait_until_as_before waits for that.
    settings = pc.host_path(prefix, INSTALL_DIR + r"\config.ini")
    running = pc.host_path(prefix, INSTALL_DIR + r"\Uninstall\uninstall.exe")
    check(settings in left and not set(left) - {settings, running}, "left after uninstall: %r" % left)
    check(not os.path.exists(pc.host_path(prefix, pc.PROGRAMS_MENU + r"\Halvern")), "the shortcuts are still there")
    check_registry_clean(prefix)


def check_registry_clean(prefix):
    registry = pc.read_registry(prefix)
    for key in ("HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES\\.WKP", "HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES\\SCRIVANEPROJECT",
                "HKEY_LOCAL_MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL\\SCRIVANE"):
        check(key not in registry, "%s is in the registry" % key)


def check_nothing_installed(prefix):
    check(not os.path.exists(pc.host_path(prefix, r"C:\Program Files\Halvern")), "files were installed")
    check(not os.path.exists(pc.host_path(prefix, pc.PROGRAMS_MENU + r"\Halvern")), "shortcuts were made")
    check_registry_clean(prefix)


# Files of the prefix left out of the snapshots, each for its reason.
LEFT_OUT = {
    # The registry, compared by its keys and values instead: the files may order and format them otherwise.
    "system.reg", "user.reg",
    # The layer's journal of Windows attributes: compared as the attributes of each file and folder instead,
    # since its lines record each change, even one undone later.
    "attributes.txt",
    # The layer's table of short names: compared as the short name of each file and folder instead, since
    # it also keeps names that are gone.
    "shortnames.txt",
    # Holds nothing: every program of the layer makes it on its first look-up of a short name, to take turns.
    "shortnames.lock",
    # A log of the shell notifications the programs sent, not a state of the machine.
    "shell-changes",
}


def fresh_prefix(args, work):
    """A prefix laid out as a fresh machine's by the platform's own program, and its snapshot. A second run
    of that program changes nothing, which also proves the snapshots compare equal when nothing changed."""
    prefix = os.path.join(work, "prefix")
    os.makedirs(prefix)

    def lay_out():
        result = subprocess.run([args.init], env=dict(os.environ, SCRIVANE_PREFIX=prefix), cwd=work,
                                capture_output=True, text=True, errors="replace", timeout=WAIT)
        check(result.returncode == 0, "%s ended with %d:\n%s" % (args.init, result.returncode, result.stderr))

    lay_out()
    before = pc.Snapshot(prefix, LEFT_OUT)
    lay_out()
    changed = pc.differences(before, pc.Snapshot(prefix, LEFT_OUT))
    check(not changed, "a second run of %s changed the prefix:\n%s" % (args.init, "\n".join(changed)))
    return prefix, before


def wait_until_as_before(prefix, before, what, allowed_new=()):
    """The prefix equals `before` but for `allowed_new`, once the clean-up the programs leave to run after
    their end is done (bounded)."""
    deadline = time.monotonic() + 30
    while True:
        changed = pc.differences(before, pc.Snapshot(prefix, LEFT_OUT), allowed_new)
        if not changed or time.monotonic() > deadline:
            break
        time.sleep(0.5)
    check(not changed, "%s, the prefix differs from before:\n%s" % (what, "\n".join(changed)))


def record_counts(prefix):
    """How many files the "Files" record lists ("File<n>" values) and how many registry keys "RegistryKeys"
    does ("RegistryKey<n>" subkeys); a record continues in subkeys named as it with a number appended."""
    files = keys = 0
    for path, key in pc.read_registry_tree(prefix).items():
        if re.fullmatch(re.escape(UNINSTALL_KEY) + r"\\FILES\d*", path):
            files += sum(1 for name in key.values if re.fullmatch(r"FILE\d+", name))
        if re.fullmatch(re.escape(UNINSTALL_KEY) + r"\\REGISTRYKEYS\d*\\REGISTRYKEY\d+", path):
            keys += 1
    return files, keys


def install(args, prefix, work):
    answers = [(page, FORWARD[page]) for page in WIZARD] + [("Setup complete", "Finish")]
    log, errors = run_setup(args.dist, prefix, work, answers)
    shown = shown_forms(log)
    check_order(shown, WIZARD + ["Copying installation files", "(TInstallStatusForm)", "Setup complete"])
    check("Setup incomplete" not in shown, "the bad ending was shown: %r\n%s" % (shown, errors))
    check(shown[-1] == "Setup complete", "the last window was %r: %r\n%s" % (shown[-1], shown, errors))
    print("windows shown: %r" % [line for line in log if line.startswith(("form ", "message "))])
    check_installed(prefix, args.examples, work)


def scenario_install(args, work):
    prefix, before = fresh_prefix(args, work)
    install(args, prefix, work)
    first = record_counts(prefix)
    check(first[0] > 0 and first[1] > 0, "the uninstall records list no files or no registry keys: %r" % (first,))
    # A second run over the installation, as a person repairing it would do.
    install(args, prefix, work)
    second = record_counts(prefix)
    check(second == first, "the uninstall records hold %d files and %d registry keys after the first install, "
          "%d and %d after the second" % (first + second))
    check_uninstall(prefix, work)
    # Scrivane's settings, written when the test ran it, are the user's and stay with their folders.
    settings = ["drive_c/Program Files/Halvern", "drive_c/Program Files/Halvern/Scrivane",
                "drive_c/Program Files/Halvern/Scrivane/config.ini"]
    wait_until_as_before(prefix, before, "after the uninstall", settings)


def scenario_cancel(args, work):
    prefix, before = fresh_prefix(args, work)
    log, errors = run_setup(args.dist, prefix, work, [("Welcome", "Cancel"), ("Setup incomplete", "Finish")],
                            CANCELLED)
    shown = shown_forms(log)
    check_order(shown, ["Welcome", "Setup incomplete"])
    for page in WIZARD[1:] + ["Copying installation files", "Setup complete"]:
        check(page not in shown, "%s was shown after Cancel: %r" % (page, shown))
    check_nothing_installed(prefix)
    wait_until_as_before(prefix, before, "after the cancelled setup")


def scenario_fail(args, work):
    """A file the setup cannot write (a folder stands at its path) stops the copy half-way, after four files
    and their folders: the error is shown after the bad ending, the exit code says the setup failed, and what
    it had installed goes again."""
    prefix, fresh = fresh_prefix(args, work)
    os.makedirs(pc.host_path(prefix, INSTALL_DIR + r"\Scrivane.exe"))
    before = pc.Snapshot(prefix, LEFT_OUT)
    answers = [(page, FORWARD[page]) for page in WIZARD] + [("Setup incomplete", "Finish"), ("Scrivane Install", "OK")]
    log, errors = run_setup(args.dist, prefix, work, answers, FAILED)
    shown = shown_forms(log)
    check_order(shown, WIZARD + ["Copying installation files", "Setup incomplete"])
    check("Setup complete" not in shown, "the good ending was shown: %r\n%s" % (shown, errors))
    check(any(line.startswith("message Scrivane Install: ") for line in log), "no error was shown: %r" % log)
    wait_until_as_before(prefix, before, "after the failed setup")


def packed_entries(exe):
    """The files packed in files.1 of a setup.exe: {name: (header position, data start, data end)}, the
    positions in the file."""
    with open(exe, "rb") as f:
        data = f.read()
    files1_first = int.from_bytes(data[-56 + 24:-56 + 28], "little")
    count = int.from_bytes(data[files1_first:files1_first + 4], "little")
    entries, header = {}, files1_first + 5
    for _ in range(count):
        name = data[header + 25:header + 25 + data[header + 24]].decode("latin-1")
        start = files1_first + int.from_bytes(data[header + 136:header + 140], "little")
        end = files1_first + int.from_bytes(data[header + 20:header + 24], "little")
        entries[name.split("\\")[-1]] = (header, start, end)
        header = files1_first + int.from_bytes(data[header + 128:header + 132], "little")
    return entries


def scenario_damaged(args, work):
    """A setup.exe damaged on its way to the person: the error names what is damaged and what to do, after
    the text the setup has always shown, the setup ends with 1 and the prefix is as before."""
    prefix, before = fresh_prefix(args, work)
    original = open(setup_exe(args.dist), "rb").read()
    scrivane = packed_entries(setup_exe(args.dist))["Scrivane.exe"]

    def cut_short(data):
        return data[:len(data) * 2 // 3]

    def flipped(data):
        middle = (scrivane[1] + scrivane[2]) // 2
        return data[:middle] + bytes([data[middle] ^ 0x55]) + data[middle + 1:]

    def count_wrong(data):
        files1_first = int.from_bytes(data[-56 + 24:-56 + 28], "little")
        return data[:files1_first] + (1 << 30).to_bytes(4, "little") + data[files1_first + 4:]

    through = [(page, FORWARD[page]) for page in WIZARD] + [("Setup incomplete", "Finish")]
    cases = [
        # The loader cannot find its parts: it says so before any window of the setup.
        ("cut short", cut_short, [("Error", "OK")], [],
         "message Error: Setup cannot run. Could not read the extraction info from the archive file ",
         "The end of setup.exe, which says where its parts lie, is missing or damaged: the file was cut short or "
         "changed. Copy or download setup.exe again."),
        # The copy meets the damage half-way and puts back what it had done.
        ("a changed byte", flipped, through + [("Scrivane Install", "OK")], WIZARD + ["Copying installation files"],
         "message Scrivane Install: error. ",
         "The packed data of Scrivane.exe in setup.exe is damaged. Copy or download setup.exe again."),
        ("a wrong list of files", count_wrong, through + [("Scrivane Install", "OK")], [],
         "message Scrivane Install: Could not read the file headers for the compressed file. The Archive file could "
         "possible be corrupt. ",
         "The list of the files packed in setup.exe is damaged. Copy or download setup.exe again."),
    ]
    for what, damage, answers, forms, said, damage_text in cases:
        folder = os.path.join(work, what.replace(" ", "-"))
        os.makedirs(folder)
        exe = os.path.join(folder, "setup.exe")
        with open(exe, "wb") as f:
            f.write(damage(original))
        os.chmod(exe, 0o755)
        log, errors = run_setup(args.dist, prefix, work, answers, FAILED, exe=exe)
        check_order(shown_forms(log), forms)
        messages = [line for line in log if line.startswith("message ")]
        check(any(line.startswith(said) and line.endswith(damage_text) for line in messages),
              "setup.exe with %s said %r, not %r...%r\n%s" % (what, messages, said, damage_text, errors))
        check("Setup complete" not in shown_forms(log), "setup.exe with %s completed" % what)
        wait_until_as_before(prefix, before, "after the setup.exe with %s" % what)


def hold(path):
    """Opens `path` as a running program holds its file, refusing others its deletion: the share locks the
    platform's file-open call publishes (a read lock on one byte per slot far past the data: 0 read access,
    5 deletion refused). Closing the descriptor releases it."""
    fd = os.open(path, os.O_RDONLY)
    for slot in (0, 5):
        fcntl.fcntl(fd, fcntl.F_OFD_SETLK, struct.pack("hhqqi4x", fcntl.F_RDLCK, os.SEEK_SET, (1 << 62) + slot, 1, 0))
    return fd


SCRIVANE_EXE = INSTALL_DIR + r"\Scrivane.exe"
NUMBERED = INSTALL_DIR + r"\Scrivane.1"


def install_held(args, prefix, work):
    """A reinstall while Scrivane.exe is held: it ends waiting for the restart, and tells the person so."""
    fd = hold(pc.host_path(prefix, SCRIVANE_EXE))
    try:
        answers = [(page, FORWARD[page]) for page in WIZARD] + [("Scrivane Install", "OK")]
        log, errors = run_setup(args.dist, prefix, work, answers, RESTART, temp_kept=True)
    finally:
        os.close(fd)
    told = [line for line in log if line.startswith("message Scrivane Install: ")]
    check(any("Windows starts again" in line for line in told), "the restart was not announced: %r\n%s" % (log, errors))
    check("Setup complete" not in shown_forms(log), "the good ending was shown: %r" % log)
    check(os.path.isfile(pc.host_path(prefix, NUMBERED)), "no replacement waits for the restart")


def next_start(args, prefix, work):
    """scrivane-boot, the next start of Windows: it must end well."""
    result = subprocess.run([args.init], env=dict(os.environ, SCRIVANE_PREFIX=prefix, QT_QPA_PLATFORM="offscreen"),
                            cwd=work, capture_output=True, text=True, errors="replace", timeout=WAIT)
    check(result.returncode == 0, "the next start ended with %d:\n%s%s" % (result.returncode, result.stdout,
                                                                          result.stderr))
    return result.stdout


# Scrivane's settings, written when the test ran it, are the user's and stay with their folders.
SETTINGS = ["drive_c/Program Files/Halvern", "drive_c/Program Files/Halvern/Scrivane",
            "drive_c/Program Files/Halvern/Scrivane/config.ini"]


def with_makers_key(args, work):
    """A fresh prefix where the maker's key is already there, left empty by another of its products: it is
    not the setup's to remove. The prefix and its snapshot."""
    prefix, fresh = fresh_prefix(args, work)
    with open(os.path.join(prefix, "system.reg"), "a") as f:
        f.write("\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ULO]\n")
    before = pc.Snapshot(prefix, LEFT_OUT)
    check(r"HKEY_LOCAL_MACHINE\SOFTWARE\ULO" in "\n".join(pc.differences(fresh, before)), "the maker's key was not made")
    return prefix, before


def scenario_restart_uninstall(args, work):
    prefix, before = with_makers_key(args, work)
    install(args, prefix, work)
    install_held(args, prefix, work)
    check_uninstall(prefix, work)
    done = next_start(args, prefix, work)
    check(not os.path.exists(pc.host_path(prefix, SCRIVANE_EXE)), "Scrivane.exe came back at the next start:\n" + done)
    wait_until_as_before(prefix, before, "after the uninstall and the next start", SETTINGS)


def scenario_restart_again(args, work):
    prefix, before = fresh_prefix(args, work)
    install(args, prefix, work)
    temp_before = temp_entries(prefix)
    install_held(args, prefix, work)
    answers = [(page, FORWARD[page]) for page in WIZARD] + [("Setup complete", "Finish")]
    log, errors = run_setup(args.dist, prefix, work, answers, GOOD, temp_kept=True)
    check(shown_forms(log)[-1:] == ["Setup complete"], "the second run did not end well: %r\n%s" % (log, errors))
    # The first run's temporary copy goes with its waiting work, the second run's after its end.
    check_temp_cleaned(prefix, temp_before)
    installed = pc.Snapshot(prefix, LEFT_OUT)
    done = next_start(args, prefix, work)
    # Only the restart's own request is gone.
    changed = [line for line in pc.differences(installed, pc.Snapshot(prefix, LEFT_OUT))
               if "restart-requested" not in line]
    check(not changed, "the next start changed the second installation:\n%s\n%s" % ("\n".join(changed), done))
    check_installed(prefix, args.examples, work)
    check_uninstall(prefix, work)
    wait_until_as_before(prefix, before, "after the uninstall", SETTINGS)


def scenario_restart_resume(args, work):
    prefix, before = with_makers_key(args, work)
    install(args, prefix, work)
    install_held(args, prefix, work)
    done = next_start(args, prefix, work)
    check(not os.path.exists(pc.host_path(prefix, NUMBERED)), "the replacement is still waiting:\n" + done)
    check_installed(prefix, args.examples, work)
    check_uninstall(prefix, work)
    wait_until_as_before(prefix, before, "after the resumed installation and the uninstall", SETTINGS)


SHARED_DLLS = "HKEY_LOCAL_MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\SHAREDDLLS"


def run_uninstall(prefix, work, answers):
    """The Add/Remove Programs command with an answer script; (exit code, window log)."""
    registry = pc.read_registry(prefix)
    argv = pc.split_command(registry[UNINSTALL_KEY]["UNINSTALLSTRING"])
    env, log = answered_env(prefix, work, answers, "uninstall-")
    result = subprocess.run([pc.host_path(prefix, argv[0])] + argv[1:], env=env, cwd=work, capture_output=True,
                            text=True, errors="replace", timeout=WAIT)
    for marker in ("ERROR: AddressSanitizer", "runtime error:", "ERROR: LeakSanitizer"):
        check(marker not in result.stderr, "sanitizer report:\n" + result.stderr)
    return result.returncode, pc.read_lines(log)


def set_registry_dword(prefix, key, name, value):
    """Writes a value into the prefix's registry file as another program would have left it."""
    path = os.path.join(prefix, "system.reg")
    with open(path, encoding="latin-1") as f:
        lines = f.read().split("\n")
    header = "[%s]" % key
    at = next((i for i, line in enumerate(lines) if line.rstrip("\r").upper() == header.upper()), None)
    entry = '"%s"=dword:%08x' % (name.replace("\\", "\\\\"), value)
    if at is None:
        lines += ["", header, entry]
    else:
        lines.insert(at + 1, entry)
    with open(path, "w", encoding="latin-1") as f:
        f.write("\n".join(lines))


def scenario_shared(args, work):
    """A library another product installed and counts on, where the setup installs one of the same name."""
    prefix, _ = fresh_prefix(args, work)
    library = INSTALL_DIR + r"\Tools\hwdll.dll"
    os.makedirs(os.path.dirname(pc.host_path(prefix, library)))
    with open(pc.host_path(prefix, library), "wb") as f:
        f.write(b"the other product's library\r\n")
    set_registry_dword(prefix, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
                       library, 1)
    check(pc.read_registry(prefix).get(SHARED_DLLS, {}).get(library.upper()) == 1, "the count was not laid out")
    before = pc.Snapshot(prefix, LEFT_OUT)
    install(args, prefix, work)
    count = pc.read_registry(prefix).get(SHARED_DLLS, {}).get(library.upper())
    check(count == 2, "after the setup the count of %s is %r, not 2" % (library, count))
    code, log = run_uninstall(prefix, work, [("Confirm", "&Yes"), ("Information", "OK")])
    check(code == 0, "the uninstaller ended with %d: %r" % (code, log))
    count = pc.read_registry(prefix).get(SHARED_DLLS, {}).get(library.upper())
    check(count == 1, "after the uninstall the count of %s is %r, not 1" % (library, count))
    check(os.path.isfile(pc.host_path(prefix, library)), "the other product's library was removed")
    # The setup replaced the library under the form's always-overwrite rule: what stays is its copy.
    settings = ["drive_c/Program Files/Halvern/Scrivane/config.ini"]
    deadline = time.monotonic() + 30
    while True:
        changed = [line for line in pc.differences(before, pc.Snapshot(prefix, LEFT_OUT), settings)
                   if "hwdll.dll" not in line]
        if not changed or time.monotonic() > deadline:
            break
        time.sleep(0.5)
    check(not changed, "after the uninstall, the prefix differs from before:\n%s" % "\n".join(changed))


IMAGE_SLOT = (1 << 62) + 6  # the byte a running program's hold of its own image locks


def holds_image(host):
    """Whether a running program holds the host file as its image (its lock, seen from outside)."""
    import fcntl
    import struct
    try:
        fd = os.open(host, os.O_RDONLY)
    except OSError:
        return False
    try:
        query = struct.pack("hhqqi4x", fcntl.F_WRLCK, os.SEEK_SET, IMAGE_SLOT, 1, 0)
        answer = fcntl.fcntl(fd, getattr(fcntl, "F_OFD_GETLK", 36), query)
        return struct.unpack("hhqqi4x", answer)[0] != fcntl.F_UNLCK
    finally:
        os.close(fd)


def start_held_scrivane(prefix, work):
    """The installed Scrivane started as a person starts it and stopped while it runs, so that it holds its
    files for as long as the test needs; it goes on (and ends by itself) when continued."""
    import signal
    program = pc.host_path(prefix, INSTALL_DIR + r"\Scrivane.exe")
    log = os.path.join(work, "scrivane-windows.log")
    if os.path.exists(log):
        os.remove(log)
    env = dict(os.environ, SCRIVANE_PREFIX=prefix, QT_QPA_PLATFORM="offscreen", SCRIVANE_EXIT_AFTER_START="1",
               SCRIVANE_WINDOW_LOG=log)
    env.pop("SCRIVANE_ANSWERS", None)
    for _ in range(5):
        process = subprocess.Popen([program], env=env, cwd=work, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   text=True, errors="replace")
        deadline = time.monotonic() + WAIT
        while process.poll() is None and not holds_image(program) and time.monotonic() < deadline:
            time.sleep(0.002)
        if process.poll() is None:
            os.kill(process.pid, signal.SIGSTOP)
            if holds_image(program):
                return process, log
            os.kill(process.pid, signal.SIGCONT)
        process.communicate(timeout=WAIT)
    raise Failure("Scrivane could not be caught while it runs")


def scenario_running(args, work):
    import signal
    prefix, before = fresh_prefix(args, work)
    install(args, prefix, work)
    program = INSTALL_DIR + r"\Scrivane.exe"
    scrivane, scrivane_log = start_held_scrivane(prefix, work)
    try:
        code, log = run_uninstall(prefix, work, [("Confirm", "&Yes"), ("Warning", "OK")])
    finally:
        os.kill(scrivane.pid, signal.SIGCONT)
    out, err = scrivane.communicate(timeout=WAIT)
    check(scrivane.returncode == 0, "Scrivane ended with %d:\n%s" % (scrivane.returncode, err))
    messages = [line for line in pc.read_lines(scrivane_log) if line.startswith("message ")]
    check(not messages, "Scrivane said on its end: %r" % messages)
    check(os.path.isfile(pc.host_path(prefix, INSTALL_DIR + r"\config.ini")), "Scrivane wrote no config.ini")
    check(code == 1, "the uninstaller ended with %d: %r" % (code, log))
    said = "\n".join(log)
    check(program + " is in use" in said and "Windows starts again" in said,
          "the uninstaller did not say what stays and when it goes: %r" % log)
    check(os.path.isfile(pc.host_path(prefix, program)), "the running program's image was removed")
    registry = pc.read_registry(prefix)
    files = registry.get(UNINSTALL_KEY + "\\FILES", {})
    check(program in files.values(), "the records no longer name %s: %r" % (program, files))
    for name in (r"\Tools\hwdll.dll", r"\Help\SCRIVANE HELP.HLP"):
        check(not os.path.exists(pc.host_path(prefix, INSTALL_DIR + name)), "not removed: " + name)
    # The next start of Windows finishes the uninstall.
    result = subprocess.run([os.path.join(os.path.dirname(args.init), "scrivane-boot")],
                            env=dict(os.environ, SCRIVANE_PREFIX=prefix, QT_QPA_PLATFORM="offscreen"), cwd=work,
                            capture_output=True, text=True, errors="replace", timeout=WAIT)
    check(result.returncode == 0, "scrivane-boot ended with %d:\n%s%s" % (result.returncode, result.stdout,
                                                                        result.stderr))
    settings = ["drive_c/Program Files/Halvern", "drive_c/Program Files/Halvern/Scrivane",
                "drive_c/Program Files/Halvern/Scrivane/config.ini"]
    wait_until_as_before(prefix, before, "after Scrivane ended and Windows started again", settings)


SCENARIOS = {"install": scenario_install, "cancel": scenario_cancel, "fail": scenario_fail,
             "damaged": scenario_damaged, "restart_uninstall": scenario_restart_uninstall,
             "restart_again": scenario_restart_again, "restart_resume": scenario_restart_resume,
             "shared": scenario_shared, "running": scenario_running}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    parser.add_argument("--dist", required=True)
    parser.add_argument("--examples", required=True)
    parser.add_argument("--init", required=True)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="setup-")
    try:
        SCENARIOS[args.scenario](args, work)
    except (Failure, subprocess.TimeoutExpired, OSError, ValueError) as failure:
        print("FAILED: %s\n(kept %s)" % (failure, work), file=sys.stderr)
        return 1
    shutil.rmtree(work, ignore_errors=True)
    print("%s: passed" % args.scenario)
    return 0


if __name__ == "__main__":
    sys.exit(main())
