#!/usr/bin/env python3
"""The snapshots of a prefix that the process tests judge by: they must see every change that is state of
the machine, and none where only the form of the layer's files differs."""
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import prefix_checks as pc  # noqa: E402

LEFT_OUT = {"system.reg", "user.reg", "attributes.txt", "shortnames.txt"}

SYSTEM = r'''REGEDIT4

[HKEY_LOCAL_MACHINE\SOFTWARE]

[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\.wkp]
@="ScrivaneProject"

[HKEY_LOCAL_MACHINE\SOFTWARE\Empty]

[HKEY_LOCAL_MACHINE\SOFTWARE\Maker]
"Path"="C:\\Program Files\\Maker"
"Count"=dword:00000002
"Folders"=hex(2):43,3a,5c,00
'''


class PrefixTest(unittest.TestCase):
    def setUp(self):
        self.prefix = tempfile.mkdtemp(prefix="prefix-checks-")
        self.addCleanup(shutil.rmtree, self.prefix)
        os.makedirs(self.path("drive_c/WINDOWS"))
        self.write("drive_c/WINDOWS/win.ini", "[windows]\n")
        self.write("system.reg", SYSTEM)
        self.write("user.reg", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n")

    def path(self, relative):
        return os.path.join(self.prefix, relative)

    def write(self, relative, text):
        with open(self.path(relative), "w", encoding="latin-1", newline="") as f:
            f.write(text)

    def snapshot(self):
        return pc.Snapshot(self.prefix, LEFT_OUT)

    def changes_after(self, change, allowed_new=()):
        before = self.snapshot()
        change()
        return pc.differences(before, self.snapshot(), allowed_new)


class RegistryTest(PrefixTest):
    def test_the_same_keys_and_values_in_another_order_and_form_compare_equal(self):
        # Keys reordered, names in other case, the string as typed bytes, the classes by their own root,
        # the expandable string continued on a second line.
        self.assertEqual(self.changes_after(lambda: self.write("system.reg", r'''REGEDIT4

[HKEY_LOCAL_MACHINE\software\maker]
"folders"=hex(2):43,3a,\
  5c,00
"COUNT"=dword:2
"path"=hex(1):43,3a,5c,50,72,6f,67,72,61,6d,20,46,69,6c,65,73,5c,4d,61,6b,65,72,00

[HKEY_CLASSES_ROOT\.WKP]
@="ScrivaneProject"

[HKEY_LOCAL_MACHINE\SOFTWARE\EMPTY]
''')), [])

    def test_every_key_and_value_made_removed_or_changed_is_named(self):
        found = self.changes_after(lambda: self.write("system.reg", r'''REGEDIT4

[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\.wkp]
@="ScrivaneProject"

[HKEY_LOCAL_MACHINE\SOFTWARE\Maker]
"Path"="C:\\Program Files\\Other"
"Count"="2"
"Folders"=hex(2):43,3a,5c,00
"Extra"=hex:01,02

[HKEY_LOCAL_MACHINE\SOFTWARE\Maker\Left]
'''))
        self.assertEqual(found, [
            "gone key HKEY_LOCAL_MACHINE\\SOFTWARE\\Empty",
            "changed value HKEY_LOCAL_MACHINE\\SOFTWARE\\Maker\\Count: dword:00000002 -> '2'",
            "new value HKEY_LOCAL_MACHINE\\SOFTWARE\\Maker\\Extra = hex(3):01,02",
            "changed value HKEY_LOCAL_MACHINE\\SOFTWARE\\Maker\\Path: "
            "'C:\\\\Program Files\\\\Maker' -> 'C:\\\\Program Files\\\\Other'",
            "new key HKEY_LOCAL_MACHINE\\SOFTWARE\\Maker\\Left",
        ])

    def test_a_string_that_becomes_expandable_is_a_change(self):
        found = self.changes_after(lambda: self.write("system.reg", SYSTEM.replace(
            '"Path"="C:\\\\Program Files\\\\Maker"',
            '"Path"=hex(2):43,3a,5c,50,72,6f,67,72,61,6d,20,46,69,6c,65,73,5c,4d,61,6b,65,72,00')))
        self.assertEqual(found, ["changed value HKEY_LOCAL_MACHINE\\SOFTWARE\\Maker\\Path: "
                                 "'C:\\\\Program Files\\\\Maker' -> expand:'C:\\\\Program Files\\\\Maker'"])

    def test_the_user_file_counts_as_much_as_the_machine_file(self):
        found = self.changes_after(lambda: self.write("user.reg", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\A]\n"
                                                      '"B"=""\n'))
        self.assertEqual(found, ["new key HKEY_CURRENT_USER\\Software\\A",
                                 "new value HKEY_CURRENT_USER\\Software\\A\\B = ''"])


