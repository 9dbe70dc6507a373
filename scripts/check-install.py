#!/usr/bin/env python3
"""Proves that scripts/install-deps.sh alone sets up a bare Debian machine for this project.

Every file and command the project reads from the system is resolved to the package that
owns it (dpkg -S); that package must be listed in install-deps.sh or be pulled in by a
listed one through hard dependencies (Depends / Pre-Depends, never Recommends), or be
essential. A machine that happens to have a package from an earlier install passes the
build but hides a missing install step; this check fails on it instead.
Usage: check-install.py  (exit 0 when everything is covered, 1 with the reasons)"""
import glob
import os
import re
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# What the project uses that no script names by an absolute path.
COMMANDS = ["cmake", "ctest", "make", "g++", "clang++", "ld.lld", "timeout", "wine", "wineserver",
            "Xvfb", "x86_64-w64-mingw32-g++-posix", "i686-w64-mingw32-g++-posix",
            "x86_64-w64-mingw32-windres", "i686-w64-mingw32-windres"]
FILES = [
    "/usr/bin/python3",                                     # Debian's, whatever else is on PATH
    "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc",      # Chinese text in every window
    "/usr/lib/wine/wine",                                   # the 32-bit tool through WoW64
    "/usr/src/googletest/googletest/src/gtest-all.cc",      # GoogleTest for the Windows test programs
    "/usr/lib/x86_64-linux-gnu/cmake/GTest/GTestConfig.cmake",
    "/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a",  # the fuzz target
    # Wine's X11 driver loads these itself; without them it draws and reports the screen
    # differently from the machines the tests were written on.
    "/usr/lib/x86_64-linux-gnu/libXrender.so.1", "/usr/lib/x86_64-linux-gnu/libXrandr.so.2",
    "/usr/lib/x86_64-linux-gnu/libXi.so.6", "/usr/lib/x86_64-linux-gnu/libXcursor.so.1",
    "/usr/lib/x86_64-linux-gnu/libXinerama.so.1", "/usr/lib/x86_64-linux-gnu/libXcomposite.so.1",
    "/usr/lib/x86_64-linux-gnu/libXfixes.so.3",
]
SCANNED = ["run", "test", "scripts", "tests", "bench", "cmake", "CMakeLists.txt"]


def listed_packages():
    text = open(os.path.join(ROOT, "scripts/install-deps.sh"), encoding="utf-8").read()
    body = re.search(r"packages=\(([^)]*)\)", text, re.S).group(1)
    return [w for w in body.split() if not w.startswith("#")]


def paths_in_scripts():
    """Absolute system paths the project's own files name (globs kept as written)."""
    found = set()
    for name in SCANNED:
        top = os.path.join(ROOT, name)
        files = [top] if os.path.isfile(top) else [os.path.join(d, f) for d, _, fs in os.walk(top) for f in fs]
        for path in files:
            if path == os.path.abspath(__file__) or not re.search(r"\.(sh|py|cmake|txt|cpp)$|/(run|test)$", path):
                continue
            for line in open(path, encoding="utf-8", errors="replace"):
                if line.startswith("#!"):
                    continue
                found.update(m.rstrip(".,;:") for m in re.findall(r"/usr/(?:bin|lib|share|src)/[\w./*+-]+", line))
    return found


def installed():
    """{name: (depends, provides, essential)} for every installed package, any architecture."""
    out = subprocess.run(["dpkg-query", "-W", "-f",
                          "${Package}\t${db:Status-Abbrev}\t${Depends}, ${Pre-Depends}\t${Provides}\t${Essential}\n"],
                         capture_output=True, text=True, check=True).stdout
    packages, providers = {}, {}
    for line in out.splitlines():
        name, status, depends, provides, essential = line.split("\t")
        if not status.startswith("ii"):
            continue
        groups = [[re.split(r"[\s(:]", alt.strip())[0] for alt in g.split("|")] for g in depends.split(",") if g.strip()]
        packages[name] = (groups, essential == "yes")
        for p in provides.split(","):
            if p.strip():
                providers.setdefault(re.split(r"[\s(]", p.strip())[0], set()).add(name)
    return packages, providers


def closure(roots, packages, providers):
    """Every package a fresh install of `roots` brings: hard dependencies only."""
    seen, todo = set(), list(roots) + [n for n, (_, essential) in packages.items() if essential]
    while todo:
        name = todo.pop()
        if name in seen:
            continue
        seen.add(name)
        for group in packages.get(name, ([], False))[0]:
            # The first alternative installed here stands for the group, as apt would choose.
            for alt in group:
                candidates = [alt] if alt in packages else sorted(providers.get(alt, ()))
                if candidates:
                    todo.append(candidates[0])
                    break
    return seen


def owner(path):
    for candidate in (path, re.sub(r"^/usr(/(bin|sbin|lib))", r"\1", path)):
        run = subprocess.run(["dpkg", "-S", candidate], capture_output=True, text=True)
        for line in run.stdout.splitlines():
            if not line.startswith("diversion"):
                return line.split(":")[0].split(",")[0].strip()
    return None


def main():
    listed = [p.split(":")[0] for p in listed_packages()]
    packages, providers = installed()
    covered = closure(listed, packages, providers)
    problems, checked = [], 0
    needed = [(f, "named in the project's files") for f in sorted(paths_in_scripts())]
    needed += [(f, "used by the build or the tests") for f in FILES]
    for command in COMMANDS:
        where = shutil.which(command)
        if not where:
            problems.append(f"command {command}: not found (install-deps.sh installs nothing that provides it)")
            continue
        needed.append((os.path.realpath(where), f"command {command}"))
    for pattern, why in needed:
        matches = sorted(glob.glob(pattern))
        if not matches:
            problems.append(f"{pattern} ({why}): missing (after scripts/install-deps.sh ran, that means it installs nothing that provides it)")
            continue
        for path in matches[:1] if "*" in pattern else matches:
            checked += 1
            package = owner(os.path.realpath(path))
            if package is None:
                problems.append(f"{path} ({why}): no package owns it (installed by hand?)")
            elif package not in covered:
                problems.append(f"{path} ({why}): comes from {package}, which install-deps.sh neither lists "
                                f"nor brings in as a hard dependency (a recommendation is not installed)")
    for problem in problems:
        print(f"check-install: {problem}")
    print(f"check-install: {checked} files from {len(listed)} listed packages; "
          f"{'all covered' if not problems else f'{len(problems)} not covered'}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
