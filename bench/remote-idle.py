#!/usr/bin/env python3
"""What quorvel.exe's remote control costs while nothing happens, by counts that do not
depend on the machine's load: requests to the Wine server, wake-ups of the program's
threads (their voluntary context switches: each is a wait that ended) and system calls,
per second. The table is shown and idle: without --remote, with --remote and no client,
and with --remote and one overlay socket whose client only answers the program's pings.

    python3 bench/remote-idle.py [seconds per measurement]   (60 unless given)

Needs the Windows build (scripts/build.sh windows) and strace. The Wine server runs with
its request trace (bench/server-requests.py), the threads' switches are read from /proc,
and then the system calls are counted by `strace -f` over a second window as long (its
stops would count as wake-ups). Each count is given in all, then for the threads beside
the busiest one (the UI thread, whose 10 ms key poll is the same with and without the
remote control), with how many of them there are. A window of a minute or more takes in
the socket's pings, one each 30 s.
"""
import collections
import importlib.util
import re
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import harness  # noqa: E402
from winproc import program_pid, written_meanwhile  # noqa: E402


_spec = importlib.util.spec_from_file_location("server_requests", Path(__file__).resolve().parent / "server-requests.py")
requests = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(requests)
idle_cpu, stream = requests.idle_cpu, requests.stream

REQUEST = re.compile(rb"^([0-9a-f]{4}): (\w+)\(", re.MULTILINE)


def switches(pid):
    """Voluntary context switches of each thread of `pid`."""
    counts = {}
    for task in Path(f"/proc/{pid}/task").iterdir():
        try:
            status = (task / "status").read_text()
        except OSError:
            continue
        counts[task.name] = int(re.search(r"voluntary_ctxt_switches:\s+(\d+)", status).group(1))
    return counts


def measure(server, pid, seconds):
    """Requests, wake-ups and system calls per second, each by thread, over the next
    `seconds` (the system calls over as many more: strace's stops would count as
    wake-ups)."""
    before = switches(pid)
    asked = collections.Counter(t.decode() for t, _ in REQUEST.findall(written_meanwhile(server.trace, seconds)))
    after = switches(pid)
    woken = {tid: after[tid] - before.get(tid, 0) for tid in after if after[tid] > before.get(tid, 0)}
    log = Path(tempfile.mkstemp(prefix="quorvel-strace-", suffix=".log")[1])
    strace = subprocess.Popen(["strace", "-f", "-qq", "-e", "trace=all", "-o", str(log), "-p", str(pid)],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(seconds)
    strace.send_signal(signal.SIGINT)
    strace.wait(timeout=60)
    with log.open("rb") as lines:
        calls = collections.Counter(line.split(b" ", 1)[0] for line in lines if b"resumed>" not in line)
    log.unlink()
    return [{thread: n / seconds for thread, n in counts.items()} for counts in (asked, woken, calls)]


def show(label, result):
    """Each count in all, then beside the busiest thread (the UI thread's key poll) and by
    how many threads."""
    cells = []
    for by_thread in result:
        rates = sorted(by_thread.values(), reverse=True)
        cells.append(f"{sum(rates):>9.1f}{sum(rates[1:]):>8.2f}{max(len(rates) - 1, 0):>3}")
    print(f"{label:26}" + "".join(cells))


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 60.0
    print(f"per second over {seconds:.0f} s, the table shown and idle")
    print(f"{'':26}" + "".join(f"{name:>9}{'others':>8}{'':3}" for name in ("requests", "wake-ups", "calls")))
    with harness.VirtualDisplay() as display:
        for label, remote, socket in (("without --remote", False, False), ("--remote, no client", True, False),
                                      ("--remote, 1 idle socket", True, True)):
            port = harness.free_port()
            args = [f"--remote=127.0.0.1:{port}"] if remote else []
            with requests.TracedServer(display) as server:
                with harness.Program(display, keep_server=True, args=args) as program:
                    idle_cpu.start_table(display, program)
                    page = stream.WebSocket(port, "/overlay/socket") if socket else None
                    time.sleep(idle_cpu.SETTLE)
                    show(label, measure(server, program_pid("quorvel.exe", display.prefix), seconds))
                    if page:
                        page.close()


if __name__ == "__main__":
    main()
