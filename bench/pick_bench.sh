#!/usr/bin/env bash
# Round trips per picked node and a 100-node pick run of the tool's own CAD code against the
# floor of the same calls, both against the stand-in CAD in the same prefix, alternating.
# Usage: bench/pick_bench.sh [PREFIX] [RUNS]   (build first with scripts/build.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=${1:-/tmp/bench-prefix}
runs=${2:-5}
out=$root/build/bench
mkdir -p "$out"
if [ -z "${PICK_BENCH_INSIDE:-}" ]; then
  PICK_BENCH_INSIDE=1 STANDIN_EXE=$root/build/win/standin/cadstandin.exe \
    exec "$root/scripts/with-wine.sh" "$prefix" "$0" "$prefix" "$runs"
fi
# No test configuration: only the answers this benchmark gives.
rm -f "$WINEPREFIX/drive_c/ProgramData/PontiroStandin/config.ini"
wine "$root/build/win/bench/pick_bench.exe" "Z:$root/build/win/standin/cadstandin.exe" "Z:$out" "$runs" \
  >"$out/pick_bench.log" 2>&1
tr -d '\r' <"$out/pick_bench.log"
