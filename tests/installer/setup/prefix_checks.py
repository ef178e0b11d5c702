"""What a test of an installed program reads back from a prefix: the registry files, Windows paths on the
prefix's drives, and the programs' window logs and answer scripts; and snapshots of the whole prefix, to
tell what a run left behind."""
import difflib
import hashlib
import os
import re
import stat
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


# ---------------------------------------------------------------------------------------------------------
# The whole prefix as state, to tell what a run left behind

REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD = 1, 2, 3, 4
_HIVES = (("system.reg", "HKEY_LOCAL_MACHINE"), ("user.reg", "HKEY_CURRENT_USER"))


def _read_quoted(text, position):
    """The string of the quoted text starting at text[position] == '"', and the position after it; only
    \\\\ and \\" are escapes, any other backslash stands as it is (as the registry reads it)."""
    out, i = [], position + 1
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text) and text[i + 1] in '\\"':
            out.append(text[i + 1])
            i += 2
        elif text[i] == '"':
            return "".join(out), i + 1
        else:
            out.append(text[i])
            i += 1
    raise ValueError("no closing quote in %r" % text)


def _registry_data(data, more_lines):
    """(type, bytes) of the text after "name="; `more_lines` gives the continuation lines of hex data."""
    if data.startswith('"'):
        text, end = _read_quoted(data, 0)
        if data[end:].strip():
            raise ValueError("text after the string: %r" % data)
        return REG_SZ, text.encode("latin-1") + b"\0"
    if data.lower().startswith("dword:"):
        return REG_DWORD, int(data[6:].strip(), 16).to_bytes(4, "little")
    match = re.match(r"^hex(?:\(([0-9A-Fa-f]+)\))?:(.*)$", data)
    if not match:
        raise ValueError("unknown kind of value: %r" % data)
    kind = int(match.group(1), 16) if match.group(1) else REG_BINARY
    listed = match.group(2).strip()
    while listed.endswith("\\"):
        listed = listed[:-1] + next(more_lines).strip()
    return kind, bytes(int(item, 16) for item in listed.split(",") if item.strip())


class RegistryKey:
    def __init__(self, path):
        self.path = path    # as first written, for the messages
        self.values = {}    # value name (upper case) -> (name, type, data bytes)


def read_registry_tree(prefix):
    """Every key of system.reg and user.reg (empty ones and the ones above them too) with its values typed
    as stored: {key path (upper case): RegistryKey}. Names compare without case, as the registry's do."""
    keys = {}

    def key_of(path):
        parts = [part for part in path.split("\\") if part]
        for depth in range(1, len(parts) + 1):
            partial = "\\".join(parts[:depth])
            keys.setdefault(partial.upper(), RegistryKey(partial))
        return keys["\\".join(parts).upper()]

    for file_name, root in _HIVES:
        path = os.path.join(prefix, file_name)
        if not os.path.exists(path):
            continue
        with open(path, encoding="latin-1", newline="") as f:
            lines = iter(f.read().split("\n"))
        if next(lines, "").strip() != "REGEDIT4":
            raise ValueError("%s is not a REGEDIT4 file" % path)
        current = None
        for line in lines:
            line = line.strip(" \t\r")
            if not line or line.startswith(";"):
                continue
            if line.startswith("["):
                name = line[1:line.rindex("]")]
                deleted = name.startswith("-")
                name = name.lstrip("-")
                # The machine's file may name the classes by their own root.
                if name.upper().split("\\")[0] == "HKEY_CLASSES_ROOT":
                    name = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes" + name[len("HKEY_CLASSES_ROOT"):]
                if name.upper().split("\\")[0] != root:
                    raise ValueError("%s: key %s is not below %s" % (path, name, root))
                if deleted:
                    gone = name.upper()
                    for known in [known for known in keys if known == gone or known.startswith(gone + "\\")]:
                        del keys[known]
                    current = None
                else:
                    current = key_of(name)
                continue
            if current is None:
                raise ValueError("%s: a value outside of any key: %r" % (path, line))
            if line.startswith("@"):
                value_name, end = "", 1
            else:
                value_name, end = _read_quoted(line, 0)
            rest = line[end:].strip()
            if not rest.startswith("="):
                raise ValueError("%s: '=' expected: %r" % (path, line))
            data = rest[1:].strip()
            if data == "-":
                current.values.pop(value_name.upper(), None)
            else:
                current.values[value_name.upper()] = (value_name,) + _registry_data(data, lines)
    return keys


