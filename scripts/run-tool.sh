#!/usr/bin/env bash
# Inside with-wine.sh. "interactive": the stand-in CAD with its built-in section or DRAWING,
# and the tool, for a person, until the tool is closed. "headless": plays the demo below and
# says what came out (with-wine.sh then stops everything). A DRAWING the stand-in cannot
# show ends the run (1) with its reason, before the tool starts.
# Usage: run-tool.sh interactive|headless OUT_DIR [DRAWING.dxf (absolute)]
set -euo pipefail
mode=$1 out=$2 drawing=${3:-}
root=$(cd "$(dirname "$0")/.." && pwd)
tool=$root/build/win/src/pontiro.exe
standin=$root/build/win/standin/cadstandin.exe
winpath() { printf 'Z:%s' "${1//\//\\}"; }
# What the stand-in said of the drawing, from its journal: the reason when it could not show it.
refusal() {
  python3 - "$1" <<'PY'
import json, sys
try:
    events = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8")]
except (OSError, ValueError):
    events = []
print(next((e["error"] for e in events if e.get("event") == "drawing" and "error" in e), ""))
PY
}
if [ "$mode" = interactive ]; then
  # No test configuration: the stand-in answers the person at the screen.
  rm -f "$WINEPREFIX/drive_c/ProgramData/PontiroStandin/config.ini"
  journal=$out/standin.journal.jsonl
  rm -f "$journal"
  wine "$standin" --journal "$(winpath "$journal")" ${drawing:+"$(winpath "$drawing")"} >"$out/standin.log" 2>&1 &
  standin_pid=$!
  # The tool starts once the stand-in shows its drawing; not at all when it ended instead.
  until grep -q '"event":"view"' "$journal" 2>/dev/null; do
    if ! kill -0 "$standin_pid" 2>/dev/null; then
      echo "run: the stand-in CAD cannot show $drawing: $(refusal "$journal")" >&2
      exit 1
    fi
    sleep 0.2
  done
  wine "$tool" >"$out/tool.log" 2>&1
  exit 0
fi
# The demo, with the real pointer and keyboard as a person would: initialise, then on the built-in
# section type P and click each of its three outlines (on a DXF: pick the next four vertices),
# pick one more node and take it back with U; then show the points marked and the node list.
journal=$out/real-pointer.journal.jsonl
rm -f "$journal" "$out/real-pointer.result.json"
checked=passed
PONTIRO_DRAWING=$drawing python3 "$root/tests/win/pick_test.py" "$root/build/win" "$out" real-pointer \
  >"$out/demo.log" 2>&1 || checked=failed
why=$(refusal "$journal")
if [ -n "$why" ]; then
  echo "run: the stand-in CAD cannot show $drawing: $why" >&2
  exit 1
fi
python3 - "$out" "${drawing:-the built-in section}" "$checked" <<'PY'
import json, sys
out, drawing, checked = sys.argv[1:]
try:
    result = json.load(open(f"{out}/real-pointer.result.json", encoding="utf-8"))
    text = next(s["output"] for s in result["snapshots"] if s["label"] == "pick")
    calls = [json.loads(line) for line in open(f"{out}/real-pointer.journal.jsonl", encoding="utf-8")]
except (OSError, ValueError, StopIteration, KeyError):
    print(f"run: the demo did not finish; see {out}/demo.log")
    sys.exit(1)
# The points the tool marked in the drawing: the origin first, then the nodes; a mark the tool
# erased again (a node taken back with U) is not among them.
ok = [c for c in calls if c.get("hr") == "0x00000000"]
erased = {c["self"]["handle"] for c in ok if c.get("object") == "Point" and c.get("member") == "Delete"}
marks = [c["args"][0]["value"] for c in ok if c.get("member") == "AddPoint" and c["result"]["value"]["handle"] not in erased]
print(f"run: picked the origin and {len(marks) - 1} nodes of {drawing} (drawing units), "
      f"{len(erased)} more taken back with U + Enter at the CAD's command line:")
for label, (x, y, _) in zip(["origin"] + [f"node {k}" for k in range(1, len(marks))], marks):
    print(f"  {label}: {x:g} {y:g}")
print("run: the node list (relative to the origin):")
print(text.replace("\r\n", "\n"), end="")
if drawing == "the built-in section":
    # The list is compared with the one the same 22 vertices give picked one by one.
    print(f"run: the list is the one the 22 vertices picked one by one give, and the node taken back is gone: "
          f"{'yes' if checked == 'passed' else 'NO, see ' + out + '/demo.log'}")
print(f"run: screenshot: {out}/real-pointer.png")
PY
