#!/usr/bin/env bash
# Configures and builds the trees: build/win (MinGW-w64, 64-bit: the tool, the stand-in CAD,
# the Windows test programs), build/win32 (the 32-bit tool only; the test programs stay
# 64-bit) and build/native (unit tests, fuzz target, the Wine test list).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
cmake -S "$root" -B "$root/build/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build/win" -j "$jobs"
cmake -S "$root" -B "$root/build/win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build/win32" -j "$jobs" --target pontiro
cmake -S "$root" -B "$root/build/native" -DWIN_BUILD_DIR="$root/build/win" -DWIN32_BUILD_DIR="$root/build/win32" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build/native" -j "$jobs"
