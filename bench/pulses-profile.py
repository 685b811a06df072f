#!/usr/bin/env python3
"""Where the pulses' time goes under Wine: `perf record` (the cpu-clock event, 4,000 samples
a second of CPU time) on quorvel.exe's process and then on the X server, each for the given
seconds, with the table shown and both pulses stepping; prints the samples of each and the
program's by library. With --idle the pulses stay off; with --framed the table has a frame
instead of its see-through key (Options.ini line 13 = 1).

    python3 bench/pulses-profile.py [--idle] [--framed] [seconds]

Needs the Windows build (scripts/build.sh windows); QUORVEL_WINDOWS_BUILD names another.
With `perf report -i FILE --children --sort sym`, on a record taken with `--call-graph
dwarf` (set QUORVEL_PERF_CALLS=1), the calls that the time is spent under show as well.
"""
import importlib.util
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from winproc import program_pid  # noqa: E402


def load(name, file):
    found = importlib.util.spec_from_file_location(name, Path(__file__).resolve().parent / file)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


idle_cpu = load("idle_cpu", "idle-cpu.py")
x_requests = load("x_requests", "x-requests.py")


def record(pid, seconds, out):
    calls = ["--call-graph", "dwarf,16384"] if os.environ.get("QUORVEL_PERF_CALLS") else []
    subprocess.run(["perf", "record", "-e", "cpu-clock", "-F", "4000", *calls, "-o", out, "-p", str(pid), "--",
                    "sleep", str(seconds)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    lines = subprocess.run(["perf", "script", "-i", out, "-F", "ip,dso"], capture_output=True, text=True).stdout
    return [line.split("(", 1)[1].rstrip(")") for line in lines.splitlines() if "(" in line]


def main():
    arguments = [a for a in sys.argv[1:] if not a.startswith("--")]
    seconds = float(arguments[0]) if arguments else 10.0
    folder = Path(tempfile.mkdtemp(prefix="quorvel-perf-"))
    with harness.VirtualDisplay() as display:
        with harness.Program(display, change=x_requests.framed if "--framed" in sys.argv else None) as program:
            table = idle_cpu.start_table(display, program)
            if "--idle" not in sys.argv:
                idle_cpu.start_pulses(display, program, table, 10)
            time.sleep(idle_cpu.SETTLE)
            own = record(program_pid("quorvel.exe", display.prefix), seconds, str(folder / "program.data"))
            xserver = record(display.process.pid, seconds, str(folder / "xserver.data"))
    print(f"samples in {seconds:.0f} s: quorvel.exe {len(own)}, X server {len(xserver)} (records in {folder})")
    libraries = {}
    for dso in own:
        name = Path(dso).name
        libraries[name] = libraries.get(name, 0) + 1
    for name, count in sorted(libraries.items(), key=lambda item: -item[1])[:8]:
        print(f"  {name:28}{count:>6}")


if __name__ == "__main__":
    main()
