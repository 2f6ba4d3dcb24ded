#!/usr/bin/env python3
"""quillfen-markers as a player meets it: tables of files and what the tool
says and exits with. The same tables run against the Linux build and against
quillfen-markers.exe under Wine (through scripts/wine-env).

    tool_cases_test.py TOOL

Exit codes, in every command: 0 done (check: loads as written), 1 a file does
not load, 2 a file cannot be read or written or the command is wrong, 3 check:
loads, but the game would drop or change something (format: and nothing was
printed, unless given --as-the-game-reads).
"""
import json
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import unittest

TOOL = None
WINDOWS = False
TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))

TIMESTAMP = '"timestamp": {"_nsec": 1765267200000000000}'
GOOD = ('{"markers": [\n  {"position": [1, 2, 3], "category": 1, "name": "Camp", %s},\n'
        '  {"position": [4, 5, 6], "category": 2, %s}\n]}' % (TIMESTAMP, TIMESTAMP))
BROKEN = '{"markers": [\n  {"position": [1, 2, 3],\n'
# The settings of collections, at their defaults, as status shows them.
FOUND_DEFAULTS = ["  found_range = 3", "  auto_found = true", "  found_on_map = dim"]


def tool_path(path):
    """Wine sees the Linux root as drive Z:."""
    return "Z:" + path if WINDOWS and path.startswith("/") and path != "/?" else path


def run(*args, cwd=None, stdin=subprocess.DEVNULL, timeout=120, stdout=subprocess.PIPE):
    command = (["wine", TOOL] if WINDOWS else [TOOL]) + [tool_path(a) for a in args]
    started = time.time()
    r = subprocess.run(command, cwd=cwd, stdin=stdin, stdout=stdout, stderr=subprocess.PIPE, timeout=timeout)
    r.seconds = time.time() - started
    r.out = (r.stdout or b"").decode("utf-8").replace("Z:/", "/")
    r.err = r.stderr.decode("utf-8").replace("Z:/", "/")
    return r


def place(text, index):
    """LINE:COLUMN of text[index], columns in characters."""
    line = text.count("\n", 0, index) + 1
    return "%d:%d" % (line, index - (text.rfind("\n", 0, index) + 1) + 1)


def many_markers(count, bad_at):
    """`count` markers as the game writes them, the one numbered `bad_at` (from 1, or None) with a number for a
    name."""
    parts = []
    for i in range(1, count + 1):
        name = "%d" % i if i == bad_at else '"Marker %d"' % i
        parts.append('        {\n            "position": [\n                %d.00000000,\n                2.00000000,\n'
                     '                3.00000000\n            ],\n            "category": %d,\n'
                     '            "name": %s,\n            "timestamp": {\n                "_nsec": %d\n'
                     '            }\n        }' % (i, i % 10, name, 1765267200000000000 + i))
    text = '{\n    "markers": [\n' + ",\n".join(parts) + "\n    ]\n}"
    if bad_at is None:
        return text, None
    at = text.index('"name": %d,' % bad_at) + len('"name": ')
    return text, place(text, at)


class Files(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="quillfen-tool-cases-")

    def tearDown(self):
        for root, dirs, _ in os.walk(self.dir):
            for d in dirs:
                os.chmod(os.path.join(root, d), 0o755)
        shutil.rmtree(self.dir, ignore_errors=True)

    def put(self, name, content):
        path = os.path.join(self.dir, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content.encode("utf-8") if isinstance(content, str) else content)
        return path

    def read(self, name):
        with open(os.path.join(self.dir, name), "rb") as f:
            return f.read()

    def names(self, folder=""):
        return sorted(os.listdir(os.path.join(self.dir, folder)))


class Check(Files):
    """check: each file, what it prints and its exit code."""

    def test_files_and_what_check_says(self):
        big, big_place = many_markers(100000, 58213)
        cases = [
            ("a file as the game writes it", GOOD, 0, ["2"]),
            ("100,000 markers, one name a number", big, 1,
             ['%s: marker 58213: "name" must be text, not a number' % big_place]),
            ("a category written as text", '{"markers": [\n  {"category": "5"}\n]}', 1,
             ['2:16: marker 1: "category" must be a whole number, not text']),
            ("the list under a capital M", '{"Markers": [{"position": [1, 2, 3], "category": 1, %s}]}' % TIMESTAMP, 3,
             ['1:2: the game ignores the key "Markers" (did you mean "markers"?)', "0"]),
            ("a misspelt position", '{"markers": [\n  {"postion": [1, 2, 3], "category": 1, %s}\n]}' % TIMESTAMP, 3,
             ['2:3: marker 1 has no "position": the game puts it at 0, 0, 0',
              '2:4: marker 1: the game ignores the key "postion" (did you mean "position"?)', "1"]),
            ("a category outside the table", '{"markers": [{"position": [1, 2, 3], "category": 12, %s}]}' % TIMESTAMP,
             3, ["1:50: marker 1: category 12 is none of the game's ten (0 to 9): the marker is kept but never shown, "
                 "on the map or in the menu", "1"]),
            ("a name in Latin-1",
             b'{"markers": [{"position": [1, 2, 3], "category": 1, "name": "Caf\xe9", '
             + TIMESTAMP.encode() + b"}]}", 3,
             ['1:61: marker 1: "name" is not valid UTF-8 (was the file saved as Latin-1 or another code page?): the '
              'game reads each broken character as "\ufffd" and saves it so', "1"]),
            ("a position that is not a finite number",
             '{"markers": [{"position": [1, Infinity, 3], "category": 1, %s}]}' % TIMESTAMP, 3,
             ['1:31: marker 1: "position" holds Infinity, not a finite number: the marker is kept but never shown '
              "on the map", "1"]),
            ("a file cut short", BROKEN, 1, ["3:1: unexpected end of input: missing }"]),
        ]
        for what, content, status, lines in cases:
            with self.subTest(what):
                r = run("check", self.put("case.json", content))
                self.assertEqual((r.returncode, r.out.splitlines()), (status, lines), r.err)

    def test_format_prints_nothing_for_a_file_the_game_reads_otherwise_unless_told_to(self):
        """A file that check warns about: format exits 3 and prints nothing; with --as-the-game-reads (given
        before or after the file) it prints what the game reads. A file without warnings needs no flag."""
        cases = [
            ("a misspelt position", '{"markers": [\n  {"postion": [1, 2, 3], "category": 1, %s}\n]}' % TIMESTAMP, 2),
            ("a name the game reads up to an escaped NUL",
             '{"markers": [{"position": [1, 2, 3], "category": 1, "name": "a\\u0000b", %s}]}' % TIMESTAMP, 1),
            ("no timestamp", '{"markers": [{"position": [1, 2, 3], "category": 1}]}', 1),
        ]
        for what, content, lines in cases:
            with self.subTest(what):
                path = self.put("case.json", content)
                checked = run("check", path)
                self.assertEqual(checked.returncode, 3, checked.out)
                warnings = checked.out.splitlines()[:-1]
                self.assertEqual(len(warnings), lines, checked.out)
                refused = run("format", path)
                self.assertEqual((refused.returncode, refused.stdout), (3, b""))
                self.assertEqual(refused.err.splitlines(), warnings + [
                    "quillfen-markers: format printed nothing: the game reads %s otherwise than it is written (the "
                    "lines above), and what it would print loses what they name. Fix what they say and run format "
                    "again; or, to print what the game reads, run: quillfen-markers format --as-the-game-reads %s"
                    % (path, path)])
                told = [run("format", "--as-the-game-reads", path), run("format", path, "--as-the-game-reads")]
                for r in told:
                    self.assertEqual(r.returncode, 0, r.err)
                    self.assertEqual(r.err.splitlines(), warnings)
                self.assertEqual(told[0].stdout, told[1].stdout)
                self.assertNotEqual(told[0].stdout, b"")
                self.assertEqual(run("check", self.put("told.json", told[0].stdout)).returncode, 0,
                                 "what the game reads, written out, reads as written")
        self.assertEqual(self.names(), ["case.json", "told.json"], "nothing else was written")
        good = self.put("good.json", GOOD)
        plain, told = run("format", good), run("format", good, "--as-the-game-reads")
        self.assertEqual((plain.returncode, plain.err, told.returncode), (0, "", 0))
        self.assertEqual(plain.stdout, told.stdout)

    def test_format_writes_what_the_game_saves_and_check_s_lines_to_standard_error(self):
        path = self.put("case.json", '{"markers": [\n  {"postion": [1, 2, 3], "category": 12, %s}\n]}' % TIMESTAMP)
        checked = run("check", path)
        formatted = run("format", "--as-the-game-reads", path)
        self.assertEqual(checked.returncode, 3)
        self.assertEqual(formatted.returncode, 0, formatted.err)
        self.assertEqual(formatted.err.splitlines(), checked.out.splitlines()[:-1])
        self.assertEqual(len(formatted.err.splitlines()), 3)
        # What the game drops is gone; what it keeps (category 12) stays.
        again = run("check", self.put("repaired.json", formatted.stdout))
        self.assertEqual(again.returncode, 3)
        self.assertEqual([l.split(": ", 1)[1] for l in again.out.splitlines()[:-1]],
                         [l.split(": ", 1)[1] for l in checked.out.splitlines() if "category 12" in l])


