#!/usr/bin/env bash
# Runs one Windows test program under Wine (inside scripts/with-wine.sh), its output sent to
# OUTDIR/NAME.log (never piped: a Wine program's pipe may never close), then shows the log
# and turns the screenshots it saved into PNGs. Usage: run-exe.sh OUTDIR NAME EXE ARGS...
set -uo pipefail
out=$1 name=$2 exe=$3; shift 3
mkdir -p "$out"
log="$out/$name.log"
timeout 300 wine "$exe" "$@" >"$log" 2>&1
rc=$?
tr -d '\r' <"$log"
for bmp in "$out"/*.bmp; do
  [ -e "$bmp" ] && /usr/bin/convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
exit $rc
