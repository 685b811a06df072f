"""Finding the Linux processes of a Wine program of ours and reading their CPU time and
memory from /proc, for the benchmarks under Wine."""
import os
import time
from pathlib import Path

import harness

TICKS = os.sysconf("SC_CLK_TCK")


def written_meanwhile(path, seconds):
    """What a trace file of a running program grows by over the next `seconds`."""
    start = path.stat().st_size
    time.sleep(seconds)
    end = path.stat().st_size
    with path.open("rb") as trace:
        trace.seek(start)
        return trace.read(end - start)


def in_our_prefix(pid, prefix=None):
    """Other Wine programs on this machine run in prefixes of their own."""
    try:
        environ = Path(f"/proc/{pid}/environ").read_bytes().split(b"\0")
    except OSError:
        return False
    return f"WINEPREFIX={prefix or harness.WINEPREFIX}".encode() in environ


def pids(predicate, prefix=None):
    found = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            cmdline = (entry / "cmdline").read_bytes().replace(b"\0", b" ").decode(errors="replace")
            comm = (entry / "comm").read_text().strip()
        except OSError:
            continue
        if predicate(comm, cmdline) and in_our_prefix(int(entry.name), prefix):
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


def program_pid(exe, prefix=None):
    return harness.wait_for(f"the process of {exe}",
                            lambda: (lambda p: p[0] if len(p) == 1 else None)(
                                pids(lambda comm, cmd: exe in cmd and "wine " not in cmd and comm != "wine", prefix)),
                            timeout=120)


def wineserver_pid(prefix=None):
    return harness.wait_for("wineserver",
                            lambda: (pids(lambda comm, cmd: comm.startswith("wineserver"), prefix) or [None])[0],
                            timeout=60)


def private_kib(pid):
    """Memory of the process that no other process shares (private clean + dirty)."""
    total = 0
    for line in Path(f"/proc/{pid}/smaps_rollup").read_text().splitlines():
        if line.startswith(("Private_Clean:", "Private_Dirty:")):
            total += int(line.split()[1])
    return total


def resources(program, pid, title=harness.TITLE):
    """What the program holds: private memory (KiB) and open file descriptors of its Linux
    process, and the handle, GDI object and USER object counts Windows would show (0 where
    Wine does not count them), read through the probe tool from the window `title`."""
    code, out = program.wintool("resources", title)
    counts = harness.parse_keys(out) if code == 0 else {}
    return {"private": private_kib(pid), "descriptors": len(list(Path(f"/proc/{pid}/fd").iterdir())),
            "handles": int(counts.get("handles", 0)), "gdi": int(counts.get("gdi", 0)),
            "user": int(counts.get("user", 0))}


def print_resources(exe, before, after, before_label, after_label):
    """Two `resources` readings side by side, with the difference. A process always holds
    handles, so a count of 0 means the system does not count them (Wine 8 does not)."""
    width = max(len(before_label), len(after_label))
    counted = before["handles"] > 0

    def counts(values, sign=""):
        if not counted:
            return f"{'n/a':>9}{'n/a':>6}{'n/a':>6}"
        return f"{values['handles']:>{sign}9}{values['gdi']:>{sign}6}{values['user']:>{sign}6}"

    print(f"{exe:{width + 2}}{'private':>10}{'handles':>9}{'GDI':>6}{'USER':>6}{'fds':>6}")
    for label, values in ((before_label, before), (after_label, after)):
        print(f"{label:{width + 2}}{values['private'] / 1024:>7.1f} MB{counts(values)}{values['descriptors']:>6}")
    difference = {key: after[key] - before[key] for key in before}
    print(f"{'difference':{width + 2}}{difference['private'] / 1024:>+7.1f} MB{counts(difference, '+')}"
          f"{difference['descriptors']:>+6}")