class ExitCodes(Files):
    """One meaning per exit code, whatever the command."""

    def test_every_command_on_files_that_cannot_be_had(self):
        good = self.put("good.json", GOOD)
        broken = self.put("broken.json", BROKEN)
        warned = self.put("warned.json", '{"markers": [{"postion": [1, 2, 3], "category": 1, %s}]}' % TIMESTAMP)
        missing = os.path.join(self.dir, "missing.json")
        folder = os.path.join(self.dir, "a folder")
        os.makedirs(folder)
        not_a_folder = self.put("file", "x")
        cases = [
            (("check", good), 0), (("check", broken), 1), (("check", missing), 2), (("check", folder), 2),
            (("format", good), 0), (("format", broken), 1), (("format", missing), 2), (("format", folder), 2),
            (("format", warned), 3), (("check", warned), 3), (("format", warned, "--as-the-game-reads"), 0),
            (("format", "--as-the-game-reads", good), 0), (("format", "--as-the-game-reads", broken), 1),
            (("format", "--as-the-game-reads", missing), 2), (("format", "--as-the-game-reads"), 2),
            (("format", warned, "--as-the-game-reads", good), 2), (("check", warned, "--as-the-game-reads"), 2),
            (("parse", "--as-the-game-reads", good), 2),
            (("parse", good), 0), (("parse", broken), 1), (("parse", missing), 2), (("parse", folder), 2),
            (("export", good, "--format", "csv"), 0), (("export", broken, "--format", "csv"), 1),
            (("export", missing, "--format", "csv"), 2), (("export", folder, "--format", "geojson"), 2),
            (("merge", os.path.join(self.dir, "new.json"), missing), 2),
            (("merge", os.path.join(self.dir, "new.json"), broken), 1),
            (("merge", os.path.join(self.dir, "new.json"), broken, missing), 2),
            (("merge", folder, good), 2), (("merge", broken, good), 1),
            (("restore", self.dir, missing), 2), (("restore", self.dir, broken), 1),
            (("restore", os.path.join(self.dir, "no folder"), good), 2), (("restore", not_a_folder, good), 2),
            (("status", os.path.join(self.dir, "no folder")), 2), (("status", not_a_folder), 2),
            (("frobnicate", good), 2), (("check",), 2), (("check", good, good), 2), (("merge", good), 2),
            (("export", good), 2), (("export", good, "--format", "kml"), 2),
            (("undelete", good, "--entry", "0"), 2), (("undelete", good, "--entry", "2x"), 2),
            (("undelete", good, "--entry", "-1"), 2),
        ]
        for args, status in cases:
            with self.subTest(" ".join(os.path.basename(a) for a in args)):
                r = run(*args)
                self.assertEqual(r.returncode, status, r.out + r.err)
        self.assertEqual(self.names(), ["a folder", "broken.json", "file", "good.json", "warned.json"],
                         "nothing was written")

    def test_what_a_file_that_cannot_be_had_is_called(self):
        folder = os.path.join(self.dir, "Quillfen")
        os.makedirs(folder)
        cases = [
            (("check", os.path.join(self.dir, "missing.json")), "there is no file %s/missing.json" % self.dir),
            (("check", folder), "%s is a directory, not a markers file: check expects a markers file such as "
                                "markers.json (for a Quillfen folder, see status)" % folder),
            (("status", self.put("markers.json", GOOD)),
             "%s/markers.json is not a folder. status expects the Quillfen folder, the one that holds markers.json; "
             "in that folder: quillfen-markers status ." % self.dir),
            (("restore", os.path.join(self.dir, "nowhere"), "x.json"),
             "there is no folder %s/nowhere. restore expects the Quillfen folder in the game folder (beside "
             "RDR2.exe); in that folder: quillfen-markers restore ." % self.dir),
        ]
        for args, message in cases:
            with self.subTest(args[0]):
                r = run(*args)
                self.assertEqual(r.returncode, 2)
                self.assertEqual(r.err.replace("\\", "/"), "quillfen-markers: %s\n" % message)

    @unittest.skipIf(sys.platform != "linux", "fifos and /dev/zero are Linux's")
    def test_a_fifo_or_a_link_to_a_device_fails_at_once_in_every_command(self):
        fifo = os.path.join(self.dir, "pack.json")
        os.mkfifo(fifo)
        zero = os.path.join(self.dir, "zero.json")
        os.symlink("/dev/zero", zero)
        for path in (fifo, zero):
            for args in (("check", path), ("format", path), ("parse", path), ("export", path, "--format", "csv"),
                         ("merge", os.path.join(self.dir, "new.json"), path), ("restore", self.dir, path)):
                with self.subTest(" ".join(os.path.basename(a) for a in args)):
                    r = run(*args, timeout=30)
                    self.assertEqual(r.returncode, 2, r.out + r.err)
                    # Wine shows a fifo or a device to the program as a file that cannot be read.
                    self.assertIn("cannot be read: ERROR_INVALID_FUNCTION" if WINDOWS else
                                  "is a device or other special file, not a markers file", r.out + r.err)
                    self.assertLess(r.seconds, 20)

    def test_help_in_every_form(self):
        for form in ("help", "-h", "--help", "/?"):
            with self.subTest(form):
                r = run(form)
                self.assertEqual(r.returncode, 0)
                self.assertTrue(r.out.startswith("usage: quillfen-markers check FILE\n"), r.out[:80])
                self.assertIn("  3  check: the file loads, but the game would drop or change what the lines say;\n"
                              "     format: the same, and nothing was printed (see --as-the-game-reads)\n", r.out)


    def test_the_version_is_the_release_s(self):
        with open(os.path.join(TOP, "CMakeLists.txt"), encoding="utf-8") as f:
            version = re.search(r"^project\(Quillfen VERSION ([0-9.]+)", f.read(), re.M).group(1)
        with open(os.path.join(TOP, "docs", "release", "CHANGELOG.txt"), encoding="utf-8") as f:
            changelog = f.read()
        r = run("--version")
        self.assertEqual((r.returncode, r.out, r.err), (0, "quillfen-markers %s\n" % version, ""))
        # The first entry under the title, as packaging wants it.
        self.assertRegex(changelog, r"\A[^\n]*\n=+\n\n%s \(\d{4}-\d{2}-\d{2}\)\n-+\n" % re.escape(version))


