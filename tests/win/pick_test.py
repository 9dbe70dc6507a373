#!/usr/bin/env python3
# The two picking commands end to end: the real tool under Wine against the stand-in CAD, one
# table of picking scenarios and CAD faults. A row configures the stand-in (faults, answers),
# plays the user's steps through the driver and checks the output box at each snapshot, the
# message boxes and what reached the CAD (its journal); a fault row then initialises and picks
# normally in the same tool. Inside scripts/with-wine.sh, the stand-in registered. Usage:
# [PONTIRO_EXE=TOOL.exe] pick_test.py WIN_BUILD_DIR OUT_DIR [ROW... | long | all | default -ROW...]  (none: the
# default rows; "default -ROW": the default rows but those named)
import itertools
import json
import os
import re
import shutil
import subprocess
import sys
import time
import types
import unittest

from picking import (DATA, DRIVER, OUT, STANDIN, TOOL, UNKNOWN, configure, journal_of, kill_wine, run_pick, winpath,
                     write_config)

TITLE = "Pontiro截面 V2.0"
GROUP_FAILED = ("错误", "节点已写出，但未能加入图形中的编组（编组可能已被删除）。")
STOPPED = ("错误", "点取第{}节点时CAD {}（0x{}）。{}")  # node, why, number, where the list stops
ORIGIN = "点取坐标原点 "
NO_ORIGIN = ("提示", "当前图形中没有初始化的原点，请先在本图中初始化原点。")


def prompts(*ks):
    return [f"点取第{k}节点(右键或回车结束) [放弃(U)/轮廓(P)] " for k in ks]


def fmt(box, *values):
    return box[0], box[1].format(*values)


def lines(*rows):
    return "".join(r + "\r\n" for r in rows)


# The driver's wait after a click lasts until the click has reached the tool and its command has ended.
WORDS = {"init": ["click:initialise", "wait:60"], "pick": ["click:pickNodes", "wait:120"],
         "register": [f"run:{winpath(STANDIN)} --register"]}


def steps(text):
    return [s for word in text.split() for s in WORDS.get(word, [word])]


# shown: None leaves the output box unchecked (a drawing of the person running ./run). args: the tool's command
# line; ini: pontiro.ini beside a copy of the tool; only_as: the class name the stand-in alone answers to;
# person: a person started the stand-in before the tool (as with a play that clicks for real).
def row(name, answers, play, shown, boxes=(), config=(), facts={}, recovery=None, long=False, unregister=False,
        drawing=None, args=None, ini=None, only_as=None, person=False):
    return types.SimpleNamespace(**locals())


def pointer(name, at, vertices, outlines=()):
    # Real clicks on the drawing of a stand-in a person started: the origin, then the nodes; with outlines, P typed
    # at the node prompt and a click on each outline instead.
    (x0, y0), *nodes = vertices
    clicks = [s for x, y in nodes for s in (at(x, y), "sleep:1000")] if not outlines else \
        [s for x, y in outlines for s in ("key:p", "key:enter", "sleep:1000", at(x, y), "sleep:1500")]
    # A last pick on the origin's vertex, taken back by typing U + Enter at the CAD's command line.
    return ["click:initialise", "sleep:2000", at(x0, y0), "wait:30", "click:pickNodes", "sleep:2000", *clicks,
            at(x0, y0), "sleep:1000", "key:u", "key:enter", "sleep:1000", "key:enter", "wait:30", "snapshot:pick",
            f"screenshot:{OUT}/{name}.png"]


HERE = os.path.dirname(os.path.abspath(__file__))
T_SECTION, HOLLOW_SLAB = os.path.join(HERE, "t_section.dxf"), os.path.join(HERE, "hollow_slab.dxf")
BUILT_IN = [(2700, 0), (2700, 0), (9300, 0), (5800, 1450), (2200, 1550)]  # the built-in section's picks
# Its three closed outlines, each from the vertex clicked near (on the soffit, on each cell's bottom slab), in
# the order the list takes them; a click on each, and the list relative to the origin (2700, 0).
SECTION_OUTLINES = [[(2700, 0), (2200, 1550), (0, 1800), (0, 2000), (12000, 2000), (12000, 1800), (9800, 1550),
                     (9300, 0)],
                    [(3100, 220), (5500, 220), (5800, 520), (5800, 1450), (5500, 1750), (2900, 1750), (2650, 1600)],
                    [(8900, 220), (6500, 220), (6200, 520), (6200, 1450), (6500, 1750), (9100, 1750), (9350, 1600)]]
