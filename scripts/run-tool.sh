#!/usr/bin/env bash
# Inside with-wine.sh. "interactive": the stand-in CAD with its built-in section and the
# tool, for a person, until the tool is closed. "headless": plays the demo below and says
# what came out (with-wine.sh then stops everything).
set -euo pipefail
mode=$1 out=$2
root=$(cd "$(dirname "$0")/.." && pwd)
tool=$root/build/win/src/pontiro.exe
standin=$root/build/win/standin/cadstandin.exe
if [ "$mode" = interactive ]; then
  # No test configuration: the stand-in answers the person at the screen.
  rm -f "$WINEPREFIX/drive_c/ProgramData/PontiroStandin/config.ini"
  wine "$standin" >"$out/standin.log" 2>&1 &
  wine "$tool" >"$out/tool.log" 2>&1
  exit 0
fi
# The demo: initialise and pick four vertices of the built-in section with the real
# pointer, as a person would, then show the node list the tool wrote.
python3 "$root/tests/win/pick_test.py" "$root/build/win" "$out" real-pointer >"$out/demo.log" 2>&1 || true
python3 - "$out" <<'PY'
import json, sys
out = sys.argv[1]
try:
    result = json.load(open(f"{out}/real-pointer.result.json", encoding="utf-8"))
    text = next(s["text8"] for s in result["snapshots"] if s["label"] == "pick")
except (OSError, ValueError, StopIteration, KeyError):
    print(f"run: the demo did not finish; see {out}/demo.log")
    sys.exit(1)
print("run: picked the origin and four nodes of the built-in section; the node list:")
print(text.replace("\r\n", "\n"), end="")
print(f"run: screenshot: {out}/real-pointer.png")
PY