class Output(Files):
    """What a command prints must land whole, or it says so and exits with 2."""

    @unittest.skipIf(not os.path.exists("/dev/full"), "/dev/full is Linux's")
    def test_printing_to_a_full_disk_fails_loudly(self):
        text, _ = many_markers(2000, None)
        good = self.put("markers.json", text)
        folder = os.path.join(self.dir, "Quillfen")
        os.makedirs(folder)
        shutil.copy(good, folder)
        for args in (("format", good), ("export", good, "--format", "csv"), ("export", good, "--format", "geojson"),
                     ("check", good), ("status", folder), ("help",)):
            with self.subTest(" ".join(os.path.basename(a) for a in args)):
                with open("/dev/full", "wb") as full:
                    r = run(*args, stdout=full)
                self.assertEqual(r.returncode, 2, r.err)
                lines = r.err.splitlines()
                self.assertRegex(lines[-2], r"^quillfen-markers: cannot write all of the output to standard output"
                                            r"(: .+)?\. What it holds is cut short: do not use it\.$")
                self.assertEqual(lines[-1], "The disk is full: make room on it, then run the command again."
                                 if "No space left" in lines[-2] else
                                 "Check where the output goes (a disk that is full or gone, a closed window or "
                                 "program), then run the command again.")
        with open("/dev/full", "wb") as full:
            r = run("format", good, stdout=full)
        self.assertIn("standard output: No space left on device.", r.err, "the first write says why")

    def test_a_key_given_100000_times_is_checked_in_a_moment(self):
        text = '{"markers": [{"position": [1, 2, 3], "category": 1, %s%s}]}' % (TIMESTAMP, ', "name": "x"' * 100000)
        path = self.put("repeats.json", text)
        second_last = text.rfind('"name"', 0, text.rfind('"name"'))
        self.assertGreater(os.path.getsize(path), 1000000)
        r = run("check", path)
        self.assertEqual(r.returncode, 3, r.err)
        lines = r.out.splitlines()
        self.assertEqual(len(lines), 100000)
        self.assertEqual(lines[-2], '%s: marker 1: "name" is given again later: the game takes the last one'
                         % place(text, second_last))
        self.assertEqual(lines[-1], "1")
        # The scan per key it replaced took 19 to 23 s on this file.
        self.assertLess(r.seconds, 5)


class Undo(Files):
    """merge and restore: an undo copy once the new file is in place; a failed write changes nothing."""

    def replaced(self, name="markers.json", folder=""):
        return [n for n in self.names(folder) if n.startswith(name + ".replaced-")]

    def test_a_merge_into_an_existing_file_keeps_what_it_held(self):
        lenient = "// mine\n" + GOOD
        into = self.put("markers.json", lenient)
        pack = self.put("pack.json", '{"markers": [{"position": [100, 0, 0], "category": 3, %s}]}' % TIMESTAMP)
        r = run("merge", into, pack)
        self.assertEqual(r.returncode, 0, r.err)
        kept = self.replaced()
        self.assertEqual(len(kept), 1)
        self.assertRegex(kept[0], r"^markers\.json\.replaced-\d{8}-\d{6}$")
        self.assertEqual(self.read(kept[0]), lenient.encode())
        self.assertEqual(r.out.splitlines(), [
            "Added 1 of 1 marker from %s" % pack,
            "%s holds 3 markers" % into,
            "Kept what markers.json held as %s (to undo: quillfen-markers restore %s %s)." % (kept[0], self.dir, kept[0]),
            "The game must be closed while merging: a running game writes its own markers over",
            "markers.json at its next change. Start it again to see the added markers."])
        self.assertEqual(run("check", into).out, "3\n")

        # Nothing new: nothing written, no copy.
        r = run("merge", into, pack)
        self.assertEqual((r.returncode, len(self.replaced())), (0, 1), r.out)
        self.assertIn("holds 3 markers; it was not changed", r.out)

    def test_a_merge_into_a_new_file_keeps_nothing(self):
        r = run("merge", os.path.join(self.dir, "pack.json"), self.put("a.json", GOOD))
        self.assertEqual(r.returncode, 0, r.err)
        self.assertEqual(self.names(), ["a.json", "pack.json"])
        self.assertNotIn("Kept", r.out)
        self.assertNotIn("The game must be closed", r.out)

    def test_a_write_that_fails_changes_nothing_and_claims_nothing(self):
        quillfen = os.path.join(self.dir, "Quillfen")
        original = "// mine\n" + GOOD
        pack = self.put("pack.json", '{"markers": [{"position": [100, 0, 0], "category": 3, %s}]}' % TIMESTAMP)
        cases = [
            # A folder standing where the new file is written first: the write fails.
            ("merge", "markers.json.saving", ("merge", os.path.join(quillfen, "markers.json"), pack), "cannot write"),
            ("restore", "markers.json.saving", ("restore", quillfen, pack), "cannot write"),
            ("restore", "markers.json.copying", ("restore", quillfen, pack), "cannot keep a copy of"),
        ]
        for command, obstacle, args, failure in cases:
            with self.subTest(command + " with " + obstacle):
                shutil.rmtree(quillfen, ignore_errors=True)
                self.put("Quillfen/markers.json", original)
                os.makedirs(os.path.join(quillfen, obstacle))
                r = run(*args)
                self.assertEqual(r.returncode, 2, r.out)
                self.assertEqual(self.read("Quillfen/markers.json"), original.encode())
                self.assertEqual(self.names("Quillfen"), ["markers.json", obstacle], "no copy left behind")
                for claim in ("Added", "holds", "Restored", "Kept", "Start it again"):
                    self.assertNotIn(claim, r.out)
                lines = r.err.replace("\\", "/").splitlines()
                self.assertEqual(len(lines), 2, r.err)
                self.assertRegex(lines[0], r"^quillfen-markers: %s %s/markers\.json: \w+\. Nothing was changed: "
                                           r"markers\.json is as it was\.$" % (failure, re.escape(quillfen)))
                self.assertIn("read-only", lines[1])
                self.assertIn("close the game", lines[1].lower())

    def test_the_newest_seven_replaced_copies_stay(self):
        old = ["markers.json.replaced-2020010%d-120000" % d for d in range(1, 10)] + [
            "markers.json.replaced-20200109-120000-2"]
        others = ["markers.json.replaced-29991231-235959",  # a clock that was ahead: never counted, never deleted
                  "markers.json.replaced-20200230-120000",  # no such date
                  "markers.json.replaced-20200101-120000-mine", "markers.json.replaced-notes.txt"]
        for name in old + others:
            self.put(name, GOOD)
        self.put("markers.json", GOOD)
        r = run("restore", self.dir, self.put("other.json", GOOD.replace("Camp", "Mill")))
        self.assertEqual(r.returncode, 0, r.err)
        new = [n for n in self.replaced() if n not in old + others]
        self.assertEqual(len(new), 1)
        kept_old = sorted(old)[-6:]
        self.assertEqual(sorted(self.replaced()), sorted(kept_old + new + others))
        deleted = sorted(set(old) - set(kept_old))
        self.assertEqual(sorted(l for l in r.out.splitlines() if l.startswith("Deleted")),
                         ["Deleted the older copy " + n for n in deleted])


