#!/usr/bin/env python3
"""Start-up of the real quorvel.exe under Wine on the shipped folder (dist/quorvel/), to
its start dialog painted, and GO to the table painted; beside them, in the same run, the
start-up of the platform's floor (quorvel_floor_window.exe: a bare Win32 program that
opens one window), on one virtual display with the window manager of the end-to-end tests.

    python3 bench/startup.py [rounds] [--bracket]

With --bracket, each round also starts quorvel.exe with a Bracket.ini whose event is the
site double's 500-set event (no stream; the native double on 127.0.0.1), beside
the shipped folder without it: the first start with no day kept, and a later start on the
day kept by the one before ("Bracket day.json"), each right after a start without it; the
ratio is to that start.

Needs the Windows build (scripts/build.sh windows). "Painted" is read off the screen: the
window is mapped and the pixels of its part of the screen have reached the picture they
keep once nothing changes any more (a text box's blinking caret aside). Start-up runs from
the `wine` command to the start dialog painted; GO runs from the click on GO!!! to the
table painted and the dialog gone. Each round starts both programs twice: with no
wineserver running (a first start, as after logging in) and with a wineserver kept
running from an earlier Wine program (a later start). Medians over the rounds.
"""
import statistics
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import harness  # noqa: E402
from start_gg_double import StartGgDouble  # noqa: E402
from xscreen import XScreen, differing_share  # noqa: E402

SAME = 0.005      # frames differing in at most this share of pixels count as one picture
SETTLED = 1.5     # seconds without a further change that make a picture the final one
POLL = 0.004      # seconds between two looks at the screen
ROOT_COLOUR = "#336699"


def watch(screen, rect_of, start, timeout=120.0):
    """Follows a part of the screen from `start` until its picture settles. rect_of()
    gives the rectangle to watch, or None while there is nothing to watch. Returns
    (seconds to the first look, seconds to the final picture), from `start`."""
    deadline = start + timeout
    first_seen = None
    frames = []  # (time, pixels) of every change, for the current rectangle
    rect = None
    last_change = None
    while time.monotonic() < deadline:
        now = time.monotonic()
        current = rect_of()
        if current is None:
            time.sleep(POLL)
            continue
        if first_seen is None:
            first_seen = now
        if current != rect:
            rect, frames, last_change = current, [], now
        pixels = screen.grab(*rect)
        if not frames or pixels != frames[-1][1]:
            if frames and differing_share(pixels, frames[-1][1]) > SAME:
                last_change = now
            frames.append((now, pixels))
        # Settled: nothing beyond a caret's blink has changed for SETTLED seconds.
        if now - last_change >= SETTLED:
            final = frames[-1][1]
            painted = next(t for t, p in frames if differing_share(p, final) <= SAME)
            return first_seen - start, painted - start
        time.sleep(POLL)
    raise AssertionError(f"the screen did not settle within {timeout:.0f} s")


def start_up(display, screen, exe, title, keep_server, change=None):
    """Seconds from `wine` to the first window mapped and to it painted; the program
    is left running and returned. `change` may alter the program's folder first."""
    program = harness.Program(display, exe=exe, folder=harness.DIST / "quorvel", keep_server=keep_server,
                              change=change)
    start = time.monotonic()
    program.__enter__()
    mapped, painted = watch(screen, lambda: screen.window(title), start)
    return program, mapped, painted


