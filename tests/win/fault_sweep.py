#!/usr/bin/env python3
"""Fault sweep: every CAD fault the tool must survive, one row each. A row starts the tool,
meets the fault (stand-in faults from its configuration), notes what the tool showed
(message boxes, output box, pick-nodes button, still running), then in the SAME tool
process runs a normal initialise + pick and checks its node list. Where the fault leaves
no CAD or no drawing, the stand-in's configuration for the CAD started next (or a key that
opens the drawing again) makes that run possible. Prints the table as Markdown and writes
it to OUT_DIR/../fault-sweep.md; fails when a row is not as expected.
Runs inside scripts/with-wine.sh with the stand-in registered.
Usage: fault_sweep.py WIN_BUILD_DIR OUT_DIR [ROW...]"""
import os
import subprocess
import sys

import picking
from picking import (UNKNOWN, check, configure, equal, journal_of, kill_wine, run_pick, session, snapshots, winpath,
                     write_config)

ENV = picking.setup(sys.argv[1], sys.argv[2])
ONLY = sys.argv[3:]
TOOL_TITLE = "Pontiro截面 V2.0"
GROUP_FAILED = {"caption": "错误", "text": "节点已写出，但未能加入图形中的编组（编组可能已被删除）。"}

FAULT_RUN = ["click:Command3", "wait:60", "snapshot:init", "click:Command1", "wait:120", "snapshot:fault"]
INIT_FAULT = ["click:Command3", "wait:60", "snapshot:fault"]
RECOVERY_ANSWERS = run_pick((10, 10), [(20, 30), (40, 50)])
RECOVERY = ["click:Command3", "wait:60", "click:Command1", "wait:60", "snapshot:recovered"]
RECOVERY_LIST = "10 20\r\n30 40\r\n"


class Row:
    def __init__(self, name, fault, config, steps, messages, text8, command1, answers=None, next_cad=None,
                 before=None, after=None, proof=()):
        self.name, self.fault, self.config, self.steps = name, fault, config, steps
        self.messages, self.text8, self.command1 = messages, text8, command1
        # Answers of the first CAD: the fault run's, then the recovery's when the same CAD serves it.
        self.answers = answers if answers is not None else RECOVERY_ANSWERS
        self.next_cad = next_cad  # configuration of the CAD started after this one died
        self.before, self.after = before, after  # shell steps around the session
        # What the CAD's journal must show for the fault to have hit where meant: "Object.Member"
        # of the call it died in, or names of fault events.
        self.proof = proof


