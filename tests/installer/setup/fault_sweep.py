#!/usr/bin/env python3
"""Every single write failure of a run, in turn: the distribution of Scrivane installed (or the installation
removed) once for each write operation N = 1..K the run makes inside the prefix, the N-th made to fail as a
full disk would (the platform's SCRIVANE_FAULT_* hook). After each run the prefix, snapshot and all, must be

  install     either as before (exit 1, the failure shown) or the complete installation (exit 0; what a
              clean-up had to leave for the next start is gone after that start, the platform's boot step);
  uninstall   either the removal done (exit 0) or, after a failure, an installation that a second uninstall
              removes completely.

usage: fault_sweep.py install|uninstall --dist BUILD_PREFIX --init PROGRAM [--shard I/N]
  --shard I/N   only the N-th failures with N = I (mod N), I from 1; each shard counts K itself
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import prefix_checks as pc  # noqa: E402
import setup_process as sp  # noqa: E402

GOOD, FAILED = 0, 1
SETUP_ANSWERS = ["*Setup complete\tFinish", "*Setup incomplete\tFinish", "*Scrivane Install\tOK"] + \
    ["%s\t%s" % (page, sp.FORWARD[page]) for page in sp.WIZARD]
UNINSTALL_ANSWERS = ["*Confirm\t&Yes", "*Information\tOK", "*Error\tOK", "*Warning\tOK"]


class Run:
    def __init__(self, code, log, errors):
        self.code, self.log, self.errors = code, log, errors

    def describe(self):
        return "exit %d\nwindows: %r\nstderr:\n%s" % (self.code, self.log, self.errors[-3000:])


def run_program(argv, prefix, work, answers, counter=None, fail_at=None, fault_log=None):
    script = os.path.join(work, "answers.txt")
    with open(script, "w") as f:
        f.write("".join(line + "\n" for line in answers))
    log = os.path.join(work, "windows.log")
    if os.path.exists(log):
        os.remove(log)
    env = dict(os.environ, SCRIVANE_PREFIX=prefix, QT_QPA_PLATFORM="offscreen", SCRIVANE_ANSWERS=script,
               SCRIVANE_WINDOW_LOG=log, SCRIVANE_ANSWER_WAIT_MS="60000")
    for name in ("SCRIVANE_EXIT_AFTER_START", "SCRIVANE_FAULT_COUNTER", "SCRIVANE_FAULT_AT", "SCRIVANE_FAULT_LOG"):
        env.pop(name, None)
    if counter:
        env["SCRIVANE_FAULT_COUNTER"] = counter
        if fail_at:
            env["SCRIVANE_FAULT_AT"] = str(fail_at)
        if fault_log:
            env["SCRIVANE_FAULT_LOG"] = fault_log
    try:
        result = subprocess.run(argv, env=env, cwd=work, capture_output=True, text=True, errors="replace",
                                timeout=sp.WAIT)
    except subprocess.TimeoutExpired:
        raise sp.Failure("%s did not end within %d seconds (failure %s)" % (argv[0], sp.WAIT, fail_at))
    run = Run(result.returncode, pc.read_lines(log), result.stderr)
    for marker in ("ERROR: AddressSanitizer", "runtime error:", "ERROR: LeakSanitizer"):
        sp.check(marker not in run.errors, "sanitizer report with failure %s:\n%s" % (fail_at, run.errors))
    return run


def count(counter):
    with open(counter) as f:
        return int(f.read().strip() or 0)


def copy_prefix(source, target):
    """A prefix to run in: large files (the programs) are linked, since no run writes into one in place
    (it replaces or deletes it); everything else is copied."""
    if os.path.exists(target):
        shutil.rmtree(target)

    def copy(src, dst):
        if os.path.getsize(src) > (1 << 16):
            os.link(src, dst)
        else:
            shutil.copy2(src, dst)

    shutil.copytree(source, target, symlinks=True, copy_function=copy)


RECORD = re.compile(re.escape(sp.UNINSTALL_KEY) + r"\\(FILES|ACTIVEX|REGISTRYKEYS)\d*(\\.*)?$")


def normal(snapshot):
    """The snapshot as two complete installations compare: the uninstall records by what they list, since
    an entry that could not be written goes to the next numbered record subkey; shell links by their size,
    since they carry the times of their targets."""
    found = {path: snapshot.registry.pop(path) for path in list(snapshot.registry) if RECORD.match(path)}
    records = {}
    for path, key in found.items():
        kind = RECORD.match(path).group(1)
        if kind == "REGISTRYKEYS" and re.search(r"\\REGISTRYKEY\d+$", path):
            entries = found.get(path + "\\ENTRIES")
            records.setdefault(kind, []).append((
                sorted((name, data[1:]) for name, data in key.values.items()),
                sorted((name, data[1:]) for name, data in entries.values.items()) if entries else []))
        elif kind != "REGISTRYKEYS":
            records.setdefault(kind, []).extend(data[2] for name, data in key.values.items()
                                                if re.fullmatch(r"FILE\d+", name))
    for kind, listed in records.items():
        holder = pc.RegistryKey("<records>\\" + kind)
        holder.values = {"%06d" % i: ("%d" % i, pc.REG_BINARY, repr(item).encode()) for i, item in enumerate(sorted(listed))}
        snapshot.registry["<RECORDS>\\" + kind] = holder
    for path, entry in snapshot.entries.items():
        if path.lower().endswith(".lnk") and entry.kind == "file":
            entry.digest, entry.text = "link", None
    return snapshot


def snapshot(prefix, whole):
    taken = pc.Snapshot(prefix, sp.LEFT_OUT)
    return taken if whole else normal(taken)


def settled(prefix, expected, allowed_new=(), seconds=30, whole=True):
    """The differences from `expected` once the clean-up that runs after a program's end is done."""
    deadline = time.monotonic() + seconds
    while True:
        changed = pc.differences(expected, snapshot(prefix, whole), allowed_new)
        if not changed or time.monotonic() > deadline:
            return changed
        time.sleep(0.5)


