#!/usr/bin/env python3
"""CPU share and memory of the real quorvel.exe under Wine with the table shown, pulses off
and on, beside the platform's floor (quorvel_floor_keypoll.exe: the same 10 ms timer and
the same 55 key-state queries per tick, painting nothing) and beside the same table as a
browser-source page (bench/scoreboard.html) in headless Chromium, static and pulsing, and
idle once more with the remote control listening, all measured in the same run, round
after round, on one virtual display with the window manager of the end-to-end tests.

    python3 bench/idle-cpu.py [seconds per measurement] [rounds] [pulse speed]
    python3 bench/idle-cpu.py --dpi=144 [seconds per measurement] [rounds]

With --dpi, the table idle at 96 DPI and at that display scale (Wine's LogPixels, in a
Wine prefix of its own), beside the floor, round after round.

Needs the Windows build (scripts/build.sh windows) and, for the page, Chromium (Debian's
`chromium`; its figures are left out when it is not installed). CPU is user + system time,
read from /proc, as a share of one core: of the program's process and of wineserver for
the Wine programs, of all of Chromium's processes for the page; the X server's share is
shown beside them. Memory is the proportional set size (PSS): of the program's own process,
and summed over all of Chromium's processes. Both pulses step every 2 x speed ms (speed 10
unless given), in the program and in the page.
"""
import collections
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import harness  # noqa: E402
from winproc import cpu_seconds, program_pid, pss_kib, wineserver_pid  # noqa: E402

# Seconds left to a program after start-up or a change before measuring (a fraction of
# one in the test command's quick run of every benchmark, bench/run-all.sh).
SETTLE = 0.5 if os.environ.get("QUORVEL_BENCH_QUICK") else 5.0
# One measurement: CPU shares of the program, wineserver and the X server, the program's
# PSS in KiB and the one-minute load average at the end.
Measurement = collections.namedtuple("Measurement", "own server xserver pss load")
PAGE = Path(__file__).resolve().parent / "scoreboard.html"
SERIES_CAPTION = (232, 52, 64, 20)  # the series caption's place in the table's client area
SPEED_BOXES = ("232,0,32,19", "264,0,32,19")  # the table's two pulse speed boxes


def shares(processes, seconds, xserver):
    """CPU shares over `seconds` of each group of pids in `processes` (name -> pids), and
    of the X server."""
    groups = dict(processes, xserver=[xserver])
    time.sleep(SETTLE)

    def snapshot():
        values = {}
        for name, pids in groups.items():
            values[name] = {}
            for pid in pids:
                try:
                    values[name][pid] = cpu_seconds(pid)
                except OSError:  # a process that ended counts no more
                    pass
        return values

    start, cpu0 = time.monotonic(), snapshot()
    time.sleep(seconds)
    cpu1, elapsed = snapshot(), time.monotonic() - start
    shares = {name: sum(cpu1[name][pid] - cpu0[name][pid] for pid in cpu1[name] if pid in cpu0[name]) / elapsed
              for name in groups}
    shares["load"] = os.getloadavg()[0]  # the machine's one-minute load average at the end
    return shares


def measure_wine(display, exe, seconds):
    program, server = program_pid(exe, display.prefix), wineserver_pid(display.prefix)
    cpu = shares({"own": [program], "server": [server]}, seconds, display.process.pid)
    return Measurement(cpu["own"], cpu["server"], cpu["xserver"], pss_kib(program), cpu["load"])


def start_pulses(display, program, table, speed):
    """Types the speed into both of the table's pulse speed boxes, which starts both
    pulses, and waits for the series caption to change its grey."""
    # A probe that fails (seen once on a loaded machine, with nothing printed) is run again
    # until the table's box takes the text.
    def typed(rect):
        boxes = harness.children(harness.find_window(program, harness.TITLE) or {})
        index = next((i for i, child in enumerate(boxes) if child["rect"] == rect), None)
        return index is not None and program.wintool("settext", harness.TITLE, str(index), str(speed))[0] == 0

    for rect in SPEED_BOXES:
        harness.wait_for(f"the speed box at {rect} to take {speed}", lambda: typed(rect), timeout=30)
    ox, oy = (int(v) for v in table["client_origin"].split(","))
    x, y, w, h = SERIES_CAPTION

    def caption():
        screen = display.pixels()
        return [screen.at(ox + x + dx, oy + y + dy) for dx in range(0, w, 2) for dy in range(0, h, 2)]

    first = caption()
    harness.wait_for("the series caption to pulse", lambda: caption() != first, timeout=30)


