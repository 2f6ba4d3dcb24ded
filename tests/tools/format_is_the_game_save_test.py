#!/usr/bin/env python3
"""`quillfen-markers format --as-the-game-reads FILE` prints the bytes the game
writes for FILE's markers: the simulated game loads a markers.json with everything the game
drops or changes (comments, unknown and repeated keys, missing fields, names
cut at an escaped NUL or not UTF-8, numbers a float cannot hold exactly, NaN),
captures one waypoint and saves; its file, without the captured marker, must
be format's output byte for byte.

    format_is_the_game_save_test.py TOOL SIM
"""
import os
import shutil
import subprocess
import sys
import tempfile

ODD = (b"// a hand-edited file\n"
       b"{markers: [\n"
       b"  {position: [0.1, -0.0, 1e-9], category: 12, name: 'a\\u0000b', timestamp: {_nsec: -5}, extra: 1},\n"
       b"  {position: [NaN, Infinity, 3.4e38], category: -1, name: \"Caf\xe9 \\\"q\\\" \\t\", name: 'second',\n"
       b"   timestamp: {_nsec: 9223372036854775807}},\n"
       b"  {category: 3},\n"
       b"  {position: [16777217, 0.000000005, -1234.5], name: '', timestamp: {}},\n"
       b"  {position: [1, 2, 3], category: 1, name: '\\uD800 \xe5\x8c\x97', timestamp: {_nsec: 1}},\n"
       b"],}")

SCENARIO = """{frames: 200,
  world: {window: {width: 1920, height: 1080, x: 0, y: 0}, player: {position: [0, 0, 0]}, ground: {default: 40}},
  events: [{frame: 10, waypoint: [5000, 5000]}]}"""


def main():
    tool, sim = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="quillfen-format-")
    try:
        game = os.path.join(work, "game")
        os.makedirs(os.path.join(game, "Quillfen"))
        with open(os.path.join(game, "Quillfen", "markers.json"), "wb") as f:
            f.write(ODD)
        with open(os.path.join(work, "odd.json"), "wb") as f:
            f.write(ODD)
        with open(os.path.join(work, "scenario.json5"), "w") as f:
            f.write(SCENARIO)
        subprocess.run([sim, "run", os.path.join(work, "scenario.json5"), "--out", game], check=True,
                       stdout=subprocess.DEVNULL)
        with open(os.path.join(game, "Quillfen", "markers.json"), "rb") as f:
            saved = f.read()
        formatted = subprocess.run([tool, "format", "--as-the-game-reads", os.path.join(work, "odd.json")],
                                   capture_output=True)
        failures = []
        if formatted.returncode != 0:
            failures.append("format exited with %d: %s" % (formatted.returncode, formatted.stderr.decode()))
        if len(formatted.stderr.decode().splitlines()) < 10:
            failures.append("check's lines for the odd file are missing: %s" % formatted.stderr.decode())
        # The game's file holds the captured marker last; the rest is the loaded list.
        cut = saved.rfind(b",\n        {\n")
        if b'"position": [\n                5000.00000000,\n                5000.00000000' not in saved[cut:]:
            failures.append("the game's last marker is not the captured waypoint:\n" + saved[cut:].decode())
        elif saved[:cut] + b"\n    ]\n}" != formatted.stdout:
            failures.append("format differs from the game's save:\n--- game\n%s\n--- format\n%s"
                            % (saved[:cut].decode(), formatted.stdout.decode()))
        for failure in failures:
            print("FAIL " + failure)
        print("%d passed, %d failed" % (1 if not failures else 0, len(failures)))
        sys.exit(1 if failures else 0)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
