#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
# wine32:i386 lets the win64 test prefix run the 32-bit tool too (WoW64); it needs the i386
# architecture, which is added once.
set -euo pipefail
# Installed without recommended packages, so what Wine only recommends and the project uses is
# listed here: its own fonts (copied into the prefix) and the X libraries its display driver
# loads. scripts/check-install.py proves the list covers every file the project reads.
packages=(cmake make g++ googletest libgtest-dev clang lld libclang-rt-14-dev
          g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 wine32:i386
          fonts-wine libxrender1 libxrandr2 libxi6 libxcursor1 libxinerama1 libxcomposite1 libxfixes3
          xvfb fonts-wqy-microhei imagemagick python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