def register(flag):
    subprocess.run(["wine", ENV.standin, flag], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def then_recovery(answers):
    """The fault run's answers, then the recovery's, for a CAD that serves both."""
    return answers + RECOVERY_ANSWERS


ORIGIN_ONLY = ["point 0 0"]  # the pick fails before its first prompt


ROWS = [
    Row("class-not-registered", "CAD class not registered (registered again before the next run)", [], INIT_FAULT
        + [f"run:{winpath(ENV.standin)} --register"],
        ["system", UNKNOWN], "", False, before=lambda: register("--unregister"), after=lambda: register("--register")),
    Row("no-drawing", "no drawing open (one opens after the failed call)",
        ["no_drawing = 1", "open_drawing_after_call = 3"], INIT_FAULT, [UNKNOWN], "", False, proof=["open_drawing"]),
    Row("drawing-switched", "active drawing switched between the commands", ["second_drawing_after_call = 12"],
        FAULT_RUN, [GROUP_FAILED], "1 1\r\n", True, answers=then_recovery(run_pick((0, 0), [(1, 1)])), proof=["second_drawing"]),
    Row("busy-2s", "CAD busy for 2 s", ["busy_after_call = 12", "busy_ms = 2000"], FAULT_RUN, [], "1 1\r\n", True,
        answers=then_recovery(run_pick((0, 0), [(1, 1)])), proof=["busy"]),
    Row("busy-past-bound", "CAD busy for 45 s, past the 10 s bound of each call",
        ["busy_after_call = 12", "busy_ms = 45000"], FAULT_RUN, [UNKNOWN], "", True,
        answers=then_recovery(ORIGIN_ONLY), proof=["busy"]),
    Row("killed-mid-pick", "CAD killed mid-pick (call 20: colour of the first node's mark)", ["die_at_call = 20"],
        FAULT_RUN, [UNKNOWN], "", True, answers=run_pick((0, 0), [(1, 1)]), next_cad=[], proof=["Point.Color"]),
    Row("group-erased", "group erased between the commands", ["erase_group_after_call = 12"], FAULT_RUN,
        [GROUP_FAILED], "1 1\r\n2 3\r\n", True, answers=then_recovery(run_pick((0, 0), [(1, 1), (2, 3)])), proof=["erase_group"]),
    Row("killed-in-addpoint", "CAD killed during AddPoint (first node)", ["die_at = ModelSpace.AddPoint:2"],
        FAULT_RUN, [UNKNOWN], "", True, answers=run_pick((0, 0), [(1, 1)]), next_cad=[], proof=["ModelSpace.AddPoint"]),
    Row("killed-in-groups-add", "CAD killed during Groups.Add (initialise)", ["die_at = Groups.Add:1"], INIT_FAULT,
        [UNKNOWN], "", False, answers=ORIGIN_ONLY, next_cad=[], proof=["Groups.Add"]),
    Row("killed-in-appenditems-init", "CAD killed during AppendItems (initialise)", ["die_at = Group.AppendItems:1"],
        INIT_FAULT, [UNKNOWN], "", False, answers=ORIGIN_ONLY, next_cad=[], proof=["Group.AppendItems"]),
    Row("killed-in-appenditems-pick", "CAD killed during AppendItems (pick nodes)", ["die_at = Group.AppendItems:2"],
        FAULT_RUN, [GROUP_FAILED], "1 1\r\n", True, answers=run_pick((0, 0), [(1, 1)]), next_cad=[], proof=["Group.AppendItems"]),
    Row("drawing-closed", "drawing closed between the commands (it opens again after the failed call)",
        ["close_drawing_after_call = 12", "open_drawing_after_call = 16"], FAULT_RUN, [UNKNOWN], "", True,
        answers=then_recovery(ORIGIN_ONLY), proof=["close_drawing", "open_drawing"]),
    Row("answer-after-60s", "prompt answered after 60 s", [],
        ["click:Command3", "wait:60", "click:Command1", "sleep:5000", "snapshot:waiting", "wait:120", "snapshot:fault"],
        [], "1 1\r\n", True, answers=["point 0 0", "point 1 1 delay=60000", "enter"] + RECOVERY_ANSWERS),
]


def shown(r, fault_snap):
    """What the tool showed, in words, for the table."""
    boxes = "; ".join(f"“{m['caption']}: {m['text']}”" for m in r["messages"]) or "no message"
    text8 = fault_snap.get("text8")
    output = "output box empty" if text8 == "" else f"output box `{text8.strip().replace(chr(13) + chr(10), ' / ')}`"
    state = "点取节点 enabled" if fault_snap.get("command1") else "点取节点 disabled"
    return f"{boxes}; {output}; {state}; tool {'running' if r['alive'] else 'GONE'}"


def message_matches(seen, wanted):
    if wanted == "system":  # worded by the system, captioned with the tool's title
        return seen["caption"] == TOOL_TITLE and seen["text"] != "" and "未知错误" not in seen["text"]
    return seen == wanted


def run_row(row):
    journal = configure(row.name, row.answers, row.config)
    steps = list(row.steps)
    if row.next_cad is not None:
        staged = f"{ENV.out}/{row.name}-next.ini"
        write_config(staged, f"{row.name}-next", RECOVERY_ANSWERS, row.next_cad)
        steps.append(f"copy:{winpath(staged)}>{winpath(ENV.data + '/config.ini')}")
    if row.before:
        row.before()
    try:
        r = session(row.name, steps + RECOVERY, timeout=400)
    finally:
        if row.after:
            row.after()
    snaps = snapshots(r)
    fault_snap = snaps.get("fault", {})
    fault_boxes = r["messages"][:len(row.messages)]
    ok_shown = (len(fault_boxes) == len(row.messages)
                and all(message_matches(s, w) for s, w in zip(fault_boxes, row.messages))
                and fault_snap.get("text8") == row.text8 and fault_snap.get("command1") == row.command1)
    check(f"{row.name}: the tool showed what it should", ok_shown,
          f"messages {r['messages']!r}, output {fault_snap.get('text8')!r}, pick-nodes {fault_snap.get('command1')}")
    recovered = snaps.get("recovered", {}).get("text8")
    usable = r["alive"] and recovered == RECOVERY_LIST and len(r["messages"]) == len(row.messages)
    check(f"{row.name}: the same tool then initialised and picked normally", usable,
          f"alive {r['alive']}, output {recovered!r}, messages after the fault {r['messages'][len(row.messages):]!r}")
    if row.name == "answer-after-60s":
        equal("answer-after-60s: the tool answered messages while it waited", snaps.get("waiting", {}).get("text8"), "")
    if usable:
        after = f"yes: initialise + pick gave `{recovered.strip().replace(chr(13) + chr(10), ' / ')}`"
    else:
        after = f"NO: output {recovered!r}, tool {'running' if r['alive'] else 'gone'}"
    if row.proof:
        calls, events = journal_of(journal)
        seen = {f"{c['object']}.{c['member']}" for c in calls if c.get("fault") == "die"}
        seen |= {e.get("fault") for e in events if e.get("event") == "fault"}
        check(f"{row.name}: the CAD's journal shows the fault where it was meant", set(row.proof) <= seen,
              f"wanted {row.proof}, journal shows {sorted(seen)}")
    return f"| {row.fault} | {shown(r, fault_snap)} | {after} |"


lines = ["| fault | what the tool showed | usable afterwards |", "|---|---|---|"]
for row in ROWS:
    if ONLY and row.name not in ONLY:
        continue
    kill_wine()
    print(f"-- {row.name}", flush=True)
    try:
        lines.append(run_row(row))
    except Exception as error:  # a broken row is a failure, and the others still run
        check(f"{row.name}: ran", False, repr(error))
        lines.append(f"| {row.fault} | (row did not run: {error!r}) | NO |")
kill_wine()
if os.path.exists(f"{ENV.data}/config.ini"):
    os.remove(f"{ENV.data}/config.ini")
table = "\n".join(lines) + "\n"
print("\n" + table)
with open(os.path.join(os.path.dirname(ENV.out), "fault-sweep.md"), "w", encoding="utf-8") as f:
    f.write(table)
sys.exit(picking.summary())
