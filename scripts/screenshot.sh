#!/usr/bin/env bash
# Saves the whole private X display (the Wine virtual desktop) as a PNG. Usage: screenshot.sh OUT.png
set -euo pipefail
/usr/bin/import -display "$DISPLAY" -window root "$1"
