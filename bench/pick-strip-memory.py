#!/usr/bin/env python3
"""Memory of the real quorvel.exe under Wine over a long drag on the pick strip: every
move that lands in a cell loads a portrait from disk and replaces the one shown, so a
picture that is not freed would show here as growth.

    python3 bench/pick-strip-memory.py [moves]

Needs the Windows build (scripts/build.sh windows). Prints the process's private memory
(private clean + dirty, from /proc), its handle and GDI/USER object counts and its open
file descriptors after a warm-up of 1,000 moves and after the moves.
"""
import os
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import harness  # noqa: E402
from winproc import print_resources, program_pid, resources  # noqa: E402

CHUNK = 200  # moves per xdotool call


def drag(display, tx, ty, moves):
    """`moves` pointer moves alternating between cells 4 and 5 below player 1's portrait."""
    done = 0
    while done < moves:
        count = min(CHUNK, moves - done)
        args = []
        for i in range(done, done + count):
            args += ["mousemove", str(tx + (30 if i % 2 == 0 else 130)), str(ty + 200)]
        display.xdotool(*args)
        done += count


def main():
    moves = int(sys.argv[1]) if len(sys.argv) > 1 else 10000
    warm_up = 20 if os.environ.get("QUORVEL_BENCH_QUICK") else 1000
    with harness.VirtualDisplay() as display, harness.Program(display) as program:
        _, table = harness.start_match(display, program)
        tx, ty = (int(v) for v in table["client_origin"].split(","))
        pid = program_pid("quorvel.exe")
        display.xdotool("mousemove", str(tx + 30), str(ty + 30))
        display.xdotool("mousedown", "1")
        drag(display, tx, ty, warm_up)
        harness.find_window(program, harness.TITLE)  # a round trip: the moves are handled
        before = resources(program, pid)
        drag(display, tx, ty, moves)
        harness.find_window(program, harness.TITLE)
        after = resources(program, pid)
        display.xdotool("mouseup", "1")
        if program.process.poll() is not None:
            sys.exit(f"the program ended with code {program.process.returncode}")
    print_resources("quorvel.exe", before, after, f"after {warm_up:,} warm-up moves",
                    f"after {moves:,} more moves over the pick strip")


if __name__ == "__main__":
    main()
