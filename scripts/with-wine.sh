#!/usr/bin/env bash
# Runs a command with the private Wine prefix on a private Xvfb display, then stops the
# wineserver and the Xvfb that this run started. USE_DISPLAY=1 keeps the caller's DISPLAY.
# --win32: the command runs a 32-bit program; where this machine cannot, it is skipped (77).
# Usage: with-wine.sh PREFIX [--dpi N] [--desktop WxH] [--win32] COMMAND...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=$1; shift
dpi=96; desktop=1920x1080; win32=
while [ $# -gt 0 ]; do
  case $1 in
    --dpi) dpi=$2; shift 2 ;;
    --desktop) desktop=$2; shift 2 ;;
    --win32) win32=1; shift ;;
    *) break ;;
  esac
done
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=" WINEARCH=win64
# Some kernels (sandboxes among them) run no 32-bit Linux programs, so Wine's 32-bit loader
# cannot start: use the 64-bit one for everything and say which 32-bit runs are skipped.
if [ -x /usr/lib/wine/wine ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  export PATH="$here/wine64-only:$PATH" WINELOADER=/usr/lib/wine/wine64 PONTIRO_NO_WIN32=1
  if [ -n "$win32" ]; then
    echo "with-wine: skipped: this machine's kernel runs no 32-bit programs, so Wine cannot run the 32-bit tool"
    exit 77
  fi
fi
xvfb_pid=
fdfile=$(mktemp)
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" >/dev/null 2>&1 || true
  rm -f "$fdfile"
}
trap cleanup EXIT
if [ -n "${USE_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ]; then
  : # the caller's own display
else
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.05; done
  [ -s "$fdfile" ] || { echo "with-wine: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$fdfile")"
fi
"$here/wine-prefix.sh" "$prefix"
# The display settings of this run: one registry import, and only when they differ from the
# last run's. The desktop (explorer) starts with the first wine command at the size the
# registry holds then, so the server is restarted after a change.
if [ "$(cat "$prefix/.pontiro-display" 2>/dev/null)" != "$dpi $desktop" ]; then
  python3 "$here/prefix-registry.py" --display "$dpi" "$desktop" >"$prefix/drive_c/pontiro-display.reg"
  wine regedit /S 'C:\pontiro-display.reg' >/dev/null 2>&1
  wineserver -k >/dev/null 2>&1 || true
  echo "$dpi $desktop" >"$prefix/.pontiro-display"
fi
# The stand-in CAD registers itself inside this prefix, from wherever this tree was built;
# once, unless its registration is gone (a test unregisters it, or ended while the stand-in
# answered to another class name only) or points elsewhere.
if [ -n "${STANDIN_EXE:-}" ]; then
  server=$(printf '@="\\"Z:%s\\""' "$STANDIN_EXE" | sed 's|/|\\\\|g')
  { grep -qiF "$server" "$prefix/system.reg" && grep -qF '[Software\\Classes\\AutoCAD.Application\\CLSID]' "$prefix/system.reg"; } ||
    wine "$STANDIN_EXE" --register >/dev/null 2>&1
fi
"$@"
