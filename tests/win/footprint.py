#!/usr/bin/env python3
"""Footprint of the shipped tools: each imports only Windows' own DLLs (no C++ or threads
runtime to ship beside it) and stays under 1 MiB; then, under Wine, each is started once
beside the bare one-window program and both working sets after start-up are printed.
Runs inside scripts/with-wine.sh. Usage: footprint.py OUT_DIR BENCH_DIR TOOL.exe...
Prints one line per check, a table, and "N passed, M failed" last."""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import package  # noqa: E402  (the PE reader and the list of Windows' own DLLs)

out, bench, tools = sys.argv[1], sys.argv[2], sys.argv[3:]
os.makedirs(out, exist_ok=True)
passed = failed = 0
LIMIT = 1024 * 1024


def check(name, ok, detail=""):
    global passed, failed
    passed, failed = passed + ok, failed + (not ok)
    print(f"{'ok  ' if ok else 'FAIL'} {name}{'' if ok else ': ' + str(detail)}", flush=True)


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


rows = []
for index, tool in enumerate(tools):
    with open(tool, "rb") as f:
        data = f.read()
    machine, _, dlls = package.pe_image(data)
    arch = package.MACHINE_NAME.get(machine, hex(machine))
    foreign = sorted(set(dlls) - package.SYSTEM_DLLS)
    check(f"{arch}: imports only Windows' own DLLs {sorted(dlls)}", dlls and not foreign, foreign)
    check(f"{arch}: {len(data)} bytes, under 1 MiB", len(data) < LIMIT, len(data))
    if arch == "i386" and os.environ.get("PONTIRO_NO_WIN32"):
        print("skipped: x86 start-up (this machine runs no 32-bit programs)")
        continue
    # One warm-up start each, then one measured start of each program.
    log = os.path.join(out, f"startup-{index}.log")
    with open(log, "w") as f:
        code = subprocess.run(["wine", os.path.join(bench, "startup_bench.exe"), "1", winpath(tool),
                               winpath(os.path.join(bench, "bare_window.exe"))],
                              stdout=f, stderr=subprocess.STDOUT, timeout=300).returncode
    with open(log, encoding="utf-8", errors="replace") as f:
        text = f.read()
    sets = dict(re.findall(r"median (\w+) ready +[\d.]+ ms +working set +([\d.]+) MiB", text))
    check(f"{arch}: started and became ready beside the bare program", code == 0 and len(sets) == 2, text.strip())
    rows.append((arch, len(data), sets.get("tool", "?"), sets.get("bare", "?")))

print("\n| build | .exe size | working set after start-up | bare one-window program (x64) |")
print("|---|---|---|---|")
for arch, size, tool_ws, bare_ws in rows:
    print(f"| {arch} | {size / 1024:.0f} KiB | {tool_ws} MiB | {bare_ws} MiB |")
print(f"\n{passed} passed, {failed} failed")
sys.exit(0 if failed == 0 and passed > 0 else 1)
