#!/usr/bin/env bash
# Inside with-wine.sh: starts the stand-in CAD with its built-in section, then the tool.
# "interactive" waits until the user closes the tool; "headless" lets both come up, saves a
# screenshot and says what it did (with-wine.sh then stops them).
set -euo pipefail
mode=$1 out=$2
root=$(cd "$(dirname "$0")/.." && pwd)
tool=$root/build/win/src/pontiro.exe
standin=$root/build/win/standin/cadstandin.exe
# No test configuration: the stand-in answers the person at the screen.
rm -f "$WINEPREFIX/drive_c/ProgramData/PontiroStandin/config.ini"
wine "$standin" >"$out/standin.log" 2>&1 &
if [ "$mode" = interactive ]; then
  wine "$tool" >"$out/tool.log" 2>&1
  exit 0
fi
wine "$tool" >"$out/tool.log" 2>&1 &
sleep 3
"$root/scripts/screenshot.sh" "$out/screenshot.png"
echo "run: the stand-in CAD and the tool came up; screenshot: $out/screenshot.png"