class Status(Files):
    def test_the_exit_code_says_whether_markers_json_can_be_read_and_loaded(self):
        cases = [
            ("a markers.json that loads", lambda p: self.put(p, GOOD), 0, None),
            ("a damaged markers.json", lambda p: self.put(p, BROKEN), 1, "3:1: unexpected end of input: missing }"),
            ("a folder named markers.json", os.makedirs, 2, "a directory, not a markers file"),
        ]
        if not WINDOWS:
            cases += [
                ("a link to nothing", lambda p: os.symlink("gone.json", p), 2, "a link to a file that does not exist"),
                ("a fifo", os.mkfifo, 2, "a device or other special file, not a markers file"),
            ]
        for what, make, status, why in cases:
            with self.subTest(what):
                folder = os.path.join(self.dir, what.replace(" ", "-"))
                os.makedirs(folder)
                self.put(os.path.join(what.replace(" ", "-"), "markers.json.bak"), GOOD)
                make(os.path.join(folder, "markers.json"))
                r = run("status", folder, timeout=30)
                self.assertEqual(r.returncode, status, r.out + r.err)
                row = [l for l in r.out.splitlines() if l.startswith("markers.json ")]
                self.assertEqual(len(row), 1, r.out)
                self.assertTrue(row[0].endswith("  " + (why or "2 markers")), row[0])
                self.assertEqual(r.err, "" if status != 2 else
                                 "quillfen-markers: markers.json cannot be read (its line says why), so the game "
                                 "cannot load it either. Close any program that holds it; if it is not your markers "
                                 "file, move it out of the way. Then run status again.\n")

    def test_the_settings_in_force_and_each_fault_in_the_words_of_the_log(self):
        cases = [
            ("no file yet, after a start", None,
             ["Settings: settings.ini is not there, so every setting is at its default; the game writes it at its "
              "next start.",
              "  capture_waypoints = true", "  hidden_on_map =", "  blip_limit = 500", "  route_colour = COLOR_RED"] + FOUND_DEFAULTS),
            ("a file the player changed", "; mine\r\ncapture_waypoints = false\r\nhidden_on_map = 2, 5\r\n",
             ["Settings in force (from settings.ini):",
              "  capture_waypoints = false", "  hidden_on_map = 2 Pin, 5 Foe", "  blip_limit = 500",
              "  route_colour = COLOR_RED"] + FOUND_DEFAULTS),
            ("categories by name, saved as UTF-16",
             "\ufeffhidden_on_map = animal, 3\r\nblip_limit = 40\r\n".encode("utf-16-le"),
             ["Settings in force (from settings.ini):",
              "  capture_waypoints = true", "  hidden_on_map = 3 ?, 8 Animal", "  blip_limit = 40",
              "  route_colour = COLOR_RED"] + FOUND_DEFAULTS + [
              "%s is UTF-16 text (what some editors call \"Unicode\"): Quillfen reads it, but cannot write the "
              "switches of the game into it; save it as UTF-8 (in Notepad: Save As, Encoding UTF-8)"]),
            ("saved as UTF-16 without a byte order mark",
             "hidden_on_map = animal, 3\r\nblip_limit = 40\r\n".encode("utf-16-le"),
             ["Settings in force (from settings.ini):",
              "  capture_waypoints = true", "  hidden_on_map = 3 ?, 8 Animal", "  blip_limit = 40",
              "  route_colour = COLOR_RED"] + FOUND_DEFAULTS + [
              "%s is UTF-16 text (what some editors call \"Unicode\"): Quillfen reads it, but cannot write the "
              "switches of the game into it; save it as UTF-8 (in Notepad: Save As, Encoding UTF-8)"]),
            ("faults: each named, the rest holds", "blip_limt = 4\nroute_colour = COLOR_BLUE\nblip_limit = 501\n",
             ["Settings in force (from settings.ini):",
              "  capture_waypoints = true", "  hidden_on_map =", "  blip_limit = 500", "  route_colour = COLOR_BLUE"] + FOUND_DEFAULTS + [
              "%s line 1: unknown key \"blip_limt\", ignored; did you mean blip_limit?",
              "%s line 3: blip_limit takes a whole number from 1 to 500, not \"501\"; using the default, "
              "blip_limit = 500"]),
            ("a folder named settings.ini", os.makedirs,
             ["Settings in force: every setting at its default (settings.ini is not read):",
              "  capture_waypoints = true", "  hidden_on_map =", "  blip_limit = 500", "  route_colour = COLOR_RED"] + FOUND_DEFAULTS + [
              "%s is a directory, not a settings file: every setting is at its default, and Quillfen leaves it "
              "alone"]),
        ]
        for what, content, lines in cases:
            with self.subTest(what):
                name = what.replace(" ", "-").replace(",", "").replace(":", "")
                folder = os.path.join(self.dir, name)
                self.put(os.path.join(name, "markers.json"), GOOD)
                self.put(os.path.join(name, "last.log"), "")
                path = os.path.join(folder, "settings.ini")
                if callable(content):
                    content(path)
                elif content is not None:
                    with open(path, "wb") as f:
                        f.write(content if isinstance(content, bytes) else content.encode("utf-8"))
                r = run("status", folder, timeout=30)
                self.assertEqual(r.returncode, 0, r.out + r.err)
                out = r.out.replace("\\", "/").splitlines()
                at = out.index(lines[0]) if lines[0] in out else len(out)
                shown_path = (folder + "/settings.ini").replace("\\", "/")
                self.assertEqual(out[at:], [l.replace("%s", shown_path) for l in lines], r.out)
                self.assertEqual(r.err, "")

    def test_the_markers_a_quit_could_not_save_are_put_back_whole_by_the_command_status_gives(self):
        """The copy holds that run's notes, found marks, moves and renames: restore puts them in place, and a merge
        would not. When markers.json was saved after it, status says what restoring it would take back."""
        unsaved = "markers.json.unsaved-20251209-080003"
        mine = ('{"markers": [\n'
                '  {"position": [1, 2, 3], "category": 1, "name": "Camp", %s},\n'
                '  {"position": [4, 5, 6], "category": 2, "name": "Mill", %s},\n'
                '  {"position": [7, 8, 9], "category": 7, "name": "Bone 1", "pack": "Bones", %s},\n'
                '  {"position": [9, 9, 9], "category": 2, "name": "Gone", %s}\n]}' % ((TIMESTAMP,) * 4))
        # That run: Camp renamed, Mill moved, the bone found with a note, Gone deleted, one marker added.
        held = ('{"markers": [\n'
                '  {"position": [1, 2, 3], "category": 1, "name": "Old camp", %s},\n'
                '  {"position": [4, 5, 6], "category": 5, "name": "Mill", %s},\n'
                '  {"position": [7, 8, 9], "category": 7, "name": "Bone 1", "pack": "Bones", %s, '
                '"found": {"_nsec": 1765267300000000000}, "note": "under the tree"},\n'
                '  {"position": [100, 0, 0], "category": 3, %s}\n]}' % ((TIMESTAMP,) * 4))
        self.put("markers.json", mine)
        self.put(unsaved, held)
        os.utime(os.path.join(self.dir, "markers.json"), (1765267200, 1765267200))
        os.utime(os.path.join(self.dir, unsaved), (1765267203, 1765267203))
        for folder, dir_shown in ((self.dir, self.dir), (".", ".")):
            with self.subTest(folder):
                r = run("status", folder, cwd=self.dir, timeout=30)
                self.assertEqual(r.returncode, 0, r.out + r.err)
                out = r.out.replace("\\", "/").splitlines()
                row = [l for l in out if l.startswith(unsaved + "  ")]
                self.assertEqual(len(row), 1, r.out)
                self.assertTrue(row[0].endswith("  4 markers"), row[0])
                at = out.index("%s holds your markers as the game held them when it quit without saving" % unsaved)
                self.assertEqual(out[at + 1:at + 6], [
                    "them: with that run's new markers, deletes, renames, moves, notes and found marks.",
                    "To put them in the place of markers.json, close the game and run:",
                    "    quillfen-markers restore %s %s" % (dir_shown, unsaved),
                    "What markers.json holds now (your markers as last saved before that run) is kept as",
                    "markers.json.replaced-YYYYMMDD-HHMMSS, the undo. Then you may delete the copy."], r.out)
        # The command as status gives it puts back every change of that run.
        r = run("restore", ".", unsaved, cwd=self.dir)
        self.assertEqual(r.returncode, 0, r.out + r.err)
        self.assertEqual(r.out.splitlines()[0], "Restored 4 markers from %s into markers.json." % unsaved)
        self.assertEqual(run("format", self.put("want.json", held)).out,
                         self.read("markers.json").decode(), "the copy's markers, each key as it held it")

        # markers.json saved after the copy (a later run): restoring would take that back; merge adds only.
        self.put("markers.json", mine)
        r = run("status", ".", cwd=self.dir, timeout=30)
        out = r.out.splitlines()
        at = out.index("%s holds your markers as the game held them when it quit without saving" % unsaved)
        self.assertEqual(out[at + 2:at + 9], [
            "markers.json was saved after it, so putting the copy in its place would also take back what",
            "changed since (what markers.json holds would be kept as markers.json.replaced-YYYYMMDD-HHMMSS,",
            "the undo). To do so, close the game and run:",
            "    quillfen-markers restore . %s" % unsaved,
            "Or, to add only the copy's markers that markers.json lacks (none within 1 metre of one of yours,",
            "and none of that run's deletes, renames, moves, notes or found marks):",
            "    quillfen-markers merge markers.json %s" % unsaved], r.out)
        r = run("merge", "markers.json", unsaved, cwd=self.dir)
        self.assertEqual(r.out.splitlines()[:2], ["Added 1 of 4 markers from %s" % unsaved,
                                                  "markers.json holds 5 markers"])

    def test_a_file_named_like_a_copy_that_is_none_is_not_offered(self):
        self.put("markers.json", GOOD)
        self.put('markers.json.unsaved-x" & calc & "', GOOD)
        r = run("status", self.dir)
        self.assertEqual(r.returncode, 0, r.err)
        self.assertEqual([l for l in r.out.splitlines() if l.lstrip().startswith("quillfen-markers ")], [],
                         "no command is offered for it")
        self.assertIn('markers.json.unsaved-x" & calc & "  ', r.out, "listed, as any file of markers")

    def test_a_fresh_install_says_to_start_the_game_once(self):
        os.makedirs(os.path.join(self.dir, "Quillfen"))
        r = run("status", os.path.join(self.dir, "Quillfen"))
        self.assertEqual(r.returncode, 0)
        self.assertEqual(r.out.replace("\\", "/").splitlines(), [
            "No markers files in %s/Quillfen yet." % self.dir,
            "Quillfen has not run here yet. Start the game once with Quillfen installed (Quillfen.asi,",
            "ScriptHookRDR2.dll and an ASI loader beside RDR2.exe): it writes last.log in this folder,",
            "and markers.json with your first marker."])
        self.put("Quillfen/last.log", "")
        r = run("status", os.path.join(self.dir, "Quillfen"))
        self.assertEqual(r.out.splitlines()[1],
                         "Quillfen has run here (see last.log), but no marker was added yet: markers.json comes with "
                         "the first.")