SECTION_CLICKS = [(2750, 0), (3150, 220), (8850, 220)]
SECTION_NODES = [p for outline in SECTION_OUTLINES for p in outline]
SECTION_LIST = lines(*(f"{x - 2700} {y}" for x, y in SECTION_NODES))
# Nodes of the hollow slab's row by their place in the list: vertices and the middle of each arc (the first void's
# two arcs, the mirrored void's two, which turn the other way in its own coordinates).
SLAB_SPOTS = {0: [220, 220], 1: [220, 380], 7: [140, 460], 13: [60, 380], 20: [140, 140], 26: [780, 220],
              33: [860, 460], 39: [940, 380], 46: [860, 140]}
DRAWING = os.environ.get("PONTIRO_DRAWING")  # ./run DRAWING.dxf: the real-pointer row on that drawing
COMPATIBLE = "Compatible.Application"


EXAMPLE = [(100, 50), (400, 50), (400, 262.4), (82.75, 262.4)]
HUNDRED = [(k, 2 * k) for k in range(1, 101)]
ONE, ORIGIN_ONLY = run_pick((0, 0), [(1, 1)]), ["point 0 0"]  # ORIGIN_ONLY: the pick fails before its first prompt
FAULT_RUN, INIT_FAULT = "init snapshot:init pick snapshot:fault", "init snapshot:fault"
NOT_INITIALISED = {"fault": ("", False)}


def picked(*rows):
    return {"init": ("", True), "fault": (lines(*rows), True)}


