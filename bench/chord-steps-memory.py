#!/usr/bin/env python3
"""What the real quorvel.exe under Wine holds over a long run of key chords: every step
is a chord tapped through xdotool while the table has the keyboard focus, cycling through
the scores up and down, both portraits (each step loads a picture from disk), both pulses
and "on top again". A picture, brush, font or handle that is not given back would show
here as growth.

    python3 bench/chord-steps-memory.py [steps]

Needs the Windows build (scripts/build.sh windows). Prints the process's private memory
(from /proc), its handle and GDI/USER object counts and its open file descriptors after a
warm-up of 100 steps and after the steps, with readings of the private memory every 100
steps between them, and checks that every score step landed.
"""
import os
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import harness  # noqa: E402
from winproc import print_resources, private_kib, program_pid, resources  # noqa: E402

# One cycle of ten steps: player 1's score ends one up, player 2's where it was.
CYCLE = ["1", "q", "2", "w", "8", "e", "9", "r", "1", "a"]
# A chord is held for 0.3 s, well past the 10 ms poll that reads it and short of the
# repeat guard, which turns the poll on again 600 ms after a step; the next chord comes
# 0.4 s after the release, so a guard that ends late still finds it held.
HELD = 0.3
GAP = 0.4
CYCLES_PER_CALL = 2
SAMPLE_EVERY = 10  # cycles between two readings of the private memory


def tap_cycles(display, cycles):
    """Taps `cycles` cycles of CYCLE, a few cycles per xdotool call."""
    done = 0
    while done < cycles:
        count = min(CYCLES_PER_CALL, cycles - done)
        args = []
        for key in CYCLE * count:
            args += ["keydown", f"ctrl+shift+{key}", "sleep", str(HELD), "keyup", f"ctrl+shift+{key}",
                     "sleep", str(GAP)]
        display.xdotool(*args)
        done += count


def main():
    steps = int(sys.argv[1]) if len(sys.argv) > 1 else 1000
    cycles = -(-steps // len(CYCLE))
    warm_up = 1 if os.environ.get("QUORVEL_BENCH_QUICK") else 10
    with harness.VirtualDisplay() as display, harness.Program(display) as program:
        _, table = harness.start_match(display, program)
        tx, ty = (int(v) for v in table["client_origin"].split(","))
        # The control menu mirrors the scores; a double-click on player 1's name opens it.
        display.xdotool("mousemove", str(tx + 160), str(ty + 32))
        display.xdotool("click", "--repeat", "2", "--delay", "80", "1")
        harness.wait_for("the control menu to open", lambda: harness.find_window(program, harness.MENU), timeout=60)
        # Key state reaches the program only while one of its windows has the X focus.
        display.xdotool("click", "1")
        harness.wait_for("the table to be the active window",
                         lambda: harness.find_window(program, harness.TITLE)["active"] == "1", timeout=30)
        pid = program_pid("quorvel.exe")
        start = time.monotonic()
        tap_cycles(display, warm_up)
        before = resources(program, pid)
        samples = []
        done = 0
        while done < cycles:
            count = min(SAMPLE_EVERY, cycles - done)
            tap_cycles(display, count)
            done += count
            samples.append((done * len(CYCLE), private_kib(pid)))
        after = resources(program, pid)
        elapsed = time.monotonic() - start
        menu = harness.children(harness.find_window(program, harness.MENU))
        scores = menu[1]["text"], menu[3]["text"]
        if program.process.poll() is not None:
            sys.exit(f"the program ended with code {program.process.returncode}")
    print_resources("quorvel.exe", before, after, f"after {warm_up * len(CYCLE)} warm-up chord steps",
                    f"after {cycles * len(CYCLE):,} more chord steps")
    print("private memory along the way: " + ", ".join(f"{steps:,}: {kib / 1024:.1f} MB" for steps, kib in samples))
    expected = (str(warm_up + cycles), "0")
    print(f"scores after the steps: {scores[0]} and {scores[1]} (expected {expected[0]} and {expected[1]}); "
          f"{elapsed:.0f} s of tapping")
    if scores != expected:
        sys.exit("some chord steps did not land")


if __name__ == "__main__":
    main()
