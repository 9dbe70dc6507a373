#!/usr/bin/env bash
# Input latency while the CAD holds a prompt, the promotion windows' reveal and hide times, and
# how long 退出 takes during the prompt; against the stand-in CAD, with the real pointer.
# Usage: bench/live.sh [PREFIX] [ROUNDS]   (default /tmp/bench-prefix, 20; build first)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=${1:-/tmp/bench-prefix}
rounds=${2:-20}
out=$root/build/bench
tool=${TOOL:-$root/build/win/src/pontiro.exe}  # TOOL=another build, to compare
mkdir -p "$out"
if [ -z "${LIVE_BENCH_INSIDE:-}" ]; then
  LIVE_BENCH_INSIDE=1 STANDIN_EXE=$root/build/win/standin/cadstandin.exe \
    exec "$root/scripts/with-wine.sh" "$prefix" "$0" "$prefix" "$rounds"
fi
rc=0
wine "$root/build/win/bench/live_bench.exe" "$(wine winepath -w "$tool")" 'C:\ProgramData\PontiroStandin' "$rounds" \
  >"$out/live_bench.log" 2>&1 || rc=$?
rm -f "$WINEPREFIX/drive_c/ProgramData/PontiroStandin/config.ini"
tr -d '\r' <"$out/live_bench.log"
exit $rc
