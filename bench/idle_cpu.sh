#!/usr/bin/env bash
# Idle CPU and wake-ups of the tool, its promotion windows docked and hidden, the pointer and
# the foreground elsewhere, against a bare one-window program with no timers, measured one
# after the other in the same Wine prefix and display. Prints each program's CPU time, the
# wineserver's over the same span (every timer tick and pointer query is a server request
# under Wine), how often each program's threads woke, and the ratios.
# Usage: bench/idle_cpu.sh [PREFIX]   (runs with-wine.sh itself; build first with scripts/build.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=${1:-/tmp/bench-prefix}
out=$root/build/bench
settle=${SETTLE:-8} span=${SPAN:-20}
mkdir -p "$out"
# The programs come from the Windows build (scripts/build.sh).
bench=$root/build/win/bench
tool=${TOOL:-$root/build/win/src/pontiro.exe}  # TOOL=another build, to compare
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
# Times a thread was switched in, over all the process's threads ("all") or its first ("main").
wakeups() {
  if [ "$2" = main ]; then set -- "/proc/$1/task/$1/status"; else set -- /proc/"$1"/task/*/status; fi
  cat "$@" 2>/dev/null | awk '/ctxt_switches/ {n += $2} END {print n + 0}'
}

measure() {  # name windows-exe unix-exe
  local name=$1 exe=$2 log="$out/$1.log"
  wine "$bench/idle_cpu.exe" "$exe" "$settle" "$span" >"$log" 2>&1 &
  local helper=$!
  sleep "$settle"
  local server; server=$(server_pid)
  [ -n "$server" ] || { echo "no wineserver found for $WINEPREFIX"; exit 1; }
  local program; program=$(program_pid "$(basename "$3")")
  [ -n "$program" ] || { echo "$name: its process was not found"; exit 1; }
  local s0 p0 w0 m0; s0=$(ticks "$server"); p0=$(ticks "$program"); w0=$(wakeups "$program" all); m0=$(wakeups "$program" main)
  sleep "$span"
  local s1 p1 w1 m1; s1=$(ticks "$server"); p1=$(ticks "$program"); w1=$(wakeups "$program" all); m1=$(wakeups "$program" main)
  wait "$helper" || { echo "$name: measurement failed:"; tr -d '\r' <"$log"; exit 1; }
  # Wine's GetProcessTimes gives 0 for another process: the helper's figure is only logged.
  local cpu=$(( (p1 - p0) * 1000 / $(getconf CLK_TCK) ))
  local server_ms=$(( (s1 - s0) * 1000 / $(getconf CLK_TCK) ))
  local threads; threads=$(ls "/proc/$program/task" | wc -l)
  printf '%-9s process %5d ms  wineserver %5d ms  wake-ups %5.1f/s (window thread %4.1f/s, %d threads)  over %s s\n' \
    "$name" "$cpu" "$server_ms" "$(awk -v n=$((w1 - w0)) -v s="$span" 'BEGIN {print n / s}')" \
    "$(awk -v n=$((m1 - m0)) -v s="$span" 'BEGIN {print n / s}')" "$threads" "$span"
  eval "${name}_cpu=$cpu ${name}_server=$server_ms"
}

measure baseline "$(wine winepath -w "$bench/bare_window.exe")" "$bench/bare_window.exe"
measure tool "$(wine winepath -w "$tool")" "$tool"
awk -v t="$tool_cpu" -v b="$baseline_cpu" -v ts="$tool_server" -v bs="$baseline_server" 'BEGIN {
  # A clock tick is 10 ms: an idle program may show none at all.
  if (b > 0) printf "ratio tool/baseline, process CPU: %.2f (target at most 1.1)\n", t / b
  else printf "ratio tool/baseline, process CPU: baseline 0 ms, tool %d ms (target: no more than the baseline)\n", t
  if (b + bs > 0) printf "ratio tool/baseline, process + wineserver CPU: %.2f\n", (t + ts) / (b + bs)
}'