def _show_data(kind, data):
    if kind in (REG_SZ, REG_EXPAND_SZ) and data.endswith(b"\0") and b"\0" not in data[:-1]:
        return "%s%r" % ("" if kind == REG_SZ else "expand:", data[:-1].decode("latin-1"))
    if kind == REG_DWORD and len(data) == 4:
        return "dword:%08x" % int.from_bytes(data, "little")
    return "hex(%x):%s" % (kind, data.hex(","))


FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM = 0x1, 0x2, 0x4
FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_TEMPORARY = 0x10, 0x20, 0x100


def _attribute_table(prefix):
    """The layer's table of Windows attributes as it stands after its journal: {host path: (bits, device,
    inode)}."""
    entries = {}
    for line in read_lines(os.path.join(prefix, "attributes.txt")):
        match = re.match(r"^(-|[0-9A-Fa-f]{1,8}) (\d+) (\d+) (/.*)$", line)
        if not match:
            continue
        if match.group(1) == "-":
            entries.pop(match.group(4), None)
        else:
            entries[match.group(4)] = (int(match.group(1), 16), int(match.group(2)), int(match.group(3)))
    return entries


def _attributes(table, host, info):
    """The attributes Windows programs see for a file or folder, as the layer reports them."""
    folder = stat.S_ISDIR(info.st_mode)
    bits = 0 if folder else FILE_ATTRIBUTE_ARCHIVE
    entry = table.get(host)
    if entry and entry[1:] == (info.st_dev, info.st_ino):
        kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE
        bits = entry[0] & (kept | (FILE_ATTRIBUTE_READONLY if folder else FILE_ATTRIBUTE_TEMPORARY))
    if folder:
        bits |= FILE_ATTRIBUTE_DIRECTORY
    elif not info.st_mode & stat.S_IWUSR:
        bits |= FILE_ATTRIBUTE_READONLY
    return bits


def _unescape_host_name(text):
    """A host name of the short-name table, whose tabs, line ends and backslashes are written escaped."""
    controls = {"t": "\t", "n": "\n", "r": "\r"}
    return re.sub(r"\\(.)", lambda match: controls.get(match.group(1), match.group(1)), text)


def _short_names(prefix):
    """The layer's 8.3 aliases of the entries of the prefix that still exist: {host path: alias}. The table
    keeps the aliases of names that are gone too, marked so or not yet noticed; those name no file."""
    aliases = {}
    for line in read_lines(os.path.join(prefix, "shortnames.txt")):
        fields = line.split("\t")
        if len(fields) != 3 or fields[0].startswith("*"):
            continue
        host = os.path.join(_unescape_host_name(fields[1]), _unescape_host_name(fields[2]))
        if os.path.lexists(host):
            aliases[host] = fields[0]
    return aliases


class Entry:
    """A file, folder or symbolic link of the prefix as the snapshot saw it."""

    SHOWN = 4096  # bytes: files up to this size keep their text, so a change can be shown line by line

    def __init__(self, kind, attributes=0, size=0, digest=None, text=None, target=None):
        self.kind, self.attributes, self.size, self.digest = kind, attributes, size, digest
        self.text, self.target = text, target
        self.alias = None

    def key(self):
        return (self.kind, self.attributes, self.size, self.digest, self.target)

    def describe(self):
        if self.kind == "folder":
            return "folder, attributes %04x" % self.attributes
        if self.kind == "link":
            return "symbolic link to %s" % self.target
        return "%d bytes, sha256 %s, attributes %04x" % (self.size, self.digest[:16], self.attributes)