def start_table(display, program):
    """GO, then the table shown alone: the start dialog closed and no control menu."""
    # The table's 534 x 84 pixels at the display's scale (ui::DisplayScale::toPhysical).
    client = ",".join(str(-((48 - pixels * display.dpi) // 96)) for pixels in (534, 84))
    _, table = harness.start_match(display, program, client=client)
    harness.wait_for("the start dialog to close after GO",
                     lambda: harness.find_window(program, harness.MENU) is None and
                     len([w for w in program.wintool("list")[1].splitlines()
                          if f"title={harness.TITLE}" in w]) == 1, timeout=60)
    return table


def quorvel_rounds(display, seconds, speed, args=(), pulses=True):
    """(pulses off, pulses on) measurements of one run of quorvel.exe with the table shown;
    pulses on is None when `pulses` is false."""
    with harness.Program(display, args=args) as program:
        table = start_table(display, program)
        idle = measure_wine(display, "quorvel.exe", seconds)
        if not pulses:
            return idle, None
        start_pulses(display, program, table, speed)
        pulsing = measure_wine(display, "quorvel.exe", seconds)
    return idle, pulsing


def session_pids(session):
    """The processes of a session: Chromium's browser and every process it started."""
    found = []
    for entry in Path("/proc").iterdir():
        if entry.name.isdigit():
            try:
                fields = (entry / "stat").read_text().rsplit(")", 1)[1].split()
            except OSError:
                continue
            if int(fields[3]) == session:  # the session id
                found.append(int(entry.name))
    return found


def measure_page(display, chromium, seconds, speed, pulse):
    profile = tempfile.mkdtemp(prefix="quorvel-chromium-")
    url = f"{PAGE.as_uri()}?pulse={1 if pulse else 0}&speed={speed}"
    browser = subprocess.Popen(
        [chromium, "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run", "--mute-audio",
         "--hide-scrollbars", "--window-size=534,84", f"--user-data-dir={profile}", url],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        # The browser, its zygotes, the GPU/compositor process and the page's renderer.
        harness.wait_for("Chromium's page renderer",
                         lambda: any(b"--type=renderer" in Path(f"/proc/{pid}/cmdline").read_bytes()
                                     for pid in session_pids(browser.pid)), timeout=60)
        pids = session_pids(browser.pid)
        cpu = shares({"own": pids}, seconds, display.process.pid)
        pss = sum(pss_kib(pid) for pid in session_pids(browser.pid))
        return Measurement(cpu["own"], 0.0, cpu["xserver"], pss, cpu["load"])
    finally:
        os.killpg(browser.pid, signal.SIGTERM)
        try:
            browser.wait(timeout=30)
        except subprocess.TimeoutExpired:
            os.killpg(browser.pid, signal.SIGKILL)
            browser.wait(timeout=30)
        shutil.rmtree(profile, ignore_errors=True)


def print_medians(rows, results):
    """Prints each row's medians, with the share of the floor (the first row) and the load
    average of the machine; returns the program and wineserver together, and the PSS, by row."""
    width = max(len(label) for _, label in rows) + 2
    print(f"{'':{width}}{'program':>9}{'wineserver':>12}{'together':>10}{'/ floor':>9}{'X server':>10}{'PSS':>11}"
          f"{'load':>7}")
    together, pss = {}, {}
    for name, label in rows:
        values = results[name]
        together[name] = statistics.median(r[0] + r[1] for r in values)
        pss[name] = statistics.median(r[3] for r in values)
        print(f"{label:{width}}{statistics.median(r[0] for r in values):>8.1%}"
              f"{statistics.median(r[1] for r in values):>12.1%}{together[name]:>10.1%}"
              f"{together[name] / together[rows[0][0]]:>8.2f}x"
              f"{statistics.median(r[2] for r in values):>10.1%}{pss[name] / 1024:>8.1f} MB"
              f"{statistics.median(r[4] for r in values):>7.1f}")
    return together, pss


def main_scaled(dpi, arguments):
    """The idle table at 96 DPI and at `dpi`, beside the floor, in the same run."""
    seconds = float(arguments[0]) if arguments else 60.0
    rounds = int(arguments[1]) if len(arguments) > 1 else 3
    rows = [("floor", "floor (55 queries / 10 ms)"), ("idle", "quorvel.exe, pulses off, 96 DPI"),
            ("scaled", f"quorvel.exe, pulses off, {dpi} DPI")]
    results = {name: [] for name, _ in rows}
    with harness.VirtualDisplay() as display, harness.VirtualDisplay(dpi=dpi) as scaled:
        for round_ in range(rounds):
            with harness.Program(display, exe="quorvel_floor_keypoll.exe"):
                results["floor"].append(measure_wine(display, "quorvel_floor_keypoll.exe", seconds))
            # Each scale in turn comes first, so that neither always follows the other.
            for name, where in (("idle", display), ("scaled", scaled))[::1 if round_ % 2 == 0 else -1]:
                results[name].append(quorvel_rounds(where, seconds, 10, pulses=False)[0])
    print(f"{rounds} rounds of {seconds:.0f} s each, table shown, pulses off (medians; share of one core)")
    together, _ = print_medians(rows, results)
    print(f"quorvel.exe idle at {dpi} DPI / at 96 DPI: {together['scaled'] / together['idle']:.2f} "
          f"(target: at most 1.05)")


def main():
    options = [a for a in sys.argv[1:] if a.startswith("--dpi=")]
    if options:
        main_scaled(int(options[-1].split("=", 1)[1]), [a for a in sys.argv[1:] if a not in options])
        return
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 60.0
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    speed = int(sys.argv[3]) if len(sys.argv) > 3 else 10
    chromium = shutil.which("chromium")
    rows = [("floor", "floor (55 queries / 10 ms)"), ("idle", "quorvel.exe, pulses off"),
            ("pulsing", "quorvel.exe, pulses on"), ("remote", "quorvel.exe --remote, idle")]
    if chromium:
        rows += [("page", "browser page, static"), ("page pulsing", "browser page, pulsing")]
    results = {name: [] for name, _ in rows}
    with harness.VirtualDisplay() as display:
        for _ in range(rounds):
            with harness.Program(display, exe="quorvel_floor_keypoll.exe"):
                results["floor"].append(measure_wine(display, "quorvel_floor_keypoll.exe", seconds))
            idle, pulsing = quorvel_rounds(display, seconds, speed)
            results["idle"].append(idle)
            results["pulsing"].append(pulsing)
            # The same with the remote control listening and no request coming.
            remote, _ = quorvel_rounds(display, seconds, speed, args=[f"--remote=127.0.0.1:{harness.free_port()}"],
                                       pulses=False)
            results["remote"].append(remote)
            if chromium:
                results["page"].append(measure_page(display, chromium, seconds, speed, pulse=False))
                results["page pulsing"].append(measure_page(display, chromium, seconds, speed, pulse=True))
    print(f"{rounds} rounds of {seconds:.0f} s each, table shown, pulses stepping every {2 * speed} ms "
          f"(medians; share of one core)")
    together, pss = print_medians(rows, results)
    print(f"quorvel.exe idle / floor: {together['idle'] / together['floor']:.2f} (target: at most 1.15)")
    print(f"quorvel.exe --remote idle / floor: {together['remote'] / together['floor']:.2f}")
    if chromium:
        print(f"quorvel.exe PSS / page's PSS: 1/{pss['page'] / pss['idle']:.0f} (target: at most 1/20)")
        print(f"pulsing, quorvel.exe / page: {together['pulsing'] / together['page pulsing']:.2f} "
              f"(target: below 1)")


if __name__ == "__main__":
    main()
