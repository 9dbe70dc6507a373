#!/usr/bin/env python3
"""Checks the stand-in's journals written during standin_test.sh: what reached the server,
in which shape, and how each call ended. Usage: standin_journal_check.py OUT_DIR
Prints "ok"/"FAIL" lines and "journal: N passed, M failed" last."""
import json
import sys
from pathlib import Path

out = Path(sys.argv[1])
passed = failed = 0


def expect(name, ok, detail=""):
    global passed, failed
    if ok:
        passed += 1
        print(f"ok   {name}")
    else:
        failed += 1
        print(f"FAIL {name}: {detail}")


def load(name):
    path = out / name
    if not path.exists():
        expect(f"{name} exists", False, "missing")
        return [], []
    lines = [json.loads(l) for l in path.read_text(encoding="utf-8").splitlines() if l.strip()]
    return [l for l in lines if "n" in l], [l for l in lines if "event" in l]


def calls_of(calls, member):
    return [c for c in calls if c["member"].lower() == member.lower()]


def inner(arg):
    """What a by-reference VARIANT argument refers to, else the argument itself."""
    return arg.get("ref", arg)


# ---- attach: the scripted session of a person-started stand-in ----
calls, events = load("journal-attach.jsonl")
start = [e for e in events if e["event"] == "start"]
expect("attach: started by a person, not by COM", start and start[0]["embedding"] is False, start)
expect("attach: ready with class object and ROT entry",
       any(e["event"] == "ready" and e["class_object"] == e["active_object"] == "0x00000000" for e in events))
numbers = sorted(c["n"] for c in calls)
expect("attach: calls numbered 1..N without gaps", numbers == list(range(1, len(numbers) + 1)), numbers[:10])

picks = calls_of(calls, "GetPoint")
expect("attach: five prompts", len(picks) == 5, len(picks))
if len(picks) == 5:
    expect("attach: base point arrives omitted",
           all(p["args"][0]["vt"] == 10 and p["args"][0]["value"] == "0x80020004" for p in picks),
           [p["args"][0] for p in picks])
    expect("attach: prompt arrives as text", inner(picks[0]["args"][1])["value"] == "Pick the origin ",
           picks[0]["args"][1])
    got = [p.get("result", {}).get("value") for p in picks[:3]]
    expect("attach: scripted picks returned as R8 arrays",
           got == [[2200, 1550, 0], [9800, 1550, 0], [9300, 0, 0]] and
           all(p["result"]["vt"] == 0x2005 for p in picks[:3]), got)
    expect("attach: Enter fails with 0x80210020 through EXCEPINFO",
           picks[3]["hr"] == "0x80020009" and picks[3]["scode"] == "0x80210020", picks[3])
    expect("attach: Esc fails with 0x80004005 through EXCEPINFO",
           picks[4]["hr"] == "0x80020009" and picks[4]["scode"] == "0x80004005", picks[4])

adds = calls_of(calls, "AddPoint")
if adds:
    first = adds[0]["args"][0]
    expect("attach: AddPoint got the picked array by reference",
           first["vt"] == 0x400C and first["ref"]["vt"] == 0x2005 and first["value"] == [2200, 1550, 0], first)
    by_value = [a for a in adds if a["args"][0]["vt"] == 0x200C]
    expect("attach: AddPoint with VARIANT arrays by value", len(by_value) >= 3, len(by_value))
    rejected = [a for a in adds if a["hr"] != "0x00000000"]
    expect("attach: three bad AddPoint shapes rejected with E_INVALIDARG",
           len(rejected) == 3 and all(a.get("scode") == "0x80070057" for a in rejected), rejected)
else:
    expect("attach: AddPoint calls", False, "none")

colors = [c for c in calls_of(calls, "Color") if "put" in c["flags"]]
expect("attach: Color put as a 16-bit integer", colors and all(c["args"][-1]["vt"] == 2 for c in colors),
       [c["args"] for c in colors])
expect("attach: colours 1, 3, 3", [c["args"][-1]["value"] for c in colors] == [1, 3, 3], colors)

group_adds = calls_of(calls, "Add")
codes = [g.get("scode", g["hr"]) for g in group_adds]
expect("attach: group names: ok, duplicate, ok, duplicate by case, 4 refused, ok",
       codes == ["0x00000000", "0x80210102", "0x00000000", "0x80210102", "0x80210103", "0x80210103",
                 "0x80210103", "0x80210103", "0x00000000"], codes)
if group_adds:
    expect("attach: a variable's name arrives by reference",
           group_adds[0]["args"][0]["vt"] == 0x400C and group_adds[0]["args"][0]["ref"]["vt"] == 8,
           group_adds[0]["args"][0])

appends = calls_of(calls, "AppendItems")
expect("attach: four AppendItems calls", len(appends) == 4, len(appends))
if len(appends) == 4:
    expect("attach: AppendItems with one entity", appends[0]["hr"] == "0x00000000" and
           inner(appends[0]["args"][0])["value"][0]["object"] == "Point", appends[0])
    arr = appends[1]["args"][0]
    expect("attach: AppendItems with an array variable (by reference)",
           appends[1]["hr"] == "0x00000000" and arr["vt"] == 0x400C and len(arr["value"]) == 2, arr)
    expect("attach: erased entity refused", appends[2].get("scode") == "0x80210104", appends[2])
    expect("attach: non-entity refused", appends[3].get("scode") == "0x80070057", appends[3])

expect("attach: unknown system variable refused",
       any(c.get("scode") == "0x80210106" for c in calls_of(calls, "SetVariable")))
expect("attach: every call line says how it ended", all("hr" in c for c in calls))

# ---- create: COM-started stand-in with faults ----
calls, events = load("journal-create.jsonl")
start = [e for e in events if e["event"] == "start"]
expect("create: started by COM with -Embedding", start and start[0]["embedding"] is True, start)
faults = [e["fault"] for e in events if e["event"] == "fault"]
expect("create: faults fired in order", faults == ["second_drawing", "erase_group", "busy"], faults)
busy = [c for c in calls if c.get("fault") == "busy"]
expect("create: busy calls rejected with 0x80010001 directly",
       busy and all(c["hr"] == "0x80010001" for c in busy), busy[:2])
by_n = {c["n"]: c for c in calls}
expect("create: call 8 refused (group of an inactive drawing)", by_n.get(8, {}).get("scode") == "0x80210105",
       by_n.get(8))
expect("create: call 13 refused (group erased)", by_n.get(13, {}).get("scode") == "0x80210104", by_n.get(13))
expect("create: call 16 refused (entity of another drawing)", by_n.get(16, {}).get("scode") == "0x80210105",
       by_n.get(16))

# ---- no drawing ----
calls, events = load("journal-nodoc.jsonl")
docs = calls_of(calls, "ActiveDocument")
expect("nodoc: ActiveDocument fails through EXCEPINFO",
       docs and docs[0]["hr"] == "0x80020009" and docs[0]["scode"] == "0x80210101", docs)

# ---- die at call 2 ----
calls, events = load("journal-die.jsonl")
expect("die: call 2 journalled as the fault", any(c["n"] == 2 and c.get("fault") == "die" for c in calls), calls)
expect("die: no orderly exit", not any(e["event"] == "exit" for e in events))

print(f"journal: {passed} passed, {failed} failed")
sys.exit(1 if failed else 0)