def boot(args, prefix, work):
    result = subprocess.run([args.init], env=dict(os.environ, SCRIVANE_PREFIX=prefix), cwd=work,
                            capture_output=True, text=True, errors="replace", timeout=sp.WAIT)
    sp.check(result.returncode == 0, "the boot step ended with %d:\n%s" % (result.returncode, result.stderr))


def numbers(total, shard):
    index, shards, only = shard
    if only:
        return [int(n) for n in only.split(",")]
    return [n for n in range(1, total + 1) if n % shards == index % shards]


def sweep(what, template, prefix, work, shard, run, after_reference, judge):
    """Runs `run` once in a copy of `template` counting its write operations (K), then once for each N of
    the shard with the N-th failing; `judge` tells what is wrong after each, if anything."""
    counter = os.path.join(work, "counter")
    copy_prefix(template, prefix)
    reference = run(counter, None, os.path.join(work, "operations.txt"))
    sp.check(reference.code == GOOD, "the %s without failures: %s" % (what, reference.describe()))
    after_reference()
    total = count(counter)
    print("K = %d write operations in an %s" % (total, what), flush=True)
    problems = []
    for n in numbers(total, shard):
        copy_prefix(template, prefix)
        os.remove(counter)
        result = run(counter, n, None)
        problem = judge(n, result)
        if problem:
            problems.append("failure %d (exit %d): %s\n%s" % (n, result.code, problem, result.describe()))
        print("failure %d: exit %d%s" % (n, result.code, " PROBLEM" if problem else ""), flush=True)
    sp.check(not problems, "\n\n".join(problems))


def sweep_install(args, work, shard):
    pristine, before = sp.fresh_prefix(args, work)
    prefix = os.path.join(work, "run")
    complete = {}

    def run(counter, fail_at, fault_log):
        return run_program([sp.setup_exe(args.dist)], prefix, work, SETUP_ANSWERS, counter, fail_at, fault_log)

    def keep_complete():
        sp.check_temp_cleaned(prefix, sp.temp_entries(pristine))
        complete["snapshot"] = snapshot(prefix, False)

    def judge(n, result):
        if result.code == GOOD:
            changed = settled(prefix, complete["snapshot"], whole=False)
            if changed:
                # What a clean-up had to leave goes at the next start.
                boot(args, prefix, work)
                changed = settled(prefix, complete["snapshot"], seconds=5, whole=False)
            return changed and "the installation is not complete:\n" + "\n".join(changed)
        if result.code != FAILED:
            return "neither a good ending nor a failure"
        changed = settled(prefix, before)
        if changed:
            return "the prefix is not as before:\n" + "\n".join(changed)
        if not any(line.startswith("message ") for line in result.log) and "cannot" not in result.errors.lower():
            return "a failure without a word"
        return None

    sweep("installation", pristine, prefix, work, shard, run, keep_complete, judge)


def sweep_uninstall(args, work, shard):
    pristine, before = sp.fresh_prefix(args, work)
    installed = os.path.join(work, "installed")
    copy_prefix(pristine, installed)
    run = run_program([sp.setup_exe(args.dist)], installed, work, SETUP_ANSWERS)
    sp.check(run.code == GOOD, "the setup: " + run.describe())
    sp.check_temp_cleaned(installed, sp.temp_entries(pristine))
    registry = pc.read_registry(installed)
    argv = pc.split_command(registry[sp.UNINSTALL_KEY]["UNINSTALLSTRING"])
    prefix = os.path.join(work, "run")

    def uninstall(counter=None, fail_at=None, fault_log=None):
        return run_program([pc.host_path(prefix, argv[0])] + argv[1:], prefix, work, UNINSTALL_ANSWERS, counter,
                           fail_at, fault_log)

    def removed():
        changed = settled(prefix, before)
        sp.check(not changed, "the uninstall without failures left:\n" + "\n".join(changed))

    def judge(n, result):
        if result.code != GOOD:
            # What is left is still an installation: a second uninstall removes it.
            settled(prefix, before, seconds=5)
            second = uninstall()
            if second.code != GOOD:
                return "the second uninstall: " + second.describe()
        changed = settled(prefix, before)
        return changed and "the prefix is not as before:\n" + "\n".join(changed)

    sweep("uninstall", installed, prefix, work, shard, uninstall, removed, judge)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("what", choices=["install", "uninstall"])
    parser.add_argument("--dist", required=True)
    parser.add_argument("--init", required=True)
    parser.add_argument("--shard", default="1/1")
    parser.add_argument("--only", default="", help="failures to try, N,M,... (for looking into one)")
    args = parser.parse_args()
    index, shards = (int(part) for part in args.shard.split("/"))
    work = tempfile.mkdtemp(prefix="fault-sweep-")
    started = time.monotonic()
    try:
        (sweep_install if args.what == "install" else sweep_uninstall)(args, work, (index, shards, args.only))
    except (sp.Failure, subprocess.TimeoutExpired, OSError, ValueError) as failure:
        print("FAILED: %s\n(kept %s)" % (failure, work), file=sys.stderr)
        return 1
    shutil.rmtree(work, ignore_errors=True)
    print("%s, shard %s: passed in %.0f s" % (args.what, args.shard, time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