def _file_entry(host, info, attributes):
    digest = hashlib.sha256()
    head = b""
    with open(host, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
            if len(head) <= Entry.SHOWN:
                head += block
    text = head.decode("latin-1") if len(head) <= Entry.SHOWN and b"\0" not in head else None
    return Entry("file", attributes, info.st_size, digest.hexdigest(), text)


class Snapshot:
    """Every file (its contents and attributes) and folder of a prefix, and every registry key and value.
    Times are not kept: a folder's time changes with any entry made and removed in it."""

    def __init__(self, prefix, left_out):
        self.prefix = prefix
        self.entries = {}  # path relative to the prefix, with "/" -> Entry
        table = _attribute_table(prefix)
        aliases = _short_names(prefix)
        for root, folders, files in os.walk(prefix):
            for name in folders + files:
                host = os.path.join(root, name)
                relative = os.path.relpath(host, prefix)
                if relative in left_out:
                    continue
                try:
                    info = os.lstat(host)
                    if stat.S_ISLNK(info.st_mode):
                        entry = Entry("link", target=os.readlink(host))
                    elif stat.S_ISDIR(info.st_mode):
                        entry = Entry("folder", _attributes(table, host, info))
                    else:
                        entry = _file_entry(host, info, _attributes(table, host, info))
                except FileNotFoundError:
                    continue  # removed while the snapshot was taken, by a clean-up still at work
                entry.alias = aliases.get(host)
                self.entries[relative] = entry
        self.registry = read_registry_tree(prefix)


def windows_name(relative):
    """drive_c/a/b -> C:\\a\\b; anything else of the prefix stays as it is named there."""
    parts = relative.split("/")
    match = re.match(r"^drive_([a-z])$", parts[0])
    if not match:
        return "<prefix>/" + relative
    return match.group(1).upper() + ":\\" + "\\".join(parts[1:])


def _text_change(before, after):
    lines = difflib.unified_diff(before.splitlines(), after.splitlines(), "before", "after", lineterm="", n=1)
    return "\n".join("      " + line for line in list(lines)[2:])


def differences(before, after, allowed_new=()):
    """What differs between two snapshots, one line (or block) per file, folder, key and value: new, gone,
    changed with before and after. `allowed_new` names paths relative to the prefix that may be new."""
    found = []
    for path in sorted(set(before.entries) | set(after.entries)):
        old, new = before.entries.get(path), after.entries.get(path)
        name = windows_name(path)
        if old is None:
            if path not in allowed_new:
                found.append("new %s: %s" % (name, new.describe()))
        elif new is None:
            found.append("gone %s: %s" % (name, old.describe()))
        elif old.key() != new.key():
            line = "changed %s: %s -> %s" % (name, old.describe(), new.describe())
            if old.text is not None and new.text is not None and old.text != new.text:
                line += "\n" + _text_change(old.text, new.text)
            found.append(line)
        # The layer gives an entry its alias when one is first asked for, so only an alias it had can change.
        if old and new and old.alias and new.alias != old.alias:
            found.append("changed short name of %s: %s -> %s" % (name, old.alias, new.alias))
    for key in sorted(set(before.registry) | set(after.registry)):
        old, new = before.registry.get(key), after.registry.get(key)
        if old is None:
            found.append("new key %s" % new.path)
        elif new is None:
            found.append("gone key %s" % old.path)
        old_values = old.values if old else {}
        new_values = new.values if new else {}
        path = (new or old).path
        for value in sorted(set(old_values) | set(new_values)):
            was, now = old_values.get(value), new_values.get(value)
            label = "%s\\%s" % (path, (now or was)[0] or "@")
            if was is None:
                found.append("new value %s = %s" % (label, _show_data(*now[1:])))
            elif now is None:
                found.append("gone value %s = %s" % (label, _show_data(*was[1:])))
            elif was[1:] != now[1:]:
                found.append("changed value %s: %s -> %s" % (label, _show_data(*was[1:]), _show_data(*now[1:])))
    return found
