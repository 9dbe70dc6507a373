#!/usr/bin/env bash
# Idle CPU of the tool with both docking timers armed, against a bare program with two 1 ms
# timers, measured one after the other in the same Wine prefix and display. Prints each
# program's own CPU time (GetProcessTimes) and the wineserver's over the same span (the
# timers cost server time too), and the ratios.
# Usage: bench/idle_cpu.sh [PREFIX]   (runs with-wine.sh itself; build first with scripts/build.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=${1:-/tmp/bench-prefix}
out=$root/build/bench
settle=${SETTLE:-8} span=${SPAN:-20}
mkdir -p "$out"
# The programs come from the Windows build (scripts/build.sh).
bench=$root/build/win/bench
tool=$root/build/win/src/pontiro.exe
[ -e "$tool" ] || { echo "build the tool first: scripts/build.sh" >&2; exit 1; }

if [ -z "${IDLE_CPU_INSIDE:-}" ]; then
  IDLE_CPU_INSIDE=1 exec "$root/scripts/with-wine.sh" "$prefix" "$0" "$prefix"
fi

# The wineserver of this prefix, found by its environment (several prefixes may be running).
server_pid() {
  for pid in $(pgrep wineserver || true); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then echo "$pid"; return; fi
  done
}
# A Windows program of this prefix, by the name of its executable.
program_pid() {
  for pid in $(pgrep -f "$1" || true); do
    [ "$pid" = "$$" ] && continue
    grep -q idle_cpu "/proc/$pid/cmdline" 2>/dev/null && continue
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then echo "$pid"; return; fi
  done
}
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

measure() {  # name windows-exe unix-exe
  local name=$1 exe=$2 log="$out/$1.log"
  wine "$bench/idle_cpu.exe" "$exe" "$settle" "$span" >"$log" 2>&1 &
  local helper=$!
  sleep "$settle"
  local server; server=$(server_pid)
  [ -n "$server" ] || { echo "no wineserver found for $WINEPREFIX"; exit 1; }
  local program; program=$(program_pid "$(basename "$3")")
  [ -n "$program" ] || { echo "$name: its process was not found"; exit 1; }
  local s0 p0; s0=$(ticks "$server"); p0=$(ticks "$program")
  sleep "$span"
  local s1 p1; s1=$(ticks "$server"); p1=$(ticks "$program")
  wait "$helper" || { echo "$name: measurement failed:"; tr -d '\r' <"$log"; exit 1; }
  # Wine's GetProcessTimes gives 0 for another process: the helper's figure is only logged.
  local cpu=$(( (p1 - p0) * 1000 / $(getconf CLK_TCK) ))
  local server_ms=$(( (s1 - s0) * 1000 / $(getconf CLK_TCK) ))
  printf '%-12s process %8d ms   wineserver %6d ms   over %s s\n' "$name" "$cpu" "$server_ms" "$span"
  eval "${name}_cpu=$cpu ${name}_server=$server_ms"
}

measure baseline "$(winepath -w "$bench/two_timers.exe")" "$bench/two_timers.exe"
measure tool "$(winepath -w "$tool")" "$tool"
awk -v t="$tool_cpu" -v b="$baseline_cpu" -v ts="$tool_server" -v bs="$baseline_server" 'BEGIN {
  printf "ratio tool/baseline, process CPU: %.2f (target at most 1.1)\n", (b > 0 ? t / b : 0)
  printf "ratio tool/baseline, process + wineserver CPU: %.2f\n", (b + bs > 0 ? (t + ts) / (b + bs) : 0)
}'
