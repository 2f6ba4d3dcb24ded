#!/usr/bin/env python3
"""End-to-end tests of the real Quillfen.asi under Wine.

quillfen-sim.exe loads the substitute ScriptHookRDR2.dll and then Quillfen.asi
with LoadLibrary, runs frames in real time and unloads with FreeLibrary; these
tests look at what the run left in the game directory. Run through
scripts/wine-env (a Wine prefix under build/ and a virtual display).
"""
import collections
import json
import math
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from datetime import datetime, timezone
from zoneinfo import ZoneInfo

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tour"))
import tour_checks  # noqa: E402

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.path.join(TOP, "build", "windows")
SIM = os.path.join(BUILD, "quillfen-sim.exe")
HOLD = os.path.join(BUILD, "quillfen-hold-file.exe")
ASI = os.path.join(BUILD, "Quillfen.asi")
MARKERS_TOOL = os.path.join(BUILD, "quillfen-markers.exe")
OBJDUMP = "x86_64-w64-mingw32-objdump"

LINE = re.compile(r"^\[(DEBUG|INFO |WARN |ERROR|FATAL)\] --- \[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\] (.*)$")


def wine_path(path):
    """Wine's Z: drive is the Linux root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_sim(scenario_text, game_dir, timeout=120, env=None):
    os.makedirs(game_dir, exist_ok=True)
    scenario = os.path.join(game_dir, "scenario.json5")
    with open(scenario, "w") as f:
        f.write(scenario_text)
    return subprocess.run(["wine", SIM, "run", wine_path(scenario), "--out", wine_path(game_dir)],
                          capture_output=True, text=True, timeout=timeout, env=env)


def log_messages(game_dir):
    with open(os.path.join(game_dir, "Quillfen", "last.log"), "rb") as f:
        text = f.read().decode("utf-8")
    lines = text.split("\n")
    assert lines[-1] == "", "every line ends with a line feed"
    out = []
    for line in lines[:-1]:
        m = LINE.match(line)
        assert m, "malformed log line: %r" % line
        out.append(m.group(2))
    return out, text


def start_wine():
    """One wineserver for the whole run keeps each start to about a second.

    Wine's own services (services.exe, winedevice.exe, ...) start with the first
    program and keep its standard output and error open for as long as they
    run; started here with neither, they cannot keep a test's captured output
    open, which would stall subprocess.run until its timeout."""
    subprocess.run(["wineserver", "-p"], check=False)
    subprocess.run(["wine", "wineboot"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=False, timeout=300)


class HeldOpen:
    """Another program holding `path` open without sharing, for as long as the block runs."""

    def __init__(self, path, game_dir, seconds=60):
        self.path, self.ready, self.seconds = path, os.path.join(game_dir, "holder-ready"), seconds

    def __enter__(self):
        self.holder = subprocess.Popen(["wine", HOLD, wine_path(self.path), str(self.seconds), wine_path(self.ready)])
        deadline = time.time() + 60
        while not os.path.exists(self.ready):
            if self.holder.poll() is not None:
                raise AssertionError("the holder could not open %s" % self.path)
            if time.time() > deadline:
                raise AssertionError("the holder never got ready")
            time.sleep(0.1)
        return self

    def __exit__(self, *exc):
        self.holder.kill()
        self.holder.wait()
        return False


def trace(game_dir):
    with open(os.path.join(game_dir, "trace.jsonl")) as f:
        return [json.loads(line) for line in f]


def summary(game_dir):
    with open(os.path.join(game_dir, "sim-summary.json")) as f:
        return json.load(f)


class QuillfenUnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        for p in (SIM, HOLD, ASI):
            if not os.path.exists(p):
                raise unittest.SkipTest("missing %s: build the windows preset first" % p)
        cls.root = tempfile.mkdtemp(prefix="quillfen-wine-")
        start_wine()

    @classmethod
    def tearDownClass(cls):
        subprocess.run(["wineserver", "-k"], check=False)
        shutil.rmtree(cls.root, ignore_errors=True)

    def game_dir(self):
        d = os.path.join(self.root, self.id().split(".")[-1])
        shutil.rmtree(d, ignore_errors=True)
        return d

    def test_binary_exports_setup_and_cleanup_and_imports_the_host_by_decorated_name(self):
        out = subprocess.run([OBJDUMP, "-p", ASI], capture_output=True, text=True, check=True).stdout
        exports = re.findall(r"^\s+\[\s*\d+\] (\w+)$", out, re.M)
        self.assertEqual(sorted(exports), ["cleanup", "setup"], "exactly these two exports")
        dlls = sorted(set(d.lower() for d in re.findall(r"DLL Name: (\S+)", out)))
        self.assertEqual(dlls, ["kernel32.dll", "msvcrt.dll", "scripthookrdr2.dll", "user32.dll"])
        for name in ["?scriptWait@@YAXK@Z", "?scriptRegister@@YAXPEAUHINSTANCE__@@P6AXXZ@Z",
                     "?scriptUnregister@@YAXPEAUHINSTANCE__@@@Z", "?nativeInit@@YAX_K@Z",
                     "?nativePush64@@YAX_K@Z", "?nativeCall@@YAPEA_KXZ", "?getGameVersion@@YA?AW4eGameVersion@@XZ"]:
            self.assertIn(name, out)
        self.assertTrue(re.search(r"Subsystem\s+00000002", out), "a GUI-subsystem DLL, as Visual C++ makes them")
        self.assertIn("Entry 2", out)
        self.assertTrue(re.search(r"Entry 2 [0-9a-f]+ [0-9a-f]*[1-9a-f][0-9a-f]* Resource Directory", out),
                        "the version resource is there")

    def test_load_run_frames_and_unload(self):
        d = self.game_dir()
        r = run_sim("{frames: 40, frame_ms: 16.666667, world: {window: {width: 1280, height: 720, x: 40, y: 30}}}", d)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        s = summary(d)
        self.assertEqual(s["script_registrations"], 1)
        self.assertEqual(s["script_unregistrations"], 1)
        self.assertIsNone(s["failure"])
        messages, _ = log_messages(d)
        self.assertEqual(messages, ["Setup", "Backing up any existing data", "Script starting", "Loading data from disk",
                                    "Failed to read markers data file: ERROR_FILE_NOT_FOUND", "Shutdown"])
        calls = trace(d)
        per_frame = [c["frame"] for c in calls if c["native"] == "player_character"]
        self.assertEqual(per_frame, list(range(1, 40)), "one iteration per frame after the start")
        textures = [c["args"] for c in calls if c["native"] == "request_texture_dictionary" and c["frame"] == 5]
        self.assertEqual(textures, [["BLIPS", False], ["BLIPS_MP", False]])

    def test_a_second_load_truncates_the_log(self):
        d = self.game_dir()
        for _ in range(2):
            r = run_sim("{frames: 5}", d)
            self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        messages, _ = log_messages(d)
        self.assertEqual(messages.count("Setup"), 1)
        self.assertEqual(messages[0], "Setup")
        self.assertEqual(messages[-1], "Shutdown")

    def test_a_log_held_open_without_sharing_leaves_the_plugin_running_without_a_log(self):
        d = self.game_dir()
        os.makedirs(os.path.join(d, "Quillfen"))
        log = os.path.join(d, "Quillfen", "last.log")
        with open(log, "w") as f:
            f.write("held by another program\n")
        with HeldOpen(log, d):
            r = run_sim("{frames: 30}", d)
            self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
            self.assertIsNone(summary(d)["failure"])
            self.assertEqual(len([c for c in trace(d) if c["native"] == "player_character"]), 29)
            with open(log) as f:
                self.assertEqual(f.read(), "held by another program\n", "the held file is not touched")

    def test_a_waypoint_becomes_a_named_marker_in_the_file(self):
        d = self.game_dir()
        r = run_sim(CAPTURE_SCENARIO, d)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        with open(os.path.join(d, "Quillfen", "markers.json"), "rb") as f:
            text = f.read().decode("utf-8")
        self.assertIn('"name": "Valentine, New Hanover (Waypoint)"', text)
        self.assertIn("-310.45999146", text)
        self.assertIn("101.00000000", text)
        messages, _ = log_messages(d)
        self.assertIn("Auto-created marker at waypoint: -310.46, 802.27, 101.00", messages)
        self.assertEqual(messages.count("Saved 1 markers to JSON"), 1, "the marker and its name in one write")
        blips = [c for c in trace(d) if c["native"] == "create_blip_at_coords"]
        self.assertEqual(len(blips), 1, "the new marker gets its blip")

    def test_waypoints_seconds_apart_each_become_a_marker_on_the_ground_with_one_write(self):
        """At 60 fps in real time: the pause after a capture is 2 s, not minutes."""
        d = self.game_dir()
        r = run_sim("""{frames: 1260, frame_ms: 16.666667, world: {ground: {default: 40}},
                        events: [{frame: 60, waypoint: [100, 100]}, {frame: 540, waypoint: [600, 100]},
                                 {frame: 1020, waypoint: [1100, 100]}]}""", d)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        with open(os.path.join(d, "Quillfen", "markers.json"), "rb") as f:
            markers = json.loads(f.read())["markers"]
        self.assertEqual([m["position"] for m in markers], [[100, 100, 41], [600, 100, 41], [1100, 100, 41]])
        messages, _ = log_messages(d)
        self.assertEqual([m for m in messages if m.startswith("Saved ")],
                         ["Saved 1 markers to JSON", "Saved 2 markers to JSON", "Saved 3 markers to JSON"])

    def test_a_markers_file_held_open_without_sharing_is_never_replaced(self):
        d = self.game_dir()
        os.makedirs(os.path.join(d, "Quillfen"))
        path = os.path.join(d, "Quillfen", "markers.json")
        original = b'{"markers": [{"position": [1, 2, 3], "category": 4, "name": "Old camp"}]}'
        with open(path, "wb") as f:
            f.write(original)
        with HeldOpen(path, d):
            r = run_sim(CAPTURE_SCENARIO, d)
            self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        with open(path, "rb") as f:
            self.assertEqual(f.read(), original, "the held file survives byte for byte")
        messages, _ = log_messages(d)
        self.assertIn("Failed to read markers data file: ERROR_SHARING_VIOLATION", messages)
        self.assertIn("Quillfen/markers.json is there but cannot be read now, as another program holds it: Quillfen "
                      "leaves it as it is and saves nothing over it, shows the newest backup's markers meanwhile, "
                      "and reads it again every second until it can", messages)
        self.assertEqual([m for m in messages if m.startswith("Did not save the markers: ")],
                         ["Did not save the markers: Quillfen/markers.json could not be read yet, and saving over it "
                          "would lose what it holds; the 1 marker stays in the game and are saved once it can be "
                          "read"])  # the capture's one save
        q = os.path.join(d, "Quillfen")
        unsaved = [n for n in os.listdir(q) if n.startswith("markers.json.unsaved-")]
        self.assertEqual(len(unsaved), 1, os.listdir(q))
        self.assertRegex(unsaved[0], r"^markers\.json\.unsaved-\d{8}-\d{6}$")
        self.assertEqual(messages[-3:], [
            "The changes made in the game were not saved: Quillfen/markers.json still could not be read when the "
            "game quit, so it is left as it was (the game held 1 marker, the backup's and those added since)",
            "Kept the 1 marker the game held in Quillfen/%s: to put back what the game held, with "
            "this run's new markers, deletes, renames, moves, notes and found marks, close the game and run "
            "quillfen-markers restore . %s in the Quillfen folder; it replaces Quillfen/markers.json, which is kept "
            "as markers.json.replaced-YYYYMMDD-HHMMSS (README.txt, IF YOUR MARKERS ARE GONE, says more)"
            % (unsaved[0], unsaved[0]),
            "Shutdown"])
        with open(os.path.join(q, unsaved[0]), "rb") as f:
            kept = json.loads(f.read())["markers"]
        self.assertEqual([m.get("name") for m in kept], ["Valentine, New Hanover (Waypoint)"],
                         "what the game held at the quit, in the markers file's format")
        self.assertFalse(any(n.startswith("markers.json.unreadable-") for n in os.listdir(q)), "not damaged")
        self.assertFalse(os.path.exists(os.path.join(q, "markers.json.saving")))
        self.assertFalse(os.path.exists(os.path.join(q, "markers.json.copying")))

        # Released: the next run loads the old marker, keeps nothing aside, and saves.
        r = run_sim(CAPTURE_SCENARIO, d)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        messages, _ = log_messages(d)
        self.assertIn("Loaded 1 markers from JSON", messages)
        self.assertIn("Saved 2 markers to JSON", messages)
        with open(path, "rb") as f:
            text = f.read().decode("utf-8")
        self.assertIn('"name": "Old camp"', text)
        self.assertIn("Valentine, New Hanover (Waypoint)", text)
        with open(os.path.join(d, "Quillfen", "markers.json.bak"), "rb") as f:
            self.assertEqual(f.read(), original)

    def test_a_markers_file_held_for_8_seconds_from_before_the_start_keeps_every_marker(self):
        """1,002 markers, 2 of them from the last session; the backup has the 1,000 before."""
        d = self.game_dir()
        q = os.path.join(d, "Quillfen")
        os.makedirs(q)

        def markers(count):
            return ('{"markers": [%s]}' % ", ".join(
                '{"position": [%d, 2, 3], "category": %d, "timestamp": {"_nsec": %d}}'
                % (3 * i, i % 10, 1765267200000000000 + i) for i in range(count))).encode()

        path = os.path.join(q, "markers.json")
        with open(path, "wb") as f:
            f.write(markers(1002))
        with open(os.path.join(q, "markers.json.bak"), "wb") as f:
            f.write(markers(1000))
        # Two waypoints captured while the file is held (the first second and the fourth).
        scenario = """{frames: 900, frame_ms: 16.666667,
            world: {zones: [{type: "TOWN", hash: "0x1B6880B3", text: null, rect: [-400, 700, -200, 900]}],
                    ground: {default: 100}},
            events: [{frame: 60, waypoint: [-310.46, 802.27]}, {frame: 240, waypoint: [-250, 850]}]}"""
        with HeldOpen(path, d, seconds=8) as held:
            r = run_sim(scenario, d)
            self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
            self.assertIsNotNone(held.holder.poll(), "the hold ended during the run")
        messages, _ = log_messages(d)
        self.assertIn("Failed to read markers data file: ERROR_SHARING_VIOLATION", messages)
        self.assertIn("Recovered 1000 markers from Quillfen/markers.json.bak, the newest backup that loads", messages)
        self.assertIn("Loaded 1002 markers from JSON", messages)
        self.assertIn("Read Quillfen/markers.json at last: its 1002 markers take the place of the backup's, and 2 of "
                      "the 2 markers added meanwhile joined them", messages)
        self.assertIn("Saved 1004 markers to JSON", messages)
        self.assertEqual(messages[-1], "Shutdown")
        self.assertFalse(any(n.startswith("markers.json.unreadable-") for n in os.listdir(q)),
                         "nothing was kept aside as unreadable")
        with open(path, "rb") as f:
            saved = json.loads(f.read())["markers"]
        self.assertEqual(len(saved), 1004)
        xs = {m["position"][0] for m in saved}
        self.assertTrue({3000.0, 3003.0} <= xs, "the last session's two markers")
        self.assertEqual(sum(1 for m in saved if m.get("name", "").endswith("(Waypoint)")), 2)

    def test_a_marker_pack_waits_while_markers_json_is_held_and_joins_the_files_markers(self):
        """The file holds F0..F4; the backup also one at x = 100 deleted the last time; the pack one at 100.5."""
        d = self.game_dir()
        q = os.path.join(d, "Quillfen")
        os.makedirs(os.path.join(q, "import"))

        def markers(xs, names=None):
            return json.dumps({"markers": [
                dict({"position": [x, 0, 0], "category": 0, "timestamp": {"_nsec": 1765267200000000000 + i}},
                     **({"name": names[i]} if names else {})) for i, x in enumerate(xs)]}).encode()

        path = os.path.join(q, "markers.json")
        with open(path, "wb") as f:
            f.write(markers([0, 10, 20, 30, 40]))
        with open(os.path.join(q, "markers.json.bak"), "wb") as f:
            f.write(markers([0, 10, 20, 30, 40, 100]))
        pack = markers([100.5], ["Friend's camp"])
        with open(os.path.join(q, "import", "friend.json"), "wb") as f:
            f.write(pack)
        with HeldOpen(path, d, seconds=3) as held:
            r = run_sim("{frames: 420, frame_ms: 16.666667}", d)
            self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
            self.assertIsNotNone(held.holder.poll(), "the hold ended during the run")
        messages, _ = log_messages(d)
        left = ("Left marker pack Quillfen/import/friend.json where it is for now: Quillfen/markers.json has not been "
                "read yet, and the pack's markers are added to the file's once it has been (or at the next start)")
        self.assertIn(left, messages)
        self.assertLess(messages.index(left), messages.index("Loaded 5 markers from JSON"))
        at = messages.index("Imported 1 of 1 marker from Quillfen/import/friend.json")
        self.assertLess(messages.index("Read Quillfen/markers.json at last: its 5 markers take the place of the "
                                       "backup's, and 0 of the 0 markers added meanwhile joined them"), at)
        self.assertEqual(messages[at + 1:at + 4], [
            "Saving data to disk", "Saved 6 markers to JSON",
            "Moved marker pack Quillfen/import/friend.json to Quillfen/import/imported/friend.json"])
        with open(path, "rb") as f:
            saved = json.loads(f.read())["markers"]
        self.assertEqual([m["position"][0] for m in saved], [0, 10, 20, 30, 40, 100.5])
        self.assertEqual(saved[5]["name"], "Friend's camp")
        self.assertEqual(sorted(os.listdir(os.path.join(q, "import"))), ["imported"])
        with open(os.path.join(q, "import", "imported", "friend.json"), "rb") as f:
            self.assertEqual(f.read(), pack)

    def test_a_delete_or_undo_while_markers_json_is_held_acts_on_the_files_own_marker(self):
        """The file held for 6 seconds from before the start; the game shows the backup's markers meanwhile."""

        def markers(ms, deleted=False):
            return json.dumps({"markers": [dict({"position": m[1], "category": 0, "name": m[0],
                                                 "timestamp": {"_nsec": 1765267200000000000 + i}},
                                                **({"note": m[2]} if len(m) > 2 else {}),
                                                **({"deleted": {"_nsec": 1765267300000000000}} if deleted else {}))
                                           for i, m in enumerate(ms)]}).encode()

        gold = ("Gold spot", [10, 20, 41], "gold under the tree")
        cases = [
            # (what, markers.json, .bak, deleted.json, events, markers.json after, deleted.json after)
            ("an earlier run's delete undone where a marker of the file now lies",
             [("Alpha", [0, 0, 41]), ("Zed", [100, 100, 41])], [("Alpha", [0, 0, 41])], [("Ex", [100.3, 100, 41])],
             [{"frame": 20, "press": "INPUT_PLAYER_MENU"}, {"frame": 50, "press": "INPUT_GAME_MENU_TAB_LEFT"}],
             [("Alpha", None), ("Zed", None)], [("Ex", None)]),
            ("a delete undone", [gold], [gold[:2]], [],
             [{"frame": 20, "press": "INPUT_PLAYER_MENU"}, {"frame": 30, "hold": "INPUT_GAME_MENU_OPTION"},
              {"frame": 50, "press": "INPUT_GAME_MENU_TAB_LEFT"}],
             [("Gold spot", "gold under the tree")], []),
            ("a delete", [gold], [gold[:2]], [],
             [{"frame": 20, "press": "INPUT_PLAYER_MENU"}, {"frame": 30, "hold": "INPUT_GAME_MENU_OPTION"}],
             [], [("Gold spot", "gold under the tree")]),
        ]
        for n, (what, in_file, in_backup, deleted, events, saved, kept) in enumerate(cases):
            with self.subTest(what):
                d = self.game_dir() + "-%d" % n
                shutil.rmtree(d, ignore_errors=True)
                q = os.path.join(d, "Quillfen")
                os.makedirs(q)
                path = os.path.join(q, "markers.json")
                with open(path, "wb") as f:
                    f.write(markers(in_file))
                with open(os.path.join(q, "markers.json.bak"), "wb") as f:
                    f.write(markers(in_backup))
                if deleted:
                    with open(os.path.join(q, "deleted.json"), "wb") as f:
                        f.write(markers(deleted, True))
                scenario = ("{frames: 720, frame_ms: 16.666667, texture_load_frames: 2, repeat_answers: \"first\", "
                            "world: {window: {width: 1920, height: 1080, x: 0, y: 0}, player: {position: [0, 0, 41]}, "
                            "map: true}, events: %s}" % json.dumps(events))
                with HeldOpen(path, d, seconds=6) as held:
                    r = run_sim(scenario, d)
                    self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
                    self.assertIsNotNone(held.holder.poll(), "the hold ended during the run")
                messages, _ = log_messages(d)
                self.assertIn("Failed to read markers data file: ERROR_SHARING_VIOLATION", messages)
                self.assertTrue(any(m.startswith("Read Quillfen/markers.json at last: ") for m in messages), messages)
                with open(path, "rb") as f:
                    self.assertEqual([(m.get("name"), m.get("note")) for m in json.loads(f.read())["markers"]], saved)
                with open(os.path.join(q, "deleted.json"), "rb") as f:
                    self.assertEqual([(m.get("name"), m.get("note")) for m in json.loads(f.read())["markers"]], kept)
                if what.startswith("an earlier run's"):
                    self.assertIn("Restored Ex", messages)
                    self.assertIn("Did not restore Ex after all: Quillfen/markers.json, read at last, has a marker "
                                  "within 1 unit of its place, so Quillfen/deleted.json keeps it and Undo offers it "
                                  "again", messages)
                    self.assertIn("Saving works again: Quillfen/markers.json holds every change since saving failed "
                                  "but 1 marker that lay within 1 unit of one of its markers when it was read at last",
                                  messages)
                    drawn = {m.group(3) for m in (tour_checks.MARKUP.search(c["args"][0]) for c in trace(d)
                                                  if c["native"] == "draw_text_at") if m}
                    self.assertIn("Not restored, a marker lies within 1 m: Ex", drawn, "said on screen")

    def test_a_damaged_markers_file_never_costs_the_last_good_markers(self):
        d = self.game_dir()
        q = os.path.join(d, "Quillfen")
        os.makedirs(q)
        good = ('{"markers": [ %s]}' % ", ".join(
            '{"position": [1,2,%d], "category": %d, "timestamp": {"_nsec": %d}}' % (i, i % 10, 1765267200000000000 + i)
            for i in range(100))).encode()
        with open(os.path.join(q, "markers.json"), "wb") as f:
            f.write(good)
        r = run_sim("{frames: 5}", d)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        damaged = good[:31]
        self.assertEqual(damaged, b'{"markers": [ {"position": [1,2')
        with open(os.path.join(q, "markers.json"), "wb") as f:
            f.write(damaged)
        # Two damaged starts in a row: the first changes nothing, the second captures a waypoint.
        for scenario in ("{frames: 5}", CAPTURE_SCENARIO):
            with self.subTest(scenario=scenario[:12]):
                r = run_sim(scenario, d)
                self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
                with open(os.path.join(q, "markers.json.bak"), "rb") as f:
                    self.assertEqual(f.read(), good, "the backup keeps the good bytes")
                messages, _ = log_messages(d)
                self.assertIn("Failed to deserialize markers data file as JSON: 1:32: unexpected end of input: missing ]",
                              messages)
                self.assertIn("Recovered 100 markers from Quillfen/markers.json.bak, the newest backup that loads",
                              messages)
                self.assertTrue(any(m.startswith("Did not back up markers data file, which cannot be loaded (1:32: ")
                                    for m in messages), messages)
                kept = sorted(n for n in os.listdir(q) if n.startswith("markers.json.unreadable-"))
                self.assertTrue(kept)
                for name in kept:
                    with open(os.path.join(q, name), "rb") as f:
                        self.assertEqual(f.read(), damaged)
        self.assertIn("Saved 101 markers to JSON", messages)
        with open(os.path.join(q, "markers.json"), "rb") as f:
            saved = f.read().decode("utf-8")
        self.assertEqual(saved.count('"position"'), 101)
        self.assertIn("Valentine, New Hanover (Waypoint)", saved)

        # The next start finds a good file again: it becomes the backup.
        r = run_sim("{frames: 5}", d)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        with open(os.path.join(q, "markers.json.bak"), "rb") as f:
            self.assertEqual(f.read().decode("utf-8"), saved)
        daily = os.listdir(os.path.join(q, "backups"))
        self.assertEqual(len(daily), 1, daily)
        self.assertRegex(daily[0], r"^markers-\d{8}\.json$")

    def test_a_directory_named_markers_json_is_left_alone(self):
        d = self.game_dir()
        q = os.path.join(d, "Quillfen")
        os.makedirs(os.path.join(q, "markers.json"))
        with open(os.path.join(TOP, "tests", "data", "markers", "two-markers.json"), "rb") as f:
            good = f.read()
        with open(os.path.join(q, "markers.json.bak"), "wb") as f:
            f.write(good)
        r = run_sim(CAPTURE_SCENARIO, d)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        messages, _ = log_messages(d)
        about = [m for m in messages if m.startswith("Quillfen/markers.json is ")]
        self.assertEqual(about, ["Quillfen/markers.json is a directory, not a markers data file: Quillfen will not touch it"])
        self.assertIn("Recovered 2 markers from Quillfen/markers.json.bak, the newest backup that loads", messages)
        failed = [m for m in messages if m.startswith("Failed to write to markers data file: 0/")]
        self.assertEqual(len(failed), 1, messages)  # the capture's one save
        self.assertTrue(all(m.endswith(" Quillfen/markers.json is a directory") for m in failed), failed)
        # settings.ini: the settings file the first start writes, nothing to do with the obstacle;
        # the unsaved copy: the markers the game held at the quit, the capture's among them.
        names = sorted(os.listdir(q))
        unsaved = [n for n in names if re.fullmatch(r"markers\.json\.unsaved-\d{8}-\d{6}", n)]
        self.assertEqual(len(unsaved), 1, names)
        self.assertEqual(names, sorted(["import", "last.log", "markers.json", "markers.json.bak", "settings.ini"]
                                       + unsaved))
        self.assertIn("Kept the 3 markers the game held in Quillfen/%s: to put back what the game held, "
                      "with this run's new markers, deletes, renames, moves, notes and found marks, close the "
                      "game and run quillfen-markers restore . %s in the Quillfen folder; it replaces "
                      "Quillfen/markers.json, which is kept as markers.json.replaced-YYYYMMDD-HHMMSS (README.txt, IF "
                      "YOUR MARKERS ARE GONE, says more)" % (unsaved[0], unsaved[0]), messages)
        with open(os.path.join(q, unsaved[0]), "rb") as f:
            self.assertEqual(len(json.loads(f.read())["markers"]), 3)
        self.assertEqual(os.listdir(os.path.join(q, "markers.json")), [])
        with open(os.path.join(q, "markers.json.bak"), "rb") as f:
            self.assertEqual(f.read(), good)

        # The obstacle goes: markers.json is missing while its backup loads, so
        # the backup's markers come back and the next save writes them with the new one.
        os.rmdir(os.path.join(q, "markers.json"))
        r = run_sim("""{frames: 150, world: {zones: [{type: "TOWN", hash: "0x1B6880B3", text: null,
                        rect: [-400, 700, -200, 900]}], ground: {default: 100}},
                        events: [{frame: 5, waypoint: [-300, 810]}]}""", d)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        messages, _ = log_messages(d)
        self.assertIn("Recovered 2 markers from Quillfen/markers.json.bak, the newest backup that loads", messages)
        self.assertIn("Saved 3 markers to JSON", messages)

    def test_saves_go_through_a_link_at_markers_json_and_a_link_that_loops_is_named(self):
        """A Unix link, as Proton players make them: Wine shows it as the file it
        leads to, so only the final path of the open file tells where it leads."""
        d = self.game_dir()
        q = os.path.join(d, "Quillfen")
        synced = os.path.join(d, "Synced — 同期")
        os.makedirs(q)
        os.makedirs(synced)
        with open(os.path.join(TOP, "tests", "data", "markers", "two-markers.json"), "rb") as f:
            good = f.read()
        target = os.path.join(synced, "my markers.json")
        with open(target, "wb") as f:
            f.write(good)
        link_text = os.path.join("..", "Synced — 同期", "my markers.json")
        os.symlink(link_text, os.path.join(q, "markers.json"))
        r = run_sim(CAPTURE_SCENARIO, d)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        messages, _ = log_messages(d)
        self.assertIn("Loaded 2 markers from JSON", messages)
        self.assertIn("Saved 3 markers to JSON", messages)
        self.assertTrue(os.path.islink(os.path.join(q, "markers.json")), "the link stays a link")
        self.assertEqual(os.readlink(os.path.join(q, "markers.json")), link_text)
        with open(target, "rb") as f:
            self.assertEqual(f.read().count(b'"position"'), 3)
        self.assertEqual(os.listdir(synced), ["my markers.json"], "no temporary file left beside it")
        self.assertFalse(os.path.islink(os.path.join(q, "markers.json.bak")))
        with open(os.path.join(q, "markers.json.bak"), "rb") as f:
            self.assertEqual(f.read(), good)

        # A link that loops is named as a loop and left alone.
        os.remove(os.path.join(q, "markers.json"))
        os.symlink("markers.json", os.path.join(q, "markers.json"))
        r = run_sim(CAPTURE_SCENARIO, d)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        messages, _ = log_messages(d)
        self.assertIn("Quillfen/markers.json is a link that loops back to itself, not a markers data file: "
                      "Quillfen will not touch it", messages)
        failed = [m for m in messages if m.startswith("Failed to write to markers data file: 0/")]
        self.assertEqual(len(failed), 1, messages)
        self.assertTrue(failed[0].endswith(" Quillfen/markers.json is a link that loops back to itself"), failed)
        self.assertEqual(os.readlink(os.path.join(q, "markers.json")), "markers.json")

    def test_a_marker_pack_is_merged_without_doubles_and_moved_and_a_broken_one_costs_nothing(self):
        d = self.game_dir()
        q = os.path.join(d, "Quillfen")
        os.makedirs(os.path.join(q, "import"))
        with open(os.path.join(TOP, "tests", "data", "markers", "two-markers.json"), "rb") as f:
            ours = f.read()
        with open(os.path.join(q, "markers.json"), "wb") as f:
            f.write(ours)
        pack = json.dumps({"markers": [
            {"position": [-1234.5, 567.25, 42.5], "category": 3, "name": "0.5 from ours"},
            {"position": [100, 200, 30], "category": 7, "name": 'Legendary "bear" — 北の小屋',
             "timestamp": {"_nsec": 1700000000000000000}},
            {"position": [100.25, 200, 30], "category": 7, "name": "0.25 from the bear"},
        ]}, ensure_ascii=False).encode("utf-8")
        broken = b'{"markers": [\n  {"position": [1, 2, 3]\n'
        for name, data in (("Bären von Sadie — 熊.json", pack), ("broken.json", broken)):
            with open(os.path.join(q, "import", name), "wb") as f:
                f.write(data)
        r = run_sim("{frames: 20}", d)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        messages, _ = log_messages(d)
        self.assertIn("Imported 1 of 3 markers from Quillfen/import/Bären von Sadie — 熊.json", messages)
        self.assertTrue(any(re.fullmatch(r"Failed to load marker pack Quillfen/import/broken\.json: 3:1: .+", m)
                            for m in messages), messages)
        self.assertEqual(messages.count("Saving data to disk"), 1)
        self.assertIn("Saved 3 markers to JSON", messages)
        with open(os.path.join(q, "markers.json"), "rb") as f:
            saved = f.read().decode("utf-8")
        self.assertEqual(saved.count('"position"'), 3)
        self.assertIn('"name": "Legendary \\"bear\\" — 北の小屋"', saved)
        self.assertIn('"_nsec": 1700000000000000000', saved)
        self.assertEqual(sorted(os.listdir(os.path.join(q, "import"))), ["broken.json", "imported"])
        with open(os.path.join(q, "import", "broken.json"), "rb") as f:
            self.assertEqual(f.read(), broken)
        with open(os.path.join(q, "import", "imported", "Bären von Sadie — 熊.json"), "rb") as f:
            self.assertEqual(f.read(), pack)
        new_modifier = [c for c in trace(d) if c["native"] == "blip_add_modifier" and c["args"][1] == "0x95BD6684"]
        self.assertEqual(len(new_modifier), 1, "the added marker shows on the map as new")

        # The same pack again: nothing doubles, and it goes beside the first.
        with open(os.path.join(q, "import", "Bären von Sadie — 熊.json"), "wb") as f:
            f.write(pack)
        r = run_sim("{frames: 5}", d)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        messages, _ = log_messages(d)
        self.assertIn("Imported 0 of 3 markers from Quillfen/import/Bären von Sadie — 熊.json", messages)
        self.assertNotIn("Saving data to disk", messages)
        with open(os.path.join(q, "markers.json"), "rb") as f:
            self.assertEqual(f.read().decode("utf-8"), saved)
        self.assertEqual(sorted(os.listdir(os.path.join(q, "import", "imported"))),
                         ["Bären von Sadie — 熊-2.json", "Bären von Sadie — 熊.json"])

    def test_a_missing_markers_file_comes_back_from_its_backup_and_packs_that_cannot_be_packs_are_named(self):
        d = self.game_dir()
        q = os.path.join(d, "Quillfen")
        os.makedirs(os.path.join(q, "import", "folder.json"))
        with open(os.path.join(TOP, "tests", "data", "markers", "two-markers.json"), "rb") as f:
            good = f.read()
        with open(os.path.join(q, "markers.json.bak"), "wb") as f:
            f.write(good)
        with open(os.path.join(q, "import", "huge.json"), "wb") as f:
            f.truncate(100 << 20)  # sparse: its size, not its bytes, must stop the read
        r = run_sim("{frames: 5}", d)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        messages, _ = log_messages(d)
        start = messages[messages.index("Loading data from disk"):]
        self.assertEqual(start[:6], [
            "Loading data from disk",
            "Failed to read markers data file: ERROR_FILE_NOT_FOUND",
            "Recovered 2 markers from Quillfen/markers.json.bak, the newest backup that loads",
            "Skipped marker pack Quillfen/import/folder.json: it is a directory, not a file; only files are imported",
            "Failed to load marker pack Quillfen/import/huge.json: it is 100.00mib (104857600 bytes), larger than the "
            "64.00mib a pack may be, so it is not read; it stays where it is (remove it, or split it into smaller "
            "packs)",
            "Shutdown"])
        self.assertEqual(sorted(os.listdir(os.path.join(q, "import"))), ["folder.json", "huge.json"])
        self.assertFalse(os.path.exists(os.path.join(q, "markers.json")), "nothing is written before a change")

    def test_past_the_limit_the_map_shows_the_nearest_markers_and_follows_the_player(self):
        """1,200 markers, the 500 around the player last in the file; then the player goes to the others."""
        rng = random.Random(19)

        def ring(cx, cy, count, r0, r1):
            out = []
            for _ in range(count):
                a, r = rng.uniform(0, 2 * math.pi), rng.uniform(r0, r1)
                out.append([round(cx + r * math.cos(a)), round(cy + r * math.sin(a)), 0])
            return out

        far_inner = ring(4000, 4000, 500, 0, 300)
        far_outer = ring(4000, 4000, 200, 1000, 1500)
        near = ring(0, 0, 500, 0, 300)
        d = self.game_dir()
        os.makedirs(os.path.join(d, "Quillfen"))
        with open(os.path.join(d, "Quillfen", "markers.json"), "w") as f:
            json.dump({"markers": [{"position": p, "category": 1} for p in far_inner + far_outer + near]}, f)
        r = run_sim("{frames: 700, frame_ms: 16.666667, events: [{frame: 200, player: {position: [4000, 4000, 0]}}]}", d)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)

        def shown_after(frame):
            """Positions of the blips alive at the end of `frame`, from the trace."""
            alive = {}
            for c in trace(d):
                if c["frame"] > frame:
                    break
                if c["native"] == "create_blip_at_coords" and c["result"]:
                    alive[c["result"]] = (c["args"][1], c["args"][2])
                elif c["native"] == "remove_blip":
                    alive.pop(c["args"][0]["handle"], None)
            return sorted(alive.values())

        self.assertEqual(shown_after(199), sorted((p[0], p[1]) for p in near))
        self.assertEqual(shown_after(699), sorted((p[0], p[1]) for p in far_inner), "8 s after the move")
        per_frame = collections.Counter(c["frame"] for c in trace(d) if c["frame"] > 0)
        self.assertLessEqual(max(per_frame.values()), 1000, "no frame calls more than 1,000 natives")
        self.assertGreater(len([f for f, n in per_frame.items() if n > 500]), 5, "500 blips take several frames")
        messages, _ = log_messages(d)
        self.assertEqual([m for m in messages if m.startswith("Showing")],
                         ["Showing the nearest 500 of 1200 markers on the map"])

    def test_a_settings_file_that_hides_two_categories_and_turns_capture_off(self):
        """One marker of each category: those of Pin (2) and Foe (5) get no blip, a waypoint no marker."""
        d = self.game_dir()
        os.makedirs(os.path.join(d, "Quillfen"))
        markers = {"markers": [{"position": [20 * (c + 1), 0, 0], "category": c} for c in range(10)]}
        with open(os.path.join(d, "Quillfen", "markers.json"), "w") as f:
            json.dump(markers, f)
        with open(os.path.join(d, "Quillfen", "markers.json"), "rb") as f:
            markers_bytes = f.read()
        settings = b"; mine\r\ncapture_waypoints = false\r\nhidden_on_map = 2, 5\r\n"
        with open(os.path.join(d, "Quillfen", "settings.ini"), "wb") as f:
            f.write(settings)
        r = run_sim("{frames: 240, frame_ms: 16.666667, events: [{frame: 10, waypoint: [500, 500]}]}", d)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        alive = {}
        for c in trace(d):
            if c["native"] == "create_blip_at_coords" and c["result"]:
                alive[c["result"]] = c["args"][1]
            elif c["native"] == "remove_blip":
                alive.pop(c["args"][0]["handle"], None)
        self.assertEqual(sorted(round(x) // 20 - 1 for x in alive.values()), [0, 2, 3, 5, 6, 7, 8, 9])
        messages, _ = log_messages(d)
        self.assertIn("Settings in force (Quillfen/settings.ini): capture_waypoints = false, hidden_on_map = 2, 5",
                      messages)
        self.assertFalse([m for m in messages if m.startswith("Auto-created")], "no capture")
        with open(os.path.join(d, "Quillfen", "markers.json"), "rb") as f:
            self.assertEqual(f.read(), markers_bytes, "no marker added")
        with open(os.path.join(d, "Quillfen", "settings.ini"), "rb") as f:
            self.assertEqual(f.read(), settings, "read, never rewritten")

    def test_the_ring_centres_the_real_cursor_in_a_window_at_a_screen_offset(self):
        d = self.game_dir()
        r = run_sim("{frames: 40, world: {window: {width: 1280, height: 720, x: 200, y: 100}, cursor: [5, 5]},"
                    " events: [{frame: 5, map: true}]}", d)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertEqual(summary(d)["cursor"], [200 + 640, 100 + 360])

    def test_pointing_at_a_tile_through_the_real_cursor_chooses_its_category(self):
        d = self.game_dir()
        # Tile 3 of the settled ring: (0.3796, 0.4305) of a 1280 x 720 client area at (200, 100).
        r = run_sim("""{frames: 120, world: {window: {width: 1280, height: 720, x: 200, y: 100},
                        player: {position: [10, 20, 30]}},
                        events: [{frame: 5, map: true}, {frame: 60, cursor: [686, 410]},
                                 {frame: 90, just_pressed: "INPUT_ATTACK"}]}""", d)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        sounds = [c["args"][0] for c in trace(d) if c["native"] == "play_menu_sound"]
        self.assertEqual(sounds[:2], ["NAV_RIGHT", "SELECT"])
        with open(os.path.join(d, "Quillfen", "markers.json")) as f:
            self.assertIn('"category": 3', f.read())

    def test_the_tour_with_the_real_dll_whatever_a_repeated_test_answers(self):
        with open(os.path.join(TOP, "tests", "data", "tour", "markers.json")) as f:
            expected = f.read()
        with open(os.path.join(TOP, "examples", "tour.json5")) as f:
            tour = f.read()
        logs = {}
        for answers in tour_checks.REPEAT_ANSWERS:
            with self.subTest(repeat_answers=answers):
                d = self.game_dir() + "-" + answers.replace(":", "-")
                r = run_sim(tour_checks.with_repeat_answers(tour, answers), d)
                self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
                with open(os.path.join(d, "Quillfen", "markers.json")) as f:
                    written = f.read()
                # Time is real under Wine: everything but the timestamps as in the Linux simulator.
                self.assertEqual(tour_checks.without_timestamps(written), tour_checks.without_timestamps(expected))
                tour_checks.check(self, trace(d), written)
                with open(os.path.join(d, "Quillfen", "settings.ini"), "rb") as f, \
                        open(os.path.join(TOP, "tests", "data", "tour", "settings.ini"), "rb") as g:
                    self.assertEqual(f.read(), g.read(), "the first start's settings file")
                logs[answers] = log_messages(d)[0]
        for answers in tour_checks.REPEAT_ANSWERS[1:]:
            self.assertEqual(logs[answers], logs["first"], "the log's messages under %s" % answers)

    def test_a_route_to_a_marker_is_drawn_and_cleared_on_arrival_or_named_at_unload(self):
        """examples/route.json5: "Route" on the Saint Denis marker, then the player rides there."""
        with open(os.path.join(TOP, "examples", "route.json5")) as f:
            scenario = f.read()
        label = "Saint Denis (Waypoint)"
        for ends in ("arrival", "unload"):
            with self.subTest(ends=ends):
                d = self.game_dir() + "-" + ends
                # Ended before the ride: the route is still drawn when the plug-in unloads.
                text = scenario if ends == "arrival" else scenario.replace("frames: 420,", "frames: 280,", 1)
                r = run_sim(text, d)
                self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
                calls = [(c["native"], c["args"]) for c in trace(d) if c["native"].startswith("gps_route_")]
                route = [("gps_route_clear", []), ("gps_route_start", ["0x333FC632", True, True]),
                         ("gps_route_add_point", [2750.0, -1400.0, 41.0, False]), ("gps_route_show", [True])]
                self.assertEqual(calls, route + ([("gps_route_clear", [])] if ends == "arrival" else []))
                labels = [c["args"][2] for c in trace(d) if c["native"] == "make_text_label"]
                self.assertIn("Clear Route", labels)
                messages, _ = log_messages(d)
                self.assertIn("Route to %s (3753m)" % label, messages)
                s = summary(d)
                self.assertIsNone(s["failure"])
                if ends == "arrival":
                    self.assertEqual(messages.count("Arrived at %s: route cleared" % label), 1)
                    self.assertFalse(s["gps_route"]["shown"])
                else:
                    self.assertEqual(messages[-2:], [
                        "Unloading with the route to %s still on the map: the game takes no calls while Quillfen "
                        "unloads, so it cannot be cleared now, and the game may show it until it restarts" % label,
                        "Shutdown"])
                    self.assertTrue(s["gps_route"]["shown"])
                    self.assertEqual(s["gps_route"]["points"], [[2750, -1400, 41]])

    def test_a_search_finds_markers_of_two_categories_and_a_move_walks_one_round_the_ring(self):
        d = self.game_dir()
        os.makedirs(os.path.join(d, "Quillfen"))
        shutil.copy(os.path.join(TOP, "examples", "search-markers.json"), os.path.join(d, "Quillfen", "markers.json"))
        with open(os.path.join(TOP, "examples", "search.json5")) as f:
            r = run_sim(f.read(), d)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        t = trace(d)

        def rows(frame):
            return [text for align, _, text in tour_checks.texts_of_frame(t, frame) if align == "Left"]

        self.assertEqual(rows(25), ["1/1 Camp"], "category 0 before the search")
        keyboards = [c for c in t if c["native"] == "show_onscreen_keyboard"]
        self.assertEqual(len(keyboards), 1)
        self.assertEqual(keyboards[0]["args"][7], 50)
        self.assertEqual(rows(55), ["1/2 [Foe] BEAR TRAP", "2/2 [Animal] Bear cave"])
        self.assertEqual(rows(72), ["1/2 [Foe] BEAR TRAP", "2/2 [Plant] Bear cave"], "moved, still in the results")
        self.assertEqual(rows(150), ["1/1 Bear cave"], "cleared: the list of its category, Animal again")

        messages, _ = log_messages(d)
        ring = ["Marker (Plant)", "Marker (Cross)", "Marker (Flag)", "Marker (Pin)", "Marker (?)", "Marker (Friend)",
                "Marker (Foe)", "Marker (Chest)", "Marker (Cash)", "Marker (Animal)"]
        self.assertEqual([m for m in messages if m.startswith("Moved ")], ["Moved Bear cave to " + c for c in ring])
        self.assertEqual(len([m for m in messages if m.startswith("Saved ")]), 10, "one save per press")
        moves = [c["frame"] for c in t if c["native"] == "create_blip_at_coords" and c["frame"] >= 70]
        self.assertEqual(len(moves), 10, "its blip made again after each move")
        with open(os.path.join(d, "Quillfen", "markers.json")) as f:
            markers = json.load(f)["markers"]
        self.assertEqual([(m["name"], m["category"]) for m in markers],
                         [("Bear cave", 7), ("BEAR TRAP", 4), ("Ginseng", 8), ("Camp", 0), ("Old chest", 5)])

    def test_a_pack_marker_is_found_by_arrival_and_an_own_marker_by_the_press(self):
        """examples/collection.json5: Bone 1 found by riding to it, dimmed on the map; Camp by "Found"."""
        d = self.game_dir()
        q = os.path.join(d, "Quillfen")
        os.makedirs(os.path.join(q, "import"))
        shutil.copy(os.path.join(TOP, "examples", "collection-markers.json"), os.path.join(q, "markers.json"))
        shutil.copy(os.path.join(TOP, "examples", "collection-pack.json"),
                    os.path.join(q, "import", "Dinosaur bones.json"))
        with open(os.path.join(TOP, "examples", "collection.json5")) as f:
            r = run_sim(f.read(), d)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        messages, _ = log_messages(d)
        self.assertIn("Found Bone 1 (Dinosaur bones: 1 of 3 found)", messages)
        self.assertIn("Found Camp", messages)
        self.assertEqual(len([m for m in messages if m.startswith("Found ")]), 2, "riding past Camp finds nothing")
        with open(os.path.join(q, "markers.json"), encoding="utf-8") as f:
            markers = {m["name"]: m for m in json.load(f)["markers"]}
        self.assertEqual({n: m.get("pack") for n, m in markers.items()},
                         {"Camp": None, "Bone 1": "Dinosaur bones", "Bone 2": "Dinosaur bones",
                          "Bone 3": "Dinosaur bones"})
        self.assertEqual(sorted(n for n, m in markers.items() if "found" in m), ["Bone 1", "Camp"])
        # The found markers' blips are made again with the looted modifier (the game's hash of its name).
        t = trace(d)
        looted = [c for c in t if c["native"] == "blip_add_modifier" and c["args"][1] == "0x3BD5E2A6"]
        self.assertEqual(len(looted), 2)
        labels = [c["args"][2] for c in t if c["native"] == "make_text_label"]
        self.assertIn("Not Found", labels)

    def test_a_delete_is_undone_and_a_note_typed_on_the_keyboard_is_kept_shown_and_found(self):
        """examples/undo.json5: Camp deleted by the hold, put back by "Undo Delete", then given a note."""
        d = self.game_dir()
        os.makedirs(os.path.join(d, "Quillfen"))
        source = os.path.join(TOP, "examples", "search-markers.json")
        shutil.copy(source, os.path.join(d, "Quillfen", "markers.json"))
        with open(os.path.join(TOP, "examples", "undo.json5")) as f:
            r = run_sim(f.read(), d)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        messages, _ = log_messages(d)
        self.assertEqual([m for m in messages if m.split(" ")[0] in ("Deleted", "Restored", "Wrote", "Saved")],
                         ["Deleted Camp", "Saved 4 markers to JSON", "Restored Camp", "Saved 5 markers to JSON",
                          "Wrote a note on Camp", "Saved 5 markers to JSON"])
        # Every marker as it was, in its place, Camp with its note (trimmed).
        with open(source) as f:
            expected = json.load(f)["markers"]
        expected[3]["note"] = "what I left at that camp"
        with open(os.path.join(d, "Quillfen", "markers.json")) as f:
            markers = json.load(f)["markers"]
        self.assertEqual([(m["name"], m["category"], m["timestamp"], m.get("note")) for m in markers],
                         [(m["name"], m["category"], m["timestamp"], m.get("note")) for m in expected])
        # deleted.json held Camp until markers.json held it again.
        with open(os.path.join(d, "Quillfen", "deleted.json")) as f:
            self.assertEqual(json.load(f), {"markers": []})
        t = trace(d)
        keyboards = [c for c in t if c["native"] == "show_onscreen_keyboard"]
        self.assertEqual(len(keyboards), 2, "the note's, then the search's")
        self.assertEqual(keyboards[0]["args"][1], "Marker Note")
        self.assertEqual(keyboards[0]["args"][7], 200)
        labels = [c["args"][2] for c in t if c["native"] == "make_text_label"]
        self.assertIn("Undo Delete", labels)

        def texts(frame):
            return [text for _, _, text in tour_checks.texts_of_frame(t, frame)]

        self.assertNotIn("1/1 Camp", texts(40), "deleted")
        self.assertIn("1/1 Camp", texts(60), "back, selected")
        self.assertIn("what I left at that camp", texts(100), "the note under the rows")
        self.assertIn("1/1 [Flag] Camp", texts(160), "found by a word of its note")

    def test_marker_dates_in_the_local_time_zone(self):
        instants = [datetime(2026, 12, 9, 13, 5, 3, tzinfo=timezone.utc), datetime(2025, 12, 31, 23, 30, tzinfo=timezone.utc),
                    datetime(2026, 3, 8, 6, 59, 59, tzinfo=timezone.utc), datetime(2026, 3, 8, 7, 0, 0, tzinfo=timezone.utc),
                    datetime(2026, 10, 25, 0, 59, 59, tzinfo=timezone.utc), datetime(2026, 10, 25, 1, 0, 0, tzinfo=timezone.utc)]
        markers = ",".join('{"position": [%d, 0, 0], "category": 0, "name": "M%d", "timestamp": {"_nsec": %d}}'
                           % (i * 10, i, int(t.timestamp()) * 10**9) for i, t in enumerate(instants))
        for zone in ["Europe/Berlin", "America/New_York", "Asia/Kolkata", "UTC"]:
            with self.subTest(zone=zone):
                d = self.game_dir() + "-" + zone.replace("/", "-")
                shutil.rmtree(d, ignore_errors=True)
                os.makedirs(os.path.join(d, "Quillfen"))
                with open(os.path.join(d, "Quillfen", "markers.json"), "w") as f:
                    f.write('{"markers": [%s]}' % markers)
                env = dict(os.environ, TZ=zone)
                r = run_sim("{frames: 40, world: {map: true}, repeat_answers: \"first\","
                            " events: [{frame: 10, press: \"INPUT_PLAYER_MENU\"}]}", d, env=env)
                self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
                shown = {t[2] for t in tour_checks.texts_of_frame(trace(d), 30) if t[0] == "Right"}
                expected = set()
                for t in instants:
                    local = t.astimezone(ZoneInfo(zone))
                    # As the row's date column shows it: "9 Dec 2026, 14:05".
                    month = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec".split()[local.month - 1]
                    expected.add("%d %s %d, %s" % (local.day, month, local.year, local.strftime("%H:%M")))
                self.assertEqual(shown, expected)


CAPTURE_SCENARIO = """{
    frames: 150,
    world: {
        zones: [{type: "TOWN", hash: "0x1B6880B3", text: null, rect: [-400, 700, -200, 900]}],
        ground: {default: 100},
    },
    events: [{frame: 5, waypoint: [-310.46, 802.27]}],
}"""


class MarkersToolUnderWine(unittest.TestCase):
    """quillfen-markers.exe: the same cases as the Linux build, non-ASCII paths included."""

    @classmethod
    def setUpClass(cls):
        if not os.path.exists(MARKERS_TOOL):
            raise unittest.SkipTest("missing %s: build the windows preset first" % MARKERS_TOOL)
        start_wine()

    @classmethod
    def tearDownClass(cls):
        subprocess.run(["wineserver", "-k"], check=False)

    def test_the_linux_cases_pass_as_they_are(self):
        r = subprocess.run(["bash", os.path.join(TOP, "tests", "tools", "quillfen_markers_test.sh"), MARKERS_TOOL,
                            os.path.join(TOP, "tests", "data")], capture_output=True, text=True, timeout=300)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertRegex(r.stdout, r"(?m)^[1-9][0-9]* passed, 0 failed$")

    def test_the_tables_of_files_pass_for_the_exe(self):
        r = subprocess.run([sys.executable, os.path.join(TOP, "tests", "tools", "tool_cases_test.py"), MARKERS_TOOL],
                           capture_output=True, text=True, timeout=900)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertRegex(r.stdout, r"(?m)^[1-9][0-9]* passed, 0 failed$")

    def test_a_markers_file_another_program_holds_is_not_replaced_and_the_hint_says_so(self):
        root = tempfile.mkdtemp(prefix="quillfen-tool-")
        try:
            q = os.path.join(root, "Quillfen")
            os.makedirs(q)
            with open(os.path.join(TOP, "tests", "data", "markers", "two-markers.json"), "rb") as f:
                mine = f.read()
            for name, data in (("markers.json", mine), ("pack.json", b'{"markers": [{"position": [9, 9, 9]}]}')):
                with open(os.path.join(q, name), "wb") as f:
                    f.write(data)
            with HeldOpen(os.path.join(q, "markers.json"), root):
                for args in (["restore", wine_path(q), "pack.json"],
                             ["merge", wine_path(os.path.join(q, "markers.json")), wine_path(os.path.join(q, "pack.json"))]):
                    with self.subTest(args[0]):
                        r = subprocess.run(["wine", MARKERS_TOOL] + args, capture_output=True, timeout=60)
                        out, err = r.stdout.decode("utf-8"), r.stderr.decode("utf-8")
                        self.assertEqual(r.returncode, 2, out + err)
                        self.assertIn("markers.json cannot be read: ERROR_SHARING_VIOLATION (another program holds "
                                      "it: close it, then try again).", out)
                        self.assertNotIn("Restored", out)
                        self.assertNotIn("holds 3 markers", out)
                        self.assertEqual(sorted(os.listdir(q)), ["markers.json", "pack.json"])
                with self.subTest("status"):
                    r = subprocess.run(["wine", MARKERS_TOOL, "status", wine_path(q)], capture_output=True, timeout=60)
                    out, err = r.stdout.decode("utf-8"), r.stderr.decode("utf-8")
                    self.assertEqual(r.returncode, 2, out + err)
                    self.assertRegex(out, r"(?m)^markers\.json +\S+ \S+  cannot be read: ERROR_SHARING_VIOLATION$")
                    self.assertIn("Close any program that holds it", err)
            with open(os.path.join(q, "markers.json"), "rb") as f:
                self.assertEqual(f.read(), mine)
        finally:
            shutil.rmtree(root, ignore_errors=True)

    def test_double_clicked_on_a_fresh_install_it_says_to_start_the_game_once(self):
        root = tempfile.mkdtemp(prefix="quillfen-tool-")
        try:
            q = os.path.join(root, "Red Dead Redemption 2", "Quillfen")
            os.makedirs(q)
            shutil.copy(MARKERS_TOOL, q)  # as the release zip leaves it, before the first start
            tool = subprocess.Popen(["wine", os.path.join(q, "quillfen-markers.exe")], stdin=subprocess.PIPE,
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            out, err = tool.communicate(b"\n", timeout=60)
            self.assertEqual(tool.returncode, 0, out + err)
            lines = out.decode("utf-8").splitlines()
            self.assertRegex(lines[0], r"^No markers files in .*\\Quillfen yet\.$")
            self.assertEqual(lines[1], "Quillfen has not run here yet. Start the game once with Quillfen installed "
                                       "(Quillfen.asi,")
            self.assertEqual(lines[-1], "Press Enter to close this window.")
        finally:
            shutil.rmtree(root, ignore_errors=True)

    def test_started_without_arguments_it_shows_its_own_folder_and_waits_for_enter(self):
        root = tempfile.mkdtemp(prefix="quillfen-tool-")
        try:
            q = os.path.join(root, "José Müller", "Red Dead Redemption 2", "Quillfen")
            os.makedirs(os.path.join(q, "backups"))
            shutil.copy(MARKERS_TOOL, q)
            shutil.copy(os.path.join(TOP, "tests", "data", "markers", "two-markers.json"), os.path.join(q, "markers.json"))
            with open(os.path.join(q, "backups", "markers-20251208.json"), "w") as f:
                f.write("{")
            os.utime(os.path.join(q, "backups", "markers-20251208.json"), (1765195200, 1765195200))
            tool = subprocess.Popen(["wine", os.path.join(q, "quillfen-markers.exe")], stdin=subprocess.PIPE,
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            time.sleep(3)
            self.assertIsNone(tool.poll(), "the window stays until Enter")
            out, err = tool.communicate(b"\n", timeout=60)
            self.assertEqual(tool.returncode, 0, out + err)
            lines = out.decode("utf-8").splitlines()
            self.assertRegex(lines[0], r"^markers\.json +\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  2 markers$")
            self.assertRegex(lines[1], r"^backups\\markers-20251208\.json +.*  1:2: ")
            self.assertEqual(lines[-1], "Press Enter to close this window.")
        finally:
            shutil.rmtree(root, ignore_errors=True)

    def test_it_needs_only_windows_system_dlls(self):
        out = subprocess.run([OBJDUMP, "-p", MARKERS_TOOL], capture_output=True, text=True, check=True).stdout
        dlls = sorted(set(d.lower() for d in re.findall(r"DLL Name: (\S+)", out)))
        self.assertEqual(dlls, ["kernel32.dll", "msvcrt.dll"])


if __name__ == "__main__":
    result = unittest.main(exit=False, verbosity=2).result
    failed = len(result.failures) + len(result.errors)
    print("%d passed, %d failed" % (result.testsRun - failed - len(result.skipped), failed))
    sys.exit(1 if failed or not result.wasSuccessful() else 0)
