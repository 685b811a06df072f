#!/usr/bin/env python3
"""The chord N on the real quorvel.exe --remote under Wine: from Ctrl+Shift+N pressed (the
key events sent through XTest from this process, as bench/stream.py sends its chords) to
the table repainted with the next match (player 1's name plate read off the screen every
millisecond) and to the message on /overlay/socket that carries the new name; median and
95th percentile over the chords.

    python3 bench/next-match.py [chords] [--bracket]

(40 unless given). With --bracket the day is the site double's 500-set event instead
(Bracket.ini naming it, the native double on 127.0.0.1, no Matches.csv): each set's
players come from the site (name, a country or none), and the day is fetched again every
60 s meanwhile. Needs the Windows build (scripts/build.sh windows). The program folder
is the shipped one with a schedule of 200 matches between the sample roster's players
(each player 1 another than the last), so every chord puts a match whose roster players
are applied whole (name, country, colour, portrait) on the table; nothing is scored, so
no result is written.
"""
import json
import statistics
import sys
import urllib.request
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import harness  # noqa: E402
from start_gg_double import StartGgDouble  # noqa: E402
from stream import CHORD_GAP, WebSocket, focus_table, idle_cpu, load, percentile  # noqa: E402
from xscreen import XScreen  # noqa: E402

NAME_1 = (80, 10, 165, 30)  # player 1's name plate in the table's client area (pixels)


def schedule(folder):
    names = [line.split(";")[0] for line in (folder / "Players.csv").read_text(encoding="utf-8").splitlines()[1:]]
    rows = ["player1;player2;series;round;time"]
    for i in range(200):
        rows.append(f"{names[i % len(names)]};{names[(i + 7) % len(names)]};Best of 3;Match {i + 1};")
    (folder / "Matches.csv").write_text("\r\n".join(rows) + "\r\n", encoding="utf-8")


def bracket(double):
    def change(folder):
        (folder / "Bracket.ini").write_text(
            f"site=start.gg\nevent=tournament/quorvel-open/event/bench-singles\ntoken={double.token}\n"
            f"endpoint={double.url}\n", encoding="utf-8")
    return change


def day_names(port):
    """Player 1 of every match of the program's day, once it holds the 500 sets."""
    def names():
        with urllib.request.urlopen(f"http://127.0.0.1:{port}/api/schedule", timeout=10) as answer:
            day = json.loads(answer.read())
        return [m["player1"] for m in day["matches"]] if len(day["matches"]) >= 500 else None
    return harness.wait_for("the 500 sets in the program's day", names, timeout=120)


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    chords = int(args[0]) if args else 40
    double = StartGgDouble().start() if "--bracket" in sys.argv[1:] else None
    port = harness.free_port()
    print(f"at the start: {load()}" + (" (the day from the bracket)" if double else ""))
    painted, sent, missed = [], [], 0
    with harness.VirtualDisplay() as display, harness.Program(display, args=[f"--remote=127.0.0.1:{port}"],
                                                              change=bracket(double) if double else schedule) as program:
        names = day_names(port) if double else None
        table = idle_cpu.start_table(display, program)
        focus_table(display, program, table)
        tx, ty = (int(v) for v in table["client_origin"].split(","))
        page = WebSocket(port, "/overlay/socket")
        harness.wait_for("the whole table on the socket", lambda: page.messages, timeout=30)
        names = names or [line.split(";")[0] for line in (program.folder / "Matches.csv").read_text(encoding="utf-8")
                          .splitlines()[1:]]
        with XScreen(display.number) as screen:
            for n in range(1, chords + 1):
                before = screen.grab(tx + NAME_1[0], ty + NAME_1[1], NAME_1[2], NAME_1[3])
                pressed = screen.press(["Control_L", "Shift_L", "n"], True)
                changed = None
                while time.monotonic() - pressed < 5:
                    if screen.grab(tx + NAME_1[0], ty + NAME_1[1], NAME_1[2], NAME_1[3]) != before:
                        changed = time.monotonic()
                        break
                    time.sleep(0.001)
                caption = f'"caption":"{names[n]}"'
                on_page = page.first_after(pressed, lambda text: caption in text)
                screen.press(["n", "Shift_L", "Control_L"], False)
                if changed and on_page:
                    painted.append(changed - pressed)
                    sent.append(on_page - pressed)
                else:
                    missed += 1
                    focus_table(display, program, table)
                time.sleep(max(pressed + CHORD_GAP - time.monotonic(), 0))
        page.close()
    for what, values in (("the table repainted", painted), ("the message on /overlay/socket", sent)):
        print(f"Ctrl+Shift+N to {what}, {len(values)} chords: median {statistics.median(values) * 1000:.1f} ms, "
              f"95th percentile {percentile(values, 0.95) * 1000:.1f} ms, longest {max(values) * 1000:.1f} ms")
    print(f"chords missed: {missed}  ({load()})")
    if double:
        print(f"requests to the site meanwhile: {len(double.requests)}")
        double.close()


if __name__ == "__main__":
    main()
