#!/usr/bin/env bash
# Inside with-wine.sh: starts the tool. "interactive" waits until the user closes it;
# "headless" lets it come up, saves a screenshot, closes it and says what it did.
set -euo pipefail
mode=$1 out=$2
root=$(cd "$(dirname "$0")/.." && pwd)
tool=$root/build/win/src/pontiro.exe
if [ "$mode" = interactive ]; then
  wine "$tool" >"$out/tool.log" 2>&1
  exit 0
fi
wine "$tool" >"$out/tool.log" 2>&1 &
sleep 3
"$root/scripts/screenshot.sh" "$out/screenshot.png"
echo "run: the tool came up; screenshot: $out/screenshot.png"