def go(display, screen, program):
    """Seconds from the click on GO!!! to the table mapped and to the table painted with
    the start dialog gone."""
    dialog = harness.find_window(program, harness.TITLE)
    ox, oy = (int(v) for v in dialog["client_origin"].split(","))
    button = next(c for c in harness.children(dialog) if c["text"] == "GO!!!")
    bx, by, bw, bh = harness.rect(button["rect"])
    dx, dy, dw, dh = harness.rect(dialog["outer"])
    # The table stands where the dialog stood: watch both their places.
    region = (dx, dy, max(dw, 560), max(dh, 120))
    display.xdotool("mousemove", str(ox + bx + bw // 2), str(oy + by + bh // 2))
    watch(screen, lambda: region, time.monotonic())  # the pointer's hover has been painted
    table = {}

    def rect_of():
        if "mapped" not in table:
            rect = screen.window(harness.TITLE)
            if rect and rect[2:] == (534, 84):
                table["mapped"] = time.monotonic()
        return region

    start = time.monotonic()
    display.xdotool("click", "1")
    _, painted = watch(screen, rect_of, start)
    if "mapped" not in table:
        raise AssertionError("the table's window was not seen after GO")
    return table["mapped"] - start, painted


def bracket_ini(double, kept):
    """Writes Bracket.ini for the double's 500-set event and, for a later start, the day the
    first start kept."""
    def change(folder):
        (folder / "Bracket.ini").write_text(
            f"site=start.gg\nevent=tournament/quorvel-open/event/bench-singles\ntoken={double.token}\n"
            f"endpoint={double.url}\n", encoding="utf-8")
        if kept.get("day"):
            (folder / "Bracket day.json").write_bytes(kept["day"])
    return change


def with_bracket(display, screen, double, keep, kept, results, server):
    """quorvel.exe without Bracket.ini, then with it: to the dialog painted, then until the
    day fetched is kept beside it (its first fill), which a later start opens on. Each start
    with it comes right after one without, so that both find Wine in the same state."""
    label = "bracket kept" if kept.get("day") else "bracket first"
    program, mapped, painted = start_up(display, screen, "quorvel.exe", harness.TITLE, keep)
    results.setdefault(f"without, before {label} {server}", []).append((mapped, painted))
    program.keep_server = keep
    program.__exit__(None, None, None)
    program, mapped, painted = start_up(display, screen, "quorvel.exe", harness.TITLE, keep,
                                        change=bracket_ini(double, kept))
    results.setdefault(f"{label} {server}", []).append((mapped, painted))
    day = program.folder / "Bracket day.json"
    harness.wait_for("the 500-set day kept", day.exists, timeout=120)
    kept.setdefault("day", day.read_bytes())
    program.keep_server = keep
    program.__exit__(None, None, None)


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    bracket = "--bracket" in sys.argv[1:]
    rounds = int(args[0]) if args else 5
    results = {key: [] for key in ("floor cold", "quorvel cold", "go cold", "floor warm", "quorvel warm", "go warm")}
    double = StartGgDouble().start() if bracket else None
    with harness.VirtualDisplay() as display, XScreen(display.number) as screen:
        display.set_root_colour(ROOT_COLOUR)
        harness.ensure_wine_prefix(display)
        for _ in range(rounds):
            for server in ("cold", "warm"):
                keep = server == "warm"
                if keep:  # a wineserver and Wine's services from an earlier program, still running
                    subprocess.run(["wineserver", "-p"], env=display.env, check=False, timeout=60,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                    display.run(["wine", str(harness.WINDOWS_BUILD / "quorvel_wintool.exe"), "list"], timeout=120)
                program, mapped, painted = start_up(display, screen, "quorvel_floor_window.exe", "Start floor", keep)
                program.__exit__(None, None, None)
                results[f"floor {server}"].append((mapped, painted))
                program, mapped, painted = start_up(display, screen, "quorvel.exe", harness.TITLE, keep)
                results[f"quorvel {server}"].append((mapped, painted))
                results[f"go {server}"].append(go(display, screen, program))
                program.keep_server = keep and bracket
                program.__exit__(None, None, None)
                if bracket:
                    kept = {}  # the first start's day, for the later start
                    with_bracket(display, screen, double, keep, kept, results, server)
                    with_bracket(display, screen, double, keep, kept, results, server)
                    if keep:
                        subprocess.run(["wineserver", "-k"], env=display.env, check=False, timeout=60)
    if double:
        double.close()

    def median(key, index):
        return statistics.median(r[index] for r in results[key]) * 1000

    print(f"{rounds} rounds, medians in ms (window mapped / painted)")
    for server, label in (("cold", "no wineserver running"), ("warm", "wineserver running")):
        floor, quorvel = median(f"floor {server}", 1), median(f"quorvel {server}", 1)
        print(f"{label}:")
        print(f"  floor start-up        {median(f'floor {server}', 0):7.0f} / {floor:7.0f}")
        print(f"  quorvel.exe start-up  {median(f'quorvel {server}', 0):7.0f} / {quorvel:7.0f}"
              f"   ratio {quorvel / floor:.2f}")
        print(f"  GO to the table       {median(f'go {server}', 0):7.0f} / {median(f'go {server}', 1):7.0f}")
        for kind in ("bracket first", "bracket kept"):
            if results.get(f"{kind} {server}"):
                with_ini, without = median(f"{kind} {server}", 1), median(f"without, before {kind} {server}", 1)
                print(f"  with Bracket.ini, 500 sets, {kind[8:]:5} day {median(f'{kind} {server}', 0):7.0f} / "
                      f"{with_ini:7.0f}   ratio to quorvel.exe without just before ({without:.0f}) "
                      f"{with_ini / without:.2f}")
    print("every round (painted, ms):")
    for key, rows in results.items():
        print(f"  {key:14}" + " ".join(f"{r[1] * 1000:6.0f}" for r in rows))


if __name__ == "__main__":
    main()