class FileTest(PrefixTest):
    def test_a_run_that_changes_nothing_compares_equal(self):
        self.assertEqual(self.changes_after(lambda: None), [])

    def test_new_empty_folders_and_gone_files_are_named(self):
        def change():
            os.makedirs(self.path("drive_c/Program Files/Halvern"))
            os.remove(self.path("drive_c/WINDOWS/win.ini"))
        found = self.changes_after(change)
        self.assertEqual(len(found), 3, found)
        self.assertTrue(found[0].startswith("new C:\\Program Files: folder"), found)
        self.assertTrue(found[1].startswith("new C:\\Program Files\\Halvern: folder"), found)
        self.assertTrue(found[2].startswith("gone C:\\WINDOWS\\win.ini: 10 bytes"), found)

    def test_a_changed_text_file_shows_its_lines_before_and_after(self):
        found = self.changes_after(lambda: self.write("drive_c/WINDOWS/win.ini", "[windows]\nload=x\n"))
        self.assertEqual(len(found), 1, found)
        self.assertTrue(found[0].startswith("changed C:\\WINDOWS\\win.ini: 10 bytes"), found)
        self.assertIn("+load=x", found[0])

    def test_allowed_new_paths_pass_only_when_they_are_new(self):
        os.makedirs(self.path("drive_c/Kept"))
        self.write("drive_c/Kept/config.ini", "a")
        allowed = ["drive_c/Kept/config.ini", "drive_c/New"]
        found = self.changes_after(lambda: (self.write("drive_c/Kept/config.ini", "b"),
                                            os.makedirs(self.path("drive_c/New/Deeper"))), allowed)
        self.assertEqual(len(found), 2, found)
        self.assertTrue(found[0].startswith("changed C:\\Kept\\config.ini"), found)
        self.assertTrue(found[1].startswith("new C:\\New\\Deeper"), found)

    def test_files_of_the_prefix_outside_the_drives_count_too(self):
        found = self.changes_after(lambda: self.write("restart-requested", ""))
        self.assertEqual(found, ["new <prefix>/restart-requested: 0 bytes, sha256 e3b0c44298fc1c14, attributes 0020"])

    def test_attributes_count_as_the_layer_reports_them_not_as_its_journal_lists_them(self):
        host = self.path("drive_c/WINDOWS/win.ini")
        info = os.stat(host)
        line = "%%s %d %d %s\n" % (info.st_dev, info.st_ino, host)
        # Set hidden and taken back again: the same state as before.
        self.assertEqual(self.changes_after(lambda: self.write("attributes.txt", line % "00000022" + line % "-")),
                         [])
        found = self.changes_after(lambda: self.write("attributes.txt", line % "00000022"))
        self.assertEqual(len(found), 1, found)
        self.assertIn("attributes 0020 -> ", found[0])
        self.assertTrue(found[0].endswith("attributes 0022"), found)
        os.chmod(host, 0o444)
        self.assertTrue(self.changes_after(lambda: os.chmod(host, 0o644)), "read-only is an attribute")

    def test_short_names_change_only_when_an_alias_that_was_given_changes(self):
        windows = self.path("drive_c/WINDOWS")
        os.makedirs(self.path("drive_c/Program Files"))
        given = "PROGRA~1\t%s\tProgram Files\n" % self.path("drive_c")
        # An alias given later, and one kept for a name that is gone, are not changes.
        self.assertEqual(self.changes_after(lambda: self.write(
            "shortnames.txt", given + "*LONGFI~1.TXT\t%s\tlong file.txt\n" % windows)), [])
        self.assertEqual(self.changes_after(lambda: self.write("shortnames.txt", given.replace("~1", "~2"))),
                         ["changed short name of C:\\Program Files: PROGRA~1 -> PROGRA~2"])


if __name__ == "__main__":
    unittest.main()
