#!/usr/bin/env python3
"""CPU share of the real quorvel.exe under Wine while the control menu's capture writes the
table's picture to a PNG every 100 ms, against the same with captures off: with the table
still (every capture is drawn, found unchanged and not written) and with both pulses on
(every capture differs; one a second is written). Counts the file's writes meanwhile.

    python3 bench/capture-cpu.py [seconds per measurement] [rounds]

Needs the Windows build (scripts/build.sh windows). CPU is user + system time from /proc,
of the program's process and of wineserver, as a share of one core (bench/idle-cpu.py).
"""
import importlib
import os
import statistics
import sys
import threading
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from test_colours_and_capture import Session  # noqa: E402

idle_cpu = importlib.import_module("idle-cpu")


def measure(display, shot, seconds):
    """(CPU share of the program and wineserver, writes of `shot`) over `seconds`."""
    writes, done = [0], threading.Event()

    def count():
        last = None
        while not done.wait(0.02):
            try:
                stamp = os.stat(shot).st_ino
            except OSError:
                continue
            writes[0] += last is not None and stamp != last
            last = stamp
    watcher = threading.Thread(target=count)
    watcher.start()
    try:
        measured = idle_cpu.measure_wine(display, "quorvel.exe", seconds)
    finally:
        done.set()
        watcher.join()
    return measured.own + measured.server, writes[0]


def capture_every(session, tenths):
    session.type_into(7, tenths)
    session.ok()


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 30.0
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 2
    rows = ["still, captures off", "still, a capture every 100 ms", "pulsing, a capture every 100 ms",
            "pulsing, captures off"]
    results = {row: [] for row in rows}
    with harness.VirtualDisplay() as display:
        for _ in range(rounds):
            with harness.Program(display) as program:
                session = Session(display, program)
                session.expand()
                session.type_into(6, "capture.png")
                shot = program.folder / "capture.png"
                results[rows[0]].append(measure(display, shot, seconds))
                capture_every(session, "1")
                harness.wait_for("the first capture", shot.exists, timeout=30)
                results[rows[1]].append(measure(display, shot, seconds))
                idle_cpu.start_pulses(display, program, harness.find_window(program, harness.TITLE), 10)
                results[rows[2]].append(measure(display, shot, seconds))
                capture_every(session, "0")
                results[rows[3]].append(measure(display, shot, seconds))
    print(f"{rounds} rounds of {seconds:.0f} s, control menu open, pulses stepping every 20 ms (medians)")
    cpu = {row: statistics.median(r[0] for r in results[row]) for row in rows}
    for row in rows:
        writes = statistics.median(r[1] for r in results[row]) / (seconds + idle_cpu.SETTLE)
        print(f"{row:34}{cpu[row]:>7.2%}  {writes:.2f} writes/s")
    print(f"one capture tick, table still (drawn, compared, not written): "
          f"{(cpu[rows[1]] - cpu[rows[0]]) / 10 * 1e3:.2f} ms CPU")
    print(f"captures with the pulses on (9 drawn and held, 1 written each second): "
          f"{(cpu[rows[2]] - cpu[rows[3]]) * 1e3:.1f} ms CPU a second")


if __name__ == "__main__":
    main()
