#!/usr/bin/env python3
"""Runs the Wine end-to-end tests one at a time, for CTest (cmake/windows.cmake
registers each under the label "wine").

    run_wine_test.py --list     the id of every test in tests/wine/*_test.py
    run_wine_test.py ID         runs that test; exit 0 passed, 1 failed,
                                77 skipped (CTest's SKIP_RETURN_CODE)

Run through scripts/wine-env (a Wine prefix under build/ and a virtual display).
"""
import os
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))


def all_tests(suite):
    for t in suite:
        if isinstance(t, unittest.TestSuite):
            yield from all_tests(t)
        else:
            yield t


def wine_quietly(command):
    try:
        subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=120, check=False)
    except (OSError, subprocess.TimeoutExpired):
        pass


def main():
    sys.path.insert(0, HERE)
    if sys.argv[1:] == ["--list"]:
        for t in all_tests(unittest.defaultTestLoader.discover(HERE, pattern="*_test.py", top_level_dir=HERE)):
            print(t.id())
        return 0
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    suite = unittest.defaultTestLoader.loadTestsFromName(sys.argv[1])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    # The test class stops the Wine server at its end; the next test must not
    # meet it on its way out.
    wine_quietly(["wineserver", "-w"])
    if not result.wasSuccessful():
        return 1
    return 77 if result.skipped else 0


if __name__ == "__main__":
    sys.exit(main())