class Collections(Files):
    """Packs: merge keeps each pack's name, status counts what was found, unfound clears one pack."""

    def pack_file(self):
        return self.put("Dinosaur bones.json", '{"markers": [%s]}' % ", ".join(
            '{"position": [%d, 0, 0], "category": 7, "name": "Bone %d", %s}' % (100 * i, i, TIMESTAMP)
            for i in (1, 2, 3)))

    def test_merge_names_the_pack_status_counts_it_and_unfound_clears_it(self):
        into = self.put("Quillfen/markers.json", GOOD)
        self.put("Quillfen/last.log", "")
        self.assertEqual(run("merge", into, self.pack_file()).returncode, 0)
        for n in self.names("Quillfen"):
            if n.startswith("markers.json.replaced-"):
                os.remove(os.path.join(self.dir, "Quillfen", n))
        merged = json.loads(self.read("Quillfen/markers.json"))["markers"]
        self.assertEqual([m.get("pack") for m in merged], [None, None] + ["Dinosaur bones"] * 3)
        self.assertNotIn("found", json.dumps(merged))
        # A marker found in the game, as the game writes it.
        text = self.read("Quillfen/markers.json").decode()
        at = text.index('"pack": "Dinosaur bones"') + len('"pack": "Dinosaur bones"')
        found = text[:at] + ',\n            "found": {\n                "_nsec": 1765267300000000000\n            }' + text[at:]
        self.put("Quillfen/markers.json", found)
        self.assertEqual(run("check", into).out, "5\n")
        status = run("status", os.path.join(self.dir, "Quillfen")).out.splitlines()
        self.assertIn("Packs in markers.json:", status)
        self.assertIn("  Dinosaur bones  1 of 3 found", status)

        r = run("unfound", into, "Dinosaur bones")
        self.assertEqual(r.returncode, 0, r.err)
        self.assertEqual(r.out.splitlines()[0], "Cleared the found marks of 1 of the 3 markers of Dinosaur bones in %s" % into)
        kept = [n for n in self.names("Quillfen") if n.startswith("markers.json.replaced-")]
        self.assertEqual(len(kept), 1)
        self.assertEqual(self.read(os.path.join("Quillfen", kept[0])).decode(), found)
        self.assertIn("  Dinosaur bones  0 of 3 found", run("status", os.path.join(self.dir, "Quillfen")).out)
        # Cleared, the file is as merge wrote it: byte for byte.
        self.assertEqual(self.read("Quillfen/markers.json").decode(), text)

    def test_unfound_of_a_pack_the_file_does_not_hold_changes_nothing(self):
        into = self.put("markers.json", GOOD)
        for args, status, says in [
                (("unfound", into, "Orchids"), 0, "holds no marker of the pack \"Orchids\"; it was not changed"),
                (("unfound", into), 2, ""),
                (("unfound", self.put("broken.json", BROKEN), "Orchids"), 1, "cannot be loaded")]:
            with self.subTest(args=args):
                r = run(*args)
                self.assertEqual(r.returncode, status, r.out + r.err)
                self.assertIn(says, r.out)
        self.assertEqual(self.read("markers.json").decode(), GOOD)
        self.assertEqual(self.names(), ["broken.json", "markers.json"])


DELETED = ('{"markers": [\n'
           '  {"position": [20, 0, 0], "category": 1, "name": "Bear cave", "timestamp": {"_nsec": 200}, '
           '"note": "rifle", "deleted": {"_nsec": 1765267200000000000}},\n'
           '  {"position": [50, 0, 0], "category": 2, "timestamp": {"_nsec": 500}, '
           '"deleted": {"_nsec": 1765267300000000000}},\n'
           '  {"position": [60, 0, 0], "category": 1, "name": "Bear cave", "timestamp": {"_nsec": 600}, '
           '"deleted": {"_nsec": 1765267100000000000}}\n]}')
