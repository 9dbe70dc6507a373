#!/usr/bin/env python3
"""End-to-end tests of the two picking commands: the real tool under Wine against the
stand-in CAD, with scripted picks (and one run with real pointer clicks). Each case writes
the stand-in's configuration, plays the user's steps through the driver, and checks what
the user sees (output box byte for byte, message boxes, the pick-nodes button) and what
reached the CAD (its journal). Runs inside scripts/with-wine.sh with the stand-in
registered. Usage: [PONTIRO_EXE=TOOL.exe] pick_test.py WIN_BUILD_DIR OUT_DIR [CASE...]
Prints one line per check and "N passed, M failed" last."""
import os
import re
import subprocess
import sys
import time

import picking
from picking import (UNKNOWN, check, configure, equal, journal_of, kill_wine, of, prompt, prompts, run_pick,
                     session, value, winpath)

ENV = picking.setup(sys.argv[1], sys.argv[2])
ONLY = sys.argv[3:]
OUT, STANDIN, DATA = ENV.out, ENV.standin, ENV.data


PLAY = ["click:Command3", "wait:60", "snapshot:init", "click:Command1", "wait:120", "snapshot:pick"]
EXAMPLE_NODES = [(100, 50), (400, 50), (400, 262.4), (82.75, 262.4)]


def case_worked_example():
    name = "worked-example"
    answers = run_pick((100, 50), EXAMPLE_NODES) + run_pick((100, 50), EXAMPLE_NODES)[1:] * 2
    journal = configure(name, answers)
    r = session(name, ["set:Text1=2"] + PLAY + ["set:Text1=0", "click:Command1", "wait:120", "snapshot:whole",
                              "set:Text3=0.001", "set:Text1=3", "click:Command1", "wait:120", "snapshot:scaled"])
    snaps = {s["label"]: s for s in r.get("snapshots", [])}
    equal("example: two decimals", snaps.get("pick", {}).get("text8"),
          "0.00 0.00\r\n300.00 0.00\r\n300.00 212.40\r\n-17.25 212.40\r\n")
    equal("example: no decimals", snaps.get("whole", {}).get("text8"), "0 0\r\n300 0\r\n300 212\r\n-17 212\r\n")
    equal("example: scale 0.001, three decimals", snaps.get("scaled", {}).get("text8"),
          "0.000 0.000\r\n0.300 0.000\r\n0.300 0.212\r\n-0.017 0.212\r\n")
    equal("example: no message", r["messages"], [])
    equal("example: pick-nodes enabled after initialise", snaps.get("init", {}).get("command1"), True)
    check("example: the CAD came to the front", snaps.get("init", {}).get("foreground", "").startswith("Stand-in CAD"),
          snaps.get("init"))
    calls, events = journal_of(journal)
    starts = [e for e in events if e["event"] == "start"]
    check("example: a CAD was started for the tool (-Embedding)", len(starts) == 1 and starts[0]["embedding"], starts)
    check("example: made visible", any(value(c["args"][0]) is True for c in of(calls, "Visible") if c["flags"] == "put"))
    equal("example: prompts", prompts(calls)[:6], ["点取坐标原点 "] + [prompt(k) for k in range(1, 6)])
    check("example: base point left out", all(c["args"][0]["vt"] == 10 for c in of(calls, "GetPoint")))
    colours = [value(c["args"][0]) for c in of(calls, "Color") if c["flags"] == "put"]
    equal("example: origin red, nodes green", colours[:5], [1, 3, 3, 3, 3])
    check("example: colour as a 16-bit integer", all(c["args"][0]["vt"] == 2 for c in of(calls, "Color")))
    setvar = of(calls, "SetVariable")
    equal("example: pdmode 3", [(value(c["args"][0]), value(c["args"][1])) for c in setvar], [("pdmode", 3)])
    adds = of(calls, "Add", "Groups")
    check("example: one group with a random name", len(adds) == 1 and re.fullmatch(r"\.\d{1,8}|0", str(value(adds[0]["args"][0]))),
          adds)
    check("example: group name passed by reference", adds and adds[0]["args"][0]["type"].startswith("BYREF"))
    points = [value(c["args"][0]) for c in of(calls, "AddPoint")]
    check("example: AddPoint by reference", all(c["args"][0]["type"].startswith("BYREF") for c in of(calls, "AddPoint")))
    equal("example: marks at the picks", points[:5], [[100, 50, 0], [100, 50, 0], [400, 50, 0], [400, 262.4, 0], [82.75, 262.4, 0]])
    appends = [len(value(c["args"][0])) for c in of(calls, "AppendItems")]
    equal("example: origin grouped alone, then the nodes of each run", appends, [1, 4, 4, 4])
    check("example: every call answered", all(c["hr"] == "0x00000000" for c in calls if c["member"] != "GetPoint"))