ROWS = [
    row("worked-example", run_pick((100, 50), EXAMPLE) + run_pick((100, 50), EXAMPLE)[1:] * 2,
        "set:decimals=2 init snapshot:init pick snapshot:pick set:decimals=0 pick snapshot:whole "
        "set:scale=0.001 set:decimals=3 pick snapshot:scaled",
        {"init": ("", True), "pick": (lines("0.00 0.00", "300.00 0.00", "300.00 212.40", "-17.25 212.40"), True),
         "whole": (lines("0 0", "300 0", "300 212", "-17 212"), True),
         "scaled": (lines("0.000 0.000", "0.300 0.000", "0.300 0.212", "-0.017 0.212"), True)},
        facts={"front": ["Stand-in CAD"] * 4, "starts": [True], "visible": [True] * 4, "pdmode": [["pdmode", 3]],
               "prompts": [ORIGIN] + prompts(1, 2, 3, 4, 5) * 3, "colours": [1] + [3] * 12, "grouped": [1, 4, 4, 4],
               "into": [0, 0, 0, 0], "marks": [[x, y, 0] for x, y in [(100, 50)] + EXAMPLE * 3]}),
    # Esc answering with the generic failure number, as some CADs do.
    row("short-runs", "point 10 20,enter,point 5 6 7,esc,point -1 2,point 3 4,rightclick,point 7 8,enter".split(","),
        "set:output=old init snapshot:init set:output=old pick snapshot:none set:decimals=1 pick snapshot:one "
        "set:scale=-2 pick snapshot:negative set:scale= pick snapshot:empty",
        {"init": ("", True), "none": ("", True), "one": (lines("-5.0 -14.0"), True),
         "negative": (lines("22.0 36.0", "14.0 32.0"), True), "empty": (lines("0.0 0.0"), True)},
        config=["esc_scode = 80004005"],
        facts={"grouped": [1, 1, 2, 1], "marks": [[10, 20, 0], [5, 6, 0], [-1, 2, 0], [3, 4, 0], [7, 8, 0]]}),
    # Node 3 taken back with U, then node 2 with u; two more picks and Esc (the CAD's own number) end the
    # list. The box shows the list so far, read-only, while prompt 3 waits.
    row("take-back", ["point 0 0", "point 1 1", "point 2 2", "point 3 3 delay=3000", "keyword U", "keyword u",
                      "point 4 4", "point 5 5", "esc"],
        f"init click:pickNodes lines:2 snapshot:live screenshot:{OUT}/take-back-live.png wait:120 snapshot:done",
        {"live": (lines("1 1", "2 2"), True), "done": (lines("1 1", "4 4", "5 5"), True)},
        facts={"prompts": [ORIGIN] + prompts(1, 2, 3, 4, 3, 2, 3, 4), "deleted": [3, 2], "appended": [[0], [1, 4, 5]],
               "readonly": {"live": True, "done": False}}),
    # The CAD the user has open: attached to, not a new one created (each creation starts its own CAD), and
    # brought to the front by the tool, which was in front before.
    row("attach-first", ["point 0 0 delay=2000", "point 1 1", "enter"],
        "front:Pontiro snapshot:before click:initialise front:Stand-in snapshot:prompt wait:60 pick snapshot:picked",
        {"before": ("", False), "prompt": ("", False), "picked": (lines("1 1"), True)},
        facts={"starts": [False], "front": ["Pontiro截面 V2", "Stand-in CAD", "Stand-in CAD"]}, person=True),
    row("hundred-nodes", run_pick((0, 0), HUNDRED), "init pick snapshot:pick",
        {"pick": ("".join(f"{x} {y}\r\n" for x, y in HUNDRED), True)},
        facts={"prompts": [ORIGIN] + prompts(*range(1, 101)), "grouped": [1, 100]}),
    # The built-in section picked vertex by vertex, then by its three outlines: the same marks and the same list.
    row("outlines-built-in", ["point 2700 0", *(f"point {x} {y}" for x, y in SECTION_NODES), "enter",
                              *(s for x, y in SECTION_CLICKS for s in ("keyword P", f"entity {x} {y}")), "enter"],
        "init pick snapshot:single pick snapshot:outlines",
        {"single": (SECTION_LIST, True), "outlines": (SECTION_LIST, True)},
        facts={"grouped": [1, 22, 22], "marks": [[x, y, 0] for x, y in [(2700, 0), *SECTION_NODES, *SECTION_NODES]],
               "selected": [["entity", "AcDbPolyline"]] * 3, "told": []}),
    # A hollow slab: two voids with half-circle ends (one stored mirrored, extrusion 0,0,-1) and a round one taken
    # back with U; its centre line is refused on the CAD's command line and a click on nothing goes back.
    row("hollow-slab", ["point 0 0", "keyword P", "entity 220 230", "keyword P", "entity 460 300", "keyword U",
                        "keyword P", "entity 780 230", "keyword P", "entity 500 300", "keyword P", "entity 300 100",
                        "enter"],
        f"init pick snapshot:pick screenshot:{OUT}/hollow-slab.png", {"pick": (re.compile(r"(-?\d+ -?\d+\r\n){52}"), True)},
        config=[f"drawing = {winpath(HOLLOW_SLAB)}"],
        facts={"told": ["所选对象不是多段线或圆。"], "deleted": list(range(50, 26, -1)),
               "appended": [[0], list(range(1, 27)) + list(range(51, 77))],
               "selected": [["entity", "AcDbPolyline"], ["entity", "AcDbCircle"], ["entity", "AcDbPolyline"],
                            ["entity", "AcDbLine"], ["miss", None]],
               "nodes": SLAB_SPOTS,
               # The mirrored void answers in its own coordinates, as the CAD stores it.
               "mirrored": {"Normal": [0, 0, -1], "Coordinates": [-780, 220, -780, 380, -940, 380, -940, 220]}}),
    # Every origin belongs to its drawing: none in drawing 2 is refused before any prompt; with an origin in each,
    # picking in either measures from its own without initialising again.
    row("two-drawings", ["point 0 0", "point 100 100", "point 1 1", "enter", "point 101 102", "enter"],
        "init cadswitch:2 pick snapshot:refused init cadswitch:1 pick snapshot:first cadswitch:2 pick snapshot:second",
        {"refused": ("", True), "first": (lines("1 1"), True), "second": (lines("1 2"), True)}, [NO_ORIGIN],
        [f"second_drawing = {winpath(T_SECTION)}"],
        {"drawings": ["t_section.dxf", "section.dxf", "t_section.dxf"], "into": [0, 1, 0, 1],
         "failed": ["Groups.Item 0x80210109"] * 2}),
    row("origin-cancelled", ["esc", "enter", "point 1 1", "point 2 2", "enter", "point 3 3", "point 4 4", "enter"],
        "init snapshot:esc init snapshot:enter init pick snapshot:first init snapshot:second pick snapshot:after",
        {"esc": ("", False), "enter": ("", False), "first": (lines("1 1"), True), "second": ("", True),
         "after": (lines("1 1"), True)},
        facts={"colours": [1, 3, 1, 3], "into": [0, 0, 1, 1]}),
    row("bad-inputs", run_pick((0, 0), [(1.25, 2)]),
        "init set:scale=1e999 pick snapshot:scale set:scale=1 set:decimals=40000 pick snapshot:decimals",
        {"scale": ("", True), "decimals": (lines("1.250000000000000 2.000000000000000"), True)},
        [("提示", "缩放因子不是有效的数值。"), ("提示", "小数位数超出范围，节点已按 15 位小数写出。")],
        facts={"prompts": [ORIGIN] + prompts(1, 2)}),
    # The built-in section by its three outlines (./run's demo); on a DXF of the person's own, four vertices.
    row("real-pointer", None, pointer if DRAWING else lambda *a: pointer(*a, outlines=SECTION_CLICKS),
        None if DRAWING else {"pick": (SECTION_LIST, True)},
        facts={"starts": [False], "deleted": [5 if DRAWING else 23]}, long=True, drawing=DRAWING),
    # A T section drawn as one closed LWPOLYLINE: P typed, the outline clicked near its second vertex.
    row("real-pointer-dxf", None, lambda *a: pointer(*a, outlines=[(2400, 1150)]),
        {"pick": (lines("2400 0", "2400 -200", "1400 -200", "1400 -1200", "1000 -1200", "1000 -200", "0 -200", "0 0"),
                  True)}, facts={"starts": [False], "deleted": [9], "selected": [["entity", "AcDbPolyline"]]},
        drawing=T_SECTION),
    # A compatible CAD: the stand-in answers to another class name only, given on the command line or in
    # pontiro.ini beside the tool; the command line wins, and a name nobody registered gets the usual boxes.
    row("compatible-cad-option", ONE, FAULT_RUN, picked("1 1"), facts={"starts": [True]},
        args=f"--cad-class {COMPATIBLE}", only_as=COMPATIBLE),
    row("compatible-cad-setting", ONE, FAULT_RUN, picked("1 1"), facts={"starts": [True]},
        ini=f"[cad]\r\nclass = {COMPATIBLE}\r\n", only_as=COMPATIBLE),
    row("compatible-cad-unknown", [], INIT_FAULT, NOT_INITIALISED, ["system", UNKNOWN], facts={"starts": []},
        args="--cad-class=Unknown.Application", ini=f"[cad]\r\nclass = {COMPATIBLE}\r\n", only_as=COMPATIBLE),
    # CAD faults: each row is followed by a normal initialise + pick, by the same CAD or a new one.
    row("class-not-registered", [], INIT_FAULT + " register", NOT_INITIALISED, ["system", UNKNOWN], recovery="same",
        unregister=True),
    row("no-drawing", [], INIT_FAULT, NOT_INITIALISED, [UNKNOWN], ["no_drawing = 1", "open_drawing_after_call = 3"],
        {"faults": ["open_drawing"], "failed": ["Application.ActiveDocument 0x80210101"]}, "same"),
    # Another drawing comes to the front once node 1 is picked (call 21): its marks cannot join the group.
    row("drawing-switched", ONE, FAULT_RUN, picked("1 1"), [GROUP_FAILED], ["second_drawing_after_call = 21"],
        {"faults": ["second_drawing"], "failed": ["Group.AppendItems 0x80210105"]}, "same"),
    # Busy from the first prompt's call the tool cannot pass over (20, Utility) for longer than its 10 s
    # bound: reported; the initialise after it waits out the rest.
    row("busy-past-bound", ORIGIN_ONLY, FAULT_RUN, picked(), [fmt(STOPPED, 1, "出错", "80010001", "没有写出节点。")],
        ["busy_after_call = 19", "busy_ms = 15000"],
        {"faults": ["busy"], "rejected": True}, "same"),
    # A failure mid-pick keeps the nodes before it and says where the list stops and why.
    row("killed-after-node-3", run_pick((0, 0), [(1, 1), (2, 2), (3, 3), (4, 4), (5, 5)]), FAULT_RUN,
        picked("1 1", "2 2", "3 3"), [fmt(STOPPED, 4, "已停止响应", "800706BE", "节点列表写到第3节点为止。"), GROUP_FAILED],
        ["die_at = Utility.GetPoint:5"], {"faults": ["Utility.GetPoint"]}, "new"),
    row("generic-failure-in-addpoint", ONE[:2] + ["point 2 2"], FAULT_RUN, picked("1 1"),
        [fmt(STOPPED, 2, "出错", "80004005", "节点列表写到第1节点为止。")], ["fail_at = ModelSpace.AddPoint:3"],
        {"faults": ["ModelSpace.AddPoint"], "grouped": [1, 1, 1, 2]}, "same"),
    # A name the CAD refuses as existing is drawn again; the user sees nothing of it.
    row("group-name-taken", ONE, FAULT_RUN, picked("1 1"), [], ["fail_at = Groups.Add:1", "fail_scode = 80210102"],
        {"faults": ["Groups.Add"], "failed": ["Groups.Add 0x80210102"]}, "same"),
    row("killed-mid-pick", ONE, FAULT_RUN, picked(), [fmt(STOPPED, 1, "已停止响应", "800706BE", "没有写出节点。")],
        ["die_at_call = 24"], {"faults": ["Point.Color"]}, "new", long=True),
    row("generic-failure-in-initialise", ORIGIN_ONLY, INIT_FAULT, NOT_INITIALISED, [UNKNOWN],
        ["fail_at = Document.SetVariable:1"], {"faults": ["Document.SetVariable"]}, "same", long=True),
    # Closed after the origin check (call 17): the keywords cannot be declared and the prompt fails.
    row("drawing-closed", ORIGIN_ONLY, FAULT_RUN, picked(), [fmt(STOPPED, 1, "出错", "80210108", "没有写出节点。")],
        ["close_drawing_after_call = 17", "open_drawing_after_call = 19"], {"faults": ["close_drawing", "open_drawing"],
         "failed": ["Document.Utility 0x80210108"] * 2}, "same"),
    # Busy at the origin check past the bound: the busy CAD is reported, not taken for a drawing without it.
    row("busy-at-origin-check", ORIGIN_ONLY, FAULT_RUN, picked(), [fmt(STOPPED, 1, "出错", "80010001", "没有写出节点。")],
        ["busy_after_call = 15", "busy_ms = 15000"], {"faults": ["busy"], "rejected": True}, "same", long=True),
    row("busy-2s", ONE, FAULT_RUN, picked("1 1"), [], ["busy_after_call = 12", "busy_ms = 2000"],
        {"faults": ["busy"], "rejected": True}, "same", long=True),
    # The user erased the origin's group: no origin in this drawing.
    row("group-erased", ORIGIN_ONLY, FAULT_RUN, picked(), [NO_ORIGIN], ["erase_group_after_call = 12"],
        {"faults": ["erase_group"], "failed": ["Groups.Item 0x80210109"]}, "same", long=True),
    row("killed-in-addpoint", ONE, FAULT_RUN, picked(), [fmt(STOPPED, 1, "已停止响应", "800706BE", "没有写出节点。")],
        ["die_at = ModelSpace.AddPoint:2"],
        {"faults": ["ModelSpace.AddPoint"]}, "new", long=True),
    row("killed-in-groups-add", ORIGIN_ONLY, INIT_FAULT, NOT_INITIALISED, [UNKNOWN], ["die_at = Groups.Add:1"],
        {"faults": ["Groups.Add"]}, "new", long=True),
    row("killed-in-appenditems-init", ORIGIN_ONLY, INIT_FAULT, NOT_INITIALISED, [UNKNOWN],
        ["die_at = Group.AppendItems:1"], {"faults": ["Group.AppendItems"]}, "new", long=True),
    row("killed-in-appenditems-pick", ONE, FAULT_RUN, picked("1 1"), [GROUP_FAILED], ["die_at = Group.AppendItems:2"],
        {"faults": ["Group.AppendItems"]}, "new", long=True),
    # A take-back the CAD refuses to erase ends the command with the nodes before it.
    row("take-back-refused", ["point 0 0", "point 1 1", "point 2 2", "keyword U"], FAULT_RUN, picked("1 1"),
        [("错误", re.compile(r"放弃第2节点.*"))], ["fail_at = Point.Delete"], {"faults": ["Point.Delete"]}, "same",
        long=True),
    row("answer-after-60s", ["point 0 0", "point 1 1 delay=60000", "enter"],
        "init click:pickNodes sleep:5000 snapshot:waiting wait:120 snapshot:fault",
        {"waiting": ("", True), "fault": (lines("1 1"), True)}, recovery="same", long=True),
]
RECOVERY_ANSWERS = run_pick((10, 10), [(20, 30), (40, 50)])


