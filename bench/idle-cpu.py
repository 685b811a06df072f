#!/usr/bin/env python3
"""Idle CPU share of the real quorvel.exe under Wine with the table shown, beside the
platform's floor (quorvel_floor_keypoll.exe: the same 10 ms timer and the same 55
key-state queries per tick, painting nothing), measured in the same run on one virtual
display with the window manager of the end-to-end tests.

    python3 bench/idle-cpu.py [seconds per measurement] [rounds]

Needs the Windows build (scripts/build.sh windows). CPU is user + system time of the
program's process and of wineserver, read from /proc, as a share of one core; memory is
the proportional set size (PSS) of the program's process.
"""
import statistics
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import harness  # noqa: E402
from winproc import cpu_seconds, program_pid, pss_kib, wineserver_pid  # noqa: E402

SETTLE = 5.0  # seconds left to the program after start-up before measuring


def measure(exe, seconds):
    """CPU shares (program, wineserver) and the program's PSS over `seconds`."""
    program, server = program_pid(exe), wineserver_pid()
    time.sleep(SETTLE)
    start = time.monotonic()
    cpu0 = cpu_seconds(program), cpu_seconds(server)
    time.sleep(seconds)
    cpu1 = cpu_seconds(program), cpu_seconds(server)
    elapsed = time.monotonic() - start
    return (cpu1[0] - cpu0[0]) / elapsed, (cpu1[1] - cpu0[1]) / elapsed, pss_kib(program)


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 30.0
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    results = {"floor": [], "quorvel": []}
    with harness.VirtualDisplay() as display:
        for _ in range(rounds):
            with harness.Program(display, exe="quorvel_floor_keypoll.exe"):
                results["floor"].append(measure("quorvel_floor_keypoll.exe", seconds))
            with harness.Program(display) as program:
                harness.start_match(display, program)
                harness.wait_for("the start dialog to close after GO",
                                 lambda: harness.find_window(program, harness.MENU) is None and
                                 len([w for w in program.wintool("list")[1].splitlines()
                                      if "title=Quorvel 0.99" in w]) == 1, timeout=60)
                results["quorvel"].append(measure("quorvel.exe", seconds))
    print(f"{rounds} rounds of {seconds:.0f} s each, idle, table shown (share of one core)")
    print(f"{'':28}{'program':>9}{'wineserver':>12}{'together':>10}{'PSS':>10}")
    totals = {}
    for name, label in (("floor", "floor (55 queries / 10 ms)"), ("quorvel", "quorvel.exe")):
        rows = results[name]
        own = statistics.median(r[0] for r in rows)
        server = statistics.median(r[1] for r in rows)
        together = statistics.median(r[0] + r[1] for r in rows)
        pss = statistics.median(r[2] for r in rows)
        totals[name] = together
        print(f"{label:28}{own:>8.1%}{server:>12.1%}{together:>10.1%}{pss / 1024:>7.1f} MB")
    print(f"quorvel.exe / floor: {totals['quorvel'] / totals['floor']:.2f}")


if __name__ == "__main__":
    main()
