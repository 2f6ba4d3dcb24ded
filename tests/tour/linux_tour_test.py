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
    def test_the_tour(self):
        with tempfile.TemporaryDirectory() as d:
            r = subprocess.run([SIM, "run", os.path.join(SOURCE, "examples", "tour.json5"), "--out", d],
                               capture_output=True, text=True)
            self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
            with open(os.path.join(d, "Quillfen", "markers.json"), "rb") as f:
                written = f.read()
            with open(os.path.join(SOURCE, "tests", "data", "tour", "markers.json"), "rb") as f:
                self.assertEqual(written, f.read())
            tour_checks.check(self, tour_checks.load_trace(os.path.join(d, "trace.jsonl")), written.decode("utf-8"))
            self.assertEqual(len(os.listdir(os.path.join(d, "screenshots"))), 7)


if __name__ == "__main__":
    result = unittest.main(argv=sys.argv[:1], exit=False, verbosity=2).result
    failed = len(result.failures) + len(result.errors)
    print("%d passed, %d failed" % (result.testsRun - failed, failed))
    sys.exit(1 if failed else 0)
