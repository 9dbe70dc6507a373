#!/usr/bin/env python3
# What ships: each tool imports only Windows' own DLLs (no runtime to ship beside it), stays
# under 1 MiB, and under Wine starts and becomes ready beside the bare one-window program (both
# working sets printed). Inside scripts/with-wine.sh. Usage: footprint.py OUT_DIR BENCH_DIR TOOL.exe...
import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import package  # noqa: E402  (the PE reader and the list of Windows' own DLLs)

OUT, BENCH, TOOLS = sys.argv[1], sys.argv[2], sys.argv[3:]


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Footprint(unittest.TestCase):
    def test_tools(self):
        os.makedirs(OUT, exist_ok=True)
        for index, tool in enumerate(TOOLS):
            with open(tool, "rb") as f:
                data = f.read()
            machine, _, dlls = package.pe_image(data)
            arch = package.MACHINE_NAME.get(machine, hex(machine))
            with self.subTest(arch):
                self.assertTrue(dlls)
                self.assertLessEqual(set(dlls), package.SYSTEM_DLLS)
                self.assertLess(len(data), 1024 * 1024)
                if arch == "i386" and os.environ.get("PONTIRO_NO_WIN32"):
                    continue  # this machine runs no 32-bit programs
                # One start of each program for its working set ("0": no warm-up, no pauses; the bench
                # measures times). Output to a file: a Wine program's pipe may never close.
                log = f"{OUT}/startup-{index}.log"
                with open(log, "w") as f:
                    code = subprocess.run(["wine", f"{BENCH}/startup_bench.exe", "0", winpath(tool), winpath(
                        f"{BENCH}/bare_window.exe")], stdout=f, stderr=f, timeout=300).returncode
                text = open(log, encoding="utf-8", errors="replace").read()
                sets = dict(re.findall(r"median (\w+) ready +[\d.]+ ms +working set +([\d.]+) MiB", text))
                self.assertEqual((code, len(sets)), (0, 2), text)
                print(f"{arch}: {len(data) / 1024:.0f} KiB, working set {sets['tool']} MiB (bare: {sets['bare']})")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2, warnings="ignore")
