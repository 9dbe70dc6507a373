#!/usr/bin/env python3
"""Release package: the 64-bit and 32-bit tool, the read-mes for Windows users and the
licence in one zip, then the zip is checked (see check()). The zip is deterministic: fixed
timestamps and modes, sorted entries, so the same builds give the same bytes.

Usage: package.py OUT.zip WIN64_EXE WIN32_EXE   builds OUT.zip and checks it
       package.py --check ZIP                   checks an existing zip
Exits 1 and says what is wrong when the check fails."""
import io
import os
import struct
import sys
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The plain name is the build every test runs, for the 64-bit Windows nearly every user has;
# the 32-bit build is there for 32-bit Windows.
EXE64, EXE32 = "pontiro.exe", "x86/pontiro.exe"
READMES = ["README-en.txt", "README-zh.txt"]
LICENCE = "LICENSE.txt"
MACHINE = {EXE64: 0x8664, EXE32: 0x014C}  # IMAGE_FILE_MACHINE_AMD64, _I386
MACHINE_NAME = {0x014C: "i386", 0x8664: "x64"}
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "ole32.dll", "oleaut32.dll", "comctl32.dll",
               "shell32.dll", "advapi32.dll", "msvcrt.dll"}
STAMP = (2026, 1, 1, 0, 0, 0)
BOM = b"\xef\xbb\xbf"


def windows_text(path):
    """UTF-8 with a BOM and CRLF line ends, which every Notepad shows right."""
    with open(path, encoding="utf-8-sig") as f:
        text = f.read()
    return BOM + text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")


def build(out, exe64, exe32):
    with open(exe32, "rb") as f32, open(exe64, "rb") as f64:
        entries = {EXE32: f32.read(), EXE64: f64.read()}
    for name in READMES:
        entries[name] = windows_text(os.path.join(ROOT, "packaging", name))
    entries[LICENCE] = windows_text(os.path.join(ROOT, "LICENSE"))
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for name in sorted(entries):
            info = zipfile.ZipInfo(name, STAMP)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS: no Unix modes to differ between machines
            info.external_attr = 0x20  # FILE_ATTRIBUTE_ARCHIVE
            z.writestr(info, entries[name])
    with open(out, "wb") as f:
        f.write(buffer.getvalue())


def pe_image(data):
    """Machine, subsystem and imported DLL names (lower case) of a PE image."""
    if data[:2] != b"MZ":
        raise ValueError("no MZ header")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    subsystem = struct.unpack_from("<H", data, opt + 68)[0]
    directories = opt + (96 if magic == 0x10B else 112)
    import_rva = struct.unpack_from("<I", data, directories + 8)[0]
    table = opt + optional_size
    spans = [struct.unpack_from("<IIII", data, table + 40 * i + 8) for i in range(sections)]

    def offset(rva):
        for size, address, raw_size, raw in spans:
            if address <= rva < address + max(size, raw_size):
                return rva - address + raw
        raise ValueError(f"RVA {rva:#x} outside the sections")

    dlls = []
    at = offset(import_rva) if import_rva else None
    while at is not None:
        name_rva = struct.unpack_from("<I", data, at + 12)[0]
        if name_rva == 0:
            break
        start = offset(name_rva)
        dlls.append(data[start:data.index(b"\0", start)].decode("ascii").lower())
        at += 20
    return machine, subsystem, dlls


def check(path):
    """Problems with a package, none when it is right."""
    problems = []
    with zipfile.ZipFile(path) as z:
        names = z.namelist()
        expected = sorted([EXE32, EXE64, LICENCE] + READMES)
        if names != expected:
            return [f"entries {names}, expected {expected}"]
        for name in READMES + [LICENCE]:
            data = z.read(name)
            if not data.startswith(BOM):
                problems.append(f"{name}: no UTF-8 BOM")
            try:
                data.decode("utf-8")
            except UnicodeDecodeError as error:
                problems.append(f"{name}: not UTF-8 ({error})")
            if data.count(b"\n") == 0 or data.count(b"\n") != data.count(b"\r\n"):
                problems.append(f"{name}: line ends are not all CRLF")
        for name, wanted in MACHINE.items():
            try:
                machine, subsystem, dlls = pe_image(z.read(name))
            except (ValueError, struct.error) as error:
                problems.append(f"{name}: not a PE image ({error})")
                continue
            if machine != wanted:
                problems.append(f"{name}: machine {MACHINE_NAME.get(machine, hex(machine))}, "
                                f"expected {MACHINE_NAME[wanted]}")
            if subsystem != 2:  # IMAGE_SUBSYSTEM_WINDOWS_GUI
                problems.append(f"{name}: subsystem {subsystem}, expected a GUI program")
            foreign = sorted(set(dlls) - SYSTEM_DLLS)
            if not dlls or foreign:
                problems.append(f"{name}: imports {foreign or 'nothing'} beyond Windows' own DLLs")
    return problems


def main(argv):
    if len(argv) == 3 and argv[1] == "--check":
        zip_path = argv[2]
    elif len(argv) == 4:
        zip_path = argv[1]
        build(zip_path, argv[2], argv[3])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    problems = check(zip_path)
    for problem in problems:
        print(f"package: {problem}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
