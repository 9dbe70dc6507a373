#!/usr/bin/env python3
"""Soak test: 1000 initialise + pick-5-nodes cycles against one stand-in CAD, 200 help
toggles and 50 About showings in one tool process, with the tool's and the CAD's handle
counts after the first cycle and at the end (the driver's "soak" scenario checks them and
that each count moves when a test program leaks). Here: the answer script, a journal that
keeps only failed calls, and the check that the only failures are the ones the run asks
for. Runs inside scripts/with-wine.sh with the stand-in registered.
Usage: soak_test.py WIN_BUILD_DIR OUT_DIR [CYCLES HELP_TOGGLES ABOUT_SHOWINGS]"""
import json
import subprocess
import sys
import time

import picking
from picking import UNKNOWN, check, configure, equal, journal_of, kill_wine, run_pick, winpath

ENV = picking.setup(sys.argv[1], sys.argv[2])
CYCLES, HELPS, ABOUTS = (int(a) for a in (sys.argv[3:6] if len(sys.argv) >= 6 else (1000, 200, 50)))
ORIGIN = (1000, 500)
NODES = [(1000, 500), (1600, 500), (1600, 1250.25), (1300, 1400), (1000, 1250.25)]
EXPECTED = "0 0|600 0|600 750|300 900|0 750"  # relative to the origin, no decimals (Text1 is 0)
END_OF_INPUT = "0x80210020"
DUPLICATE_NAME = "0x80210102"

kill_wine()
# Answers at once (no delay); only failed calls are journalled, so thousands of cycles
# leave a journal of a few hundred kilobytes.
journal = configure("soak", run_pick(ORIGIN, NODES) * CYCLES, ["journal_level = failures"])
result_path = f"{ENV.out}/soak.result.json"
started = time.monotonic()
with open(f"{ENV.out}/soak.driver.log", "w") as log:
    rc = subprocess.run(["wine", ENV.driver, "soak", winpath(ENV.tool),
                         winpath(f"{ENV.win_build}/tests/win/leak_target.exe"),
                         winpath(f"{ENV.win_build}/tests/win/url_recorder.exe"), winpath(result_path), EXPECTED,
                         str(CYCLES), str(HELPS), str(ABOUTS)],
                        stdout=log, stderr=subprocess.STDOUT, timeout=3000).returncode
elapsed = time.monotonic() - started
kill_wine()
with open(f"{ENV.out}/soak.driver.log", encoding="utf-8", errors="replace") as log:
    print(log.read().replace("\r", ""), end="")
check("driver: every check passed", rc == 0, f"exit code {rc}")

try:
    with open(result_path, encoding="utf-8") as f:
        result = json.load(f)
except (OSError, ValueError) as error:
    check("driver result written", False, str(error))
    sys.exit(picking.summary())

calls, events = journal_of(journal)
starts = [e for e in events if e["event"] == "start"]
equal("one CAD served the whole soak", len(starts), 1)
check("the CAD read every answer", starts and starts[0]["answers"] == 7 * CYCLES and not starts[0]["script_errors"],
      starts)
ends = [c for c in calls if c["member"] == "GetPoint" and c.get("scode") == END_OF_INPUT]
equal("each pick ended by Enter, and only those prompts failed", len(ends), CYCLES)
duplicates = [c for c in calls if c["member"] == "Add" and c.get("scode") == DUPLICATE_NAME]
other = [c for c in calls if c.get("scode") not in (END_OF_INPUT, DUPLICATE_NAME)]
equal("no other failed call", other[:3], [])
# A fresh random group name can repeat one drawn before (24 random bits, 7 digits): the CAD
# refuses it and the tool says so; the run goes on with the previous group.
boxes = result.get("boxes", [])
equal("a message box only for each repeated group name", [(b["phase"], b["caption"], b["text"]) for b in boxes],
      [("initialise", UNKNOWN["caption"], UNKNOWN["text"])] * len(duplicates))

seconds = result["seconds"]
print(f"\nsoak: {CYCLES} cycles in {seconds['cycles']:.1f} s ({1000 * seconds['cycles'] / CYCLES:.0f} ms a cycle, "
      f"the first {1000 * seconds['first_cycle']:.0f} ms), {HELPS} help toggles in {seconds['help']:.1f} s, "
      f"{ABOUTS} About showings in {seconds['about']:.1f} s; whole test {elapsed:.0f} s")
print(f"repeated group names: {len(duplicates)}")
print(f"allowed growth: {result['allowed_growth']}")
print("| process | count | source | after cycle 1 | after the cycles | at the end |")
print("|---|---|---|---|---|---|")
for who, key in (("tool", "tool"), ("stand-in CAD", "standin")):
    for kind in ("kernel", "gdi", "user"):
        counts = result[key]
        middle = counts.get("after_cycles", {}).get(kind, "")
        print(f"| {who} | {kind} | {result['sources'][kind]} | {counts['first'][kind]} | {middle} | "
              f"{counts['last'][kind]} |")
sys.exit(picking.summary())
