#!/usr/bin/env python3
"""Writes the registry settings of the private Wine prefix as a UTF-16 .reg file on stdout:
all of them, or with --display DPI WxH only those of one run's display."""
import sys

def multi_sz(*values):
    data = "".join(v + "\0" for v in values) + "\0"
    return "hex(7):" + ",".join(f"{b:02x}" for b in data.encode("utf-16-le"))

link = multi_sz("wqy-microhei.ttc,WenQuanYi Micro Hei")
linked = ["Tahoma", "Tahoma Bold", "MS Shell Dlg", "MS Shell Dlg 2",
          "Microsoft Sans Serif", "MS Sans Serif", "System", "SimSun", "Verdana"]
replaced = ["宋体", "SimSun", "新宋体", "NSimSun", "黑体", "SimHei", "微软雅黑", "Microsoft YaHei"]

dpi, desktop = (int(sys.argv[2]), sys.argv[3]) if sys.argv[1:2] == ["--display"] else (96, "1920x1080")
display = [r"[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]", f'"Default"="{desktop}"', "",
           r"[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts]",
           f'"LogPixels"=dword:{dpi:08x}', ""]
lines = ["Windows Registry Editor Version 5.00", ""]
if sys.argv[1:2] == ["--display"]:
    sys.stdout.buffer.write(b"\xff\xfe" + "\r\n".join(lines + display).encode("utf-16-le"))
    sys.exit(0)
lines += [r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]"]
lines += [f'"{name}"={link}' for name in linked] + [""]
lines += [r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]"]
lines += [f'"{name}"="WenQuanYi Micro Hei"' for name in replaced] + [""]
# A fixed virtual desktop at 0,0: pointer coordinates equal screen coordinates.
lines += [r"[HKEY_CURRENT_USER\Software\Wine\Explorer]", '"Desktop"="Default"', ""] + display
lines += [r"[HKEY_CURRENT_USER\Software\Wine\WineDbg]", '"ShowCrashDialog"=dword:00000000', ""]
sys.stdout.buffer.write(b"\xff\xfe" + "\r\n".join(lines).encode("utf-16-le"))
