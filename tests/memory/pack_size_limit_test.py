#!/usr/bin/env python3
"""A start's peak memory with junk in Quillfen/import/: a file above the pack
size limit is not read, so the start costs what a start without it costs; a
file below the limit is read, which the same measurement sees.
Usage: pack_size_limit_test.py QUILLFEN_SIM"""
import os
import subprocess
import sys
import tempfile
import unittest

SIM = sys.argv[1]
MIB = 1 << 20


def start_with(junk_bytes):
    """Peak resident memory (KiB) of one start of the Linux simulator, and its
    log, with a sparse file of `junk_bytes` (none for None) in import/."""
    with tempfile.TemporaryDirectory() as d:
        scenario = os.path.join(d, "start.json5")
        with open(scenario, "w") as f:
            f.write("{frames: 5}")
        if junk_bytes is not None:
            os.makedirs(os.path.join(d, "Quillfen", "import"))
            with open(os.path.join(d, "Quillfen", "import", "junk.json"), "wb") as f:
                f.truncate(junk_bytes)  # sparse: takes no disk, reads as zeros
        with open(os.path.join(d, "output.txt"), "w+b") as out:
            p = subprocess.Popen([SIM, "run", scenario, "--out", d], stdout=out, stderr=out)
            _, status, usage = os.wait4(p.pid, 0)  # the child's own peak, not this process's
            p.returncode = os.waitstatus_to_exitcode(status)
            if p.returncode != 0:
                out.seek(0)
                raise AssertionError(out.read().decode())
        with open(os.path.join(d, "Quillfen", "last.log"), encoding="utf-8") as f:
            return usage.ru_maxrss, f.read()


class PackSizeLimit(unittest.TestCase):
    def test_junk_above_the_limit_costs_no_memory_and_is_named(self):
        baseline, _ = start_with(None)
        above, log = start_with(100 * MIB)
        below, below_log = start_with(48 * MIB)
        print(f"peak memory of a start: {baseline} KiB without junk, {above} KiB with 100 MiB junk (not read), "
              f"{below} KiB with 48 MiB junk (read)")
        self.assertIn("Failed to load marker pack Quillfen/import/junk.json: it is 100.00mib (104857600 bytes), "
                      "larger than the 64.00mib a pack may be, so it is not read", log)
        self.assertLess(above, baseline + 8 * 1024)
        # The measurement sees a read: the 48 MiB file is read whole, then refused by the reader.
        self.assertGreater(below, baseline + 32 * 1024)
        self.assertIn("Failed to load marker pack Quillfen/import/junk.json: 1:1: ", below_log)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