MINE = ('{"markers": [{"position": [10, 0, 0], "category": 1, "name": "Camp", "timestamp": {"_nsec": 100}},\n'
        '  {"position": [30, 0, 0], "category": 1, "name": "Lake", "timestamp": {"_nsec": 300}}]}')


class Undelete(Files):
    """deleted.json: status counts it and shows the newest; undelete puts one marker back, merge all of them."""

    def formatted(self, path):
        r = run("format", path)
        self.assertEqual(r.returncode, 0, r.err)
        return r.out

    def test_status_says_how_many_were_deleted_and_the_newest(self):
        self.put("Quillfen/markers.json", MINE)
        self.put("Quillfen/deleted.json", DELETED)
        r = run("status", os.path.join(self.dir, "Quillfen"))
        self.assertEqual(r.returncode, 0, r.err)
        lines = r.out.splitlines()
        at = lines.index("deleted.json: 3 markers deleted in the game, the newest first:")
        self.assertRegex(lines[at + 1], r"^  Marker \(\?\)  \(deleted \d{4}-\d\d-\d\d \d\d:\d\d:\d\d( UTC)?\)$")
        self.assertTrue(lines[at + 2].startswith("  Bear cave  (deleted "), lines[at + 2])
        self.assertTrue(lines[at + 3].startswith("  Bear cave  (deleted "), lines[at + 3])
        self.assertIn("To put them all back: quillfen-markers merge", lines[at + 5])

    def test_undelete_puts_back_the_newest_with_that_label_where_it_stood(self):
        mine = self.put("Quillfen/markers.json", MINE)
        self.put("Quillfen/deleted.json", DELETED)
        r = run("undelete", mine, "Bear cave")
        self.assertEqual(r.returncode, 0, r.err)
        self.assertTrue(r.out.startswith("Restored Bear cave (deleted "), r.out)
        kept = [n for n in self.names("Quillfen") if n.startswith("markers.json.replaced-")]
        self.assertEqual(len(kept), 1)
        self.assertEqual(self.read("Quillfen/" + kept[0]), MINE.encode())
        # The newer of the two deletes called so, with its note, between the markers made before and after it.
        text = self.formatted(mine)
        self.assertLess(text.index('"Camp"'), text.index('"Bear cave"'))
        self.assertLess(text.index('"Bear cave"'), text.index('"Lake"'))
        self.assertIn('"note": "rifle"', text)
        self.assertNotIn('"deleted"', text)
        rest = self.read("Quillfen/deleted.json").decode()
        self.assertEqual(rest.count('"deleted"'), 2, "deleted.json no longer lists it")
        self.assertNotIn('"rifle"', rest)
        # Again: the older "Bear cave"; then none is left.
        self.assertEqual(run("undelete", mine, "Bear cave").returncode, 0)
        self.assertEqual(self.formatted(mine).count('"Bear cave"'), 2)
        r = run("undelete", mine, "Bear cave")
        self.assertEqual(r.returncode, 2, r.out)
        self.assertIn('No marker called "Bear cave"', r.out)
        self.assertIn("Nothing was changed.", r.out)

    def test_undelete_of_a_marker_back_already_or_without_deleted_json_changes_nothing(self):
        mine = self.put("Quillfen/markers.json", MINE)
        r = run("undelete", mine, "Bear cave")
        self.assertEqual(r.returncode, 2, r.out)
        self.assertIn("Nothing was changed.", r.out)
        self.put("Quillfen/deleted.json", DELETED)
        merged = run("merge", mine, os.path.join(self.dir, "Quillfen", "deleted.json"))
        self.assertEqual(merged.returncode, 0, merged.err)
        before = self.read("Quillfen/markers.json")
        self.assertNotIn('"deleted"', before.decode(), "merge brings them back without the time of the delete")
        # As a kill between the merge's two writes leaves it: back, and still listed.
        self.put("Quillfen/deleted.json", DELETED)
        r = run("undelete", mine, "Bear cave")
        self.assertEqual(r.returncode, 0, r.out)
        self.assertIn("Bear cave is back already: markers.json holds it.", r.out)
        self.assertIn("Nothing was changed.", r.out)
        self.assertEqual(self.read("Quillfen/markers.json"), before)
        self.assertEqual(self.read("Quillfen/deleted.json"), DELETED.encode())
        self.assertEqual(run("undelete", mine).returncode, 2, "a LABEL is needed")

    def deleted_line(self, status):
        return [line for line in status.out.splitlines() if line.startswith("deleted.json: ")]

    def test_status_lists_each_marker_once_and_none_that_is_back(self):
        """One marker deleted twice, one at a position that is not a number three times, and one that markers.json
        holds again (a kill between a delete's two writes, a restore): the game offers two, status lists two."""
        again = ('  {"position": [NaN, 5, 41], "category": 3, "name": "Odd", "timestamp": {"_nsec": 700}, '
                 '"deleted": {"_nsec": %d}}')
        self.put("Quillfen/markers.json", MINE)
        self.put("Quillfen/deleted.json", '{"markers": [\n' + ",\n".join([
            '  {"position": [10, 0, 0], "category": 1, "name": "Camp", "timestamp": {"_nsec": 100}, '
            '"deleted": {"_nsec": 1765267000000000000}}',
            again % 1765267100000000000, again % 1765267300000000000, again % 1765267200000000000,
            '  {"position": [20, 0, 0], "category": 1, "name": "Bear cave", "timestamp": {"_nsec": 200}, '
            '"deleted": {"_nsec": 1765267400000000000}}',
            '  {"position": [20, 0, 0], "category": 1, "name": "Bear cave", "timestamp": {"_nsec": 200}, '
            '"deleted": {"_nsec": 1765267500000000000}}']) + "\n]}")
        r = run("status", os.path.join(self.dir, "Quillfen"))
        self.assertEqual(r.returncode, 0, r.err)
        lines = r.out.splitlines()
        at = lines.index("deleted.json: 2 markers deleted in the game, the newest first:")
        self.assertTrue(lines[at + 1].startswith("  Bear cave  (deleted "), lines[at + 1])
        self.assertTrue(lines[at + 2].startswith("  Odd  (deleted "), lines[at + 2])
        self.assertTrue(lines[at + 3].startswith("To put one back"), lines[at + 3])
        self.assertNotIn("  Camp  (deleted ", r.out)

        # undelete takes every entry of the marker it puts back out of deleted.json.
        mine = os.path.join(self.dir, "Quillfen", "markers.json")
        r = run("undelete", mine, "Bear cave")
        self.assertEqual(r.returncode, 0, r.out + r.err)
        self.assertEqual(self.formatted(mine).count('"Bear cave"'), 1)
        self.assertNotIn('"Bear cave"', self.read("Quillfen/deleted.json").decode())
        self.assertEqual(self.deleted_line(run("status", os.path.join(self.dir, "Quillfen"))),
                         ["deleted.json: 1 marker deleted in the game, the newest first:"])

    def test_merge_of_deleted_json_takes_what_it_brought_back_out_of_it(self):
        mine = self.put("Quillfen/markers.json", MINE)
        # The third lies within 1 metre of Lake: not added, so it stays listed.
        self.put("Quillfen/deleted.json", DELETED.replace('"position": [60, 0, 0]', '"position": [30.5, 0, 0]'))
        r = run("merge", mine, os.path.join(self.dir, "Quillfen", "deleted.json"))
        self.assertEqual(r.returncode, 0, r.out + r.err)
        self.assertIn("deleted.json no longer lists the 2 markers that markers.json holds now.", r.out)
        rest = self.read("Quillfen/deleted.json").decode()
        self.assertEqual(rest.count('"deleted"'), 1, rest)
        self.assertIn("30.5", rest)
        self.assertEqual(self.deleted_line(run("status", os.path.join(self.dir, "Quillfen"))),
                         ["deleted.json: 1 marker deleted in the game, the newest first:"])
        # Again: nothing new for markers.json, nothing more to take out.
        r = run("merge", mine, os.path.join(self.dir, "Quillfen", "deleted.json"))
        self.assertEqual(r.returncode, 0, r.out + r.err)
        self.assertNotIn("no longer lists", r.out)
        self.assertEqual(self.read("Quillfen/deleted.json").decode(), rest)


