#!/usr/bin/env bash
# Start-up time to ready and working set of the tool against a bare one-window program, with
# and without the tool's manifest, and against a program of the tool's shape (its three windows
# and nothing else), in the same Wine prefix and display, taking turns. Prints every run, the
# medians and the ratios.
# Usage: bench/startup.sh [PREFIX] [RUNS]   (default /tmp/bench-prefix, 15 runs; build first)
# TOOL=EXE measures another build; BEFORE=EXE adds an earlier build to the same run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=${1:-/tmp/bench-prefix}
runs=${2:-15}
out=$root/build/bench
bench=$root/build/win/bench
tool=${TOOL:-$root/build/win/src/pontiro.exe}  # TOOL=another build, to compare
[ -e "$tool" ] || { echo "build the tool first: scripts/build.sh" >&2; exit 1; }
before=()
if [ -n "${BEFORE:-}" ]; then
  [ -e "$BEFORE" ] || { echo "no such build: $BEFORE" >&2; exit 1; }
fi
mkdir -p "$out"
if [ -z "${STARTUP_INSIDE:-}" ]; then
  STARTUP_INSIDE=1 exec "$root/scripts/with-wine.sh" "$prefix" "$0" "$prefix" "$runs"
fi
# Wine programs must not write into a pipe: the log is a file, shown afterwards.
log=$out/startup.log
[ -z "${BEFORE:-}" ] || before=("$(wine winepath -w "$BEFORE")")
if ! wine "$bench/startup_bench.exe" "$runs" "$(wine winepath -w "$tool")" "$(wine winepath -w "$bench/bare_window.exe")" \
    "$(wine winepath -w "$bench/bare_window_themed.exe")" "$(wine winepath -w "$bench/shape_window.exe")" \
    "${before[@]}" >"$log" 2>&1; then
  tr -d '\r' <"$log"; exit 1
fi
tr -d '\r' <"$log"
