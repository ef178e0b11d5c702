"""What a test of an installed program reads back from a prefix: the registry files, Windows paths on the
prefix's drives, and the programs' window logs and answer scripts."""
import os
import re
import subprocess

PROGRAMS_MENU = r"C:\Documents and Settings\User\Start Menu\Programs"


def host_path(prefix, windows_path):
    """C:\\a\\b -> <prefix>/drive_c/a/b (drive letters A: and C: only)."""
    match = re.match(r"^([A-Za-z]):\\?(.*)$", windows_path)
    if not match or match.group(1).upper() not in "AC":
        raise ValueError("not a path on drive A: or C:: %r" % windows_path)
    rest = [part for part in match.group(2).split("\\") if part]
    return os.path.join(prefix, "drive_" + match.group(1).lower(), *rest)


def _unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            out.append(text[i + 1])
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def read_registry(prefix):
    """{KEY (upper case): {value name (upper case, "" for the default): value}} of system.reg and user.reg."""
    keys = {}
    for name in ("system.reg", "user.reg"):
        path = os.path.join(prefix, name)
        if not os.path.exists(path):
            continue
        current = None
        with open(path, encoding="latin-1") as f:
            for line in f:
                line = line.rstrip("\r\n")
                if line.startswith("[") and line.endswith("]"):
                    current = keys.setdefault(line[1:-1].upper(), {})
                    continue
                if current is None or "=" not in line:
                    continue
                match = re.match(r'^(@|"((?:[^"\\]|\\.)*)")=(.*)$', line)
                if not match:
                    continue
                value_name = "" if match.group(1) == "@" else _unescape(match.group(2))
                data = match.group(3)
                if data.startswith('"') and data.endswith('"'):
                    data = _unescape(data[1:-1])
                elif data.startswith("dword:"):
                    data = int(data[6:], 16)
                current[value_name.upper()] = data
    return keys


def split_command(command):
    """A Windows command line split as the C runtime splits it (double quotes group, no escapes needed)."""
    parts, current, quoted, started = [], [], False, False
    for ch in command:
        if ch == '"':
            quoted = not quoted
            started = True
        elif ch in " \t" and not quoted:
            if started:
                parts.append("".join(current))
            current, started = [], False
        else:
            current.append(ch)
            started = True
    if started:
        parts.append("".join(current))
    return parts


def read_lines(path):
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8", errors="replace") as f:
        return [line.rstrip("\n") for line in f]


def lnkinfo(path):
    result = subprocess.run(["lnkinfo", path], capture_output=True, text=True, timeout=60)
    return result.stdout
