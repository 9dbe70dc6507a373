"""Helpers shared by the Wine tests that drive the tool against the stand-in CAD
(pick_test.py, fault_sweep.py, soak_test.py): the stand-in's configuration and answer
script, one driver session, the journal, and the pass/fail tally. Call setup() first."""
import json
import os
import subprocess
import types

UNKNOWN = {"caption": "错误", "text": "未知错误！"}
env = types.SimpleNamespace()
tally = {"passed": 0, "failed": 0}


def setup(win_build, out):
    """Paths of one run; returns them (win_build, out, driver, tool, standin, data)."""
    env.win_build, env.out = os.path.abspath(win_build), os.path.abspath(out)
    os.makedirs(env.out, exist_ok=True)
    env.driver = f"{env.win_build}/tests/win/driver.exe"
    # PONTIRO_EXE runs the same cases against another build of the tool (the 32-bit one).
    env.tool = os.environ.get("PONTIRO_EXE") or f"{env.win_build}/src/pontiro.exe"
    env.standin = f"{env.win_build}/standin/cadstandin.exe"
    env.data = os.path.join(os.environ["WINEPREFIX"], "drive_c/ProgramData/PontiroStandin")
    return env


def winpath(path):
    return "Z:" + path.replace("/", "\\")


def check(name, ok, detail=""):
    tally["passed" if ok else "failed"] += 1
    print(f"ok   {name}" if ok else f"FAIL {name}: {detail}", flush=True)
    return ok


def equal(name, got, expected):
    return check(name, got == expected, f"got {got!r}, expected {expected!r}")


def summary():
    """Prints "N passed, M failed"; the exit code."""
    print(f"{tally['passed']} passed, {tally['failed']} failed")
    return 0 if tally["failed"] == 0 and tally["passed"] > 0 else 1


def prompt(k):
    return f"点取第{k}节点(右键或回车结束) "


def kill_wine():
    """Every case starts with no tool and no CAD running."""
    subprocess.run(["wineserver", "-k"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)


def write_config(path, name, answers, extra=()):
    """A stand-in configuration at `path`: answer script and journal of case `name`."""
    journal = f"{env.out}/{name}.journal.jsonl"
    lines = []
    if answers is not None:
        script = f"{env.out}/{name}.answers.txt"
        with open(script, "w") as f:
            f.write("\n".join(answers) + "\n")
        lines.append(f"script = {winpath(script)}")
    lines.append(f"journal = {winpath(journal)}")
    lines += list(extra)
    with open(path, "w", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")
    return journal


def configure(name, answers, extra=()):
    """The configuration every stand-in started from now on reads; returns its journal."""
    os.makedirs(env.data, exist_ok=True)
    journal = f"{env.out}/{name}.journal.jsonl"
    if os.path.exists(journal):
        os.remove(journal)
    return write_config(f"{env.data}/config.ini", name, answers, extra)


def session(name, steps, timeout=300):
    """Plays the steps against a freshly started tool; the driver's result JSON."""
    result = f"{env.out}/{name}.result.json"
    if os.path.exists(result):
        os.remove(result)
    with open(f"{env.out}/{name}.driver.log", "w") as log:
        subprocess.run(["wine", env.driver, "pick-session", winpath(env.tool), winpath(result), *steps],
                       stdout=log, stderr=subprocess.STDOUT, timeout=timeout)
    with open(f"{env.out}/{name}.driver.log", encoding="utf-8", errors="replace") as log:
        for line in log:
            if line.startswith("FAIL"):
                check(f"{name}: driver", False, line.strip())
    try:
        with open(result, encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError) as error:
        check(f"{name}: result written", False, str(error))
        return {"alive": False, "messages": [], "snapshots": []}


def snapshots(result):
    return {s["label"]: s for s in result.get("snapshots", [])}


def journal_of(path):
    """(calls, events) of a journal; empty when there is none."""
    calls, events = [], []
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            for line in f:
                entry = json.loads(line)
                (events if "event" in entry else calls).append(entry)
    return calls, events


def value(arg):
    return arg.get("value")


def of(calls, member, obj=None):
    return [c for c in calls if c["member"] == member and (obj is None or c["object"] == obj)]


def prompts(calls):
    return [value(c["args"][1]) for c in of(calls, "GetPoint")]


def run_pick(init_answers, nodes, end="enter"):
    """Answers for one initialise (origin) and one pick-nodes run."""
    return [f"point {p[0]} {p[1]} {p[2] if len(p) > 2 else 0}" for p in [init_answers] + nodes] + [end]
