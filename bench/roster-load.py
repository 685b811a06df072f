#!/usr/bin/env python3
"""The start dialog's load with a roster of 10,000 players beside the same folder without
a roster, on the real quorvel.exe under Wine (dist/quorvel/), and the program's memory
with each, with the window manager of the end-to-end tests.

    python3 bench/roster-load.py [rounds]

Needs the Windows build (scripts/build.sh windows). Each round starts the program once
without Players.csv and once with a roster of 10,000 players (every one with a country,
a colour and a portrait), in alternating order, with a wineserver kept running, and
measures from the `wine` command to the start dialog painted (see bench/startup.py);
the load reads every file, the roster among them, before the dialog is shown. Memory is
the resident set (VmRSS) and the private bytes written (Private_Dirty, from
/proc/PID/smaps_rollup) of the quorvel.exe process once the dialog is painted. Medians
over the rounds.
"""
import statistics
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import harness  # noqa: E402
from startup import ROOT_COLOUR, start_up  # noqa: E402
from xscreen import XScreen  # noqa: E402

PLAYERS = 10000
COLOURS = ["Gold", "Red", "Blue", "Green", "Orange", "SkyBlue", "Purple", "Pink", "Dark", "White"]
SETS = ["P1", "P2", "Origin"]


def write_roster(folder):
    countries = (folder / "C_English.dat").read_bytes().decode("utf-8").split("\r\n")[:-1]
    lines = ["name;country;colour;portrait"]
    for i in range(PLAYERS):
        lines.append(f"Player {i:05d} Tester;{countries[i % len(countries)]};{COLOURS[i % 10]};"
                     f"{SETS[i % 3]}/{i % 13}")
    (folder / "Players.csv").write_bytes(("\r\n".join(lines) + "\r\n").encode("utf-8"))


def without_roster(folder):
    (folder / "Players.csv").unlink(missing_ok=True)


def memory_kb(program):
    """VmRSS and Private_Dirty of the program's quorvel.exe process, in KB."""
    for proc in Path("/proc").iterdir():
        try:
            if proc.name.isdigit() and Path(proc, "cwd").resolve() == program.folder.resolve() and \
                    b"quorvel.exe" in Path(proc, "cmdline").read_bytes():
                status = Path(proc, "status").read_text()
                rollup = Path(proc, "smaps_rollup").read_text()
                value = lambda text, key: int(next(l for l in text.splitlines() if l.startswith(key)).split()[1])
                return value(status, "VmRSS:"), value(rollup, "Private_Dirty:")
        except (OSError, StopIteration):
            continue
    raise AssertionError("the quorvel.exe process was not found")


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 7
    results = {"none": [], "roster": []}
    with harness.VirtualDisplay() as display, XScreen(display.number) as screen:
        display.set_root_colour(ROOT_COLOUR)
        harness.ensure_wine_prefix(display)
        subprocess.run(["wineserver", "-p"], env=display.env, check=False, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        display.run(["wine", str(harness.WINDOWS_BUILD / "quorvel_wintool.exe"), "list"], timeout=120)
        for n in range(rounds):
            order = ("none", "roster") if n % 2 == 0 else ("roster", "none")
            for kind in order:
                change = write_roster if kind == "roster" else without_roster
                program, _, painted = start_up(display, screen, "quorvel.exe", harness.TITLE, True, change)
                results[kind].append((painted, *memory_kb(program)))
                program.__exit__(None, None, None)
        subprocess.run(["wineserver", "-k"], env=display.env, check=False, timeout=60)

    def median(kind, index):
        return statistics.median(r[index] for r in results[kind])

    print(f"{rounds} rounds, medians; wineserver running")
    for kind, label in (("none", "no Players.csv"), ("roster", f"{PLAYERS} players")):
        print(f"  {label:15} start dialog painted {median(kind, 0) * 1000:6.0f} ms   "
              f"VmRSS {median(kind, 1) / 1024:6.1f} MB   Private_Dirty {median(kind, 2) / 1024:6.1f} MB")
    print(f"  ratio {median('roster', 0) / median('none', 0):.3f}")
    print("every round (painted, ms):")
    for kind, rows in results.items():
        print(f"  {kind:7}" + " ".join(f"{r[0] * 1000:6.0f}" for r in rows))


if __name__ == "__main__":
    main()
