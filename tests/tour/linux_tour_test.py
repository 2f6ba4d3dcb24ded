#!/usr/bin/env python3
"""The tour in the Linux simulator: markers.json byte for byte (the simulator
owns the clock, so timestamps are fixed) and the trace points of the tour.
Usage: linux_tour_test.py QUILLFEN_SIM SOURCE_DIR"""
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import tour_checks  # noqa: E402

SIM, SOURCE = sys.argv[1], sys.argv[2]


class TourInTheLinuxSimulator(unittest.TestCase):
    def play(self, d, repeat_answers):
        """Plays the tour into `d` with the game answering repeated tests as given."""
        with open(os.path.join(SOURCE, "examples", "tour.json5")) as f:
            scenario = tour_checks.with_repeat_answers(f.read(), repeat_answers)
        path = os.path.join(d, "tour.json5")
        with open(path, "w") as f:
            f.write(scenario)
        r = subprocess.run([SIM, "run", path, "--out", d], capture_output=True, text=True)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        with open(os.path.join(d, "Quillfen", "markers.json"), "rb") as f:
            written = f.read()
        with open(os.path.join(d, "Quillfen", "last.log"), "rb") as f:
            log = f.read()
        return written, log

    def test_the_tour(self):
        with tempfile.TemporaryDirectory() as d:
            written, _ = self.play(d, "first")
            with open(os.path.join(SOURCE, "tests", "data", "tour", "markers.json"), "rb") as f:
                self.assertEqual(written, f.read())
            # The settings file the first start writes, every key at its default.
            with open(os.path.join(d, "Quillfen", "settings.ini"), "rb") as f, \
                    open(os.path.join(SOURCE, "tests", "data", "tour", "settings.ini"), "rb") as g:
                self.assertEqual(f.read(), g.read())
            tour_checks.check(self, tour_checks.load_trace(os.path.join(d, "trace.jsonl")), written.decode("utf-8"))
            self.assertEqual(len(os.listdir(os.path.join(d, "screenshots"))), 7)

    def test_the_same_play_gives_the_same_result_whatever_a_repeated_test_answers(self):
        """The same markers file, log and sounds (the clock is the simulator's, so to the byte)."""
        results = {}
        for answers in tour_checks.REPEAT_ANSWERS:
            with self.subTest(repeat_answers=answers), tempfile.TemporaryDirectory() as d:
                written, log = self.play(d, answers)
                tour_checks.check(self, tour_checks.load_trace(os.path.join(d, "trace.jsonl")), written.decode("utf-8"))
                results[answers] = (written, log)
        for answers in tour_checks.REPEAT_ANSWERS[1:]:
            self.assertEqual(results[answers][0], results["first"][0], "markers.json under %s" % answers)
            self.assertEqual(results[answers][1], results["first"][1], "last.log under %s" % answers)


if __name__ == "__main__":
    result = unittest.main(argv=sys.argv[:1], exit=False, verbosity=2).result
    failed = len(result.failures) + len(result.errors)
    print("%d passed, %d failed" % (result.testsRun - failed, failed))
    sys.exit(1 if failed else 0)