def of(calls, member):
    return [c for c in calls if c["member"] == member]


def arg(call, i=0):
    return call["args"][i].get("value")


def handles(calls):  # the marks in the order they were added
    return [x["result"]["value"]["handle"] for x in of(calls, "AddPoint") if "result" in x]


def shapes(calls):
    # How the tool passes arguments, in every row: the ways the CAD's automation expects.
    wrong = {"base point given": [c for c in of(calls, "GetPoint") if c["args"][0]["vt"] != 10],
             "colour not 16-bit": [c for c in of(calls, "Color") if c["flags"] == "put" and c["args"][0]["vt"] != 2],
             "point by value": [c for c in of(calls, "AddPoint") if not c["args"][0]["type"].startswith("BYREF")],
             "selection not by reference": [c for c in of(calls, "GetEntity") if [a["type"] for a in c["args"][:2]] !=
                                            ["BYREF|DISPATCH", "BYREF|VARIANT"]],
             "group name": [c for c in of(calls, "Add") if not (c["args"][0]["type"].startswith("BYREF") and
                                                                 re.fullmatch(r"\.0*[1-9]\d{0,6}|0", str(arg(c))))]}
    return sorted(k for k, v in wrong.items() if v)


FACTS = {
    "shapes": lambda c, e, s: shapes(c),
    # Calls that failed other than a prompt the user ended or a call the busy CAD rejected.
    "failed": lambda c, e, s: [f"{x['object']}.{x['member']} {x.get('scode', x['hr'])}" for x in c
                               if x.get("hr", "0x00000000") != "0x00000000" and x.get("fault") != "busy"
                               and x.get("scode") not in ("0x80210020", "0x80004005", "0x80020009")],
    "faults": lambda c, e, s: sorted({f"{x['object']}.{x['member']}" for x in c if x.get("fault") in ("die", "fail")} |
                                     {x["fault"] for x in e if x["event"] == "fault"}),
    "rejected": lambda c, e, s: len([x for x in c if x.get("fault") == "busy"]) > 1,
    "starts": lambda c, e, s: [x["embedding"] for x in e if x["event"] == "start"],
    "front": lambda c, e, s: [x["foreground"][:12] for x in s.values()],
    "visible": lambda c, e, s: [arg(x) for x in of(c, "Visible") if x["flags"] == "put"],
    "prompts": lambda c, e, s: [arg(x, 1) for x in of(c, "GetPoint")],
    "marks": lambda c, e, s: [arg(x) for x in of(c, "AddPoint")],
    "colours": lambda c, e, s: [arg(x) for x in of(c, "Color") if x["flags"] == "put"],
    "pdmode": lambda c, e, s: [[arg(x), arg(x, 1)] for x in of(c, "SetVariable")],
    "grouped": lambda c, e, s: [len(arg(x)) for x in of(c, "AppendItems")],
    "deleted": lambda c, e, s: [handles(c).index(x["self"]["handle"]) for x in of(c, "Delete") if x["object"] == "Point"],
    "appended": lambda c, e, s: [[handles(c).index(m["handle"]) for m in arg(x)] for x in of(c, "AppendItems")],
    "drawings": lambda c, e, s: [x.get("name", x.get("error")) for x in e if x["event"] == "switch"],
    "readonly": lambda c, e, s: {label: x["readOnly"] for label, x in s.items()},
    "into": lambda c, e, s: [[arg(g) for g in of(c, "Add")].index(x["self"]["name"]) for x in of(c, "AppendItems")],
    "told": lambda c, e, s: [arg(x) for x in of(c, "Prompt")],
    "mirrored": lambda c, e, s: {x["member"]: x["result"]["value"] for x in c if x.get("self", {}).get("handle") == "2E"
                                 and x["member"] in ("Normal", "Coordinates")},
    "selected": lambda c, e, s: [[x["end"], x.get("object_name")] for x in e
                                 if x["event"] == "answer" and x["end"] in ("entity", "miss")],
    # The marks left in the drawing (after the origin's) at these places of the list.
    "nodes": lambda c, e, s: {k: [round(v) for v in arg(x)[:2]] for k, x in enumerate(
        [x for x in of(c, "AddPoint")[1:] if x["result"]["value"]["handle"] not in
         {d["self"]["handle"] for d in of(c, "Delete")}]) if k in SLAB_SPOTS},
}


