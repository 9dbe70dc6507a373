# Shared by pick_test.py and soak_test.py (both run inside scripts/with-wine.sh, arguments
# WIN_BUILD_DIR OUT_DIR first): paths, the stand-in's configuration and journal.
import json
import os
import subprocess
import sys

UNKNOWN = ("错误", "未知错误！")
WIN_BUILD, OUT = (os.path.abspath(p) for p in sys.argv[1:3])
DRIVER = f"{WIN_BUILD}/tests/win/driver.exe"
TOOL = os.environ.get("PONTIRO_EXE") or f"{WIN_BUILD}/src/pontiro.exe"  # or the 32-bit build's
STANDIN = f"{WIN_BUILD}/standin/cadstandin.exe"
# A CAD that COM starts reads its configuration from here, not from its environment.
DATA = os.path.join(os.environ["WINEPREFIX"], "drive_c/ProgramData/PontiroStandin")
os.makedirs(OUT, exist_ok=True)
os.makedirs(DATA, exist_ok=True)


def winpath(path):
    return "Z:" + path.replace("/", "\\")


def kill_wine(unconfigure=False):
    # Every case starts with no tool and no CAD running; the last leaves no configuration for other tests.
    for flag in ("-k", "-w"):
        subprocess.run(["wineserver", flag], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
    if unconfigure and os.path.exists(f"{DATA}/config.ini"):
        os.remove(f"{DATA}/config.ini")


def write_config(path, name, answers, extra=()):
    # A stand-in configuration for case `name`: its answer script and a fresh journal.
    journal, script = f"{OUT}/{name}.journal.jsonl", f"{OUT}/{name}.answers.txt"
    if os.path.exists(journal):
        os.remove(journal)
    with open(script, "w") as f:
        f.write("\n".join(answers or []) + "\n")
    lines = [f"journal = {winpath(journal)}", *extra] + ([f"script = {winpath(script)}"] if answers is not None else [])
    with open(path, "w", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")
    return journal


def configure(name, answers, extra=()):
    return write_config(f"{DATA}/config.ini", name, answers, extra)


def journal_of(path):
    # (calls, events) of a journal; empty when there is none.
    if not os.path.exists(path):
        return [], []
    with open(path, encoding="utf-8") as f:
        entries = [json.loads(line) for line in f]
    return [e for e in entries if "event" not in e], [e for e in entries if "event" in e]


def run_pick(origin, nodes, end="enter"):
    # Answers for one initialise (origin) and one pick-nodes run.
    return [f"point {' '.join(map(str, p))}" for p in [origin, *nodes]] + [end]
