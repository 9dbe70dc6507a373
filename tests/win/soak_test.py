#!/usr/bin/env python3
# Soak: initialise + pick-5-nodes cycles against one stand-in CAD, help toggles and About
# showings in one tool process. The driver checks each cycle's list and that the tool's and
# the CAD's handle counts stay flat (having shown each count moves when a program leaks);
# here its result and the CAD's journal, which keeps only failed calls. Inside
# scripts/with-wine.sh, the stand-in registered. Usage: soak_test.py WIN_BUILD_DIR OUT_DIR
# CYCLES HELP_TOGGLES ABOUT_SHOWINGS (each loop above the driver's allowed growth of 24)
import json
import subprocess
import sys
import unittest

from picking import DRIVER, OUT, TOOL, UNKNOWN, WIN_BUILD, configure, journal_of, kill_wine, run_pick, winpath

CYCLES, HELPS, ABOUTS = sys.argv[3:6]
NODES = [(1000, 500), (1600, 500), (1600, 1250.25), (1300, 1400), (1000, 1250.25)]
EXPECTED = "0 0|600 0|600 750|300 900|0 750"  # from the origin (1000, 500), no decimals


class Soak(unittest.TestCase):
    def test_soak(self):
        kill_wine()
        journal = configure("soak", run_pick((1000, 500), NODES) * int(CYCLES), ["journal_level = failures"])
        with open(f"{OUT}/soak.driver.log", "w") as log:
            programs = [winpath(p) for p in (TOOL, f"{WIN_BUILD}/tests/win/leak_target.exe",
                                             f"{WIN_BUILD}/tests/win/url_recorder.exe", f"{OUT}/soak.result.json")]
            rc = subprocess.run(["wine", DRIVER, "soak", *programs, EXPECTED, CYCLES, HELPS, ABOUTS], stdout=log,
                                stderr=subprocess.STDOUT, timeout=3000).returncode
        kill_wine(unconfigure=True)
        print(open(f"{OUT}/soak.driver.log", encoding="utf-8", errors="replace").read().replace("\r", ""))
        self.assertEqual(rc, 0, "the driver's checks (see above)")
        with open(f"{OUT}/soak.result.json", encoding="utf-8") as f:
            result = json.load(f)
        calls, events = journal_of(journal)
        self.assertEqual([(e["answers"], e["script_errors"]) for e in events if e["event"] == "start"],
                         [(7 * int(CYCLES), [])], "one CAD served every answer")
        failed = [c.get("scode") for c in calls]
        self.assertEqual(failed.count("0x80210020"), int(CYCLES), "each pick ended by Enter")
        # A random group name can repeat (24 bits): the CAD refuses it, the tool says so once.
        self.assertEqual([(b["caption"], b["text"]) for b in result["boxes"]], [UNKNOWN] * failed.count("0x80210102"))
        self.assertEqual(len(failed), failed.count("0x80210020") + failed.count("0x80210102"), "no other failed call")
        print(f"{CYCLES} cycles in {result['seconds']['cycles']:.0f} s")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2, warnings="ignore")
