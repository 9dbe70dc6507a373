#!/usr/bin/env python3
# The release package: made from the real builds it passes its own check and comes out
# byte-identical twice; copies with the usual packaging mistakes fail the check, saying what
# is wrong. Usage: package_test.py WIN64_EXE WIN32_EXE OUT_DIR
import os
import struct
import sys
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import package  # noqa: E402

EXE64, EXE32, OUT = sys.argv[1:4]


def console(e):
    image = bytearray(e[package.EXE64])
    struct.pack_into("<H", image, struct.unpack_from("<I", image, 0x3C)[0] + 24 + 68, 3)  # IMAGE_SUBSYSTEM_WINDOWS_CUI
    e[package.EXE64] = bytes(image)


BROKEN = {  # mistake: (change to the entries, what the check must say)
    "exes swapped": (lambda e: e.update({package.EXE32: e[package.EXE64], package.EXE64: e[package.EXE32]}),
                     "pontiro.exe: machine i386, expected x64"),
    "read-me without BOM": (lambda e: e.update({"README-en.txt": e["README-en.txt"][3:]}), "no UTF-8 BOM"),
    "read-me with Unix line ends": (lambda e: e.update({"README-zh.txt": e["README-zh.txt"].replace(b"\r\n", b"\n")}),
                                    "CRLF"),
    "read-me in GBK": (lambda e: e.update({"README-zh.txt": package.BOM + "截面\r\n".encode("gbk")}), "not UTF-8"),
    "a DLL Windows lacks": (lambda e: e.update({package.EXE64: e[package.EXE64].replace(b"OLEAUT32", b"OLEAUTXX")}),
                            "oleautxx.dll"),
    "console program": (console, "pontiro.exe: subsystem 3"),
    "licence left out": (lambda e: e.pop(package.LICENCE), "entries"),
}


class Package(unittest.TestCase):
    def test_package(self):
        os.makedirs(OUT, exist_ok=True)
        good, again = f"{OUT}/pontiro.zip", f"{OUT}/again.zip"
        package.build(good, EXE64, EXE32)
        package.build(again, EXE64, EXE32)
        self.assertEqual(package.check(good), [])
        with open(good, "rb") as a, open(again, "rb") as b, open(EXE64, "rb") as exe64, zipfile.ZipFile(good) as z:
            self.assertEqual(a.read(), b.read(), "packing twice gives the same bytes")
            entries = {name: z.read(name) for name in z.namelist()}
            self.assertEqual(entries[package.EXE64], exe64.read(), "pontiro.exe is the 64-bit build")
        readme = entries["README-zh.txt"].decode("utf-8-sig")
        self.assertTrue("初始化原点" in readme and "点取节点" in readme, "the Chinese read-me names both buttons")
        needed = ["x86\\pontiro.exe", "--cad-class", "pontiro.ini", "--reset", "Pontiro\\Section", "FEATURE_BROWSER_EMULATION"]
        for name in package.READMES:  # each tells the layout, the options and what is written under HKCU
            self.assertEqual([n for n in needed if n not in entries[name].decode("utf-8-sig")], [], name)
        for mistake, (change, said) in BROKEN.items():
            with self.subTest(mistake):
                altered = dict(entries)
                change(altered)
                with zipfile.ZipFile(f"{OUT}/broken.zip", "w") as z:
                    for name in sorted(altered):
                        z.writestr(name, altered[name])
                problems = package.check(f"{OUT}/broken.zip")
                self.assertTrue(any(said in p for p in problems), problems)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
