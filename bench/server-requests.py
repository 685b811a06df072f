#!/usr/bin/env python3
"""Requests to the Wine server per second, by kind, while quorvel.exe shows its table:
idle, then with both pulses stepping. Each request is a round trip between the program and
wineserver, the main cost of a Windows program under Wine beyond its own drawing; the
bare floor program (quorvel_floor_keypoll.exe: the same 10 ms timer and 55 key-state
queries) is counted first for comparison, and last the program with its remote control
pulsing with an overlay socket connected (bench/stream.py's client) beside none.

    python3 bench/server-requests.py [seconds per measurement] [pulse speed]

Needs the Windows build (scripts/build.sh windows). The server is started with its own
request trace (`wineserver -f -d1`), written to a file; the lines written in each window
of measurement are counted by request name.
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
_spec = importlib.util.spec_from_file_location("stream", Path(__file__).resolve().parent / "stream.py")
stream = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(stream)

REQUEST = re.compile(rb"^[0-9a-f]{4}: (\w+)\(", re.MULTILINE)


class TracedServer:
    """wineserver with its request trace in a file, for one program's run."""

    def __init__(self, display):
        self.display = display
        self.trace = Path(tempfile.mkstemp(prefix="quorvel-wineserver-", suffix=".log")[1])

    def __enter__(self):
        harness.ensure_wine_prefix(self.display)
        subprocess.run(["wineserver", "-k"], env=self.display.env, check=False, timeout=60)
        self.log = self.trace.open("wb")
        self.server = subprocess.Popen(["wineserver", "-f", "-d1"], env=self.display.env,
                                       stdout=subprocess.DEVNULL, stderr=self.log)
        return self

    def __exit__(self, *exc):
        subprocess.run(["wineserver", "-k"], env=self.display.env, check=False, timeout=60)
        self.server.wait(timeout=60)
        self.log.close()
        self.trace.unlink()

    def count(self, seconds):
        """Requests per second by name over the next `seconds`."""
        names = REQUEST.findall(written_meanwhile(self.trace, seconds))
        return {name.decode(): n / seconds for name, n in collections.Counter(names).most_common()}


def show(label, rates):
    total = sum(rates.values())
    print(f"{label:34}{total:>8.0f}  " + ", ".join(f"{name} {rate:.0f}" for name, rate in rates.items()))


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 10.0
    speed = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    print(f"requests to the Wine server per second, {seconds:.0f} s each, pulses stepping every {2 * speed} ms")
    print(f"{'':34}{'all':>8}  by request")
    with harness.VirtualDisplay() as display:
        with TracedServer(display) as server:
            with harness.Program(display, exe="quorvel_floor_keypoll.exe", keep_server=True):
                time.sleep(idle_cpu.SETTLE)
                show("floor (55 queries / 10 ms)", server.count(seconds))
        with TracedServer(display) as server:
            with harness.Program(display, keep_server=True) as program:
                table = idle_cpu.start_table(display, program)
                time.sleep(idle_cpu.SETTLE)
                show("quorvel.exe, pulses off", server.count(seconds))
                idle_cpu.start_pulses(display, program, table, speed)
                time.sleep(idle_cpu.SETTLE)
                show("quorvel.exe, pulses on", server.count(seconds))
        port = harness.free_port()
        with TracedServer(display) as server:
            with harness.Program(display, keep_server=True, args=[f"--remote=127.0.0.1:{port}"]) as program:
                idle_cpu.start_pulses(display, program, idle_cpu.start_table(display, program), speed)
                time.sleep(idle_cpu.SETTLE)
                show("--remote, pulses on, no socket", server.count(seconds))
                page = stream.WebSocket(port, "/overlay/socket")
                time.sleep(idle_cpu.SETTLE)
                received = len(page.messages)
                show("--remote, pulses on, 1 socket", server.count(seconds))
                print(f"{'':34}({(len(page.messages) - received) / seconds:.0f} messages a second to the socket)")
                page.close()


if __name__ == "__main__":
    main()