def case_short_runs():
    name = "short-runs"
    answers = (["enter"]                                   # ended at the first prompt
               + ["point 5 6 7", "esc"]                    # one node, its Z dropped
               + ["point -1 2", "point 3 4", "rightclick"]  # negative scale
               + ["point 7 8", "enter"])                   # Text3 empty
    journal = configure(name, ["point 10 20"] + answers)
    r = session(name, ["set:Text8=old list", "click:Command3", "wait:60", "snapshot:init",
                       "set:Text8=old list", "click:Command1", "wait:60", "snapshot:none",
                       "set:Text1=1", "click:Command1", "wait:60", "snapshot:one",
                       "set:Text3=-2", "click:Command1", "wait:60", "snapshot:negative",
                       "set:Text3=", "click:Command1", "wait:60", "snapshot:empty"])
    snaps = {s["label"]: s for s in r.get("snapshots", [])}
    equal("initialise empties the output box", snaps.get("init", {}).get("text8"), "")
    equal("ended at the first prompt: output empty", snaps.get("none", {}).get("text8"), "")
    equal("exactly one node, Z dropped", snaps.get("one", {}).get("text8"), "-5.0 -14.0\r\n")
    equal("negative scale flips the signs", snaps.get("negative", {}).get("text8"), "22.0 36.0\r\n14.0 32.0\r\n")
    equal("empty scale writes zeros", snaps.get("empty", {}).get("text8"), "0.0 0.0\r\n")
    equal("no messages", r["messages"], [])
    calls, _ = journal_of(journal)
    appends = [len(value(c["args"][0])) for c in of(calls, "AppendItems")]
    equal("no grouping for a run without nodes", appends, [1, 1, 2, 1])
    equal("Z of the mark is 0", [value(c["args"][0]) for c in of(calls, "AddPoint")][1:2], [[5, 6, 0]])


def case_hundred_nodes():
    name = "hundred-nodes"
    nodes = [(k, 2 * k) for k in range(1, 101)]
    journal = configure(name, run_pick((0, 0), nodes, end="enter"))
    r = session(name, PLAY, timeout=600)
    snaps = {s["label"]: s for s in r.get("snapshots", [])}
    expected = "".join(f"{k} {2 * k}\r\n" for k in range(1, 101))
    equal("100 nodes: all written", snaps.get("pick", {}).get("text8"), expected)
    equal("100 nodes: no message", r["messages"], [])
    calls, _ = journal_of(journal)
    p = prompts(calls)
    equal("100 nodes: prompt of node 100", p[-1] if p else None, prompt(100))
    equal("100 nodes: no 101st prompt", len(p), 101)
    appends = [len(value(c["args"][0])) for c in of(calls, "AppendItems")]
    equal("100 nodes: grouped in one call", appends, [1, 100])


def case_origin_cancelled():
    name = "origin-cancelled"
    journal = configure(name, ["esc", "enter", "point 1 1", "point 2 2", "enter", "point 3 3", "point 4 4", "enter"])
    r = session(name, ["click:Command3", "wait:60", "snapshot:esc", "click:Command3", "wait:60", "snapshot:enter",
                       "click:Command3", "wait:60", "click:Command1", "wait:60", "snapshot:first",
                       "click:Command3", "wait:60", "snapshot:second", "click:Command1", "wait:60", "snapshot:after"])
    snaps = {s["label"]: s for s in r.get("snapshots", [])}
    equal("origin cancelled with Esc: pick-nodes still disabled", snaps.get("esc", {}).get("command1"), False)
    equal("origin cancelled with Enter: still disabled, no message", (snaps.get("enter", {}).get("command1"), r["messages"]),
          (False, []))
    equal("second initialisation empties the box", snaps.get("second", {}).get("text8"), "")
    equal("nodes measured from the second origin", snaps.get("after", {}).get("text8"), "1 1\r\n")
    calls, _ = journal_of(journal)
    colours = [value(c["args"][0]) for c in of(calls, "Color") if c["flags"] == "put"]
    equal("two red marks in all, nothing drawn for the cancelled picks", colours, [1, 3, 1, 3])
    names = [value(c["args"][0]) for c in of(calls, "Add", "Groups")]
    check("two groups", len(names) == 2 and names[0] != names[1], names)
    last = of(calls, "AppendItems")[-1] if of(calls, "AppendItems") else {}
    check("the last run's marks went to the second group",
          len(names) == 2 and last.get("self", {}).get("name") == names[-1], last)