# Names from someone else's file, as a player may meet them.
QUOTED = 'a" & calc & "b'
AMPERSAND = "Bear&calc"
NEW_LINE = "Camp\nquillfen-markers: forged line"
ESCAPE = "\x1b[2J\x1b[31mred"
LONG = "P" * 100000
EXPANDED = "100% $HOME !x `id`"
INJECTED = 'x"; touch pwned; echo "y'
SPECIALS = "Bear's cave (north) ^ & | < > # ~ * ?"
# As the tool prints them: control characters escaped as last.log escapes them, cut after 60 characters.
SHOWN = {QUOTED: QUOTED, AMPERSAND: AMPERSAND, NEW_LINE: "Camp\\nquillfen-markers: forged line",
         ESCAPE: "\\x1B[2J\\x1B[31mred", LONG: "P" * 57 + "...", EXPANDED: EXPANDED, INJECTED: INJECTED,
         SPECIALS: SPECIALS}


def deleted_text(names):
    """deleted.json holding a marker per name, the last one deleted last."""
    return json.dumps({"markers": [
        {"position": [100.0 * (i + 1), 0, 0], "category": 1, "name": n, "timestamp": {"_nsec": 1000 + i},
         "deleted": {"_nsec": 1765267200000000000 + i * 1000000000}} for i, n in enumerate(names)]})


def no_control_characters(text):
    return not re.search("[\x00-\x09\x0b-\x1f\x7f]", text)


def cmd_arguments(command):
    """The arguments a command line gives the program when typed into cmd.exe, or None when cmd.exe would do more
    than run it: an operator (& | < > ^ and brackets) outside quotes, or % or ! anywhere (variables, also inside
    quotes). The rest is split as the C library of Windows splits it; a backslash before a quote, which it reads
    otherwise than a POSIX shell, is None too."""
    if re.search("[%!]", command) or command.count('"') % 2 or '\\"' in command:
        return None
    if re.search("[&|<>^()]", re.sub('"[^"]*"', "", command)):
        return None
    args, current, quoted, started = [], "", False, False
    for c in command:
        if c == '"':
            quoted, started = not quoted, True
        elif c in " \t" and not quoted:
            if started:
                args.append(current)
            current, started = "", False
        else:
            current, started = current + c, True
    if started:
        args.append(current)
    return args


def sh_arguments(command, cwd):
    """The arguments a POSIX shell gives the program of `command`."""
    program, _, rest = command.partition(" ")
    r = subprocess.run(["sh", "-c", "printf '%s\\0' " + rest], cwd=cwd, stdout=subprocess.PIPE, check=True)
    return [program] + r.stdout.decode("utf-8").split("\0")[:-1]


