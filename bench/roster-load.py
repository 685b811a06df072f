#!/usr/bin/env python3
"""The start dialog's load with a roster of 10,000 players beside the same folder without
a roster, on the real quorvel.exe under Wine (dist/quorvel/), and the program's memory
with each, with the window manager of the end-to-end tests.

    python3 bench/roster-load.py [rounds] [--schedule]

Needs the Windows build (scripts/build.sh windows). Each round starts the program once
without Players.csv and once with a roster of 10,000 players (every one with a country,
a colour and a portrait), in alternating order, with a wineserver kept running, and
measures from the `wine` command to the start dialog painted (see bench/startup.py), and
the CPU time the quorvel.exe process has used by then (/proc/PID/schedstat, which the
other programs of a busy machine disturb far less than the wall clock); the load reads
every file, the roster among them, before the dialog is shown. With --schedule the
roster comes with a schedule of 1,000 matches between its players (Matches.csv), read
with it, and half of them with a result of the last hour in Results.csv. Memory is
the resident set (VmRSS) and the private bytes written (Private_Dirty, from
/proc/PID/smaps_rollup) of the quorvel.exe process once the dialog is painted. Medians
over the rounds.
"""
import statistics
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import harness  # noqa: E402
from startup import ROOT_COLOUR, start_up  # noqa: E402
from xscreen import XScreen  # noqa: E402

PLAYERS = 10000
MATCHES = 1000
COLOURS = ["Gold", "Red", "Blue", "Green", "Orange", "SkyBlue", "Purple", "Pink", "Dark", "White"]
SETS = ["P1", "P2", "Origin"]


def write_roster(folder):
    countries = (folder / "C_English.dat").read_bytes().decode("utf-8").split("\r\n")[:-1]
    lines = ["name;country;colour;portrait"]
    for i in range(PLAYERS):
        lines.append(f"Player {i:05d} Tester;{countries[i % len(countries)]};{COLOURS[i % 10]};"
                     f"{SETS[i % 3]}/{i % 13}")
    (folder / "Players.csv").write_bytes(("\r\n".join(lines) + "\r\n").encode("utf-8"))


def write_day(folder):
    """The roster, 1,000 matches between its players and the results of the first 500."""
    write_roster(folder)
    rows = ["player1;player2;series;round;time"]
    results = ["ended,match,round,series,player1,player2,score1,score2,winner"]
    ended = time.strftime("%Y-%m-%dT%H:%M:%S+00:00", time.gmtime(time.time() - 3600))
    for i in range(MATCHES):
        one, two = f"Player {i * 7 % PLAYERS:05d} Tester", f"Player {(i * 7 + 3) % PLAYERS:05d} Tester"
        rows.append(f"{one};{two};Best of 3;Round {i // 8 + 1};{10 + i // 60}:{i % 60:02d}")
        if i < MATCHES // 2:
            results.append(f"{ended},{i + 1},Round {i // 8 + 1},Best of 3,{one},{two},2,1,{one}")
    (folder / "Matches.csv").write_bytes(("\r\n".join(rows) + "\r\n").encode("utf-8"))
    (folder / "Results.csv").write_bytes(("\r\n".join(results) + "\r\n").encode("utf-8"))


def without_roster(folder):
    for name in ("Players.csv", "Matches.csv", "Results.csv"):
        (folder / name).unlink(missing_ok=True)


def usage(program):
    """CPU seconds, VmRSS and Private_Dirty (KB) of the program's quorvel.exe process."""
    for proc in Path("/proc").iterdir():
        try:
            if proc.name.isdigit() and Path(proc, "cwd").resolve() == program.folder.resolve() and \
                    b"quorvel.exe" in Path(proc, "cmdline").read_bytes():
                status = Path(proc, "status").read_text()
                rollup = Path(proc, "smaps_rollup").read_text()
                value = lambda text, key: int(next(l for l in text.splitlines() if l.startswith(key)).split()[1])
                cpu = int(Path(proc, "schedstat").read_text().split()[0]) / 1e9
                return cpu, value(status, "VmRSS:"), value(rollup, "Private_Dirty:")
        except (OSError, StopIteration):
            continue
    raise AssertionError("the quorvel.exe process was not found")


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 and sys.argv[1].isdigit() else 7
    day = "--schedule" in sys.argv
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
                change = (write_day if day else write_roster) if kind == "roster" else without_roster
                program, _, painted = start_up(display, screen, "quorvel.exe", harness.TITLE, True, change)
                results[kind].append((painted, *usage(program)))
                program.__exit__(None, None, None)
        subprocess.run(["wineserver", "-k"], env=display.env, check=False, timeout=60)

    def median(kind, index):
        return statistics.median(r[index] for r in results[kind])

    print(f"{rounds} rounds, medians; wineserver running")
    with_label = f"{PLAYERS} players" + (f", {MATCHES} matches" if day else "")
    for kind, label in (("none", "no Players.csv"), ("roster", with_label)):
        print(f"  {label:28} start dialog painted {median(kind, 0) * 1000:6.0f} ms   CPU {median(kind, 1) * 1000:6.1f} ms   "
              f"VmRSS {median(kind, 2) / 1024:6.1f} MB   Private_Dirty {median(kind, 3) / 1024:6.1f} MB")
    print(f"  ratio: painted {median('roster', 0) / median('none', 0):.3f}, CPU {median('roster', 1) / median('none', 1):.3f}")
    print("every round (painted / CPU, ms):")
    for kind, rows in results.items():
        print(f"  {kind:7}" + " ".join(f"{r[0] * 1000:4.0f}/{r[1] * 1000:<4.0f}" for r in rows))


if __name__ == "__main__":
    main()