def person_standin(journal, drawing, configured):
    # Starts a stand-in as a person would (perhaps with a drawing of theirs; with no configuration unless
    # `configured`: a CAD that COM started would then answer from the same script into the same journal); its
    # process, its view once it is shown and ready, and the drawing's first vertices.
    if not configured:
        os.remove(f"{DATA}/config.ini")
    standin = subprocess.Popen(["wine", STANDIN, "--journal", winpath(journal), *([winpath(drawing)] if drawing else [])],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(300):
        events = journal_of(journal)[1]
        views = [e for e in events if e["event"] == "view" and e["visible"]]
        drawn = [e for e in events if e["event"] == "drawing"]
        if views and any(e["event"] == "ready" for e in events):
            return standin, views[-1], drawn[0]["first_vertices"] if drawing else BUILT_IN
        if standin.poll() is not None:
            raise AssertionError("the stand-in ended: " + (drawn[0].get("error", "") if drawn else "no drawing event"))
        time.sleep(0.1)
    raise AssertionError("the stand-in did not show its drawing")


def session(name, play, tool=TOOL):
    result, log = f"{OUT}/{name}.result.json", f"{OUT}/{name}.driver.log"
    if os.path.exists(result):
        os.remove(result)
    with open(log, "w") as f:
        subprocess.run(["wine", DRIVER, "pick-session", winpath(tool), winpath(result), *play], stdout=f,
                       stderr=subprocess.STDOUT, timeout=900)
    with open(result, encoding="utf-8") as f, open(log, encoding="utf-8", errors="replace") as driver_log:
        return json.load(f), [line.strip() for line in driver_log if line.startswith("FAIL")]


def seen(box):  # "system": worded by the system, under the tool's title; an error's own text left out
    system = box["caption"] == TITLE and box["text"] and "未知错误" not in box["text"]
    return "system" if system else (box["caption"], re.sub(r"（(0x[0-9A-F]{8})：[^）]*）", r"（\1）", box["text"]))


def wine(*args):
    return subprocess.run(["wine", *args], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode


def register(*flags):
    return wine(STANDIN, *flags)


class Picking(unittest.TestCase):
    def check(self, what, got, expected):
        with self.subTest(what):
            self.assertEqual(got, expected)

    def play(self, r):
        answers = None if r.answers is None else r.answers + (RECOVERY_ANSWERS if r.recovery == "same" else [])
        journal = configure(r.name, answers, r.config)
        standin = None
        if callable(r.play) or r.person:
            standin, view, vertices = person_standin(journal, r.drawing, answers is not None)
        if callable(r.play):
            (x0, y0), scale = view["origin_px"], view["px_per_unit"]
            # The tool's topmost windows go right of the drawing, as a person would move them.
            play = [f"move:{view['canvas'][2] + 60},{view['canvas'][1]}"] + r.play(
                r.name, lambda x, y: f"screenclick:{round(x0 + x * scale)},{round(y0 - y * scale)}", vertices)
        else:
            play = ([f"args:{r.args}"] if r.args else []) + steps(r.play)
        tool = TOOL
        if r.ini:  # a copy of the tool with its settings beside it
            os.makedirs(f"{OUT}/{r.name}", exist_ok=True)
            tool = shutil.copy(TOOL, f"{OUT}/{r.name}/pontiro.exe")
            with open(f"{OUT}/{r.name}/pontiro.ini", "w", newline="") as f:
                f.write(r.ini)
        if r.recovery == "new":  # the next CAD that COM starts reads this configuration: no faults
            write_config(f"{OUT}/{r.name}-next.ini", f"{r.name}-next", RECOVERY_ANSWERS)
            play.append(f"copy:{winpath(f'{OUT}/{r.name}-next.ini')}>{winpath(DATA + '/config.ini')}")
        if r.recovery:
            play += steps("init pick snapshot:recovered")
        if r.unregister or r.only_as:
            register("--unregister")
        if r.only_as:
            register("--register", "--class", r.only_as)
        try:
            return journal, session(r.name, play, tool)
        finally:
            if standin:  # ended by the driver with the session; else with Wine before the next row
                try:
                    standin.wait(timeout=30)
                except subprocess.TimeoutExpired:
                    pass
            if r.only_as:
                register("--unregister", "--class", r.only_as)
            if r.unregister or r.only_as:
                register("--register")

    def test_rows(self):
        self.assertEqual((bool(SELECTED), STRAY), (True, []), "no such row")
        clean = False  # no tool or CAD left running by the row before: the driver ends them with its session
        for r in SELECTED:
            with self.subTest(row=r.name):
                print(f"-- {r.name}", flush=True)
                started = time.monotonic()
                if not clean:
                    kill_wine()
                clean = False
                journal, (result, driver_fails) = self.play(r)
                clean = not driver_fails
                print(f"   {time.monotonic() - started:.1f} s", flush=True)
                self.check("driver", (result["alive"], driver_fails), (True, []))
                snaps = {s["label"]: s for s in result["snapshots"]}
                if r.shown is not None:
                    got = {label: (s["output"], s["pickEnabled"]) for label, s in snaps.items()}
                    expected = {**r.shown, **({"recovered": (lines("10 20", "30 40"), True)} if r.recovery else {})}
                    # An expected text may be a pattern (a list whose nodes the facts check).
                    expected = {k: got[k] if isinstance(v[0], re.Pattern) and k in got and v[0].fullmatch(got[k][0])
                                and got[k][1] == v[1] else v for k, v in expected.items()}
                    self.check("output box and pick-nodes button at each snapshot", got, expected)
                # An expected text may be a pattern (a text of the tool's own wording).
                got = [seen(m) for m in result["messages"]]
                got = [e if isinstance(e[1], re.Pattern) and g[0] == e[0] and e[1].fullmatch(g[1]) else g
                       for g, e in itertools.zip_longest(got, r.boxes, fillvalue=(None, None))][:len(got)]
                self.check("message boxes", got, list(r.boxes))
                calls, events = journal_of(journal)
                for fact, expected in {"shapes": [], "failed": [], **r.facts}.items():
                    self.check(fact, FACTS[fact](calls, events, snaps), expected)
        kill_wine(unconfigure=True)

    @unittest.skipIf(sys.argv[3:], "default run only")
    def test_standin_keeps_a_foreign_registration(self):
        key = r"HKLM\Software\Classes\AutoCAD.Application"
        wine("reg", "add", key + r"\CLSID", "/ve", "/d", "{00000000-1111-2222-3333-444444444444}", "/f")
        try:  # refuses, and unregistering leaves the other program's entry, so it refuses again
            self.assertEqual([register("--register"), register("--unregister"), register("--register")], [2, 0, 2])
        finally:
            wine("reg", "delete", key, "/f")
            register("--register")

ARGS = sys.argv[3:]
SELECTED = [r for r in ROWS if r.name in ARGS or "all" in ARGS
            or (r.long if "long" in ARGS else (not ARGS or "default" in ARGS) and not r.long and f"-{r.name}" not in ARGS)]
STRAY = [a for a in ARGS if a.lstrip("-") not in {r.name for r in ROWS} | {"long", "all", "default"}]
if __name__ == "__main__":
    outcome = unittest.main(argv=sys.argv[:1], verbosity=2, exit=False, warnings="ignore").result
    sys.exit(not outcome.wasSuccessful())
