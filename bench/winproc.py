"""Finding the Linux processes of a Wine program of ours and reading their CPU time and
memory from /proc, for the benchmarks under Wine."""
import os
from pathlib import Path

import harness

TICKS = os.sysconf("SC_CLK_TCK")


def in_our_prefix(pid):
    """Other Wine programs on this machine run in prefixes of their own."""
    try:
        environ = Path(f"/proc/{pid}/environ").read_bytes().split(b"\0")
    except OSError:
        return False
    return f"WINEPREFIX={harness.WINEPREFIX}".encode() in environ


def pids(predicate):
    found = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            cmdline = (entry / "cmdline").read_bytes().replace(b"\0", b" ").decode(errors="replace")
            comm = (entry / "comm").read_text().strip()
        except OSError:
            continue
        if predicate(comm, cmdline) and in_our_prefix(int(entry.name)):
            found.append(int(entry.name))
    return found


def cpu_seconds(pid):
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime


def pss_kib(pid):
    for line in Path(f"/proc/{pid}/smaps_rollup").read_text().splitlines():
        if line.startswith("Pss:"):
            return int(line.split()[1])
    return 0


def program_pid(exe):
    return harness.wait_for(f"the process of {exe}",
                            lambda: (lambda p: p[0] if len(p) == 1 else None)(
                                pids(lambda comm, cmd: exe in cmd and "wine " not in cmd and comm != "wine")),
                            timeout=120)


def wineserver_pid():
    return harness.wait_for("wineserver", lambda: (pids(lambda comm, cmd: comm.startswith("wineserver")) or [None])[0],
                            timeout=60)


def private_kib(pid):
    """Memory of the process that no other process shares (private clean + dirty)."""
    total = 0
    for line in Path(f"/proc/{pid}/smaps_rollup").read_text().splitlines():
        if line.startswith(("Private_Clean:", "Private_Dirty:")):
            total += int(line.split()[1])
    return total
