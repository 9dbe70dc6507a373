#!/usr/bin/env python3
"""The release package: made from the real builds it passes its own check and comes out
byte-identical twice; packages with the usual packaging mistakes fail the check, saying
what is wrong. Usage: package_test.py WIN64_EXE WIN32_EXE OUT_DIR
Prints one line per check and "N passed, M failed" last."""
import os
import struct
import sys
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import package  # noqa: E402

exe64, exe32, out = sys.argv[1:4]
os.makedirs(out, exist_ok=True)
passed = failed = 0


def check(name, ok, detail=""):
    global passed, failed
    passed, failed = passed + ok, failed + (not ok)
    print(f"{'ok  ' if ok else 'FAIL'} {name}{'' if ok else ': ' + str(detail)}")


good = os.path.join(out, "pontiro.zip")
package.build(good, exe64, exe32)
problems = package.check(good)
check("the real package passes its check", problems == [], problems)
again = os.path.join(out, "again.zip")
package.build(again, exe64, exe32)
with open(good, "rb") as a, open(again, "rb") as b:
    check("packing twice gives the same bytes", a.read() == b.read())
with zipfile.ZipFile(good) as z:
    entries = {name: z.read(name) for name in z.namelist()}
    with open(exe32, "rb") as f:
        check("pontiro.exe is the 32-bit build", entries.get(package.EXE32) == f.read())
    readme = entries.get("README-zh.txt", b"").decode("utf-8-sig", "replace")
    check("the Chinese read-me names both buttons", "初始化原点" in readme and "点取节点" in readme)


def broken(name, change, expected):
    """A copy of the good package changed one way must fail, naming the fault."""
    altered = dict(entries)
    change(altered)
    path = os.path.join(out, f"broken-{name}.zip")
    with zipfile.ZipFile(path, "w") as z:
        for entry in sorted(altered):
            z.writestr(entry, altered[entry])
    problems = package.check(path)
    check(f"caught: {name}", any(expected in p for p in problems), problems)


def swap(e):
    e[package.EXE32], e[package.EXE64] = e[package.EXE64], e[package.EXE32]


broken("exes swapped", swap, "pontiro.exe: machine x64, expected i386")
broken("read-me without BOM", lambda e: e.update({"README-en.txt": e["README-en.txt"][3:]}), "no UTF-8 BOM")
broken("read-me with Unix line ends",
       lambda e: e.update({"README-zh.txt": e["README-zh.txt"].replace(b"\r\n", b"\n")}), "CRLF")
broken("read-me in GBK", lambda e: e.update({"README-zh.txt": package.BOM + "截面\r\n".encode("gbk")}), "not UTF-8")
broken("a DLL that Windows does not have",
       lambda e: e.update({package.EXE64: e[package.EXE64].replace(b"OLEAUT32.dll", b"OLEAUTXX.dll")}), "oleautxx.dll")


def console(e):
    image = bytearray(e[package.EXE32])
    subsystem = struct.unpack_from("<I", image, 0x3C)[0] + 24 + 68
    struct.pack_into("<H", image, subsystem, 3)  # IMAGE_SUBSYSTEM_WINDOWS_CUI
    e[package.EXE32] = bytes(image)


broken("console program", console, "pontiro.exe: subsystem 3")
broken("licence left out", lambda e: e.pop(package.LICENCE), "entries")
print(f"{passed} passed, {failed} failed")
sys.exit(0 if failed == 0 else 1)
