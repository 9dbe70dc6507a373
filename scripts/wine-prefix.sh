#!/usr/bin/env bash
# Creates (once) and prepares the project's private Wine prefix: fonts for Chinese text,
# a fixed 1920x1080 virtual desktop, 96 DPI, no Mono. Usage: wine-prefix.sh PREFIX
# Runs under a display (see with-wine.sh); reuses a prefix that is already prepared.
set -euo pipefail
prefix=$1
here=$(cd "$(dirname "$0")" && pwd)
stamp="$prefix/.pontiro-prefix-v1"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=" WINEARCH=win64
# With wine32 installed the 32-bit tool runs too (WoW64), but only in a prefix made after
# it was installed: an older one has no syswow64 and is made again (where 32-bit programs
# run at all: with-wine.sh sets PONTIRO_NO_WIN32 where they do not).
if [ -f "$stamp" ] && { [ ! -x /usr/lib/wine/wine ] || [ -n "${PONTIRO_NO_WIN32:-}" ] ||
                        [ -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]; }; then
  exit 0
fi
# What the prefix copies or links to, and the Debian package that brings it: a missing one
# stops here with its name instead of a bare copy error half-way.
need() {
  compgen -G "$1" >/dev/null && return 0
  echo "wine-prefix: $1 is missing; install the Debian package $2 (scripts/install-deps.sh lists it)" >&2
  exit 1
}
need '/usr/share/wine/fonts/*.ttf' fonts-wine
need /usr/share/fonts/truetype/wqy/wqy-microhei.ttc fonts-wqy-microhei
echo "wine-prefix: creating $prefix"
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
wine wineboot -i >"$(dirname "$prefix")/wineboot.log" 2>&1
# Debian's Wine does not load its own Tahoma and Marlett from its data folder.
cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/"
reg="$prefix/drive_c/pontiro-prefix.reg"
python3 "$here/prefix-registry.py" >"$reg"
wine regedit /S 'C:\pontiro-prefix.reg' >/dev/null 2>&1
wineserver -w   # registry written to disk before the stamp says ready
# regedit says nothing when it fails: the prefix is ready only if the font links landed.
if ! grep -q 'WenQuanYi Micro Hei' "$prefix/system.reg"; then
  echo "wine-prefix: the registry settings did not reach $prefix/system.reg (see $reg)" >&2
  exit 1
fi
echo "96 1920x1080" >"$prefix/.pontiro-display"
touch "$stamp"