class Names(Files):
    """Names from files print safely in every command that prints one: control characters escaped as last.log
    escapes them, long ones cut with "...", and a command the tool suggests runs only the tool with its
    arguments, in cmd.exe as in a POSIX shell, or names the marker by its place in deleted.json."""

    def run_suggested(self, command, cwd):
        """Runs a command the tool printed as a player would paste it, with quillfen-markers the tool under test:
        into cmd.exe (Wine's) for quillfen-markers.exe, else into sh, after checking that cmd.exe would run the
        tool with the same arguments."""
        args = cmd_arguments(command)
        self.assertIsNotNone(args, "cmd.exe would do more than run the tool: " + command)
        self.assertEqual(args[0], "quillfen-markers")
        if WINDOWS:
            env = dict(os.environ, WINEPATH=tool_path(os.path.dirname(TOOL)))
            line = re.sub(r'(^| |")/', r"\1Z:/", command)
            r = subprocess.run(["wine", "cmd"], input=(line + "\r\nexit\r\n").encode("utf-8"), cwd=cwd, env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
            r.out, r.err = r.stdout.decode("utf-8", "replace").replace("Z:/", "/"), ""
            return r
        self.assertEqual(sh_arguments(command, cwd), args, "sh and cmd.exe read it alike")
        bin_dir = os.path.join(self.dir, "bin")
        os.makedirs(bin_dir, exist_ok=True)
        if not os.path.exists(os.path.join(bin_dir, "quillfen-markers")):
            os.symlink(TOOL, os.path.join(bin_dir, "quillfen-markers"))
        env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ["PATH"])
        r = subprocess.run(["sh", "-c", command], cwd=cwd, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                           timeout=60)
        r.out, r.err = r.stdout.decode("utf-8"), r.stderr.decode("utf-8")
        return r

    def test_status_lists_deleted_names_safely_and_its_command_puts_back_the_newest_and_nothing_else(self):
        for name in (QUOTED, AMPERSAND, SPECIALS, NEW_LINE, ESCAPE, LONG, EXPANDED, INJECTED):
            with self.subTest(SHOWN[name]):
                folder = os.path.join(self.dir, "Quillfen")
                shutil.rmtree(folder, ignore_errors=True)
                self.put("Quillfen/markers.json", MINE)
                self.put("Quillfen/deleted.json", deleted_text(["Old", name]))
                r = run("status", folder)
                self.assertEqual(r.returncode, 0, r.err)
                self.assertTrue(no_control_characters(r.out), r.out[:400])
                out = r.out.splitlines()
                at = out.index("deleted.json: 2 markers deleted in the game, the newest first:")
                self.assertRegex(out[at + 1], r"^  %s  \(deleted [0-9: -]+( UTC)?\)$" % re.escape(SHOWN[name]))
                self.assertTrue(out[at + 2].startswith("  Old  (deleted "), out[at + 2])
                lead = "To put one back (close the game first): "
                self.assertTrue(out[at + 3].startswith(lead), out[at + 3])
                command = out[at + 3][len(lead):]
                by_name = name in (AMPERSAND, SPECIALS)
                self.assertTrue(command.endswith(' "%s"' % name if by_name else " --entry 2"), command)
                done = self.run_suggested(command, self.dir)
                self.assertEqual((done.returncode, done.err), (0, ""), done.out)
                self.assertIn("Restored %s (deleted " % SHOWN[name], done.out)
                back = json.loads(self.read("Quillfen/markers.json"))["markers"]
                self.assertEqual([m.get("name") for m in back], ["Camp", "Lake", name], "this one, as it was")
                self.assertEqual([m["name"] for m in json.loads(self.read("Quillfen/deleted.json"))["markers"]],
                                 ["Old"])
                self.assertFalse(os.path.exists(os.path.join(self.dir, "pwned")), "nothing but the tool ran")

    def test_a_folder_whose_path_no_command_prompt_takes_as_it_is_is_left_out_of_the_commands(self):
        name = "Quillfen 100% $x!"
        folder = os.path.join(self.dir, name)
        self.put(name + "/markers.json", MINE)
        self.put(name + "/deleted.json", deleted_text(["Old"]))
        self.put(name + "/markers.json.unsaved-20251209-080003", GOOD)
        r = run("status", folder)
        self.assertEqual(r.returncode, 0, r.err)
        out = r.out.splitlines()
        self.assertIn("To put them in the place of markers.json, close the game and run, in a command prompt in "
                      "that folder:", out)
        commands = [l.strip() for l in out if l.strip().startswith("quillfen-markers ")]
        commands += [l.split(": ", 1)[1] for l in out if l.startswith("To put one back")]
        self.assertEqual(commands, ["quillfen-markers restore . markers.json.unsaved-20251209-080003",
                                    "quillfen-markers undelete markers.json Old"])
        self.assertIn("To put one back (close the game first, in a command prompt in that folder): ", r.out)
        done = self.run_suggested(commands[1], folder)
        self.assertEqual((done.returncode, done.err), (0, ""), done.out)
        self.assertIn('"Old"', self.read(name + "/markers.json").decode(), "put back")
        self.assertIn("To put them all back: quillfen-markers merge markers.json deleted.json", out)

    def test_pack_names_are_escaped_and_cut_and_their_column_stays_narrow(self):
        packs = [LONG, ESCAPE, NEW_LINE, "Bones"]
        self.put("Quillfen/markers.json", json.dumps({"markers": [
            {"position": [10.0 * i, 0, 0], "category": 7, "name": "m", "pack": p, "timestamp": {"_nsec": 1}}
            for i, p in enumerate(packs)]}))
        r = run("status", os.path.join(self.dir, "Quillfen"))
        self.assertEqual(r.returncode, 0, r.err)
        self.assertTrue(no_control_characters(r.out), r.out[:400])
        out = r.out.splitlines()
        at = out.index("Packs in markers.json:")
        self.assertEqual(out[at + 1:at + 5], ["  %-60s  0 of 1 found" % SHOWN.get(p, p) for p in packs])

    def test_every_other_command_that_prints_a_name_escapes_it(self):
        folder = os.path.join(self.dir, "Quillfen")
        into = self.put("Quillfen/markers.json", MINE)
        self.put("Quillfen/deleted.json", deleted_text([AMPERSAND, ESCAPE, NEW_LINE, QUOTED]))
        found = self.put("found.json", json.dumps({"markers": [
            {"position": [1, 0, 0], "category": 7, "pack": ESCAPE, "timestamp": {"_nsec": 1},
             "found": {"_nsec": 2}}]}))
        far = self.put("far.json", '{"markers": [{"position": [1, Infinity, 0], "category": 1, "name": %s, %s}]}'
                       % (json.dumps(NEW_LINE), TIMESTAMP))
        keyed = self.put("keyed.json", '{"markers": [{"position": [1, 2, 3], "category": 1, %s: 1, %s}]}'
                         % (json.dumps(ESCAPE), TIMESTAMP))
        cases = [
            (("undelete", into, "nothing"), 2, [
                'No marker called "nothing" in %s/deleted.json (the newest: "%s", "%s", "%s", "%s").'
                % (folder, QUOTED, SHOWN[NEW_LINE], SHOWN[ESCAPE], AMPERSAND), "Nothing was changed."]),
            (("undelete", into, "--entry", "2"), 0, ["Restored %s (deleted " % SHOWN[ESCAPE]]),
            (("undelete", into, AMPERSAND), 0, ["Restored Bear&calc (deleted "]),
            (("undelete", into, "--entry", "9"), 2, [
                "%s/deleted.json holds 2 markers: there is no marker 9 in it." % folder, "Nothing was changed."]),
            (("unfound", into, ESCAPE), 0, [
                '%s holds no marker of the pack "%s"; it was not changed. quillfen-markers status lists the packs of '
                "a Quillfen folder." % (into, SHOWN[ESCAPE])]),
            (("unfound", found, ESCAPE), 0, [
                "Cleared the found marks of 1 of the 1 marker of %s in %s" % (SHOWN[ESCAPE], found)]),
            (("check", keyed), 3, ['1:53: marker 1: the game ignores the key "\\u001b[2J\\u001b[31mred"', "1"]),
        ]
        for args, status, starts in cases:
            with self.subTest(" ".join(SHOWN.get(a, os.path.basename(a)) for a in args)):
                r = run(*args)
                self.assertEqual(r.returncode, status, r.out + r.err)
                self.assertTrue(no_control_characters(r.out + r.err), r.out + r.err)
                lines = r.out.splitlines()
                self.assertEqual([l[:len(s)] for l, s in zip(lines, starts)], starts, r.out)
        self.assertEqual([m.get("name") for m in json.loads(self.read("Quillfen/markers.json"))["markers"]],
                         ["Camp", "Lake", AMPERSAND, ESCAPE], "each as it was")
        r = run("export", far, "--format", "csv")
        self.assertEqual(r.err, "quillfen-markers: left out marker 1 (%s): its position is not a finite number\n"
                         % SHOWN[NEW_LINE])

    def test_a_file_name_with_a_line_feed_or_an_escape_is_printed_escaped(self):
        if WINDOWS or sys.platform != "linux":
            self.skipTest("a line feed in a file's name is Linux's")
        pack = self.put("a\nb\x1b[2J.json", GOOD)
        into = os.path.join(self.dir, "new.json")
        r = run("merge", into, pack)
        self.assertEqual(r.returncode, 0, r.err)
        self.assertEqual(r.out.splitlines(), ["Added 2 of 2 markers from %s/a\\nb\\x1B[2J.json" % self.dir,
                                              "%s holds 2 markers" % into])
        self.put("Q/markers.json", GOOD)
        self.put("Q/markers.json.replaced-\n\x1b[2J", GOOD)
        r = run("status", os.path.join(self.dir, "Q"))
        self.assertTrue(no_control_characters(r.out), r.out)
        self.assertIn("markers.json.replaced-\\n\\x1B[2J  ", r.out)


class Counts(Files):
    """A count of one names one thing."""

    def test_one_marker_is_one_marker(self):
        one = '{"markers": [{"position": [100, 0, 0], "category": 3, %s}]}' % TIMESTAMP
        into = os.path.join(self.dir, "Quillfen", "markers.json")
        self.put("Quillfen/deleted.json", deleted_text(["Gone"]))
        r = run("merge", into, self.put("one.json", one))
        self.assertEqual(r.out.splitlines()[:2], ["Added 1 of 1 marker from %s/one.json" % self.dir,
                                                  "%s holds 1 marker" % into])
        r = run("restore", os.path.join(self.dir, "Quillfen"), self.put("again.json", one))
        self.assertEqual(r.out.splitlines()[0], "Restored 1 marker from %s/again.json into markers.json." % self.dir)
        out = run("status", os.path.join(self.dir, "Quillfen")).out.replace("\\", "/").splitlines()
        self.assertRegex(out[0], r"^markers\.json +\S+ \S+  1 marker$")
        self.assertIn("deleted.json: 1 marker deleted in the game, the newest first:", out)


def main():
    global TOOL, WINDOWS
    TOOL = os.path.abspath(sys.argv.pop(1))
    WINDOWS = TOOL.endswith(".exe")
    result = unittest.main(exit=False, verbosity=2).result
    # A failing case of a table counts its test once.
    failed = len({getattr(t, "test_case", t).id() for t, _ in result.failures + result.errors})
    print("%d passed, %d failed" % (result.testsRun - failed - len(result.skipped), failed))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
