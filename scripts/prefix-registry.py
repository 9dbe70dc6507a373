#!/usr/bin/env python3
"""Writes the registry settings of the private Wine prefix as a UTF-16 .reg file on stdout."""
import sys

def multi_sz(*values):
    data = "".join(v + "\0" for v in values) + "\0"
    return "hex(7):" + ",".join(f"{b:02x}" for b in data.encode("utf-16-le"))

link = multi_sz("wqy-microhei.ttc,WenQuanYi Micro Hei")
linked = ["Tahoma", "Tahoma Bold", "MS Shell Dlg", "MS Shell Dlg 2",
          "Microsoft Sans Serif", "MS Sans Serif", "System", "SimSun", "Verdana"]
replaced = ["宋体", "SimSun", "新宋体", "NSimSun", "黑体", "SimHei", "微软雅黑", "Microsoft YaHei"]

lines = ["Windows Registry Editor Version 5.00", ""]
lines += [r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]"]
lines += [f'"{name}"={link}' for name in linked] + [""]
lines += [r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]"]
lines += [f'"{name}"="WenQuanYi Micro Hei"' for name in replaced] + [""]
# A fixed virtual desktop at 0,0: pointer coordinates equal screen coordinates.
lines += [r"[HKEY_CURRENT_USER\Software\Wine\Explorer]", '"Desktop"="Default"', ""]
lines += [r"[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]", '"Default"="1920x1080"', ""]
lines += [r"[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts]",
          '"LogPixels"=dword:00000060', ""]
lines += [r"[HKEY_CURRENT_USER\Software\Wine\WineDbg]", '"ShowCrashDialog"=dword:00000000', ""]
sys.stdout.buffer.write(b"\xff\xfe" + "\r\n".join(lines).encode("utf-16-le"))