def case_not_registered():
    name = "not-registered"
    subprocess.run(["wine", STANDIN, "--unregister"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    configure(name, ["point 1 1"])
    r = session(name, ["click:Command3", "wait:60", "snapshot:init"])
    subprocess.run(["wine", STANDIN, "--register"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    msgs = r["messages"]
    check("class not registered: one system-worded box, then the unknown error",
          len(msgs) == 2 and msgs[0]["caption"] == "Pontiro截面 V2.0" and msgs[0]["text"] and
          "未知错误" not in msgs[0]["text"] and msgs[1] == UNKNOWN, msgs)
    equal("class not registered: tool still up", r["alive"], True)


def case_no_drawing():
    name = "no-drawing"
    configure(name, ["point 1 1"], ["no_drawing = 1"])
    r = session(name, ["click:Command3", "wait:60", "snapshot:init"])
    equal("no drawing open: the unknown error once", r["messages"], [UNKNOWN])


def case_drawing_switched():
    name = "drawing-switched"
    journal = configure(name, run_pick((0, 0), [(1, 1)]), ["second_drawing_after_call = 12"])
    r = session(name, PLAY)
    snaps = {s["label"]: s for s in r.get("snapshots", [])}
    equal("switched drawing: the list is kept", snaps.get("pick", {}).get("text8"), "1 1\r\n")
    check("switched drawing: the failed grouping is reported",
          len(r["messages"]) == 1 and "编组" in r["messages"][0]["text"], r["messages"])
    calls, events = journal_of(journal)
    check("switched drawing: a second drawing became active", any(e.get("event") == "fault" for e in events))
    fails = [c for c in of(calls, "AppendItems") if c["hr"] != "0x00000000"]
    equal("switched drawing: grouping into the old drawing refused", len(fails), 1)


def case_busy(name, busy_ms, expect_ok):
    journal = configure(name, run_pick((0, 0), [(1, 1)]), ["busy_after_call = 12", f"busy_ms = {busy_ms}"])
    started = time.monotonic()
    r = session(name, PLAY)
    snaps = {s["label"]: s for s in r.get("snapshots", [])}
    calls, _ = journal_of(journal)
    rejected = [c for c in calls if c.get("fault") == "busy"]
    check(f"{name}: calls were rejected while busy", len(rejected) > 1, len(rejected))
    if expect_ok:
        equal(f"{name}: picking went on once the CAD answered", (snaps.get("pick", {}).get("text8"), r["messages"]),
              ("1 1\r\n", []))
    else:
        equal(f"{name}: reported after the bound", r["messages"], [UNKNOWN])
        check(f"{name}: waited the bound, not forever", 9 < time.monotonic() - started < 150, time.monotonic() - started)


def case_killed():
    name = "killed"
    # Call 20 is the colour of the first node's mark; the second CAD started afterwards
    # only initialises (12 calls), so it lives.
    journal = configure(name, run_pick((0, 0), [(1, 1), (2, 2)]), ["die_at_call = 20"])
    r = session(name, PLAY + ["click:Command3", "wait:90", "snapshot:again"])
    snaps = {s["label"]: s for s in r.get("snapshots", [])}
    equal("killed mid-pick: the unknown error", r["messages"], [UNKNOWN])
    equal("killed mid-pick: tool still up", r["alive"], True)
    _, events = journal_of(journal)
    starts = [e for e in events if e["event"] == "start"]
    equal("killed mid-pick: the next initialise started a new CAD", len(starts), 2)
    equal("killed mid-pick: and initialised", snaps.get("again", {}).get("command1"), True)


def case_group_erased():
    name = "group-erased"
    configure(name, run_pick((0, 0), [(1, 1), (2, 3)]), ["erase_group_after_call = 12"])
    r = session(name, PLAY)
    snaps = {s["label"]: s for s in r.get("snapshots", [])}
    equal("group erased: the list is kept", snaps.get("pick", {}).get("text8"), "1 1\r\n2 3\r\n")
    check("group erased: reported after the list", len(r["messages"]) == 1 and "编组" in r["messages"][0]["text"],
          r["messages"])


def case_bad_inputs():
    name = "bad-inputs"
    journal = configure(name, run_pick((0, 0), [(1.25, 2)]))
    r = session(name, ["click:Command3", "wait:60", "set:Text3=1e999", "click:Command1", "wait:60", "snapshot:scale",
                       "set:Text3=1", "set:Text1=40000", "click:Command1", "wait:60", "snapshot:decimals"])
    snaps = {s["label"]: s for s in r.get("snapshots", [])}
    msgs = r["messages"]
    check("scale 1e999: refused naming the field, before any prompt",
          len(msgs) >= 1 and "缩放因子" in msgs[0]["text"], msgs)
    equal("decimals 40000: the list written with 15 decimals", snaps.get("decimals", {}).get("text8"),
          "1.250000000000000 2.000000000000000\r\n")
    check("decimals 40000: said so after the list", len(msgs) == 2 and "小数位数" in msgs[1]["text"], msgs)
    calls, _ = journal_of(journal)
    equal("scale 1e999: no node prompt was issued for it", len(prompts(calls)), 3)


def case_real_pointer():
    name = "real-pointer"
    journal = configure(name, None)
    os.remove(f"{DATA}/config.ini")
    # A stand-in started by a person: it shows the built-in section and waits for real clicks.
    with open(f"{OUT}/{name}.standin.log", "w") as log:
        subprocess.Popen(["wine", STANDIN, "--journal", winpath(journal)], stdout=log, stderr=subprocess.STDOUT)
    view = None
    for _ in range(300):
        _, events = journal_of(journal)
        views = [e for e in events if e.get("event") == "view" and e.get("visible")]
        if views:
            view = views[-1]
            break
        time.sleep(0.1)
    check("real pointer: the stand-in shows its drawing", view is not None)
    if not view:
        return

    def screen(x, y):
        return f"screenclick:{round(view['origin_px'][0] + x * view['px_per_unit'])},{round(view['origin_px'][1] - y * view['px_per_unit'])}"

    steps = ["click:Command3", "sleep:2000", screen(2700, 0), "wait:30", "click:Command1", "sleep:2000"]
    # Vertices clear of the tool's own windows (topmost), which the pointer cannot reach through.
    for vertex in [(2700, 0), (9300, 0), (5800, 1450), (2200, 1550)]:
        steps += [screen(*vertex), "sleep:1000"]
    steps += ["key:enter", "wait:30", "snapshot:pick", "shot:" + winpath(f"{OUT}/real-pointer.bmp")]
    r = session(name, steps)
    snaps = {s["label"]: s for s in r.get("snapshots", [])}
    equal("real pointer: the node list matches the drawing's vertices", snaps.get("pick", {}).get("text8"),
          "0 0\r\n6600 0\r\n3100 1450\r\n-500 1550\r\n")
    equal("real pointer: no message", r["messages"], [])


CASES = {
    "worked-example": case_worked_example,
    "short-runs": case_short_runs,
    "hundred-nodes": case_hundred_nodes,
    "origin-cancelled": case_origin_cancelled,
    "not-registered": case_not_registered,
    "no-drawing": case_no_drawing,
    "drawing-switched": case_drawing_switched,
    "busy-2s": lambda: case_busy("busy-2s", 2000, True),
    # Longer than the bound on every call the initialise makes before its first prompt.
    "busy-past-bound": lambda: case_busy("busy-past-bound", 45000, False),
    "killed": case_killed,
    "group-erased": case_group_erased,
    "bad-inputs": case_bad_inputs,
    "real-pointer": case_real_pointer,
}

for case_name, case in CASES.items():
    if ONLY and case_name not in ONLY:
        continue
    kill_wine()
    print(f"-- {case_name}", flush=True)
    try:
        case()
    except Exception as error:  # a broken case is a failure, and the others still run
        check(f"{case_name}: ran", False, repr(error))
kill_wine()
if os.path.exists(f"{DATA}/config.ini"):
    os.remove(f"{DATA}/config.ini")
for bmp in [f for f in os.listdir(OUT) if f.endswith(".bmp")]:
    subprocess.run(["/usr/bin/convert", f"{OUT}/{bmp}", f"{OUT}/{bmp[:-4]}.png"])
    os.remove(f"{OUT}/{bmp}")
sys.exit(picking.summary())
