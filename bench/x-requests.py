#!/usr/bin/env python3
"""Requests to the X server per second, by kind, with the bytes they carry, while
quorvel.exe shows its table: idle, then with both pulses stepping. The program's X
connection goes through xtrace (Debian's `xtrace`), which writes every request; the lines
written in each window of measurement are counted by request name. With MIT-SHM the
pixels of an image upload travel in shared memory, not on the connection: the area of
each ShmPutImage is summed apart, as the pixels the X server copied.

    python3 bench/x-requests.py [--framed] [seconds per measurement] [pulse speed]

With --framed the table has a frame (Options.ini line 13 = 1) and no see-through key.

Needs the Windows build (scripts/build.sh windows); QUORVEL_WINDOWS_BUILD names another.
"""
import collections
import importlib.util
import re
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import harness  # noqa: E402
from winproc import written_meanwhile  # noqa: E402

_spec = importlib.util.spec_from_file_location("idle_cpu", Path(__file__).resolve().parent / "idle-cpu.py")
idle_cpu = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(idle_cpu)

# "000:<:0a1b: 40: MIT-SHM-Request(130,3): PutImage ..." or "000:<:0a1b: 16: Request(61): ClearArea ..."
REQUEST = re.compile(rb"^\d+:<:[0-9a-f]+:\s*(\d+): (?:([\w-]+)-)?Request\([\d,]+\): (\w+)(.*)$", re.MULTILINE)
SHM_AREA = re.compile(rb"total-width=(\d+) total-height=(\d+) src-x=\d+ src-y=\d+ src-width=(\d+) src-height=(\d+)")


class TracedDisplay:
    """xtrace between the virtual display and the programs started on it."""

    def __init__(self, display):
        self.display = display
        self.trace = Path(tempfile.mkstemp(prefix="quorvel-xtrace-", suffix=".log")[1])

    def __enter__(self):
        real = self.display.number
        fake = real + 100
        self.process = subprocess.Popen(["xtrace", "-n", "-k", "-d", f":{real}", "-D", f":{fake}",
                                         "-o", str(self.trace)],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        harness.wait_for("xtrace to listen", lambda: Path(f"/tmp/.X11-unix/X{fake}").exists(), timeout=10)
        self.display.number = fake  # the programs started from here on talk through xtrace
        self.real = real
        return self

    def __exit__(self, *exc):
        self.display.number = self.real
        self.process.terminate()
        self.process.wait(timeout=10)
        self.trace.unlink()

    def count(self, seconds):
        """(requests per second by name, bytes per second, ShmPutImage pixels per second)"""
        text = written_meanwhile(self.trace, seconds)
        names = collections.Counter()
        size = pixels = 0
        for length, extension, name, rest in REQUEST.findall(text):
            names[(extension + b"." if extension else b"") + name] += 1
            size += int(length)
            if name == b"PutImage" and extension:
                area = SHM_AREA.search(rest)
                if area:
                    pixels += int(area.group(3)) * int(area.group(4))
        rates = {name.decode(): n / seconds for name, n in names.most_common()}
        return rates, size / seconds, pixels / seconds


def show(label, counted):
    rates, size, pixels = counted
    total = sum(rates.values())
    print(f"{label:26}{total:>7.0f} {size / 1024:>7.1f} KiB/s {pixels / 1000:>8.1f} kpx/s  " +
          ", ".join(f"{name} {rate:.0f}" for name, rate in rates.items() if rate >= 0.5))


def framed(folder):
    """The table with a single frame instead of see-through (Options.ini line 13)."""
    path = folder / "Options.ini"
    lines = path.read_bytes().decode("utf-8").split("\r\n")
    lines[12] = "1"
    path.write_bytes("\r\n".join(lines).encode("utf-8"))


def main():
    arguments = [a for a in sys.argv[1:] if a != "--framed"]
    seconds = float(arguments[0]) if arguments else 10.0
    speed = int(arguments[1]) if len(arguments) > 1 else 10
    print(f"requests to the X server per second, {seconds:.0f} s each, pulses stepping every {2 * speed} ms "
          f"({harness.WINDOWS_BUILD})")
    print(f"{'':26}{'all':>7} {'bytes':>13} {'shm pixels':>14}  by request")
    with harness.VirtualDisplay() as display, TracedDisplay(display) as trace:
        with harness.Program(display, change=framed if "--framed" in sys.argv else None) as program:
            table = idle_cpu.start_table(display, program)
            time.sleep(idle_cpu.SETTLE)
            show("quorvel.exe, pulses off", trace.count(seconds))
            idle_cpu.start_pulses(display, program, table, speed)
            time.sleep(idle_cpu.SETTLE)
            show("quorvel.exe, pulses on", trace.count(seconds))


if __name__ == "__main__":
    main()
