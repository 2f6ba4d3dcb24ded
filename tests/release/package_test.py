#!/usr/bin/env python3
"""The release zip that scripts/package wrote: what it holds and that it is the build.

Run after scripts/package: python3 tests/release/package_test.py
The texts' version, which needs no zip: python3 tests/release/package_test.py ReleaseTexts
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.path.join(TOP, "build", "windows")

with open(os.path.join(TOP, "CMakeLists.txt"), encoding="utf-8") as f:
    VERSION = re.search(r"^project\(Quillfen VERSION ([0-9.]+)", f.read(), re.M).group(1)
ZIP = os.path.join(TOP, "out", "release", "Quillfen-%s.zip" % VERSION)
EXPECTED = ["Quillfen.asi", "Quillfen/README.txt", "Quillfen/CHANGELOG.txt", "Quillfen/quillfen-markers.exe"]
sys.path.insert(0, os.path.join(TOP, "scripts"))
import release_zip  # noqa: E402


def pe_timestamp(image):
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    assert image[pe:pe + 4] == b"PE\0\0"
    return struct.unpack_from("<I", image, pe + 8)[0]


def fixed_file_version(image):
    """dwFileVersion of the VS_FIXEDFILEINFO in the version resource, as "a.b.c"."""
    at = image.find(struct.pack("<I", 0xFEEF04BD))
    assert at >= 0, "no VS_FIXEDFILEINFO"
    ms, ls = struct.unpack_from("<II", image, at + 8)
    assert ls & 0xFFFF == 0
    return "%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16)


def string_file_info(image, key):
    """A value of the version resource's StringFileInfo (UTF-16, padded to 32 bits)."""
    at = image.find((key + "\0").encode("utf-16-le"))
    assert at >= 0, "no %s in the version resource" % key
    at += len(key) * 2 + 2
    at += (-at) % 4
    end = at
    while image[end:end + 2] != b"\0\0":
        end += 2
    return image[at:end].decode("utf-16-le")


class ReleaseZip(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.zip = zipfile.ZipFile(ZIP)
        cls.files = {name: cls.zip.read(name) for name in cls.zip.namelist()}

    def test_it_mirrors_the_game_folder_with_the_four_files(self):
        self.assertEqual(self.zip.namelist(), EXPECTED)

    def test_nothing_in_it_can_overwrite_a_players_data(self):
        for name in self.zip.namelist():
            base = os.path.basename(name).lower()
            self.assertFalse(base.startswith("markers") or base in ("last.log", "settings.ini") or
                             "/backups/" in name.lower(), name)

    def test_the_binaries_are_the_ones_built(self):
        for name, built in (("Quillfen.asi", "Quillfen.asi"), ("Quillfen/quillfen-markers.exe", "quillfen-markers.exe")):
            with open(os.path.join(BUILD, built), "rb") as f:
                self.assertEqual(self.files[name], f.read(), name)

    def test_the_version_resource_and_the_changelog_say_the_version_of_project(self):
        for name in ("Quillfen.asi", "Quillfen/quillfen-markers.exe"):
            image = self.files[name]
            self.assertEqual(fixed_file_version(image), VERSION, name)
            self.assertEqual(string_file_info(image, "FileVersion"), VERSION, name)
            self.assertEqual(string_file_info(image, "ProductVersion"), VERSION, name)
        self.assertEqual(string_file_info(self.files["Quillfen.asi"], "OriginalFilename"), "Quillfen.asi")
        self.assertIn(("\r\n%s (" % VERSION).encode(), self.files["Quillfen/CHANGELOG.txt"])

    def test_binaries_carry_no_link_time(self):
        for name in ("Quillfen.asi", "Quillfen/quillfen-markers.exe"):
            self.assertEqual(pe_timestamp(self.files[name]), 0, name)

    def test_texts_for_players_have_windows_line_ends(self):
        for name in ("Quillfen/README.txt", "Quillfen/CHANGELOG.txt"):
            text = self.files[name]
            self.assertGreater(text.count(b"\r\n"), 10, name)
            self.assertEqual(text.count(b"\n"), text.count(b"\r\n"), name)
            self.assertEqual(text.count(b"\r"), text.count(b"\r\n"), name)
            text.decode("utf-8")

    def test_the_readme_says_what_a_player_needs(self):
        text = self.files["Quillfen/README.txt"].decode("utf-8").replace("\r\n", "\n")
        flat = " ".join(text.split())  # wrapped lines read as one
        cases = [
            ("where ScriptHookRDR2 is", r"https://www\.dev-c\.com/rdr2/scripthookrdr2/", text),
            ("where an ASI loader is", r"https://github\.com/ThirteenAG/Ultimate-ASI-Loader/releases", text),
            ("that ScriptHookRDR2 must match the game",
             r"ScriptHookRDR2 must be made for your version of the game: after a game update", flat),
            ("the quick adds for mouse and controller",
             r"\"Add Here\": where you stand left mouse button RT \(Xbox\) / R2 \(PlayStation\) "
             r"\"Add at Waypoint\" right mouse button LT \(Xbox\) / L2 \(PlayStation\)", flat),
            ("the nearest 500 on the map, the rest listed and dimmed",
             r"the map shows the 500 nearest to you.*?they stay in the list \(\"Edit Markers\"\), dimmed", flat),
            ("the 500 is Quillfen's limit, not the game's", r"500 is Quillfen's own limit, not the game's", flat),
            ("distances in metres", r"10 metres.*1 metre of another.*how many metres away", flat),
            ("the first start's line is no fault, unless a recovery follows it",
             r"At the very first start last\.log says.*\] Failed to read markers data file: ERROR_FILE_NOT_FOUND "
             r"It means there is no markers\.json\. If the lines after it say nothing more, this is a first start.*"
             r"nothing is wrong\. If a line \"Recovered \.\.\. markers from \.\.\.\" follows, .*came back from "
             r"that backup", flat),
            ("a held file is waited for, not damaged",
             r"If another program holds markers\.json when the game starts.*reads the file again every second; "
             r"once it can, it loads it and adds the markers you made meanwhile\. Nothing is lost\.", flat),
            ("a failed save backs off and is reported at the quit",
             r"tries again after 5 seconds, then less and less often \(every 5 minutes at most\), and at once "
             r"whenever you change a marker.*If you quit the game \(or the scripts are reloaded\) while saves "
             r"fail, last\.log says what was not saved\.", flat),
            ("a command prompt in the Quillfen folder", r"click into the address bar .*type cmd and press Enter", flat),
            ("the repair: check, then format, then restore",
             r"REPAIRING A MARKERS FILE.*quillfen-markers check markers\.json.*LINE:COLUMN.*"
             r"quillfen-markers format markers\.json > repaired\.json.*quillfen-markers restore \. repaired\.json", flat),
            ("merge keeps an undo", r"keeps what markers\.json held as markers\.json\.replaced-YYYYMMDD-HHMMSS", flat),
            ("every exit code", r"0 done; for check: the file loads as it is written 1 a file does not load .* "
                                r"2 a file cannot be read or written .* 3 check: the file loads, but the game", flat),
        ]
        for what, pattern, where in cases:
            with self.subTest(what):
                self.assertRegex(where, re.compile(pattern, re.S))
        with self.subTest("a short quick start, the first section"):
            lines = text.split("\n")
            headings = [i for i in range(1, len(lines)) if re.fullmatch(r"-{3,}", lines[i]) and lines[i - 1].strip()]
            self.assertEqual(lines[headings[0] - 1], "QUICK START")
            self.assertLessEqual(headings[1] - headings[0], 16)
        self.assertNotRegex(text, re.compile(r"\bunits?\b", re.I), "metres throughout")
        self.assertNotRegex(flat, r"the game shows at most 500", "500 is Quillfen's limit, not the game's")

    def test_the_readme_names_only_commands_the_tool_has(self):
        text = self.files["Quillfen/README.txt"].decode("utf-8")
        with open(os.path.join(TOP, "tools", "quillfen_markers.cpp"), encoding="utf-8") as f:
            usage = re.findall(r'"(?:usage:| {6}) quillfen-markers ([\w-]+)', f.read())
        self.assertIn("check", usage)
        named = set(re.findall(r"quillfen-markers (\w+|--\w+)", text))
        self.assertTrue(named)
        self.assertEqual(named - set(usage) - {"exe"}, set())

    def test_the_changelog_speaks_to_players(self):
        text = self.files["Quillfen/CHANGELOG.txt"].decode("utf-8")
        for words in ("however the game reports", "unit", "JSON5", "serial", "native"):
            self.assertNotIn(words, text)

    def test_the_same_build_gives_the_same_zip_bytes(self):
        with tempfile.TemporaryDirectory() as out:
            subprocess.run([sys.executable, os.path.join(TOP, "scripts", "release_zip.py"), BUILD, out],
                           check=True, capture_output=True)
            with open(os.path.join(out, os.path.basename(ZIP)), "rb") as a, open(ZIP, "rb") as b:
                self.assertEqual(a.read(), b.read())
        for info in self.zip.infolist():
            self.assertEqual(info.extra, b"", info.filename)


class ReleaseTexts(unittest.TestCase):
    """The version in the texts for players, and packaging that refuses another one. No zip needed."""

    def test_the_changelog_and_the_readme_name_the_version_of_project(self):
        with open(os.path.join(TOP, "docs", "release", "CHANGELOG.txt"), encoding="utf-8") as f:
            self.assertRegex(release_zip.first_entry(f.read()), r"^%s \(\d{4}-\d{2}-\d{2}\)$" % re.escape(VERSION))
        with open(os.path.join(TOP, "docs", "release", "README.txt"), encoding="utf-8") as f:
            self.assertIn("\nThis is Quillfen %s " % VERSION, f.read())

    def pack(self, changelog, readme_version="0.2.0"):
        """release_zip.py in a tree of its own, packing version 0.2.0 with these texts: (result, zips written)."""
        with tempfile.TemporaryDirectory() as top:
            os.makedirs(os.path.join(top, "scripts"))
            shutil.copy(os.path.join(TOP, "scripts", "release_zip.py"), os.path.join(top, "scripts"))
            texts = os.path.join(top, "docs", "release")
            os.makedirs(texts)
            with open(os.path.join(texts, "CHANGELOG.txt"), "w", encoding="utf-8") as f:
                f.write("QUILLFEN - CHANGES\n==================\n\n" + changelog)
            with open(os.path.join(texts, "README.txt"), "w", encoding="utf-8") as f:
                f.write("QUILLFEN\n========\n\nThis is Quillfen %s (quillfen-markers --version says the same).\n"
                        % readme_version)
            build = os.path.join(top, "build")
            os.makedirs(os.path.join(build, "generated"))
            with open(os.path.join(build, "generated", "quillfen_version.h"), "w", encoding="ascii") as f:
                f.write('#define QF_VERSION_TEXT "0.2.0"\n')
            for binary in ("Quillfen.asi", "quillfen-markers.exe"):
                with open(os.path.join(build, binary), "wb") as f:
                    f.write(b"MZ")
            out = os.path.join(top, "out")
            env = {k: v for k, v in os.environ.items() if k != "SOURCE_DATE_EPOCH"}
            r = subprocess.run([sys.executable, os.path.join(top, "scripts", "release_zip.py"), build, out],
                               capture_output=True, text=True, env=env)
            checked = subprocess.run([sys.executable, os.path.join(top, "scripts", "release_zip.py"), "--check", build],
                                     capture_output=True, text=True, env=env)
            self.assertEqual((checked.returncode, checked.stderr), (r.returncode, r.stderr), "--check says the same")
            return r, sorted(os.listdir(out)) if os.path.isdir(out) else []

    def test_packing_refuses_texts_that_name_another_version(self):
        older = "0.1.0 (2026-12-10)\n------------------\n\n- The first release.\n"
        cases = [
            ("the next version not yet named", "Next version (not released yet)\n-------------------------------\n\n- "
             "Search.\n\n" + older, "0.2.0",
             'this is version 0.2.0, but the first entry of docs/release/CHANGELOG.txt is "Next version (not '
             'released yet)". Head the entry that lists this release\'s changes 0.2.0 (YYYY-MM-DD)'),
            ("no entry for this version at all", older, "0.2.0",
             'the first entry of docs/release/CHANGELOG.txt is "0.1.0 (2026-12-10)"'),
            ("this version's entry below an older one", older + "\n0.2.0 (2026-12-11)\n------------------\n", "0.2.0",
             'the first entry of docs/release/CHANGELOG.txt is "0.1.0 (2026-12-10)"'),
            ("an entry without its day", "0.2.0\n-----\n\n- Search.\n", "0.2.0",
             'the first entry of docs/release/CHANGELOG.txt is "0.2.0"'),
            ("a day that is not in the calendar", "0.2.0 (2026-02-30)\n------------------\n", "0.2.0",
             'the first entry of docs/release/CHANGELOG.txt, "0.2.0 (2026-02-30)", has no date of the calendar'),
            ("no entry", "- Search.\n", "0.2.0", "docs/release/CHANGELOG.txt has no entry"),
            ("a README.txt of the last version", "0.2.0 (2026-12-11)\n------------------\n", "0.1.0",
             'this is version 0.2.0, but docs/release/README.txt says "This is Quillfen 0.1.0": change it to 0.2.0.'),
        ]
        for what, changelog, readme_version, message in cases:
            with self.subTest(what):
                r, written = self.pack(changelog, readme_version)
                self.assertNotEqual(r.returncode, 0)
                self.assertTrue(r.stderr.startswith("release_zip: "), r.stderr)
                self.assertIn(message, r.stderr)
                self.assertTrue(r.stderr.endswith(" Nothing was packed.\n"), r.stderr)
                self.assertEqual(written, [], "no zip, not even a part of one")
        with self.subTest("texts that name the version"):
            r, written = self.pack("0.2.0 (2026-12-11)\n------------------\n\n- Search.\n\n" + older)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(written, ["Quillfen-0.2.0.zip"])


if __name__ == "__main__":
    result = unittest.main(exit=False, verbosity=2).result
    failed = len(result.failures) + len(result.errors)
    print("%d passed, %d failed" % (result.testsRun - failed, failed))
    sys.exit(1 if failed else 0)
