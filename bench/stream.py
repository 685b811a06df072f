#!/usr/bin/env python3
"""The table on stream: the real quorvel.exe --remote under Wine, its WebSockets read by
plain clients on loopback.

- latency: Ctrl+Shift+1 pressed (the key events sent through XTest, as `xdotool keydown`
  sends them, from this process so that the moment of the press is known) while the table
  has the focus, to the message on /overlay/socket and on /api/events that carries the new
  score; median and 95th percentile over the chords;
- idle CPU of the program and wineserver with 5 overlay sockets connected beside none,
  measured in turns in the same run;
- CPU with both pulses stepping, with one overlay socket connected beside none, and the
  messages a second that socket receives;
- the program's memory over socket connects and disconnects (each reads the whole table,
  then closes).

    python3 bench/stream.py [chords] [seconds per CPU measurement] [rounds] [connects] [--fetching]

(60 chords, 30 s, 3 rounds and 1,000 connects unless given). With --fetching the program
has a Bracket.ini naming the native site double on 127.0.0.1, which holds every
answer 8 s (within the program's 10 s); before each chord, when no fetch is under way, the
remote's bracket-refresh starts one, so every chord is pressed while a fetch is under way. Needs the Windows build
(scripts/build.sh windows). The clients are the few lines of WebSocket below (the opening
handshake, unmasked text frames from the server, masked close and pong frames to it), not
browser pages, so that the figures are the program's alone.
"""
import base64
import hashlib
import importlib.util
import json
import os
import socket
import statistics
import struct
import sys
import threading
import time
import urllib.request
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import harness  # noqa: E402
from start_gg_double import StartGgDouble  # noqa: E402
from winproc import private_kib, program_pid, pss_kib  # noqa: E402
from xscreen import XScreen  # noqa: E402

_spec = importlib.util.spec_from_file_location("idle_cpu", Path(__file__).resolve().parent / "idle-cpu.py")
idle_cpu = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(idle_cpu)

CHORD_GAP = 0.65  # from press to press: past the repeat guard's 0.6 s, so each chord counts once
ACCEPT_GUID = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11"


class WebSocket:
    """A client of one of the program's sockets. A thread of its own reads every message
    as it comes, noting its arrival time."""

    def __init__(self, port, path, keep=True):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=30)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall(f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nUpgrade: websocket\r\n"
                          f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\nSec-WebSocket-Version: 13\r\n\r\n"
                          .encode())
        self.buffer = b""
        while b"\r\n\r\n" not in self.buffer:
            self._fill()
        head, self.buffer = self.buffer.split(b"\r\n\r\n", 1)
        accept = base64.b64encode(hashlib.sha1((key + ACCEPT_GUID).encode()).digest())
        if not head.startswith(b"HTTP/1.1 101") or accept not in head:
            raise RuntimeError(f"{path} was not opened: {head.decode(errors='replace')}")
        self.messages = []  # (arrival time, text)
        self.arrived = threading.Condition()
        self.reader = threading.Thread(target=self._read_all, daemon=True) if keep else None
        if self.reader:
            self.reader.start()

    def _fill(self):
        chunk = self.sock.recv(65536)
        if not chunk:
            raise EOFError("the program closed the socket")
        self.buffer += chunk

    def _take(self, size):
        while len(self.buffer) < size:
            self._fill()
        taken, self.buffer = self.buffer[:size], self.buffer[size:]
        return taken

    def _send(self, opcode, payload=b""):
        mask = os.urandom(4)
        self.sock.sendall(bytes([0x80 | opcode, 0x80 | len(payload)]) + mask +
                          bytes(b ^ mask[i % 4] for i, b in enumerate(payload)))

    def message(self):
        """The next text message (the server sends each in one frame); pings answered."""
        while True:
            first, second = self._take(2)
            size = second & 0x7F
            if size >= 126:
                size, = struct.unpack(">H" if size == 126 else ">Q", self._take(2 if size == 126 else 8))
            payload, opcode = self._take(size), first & 0x0F
            if opcode == 0x9:
                self._send(0xA, payload)
            elif opcode == 0x8:
                raise EOFError("the program closed the socket")
            elif opcode == 0x1:
                return payload.decode()

    def _read_all(self):
        try:
            while True:
                text = self.message()
                with self.arrived:
                    self.messages.append((time.monotonic(), text))
                    self.arrived.notify_all()
        except (OSError, EOFError):
            pass

    def first_after(self, since, carries, timeout=5.0):
        """The arrival time of the first message after `since` for which carries(text) holds."""
        deadline = time.monotonic() + timeout
        with self.arrived:
            while True:
                found = next((t for t, text in self.messages if t >= since and carries(text)), None)
                if found or not self.arrived.wait(max(deadline - time.monotonic(), 0)):
                    return found

    def close(self):
        try:
            self._send(0x8, struct.pack(">H", 1000))
        except OSError:
            pass
        self.sock.close()


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(int(len(ordered) * share), len(ordered) - 1)]


def focus_table(display, program, table):
    """Key state reaches the program only while one of its windows has the X focus: a
    click on a name (a plain click there changes nothing)."""
    tx, ty = (int(v) for v in table["client_origin"].split(","))
    display.xdotool("mousemove", str(tx + 160), str(ty + 32), "click", "1")
    harness.wait_for("the table to be the active window",
                     lambda: harness.find_window(program, harness.TITLE)["active"] == "1", timeout=30)


class SlowSite:
    """The site double answering every post after `hold` seconds: while one is held, a
    fetch is under way."""

    def __init__(self, hold=8.0):
        self.double = StartGgDouble().start()
        self.double.control(holdMs=int(hold * 1000))

    def bracket_ini(self, folder):
        (folder / "Bracket.ini").write_text(
            f"site=start.gg\nevent=tournament/quorvel-open/event/main-singles\nstream=quorvel_main\n"
            f"token={self.double.token}\nendpoint={self.double.url}\n", encoding="utf-8")

    def under_way(self, port):
        """A fetch under way: the one held, or one asked for through the remote."""
        if not self.double.held:
            request = urllib.request.Request(f"http://127.0.0.1:{port}/api/action/bracket-refresh", data=b"{}",
                                             method="POST", headers={"Content-Type": "application/json"})
            urllib.request.urlopen(request, timeout=10).close()
            harness.wait_for("a fetch under way", lambda: self.double.held, timeout=30, interval=0.01)


def latency(display, program, table, port, chords, site=None):
    """The delays from each chord's press to its message on each socket, and the chords
    whose message did not come within 5 s (each with the window that had the focus); with
    `site`, each chord pressed while a fetch is under way."""
    page, deck = WebSocket(port, "/overlay/socket"), WebSocket(port, "/api/events")
    harness.wait_for("the whole table and the state on the sockets", lambda: page.messages and deck.messages,
                     timeout=30)
    delays, missed = {"/overlay/socket": [], "/api/events": []}, []

    def score():
        return int(json.loads(deck.messages[-1][1])["players"][0]["score"])
    with XScreen(display.number) as screen:
        for _ in range(chords):
            if site:
                site.under_way(port)
            wanted = score() + 1
            pressed = screen.press(["Control_L", "Shift_L", "1"], True)
            caption = f'"caption":"{wanted}"'
            on_page = page.first_after(pressed, lambda text: caption in text)
            on_deck = deck.first_after(pressed, lambda text: json.loads(text)["players"][0]["score"] == str(wanted))
            screen.press(["1", "Shift_L", "Control_L"], False)
            if on_page and on_deck:
                delays["/overlay/socket"].append(on_page - pressed)
                delays["/api/events"].append(on_deck - pressed)
            else:
                window = harness.find_window(program, harness.TITLE)
                missed.append(f"score {wanted} (table active: {window and window['active']})")
                focus_table(display, program, table)
            time.sleep(max(pressed + CHORD_GAP - time.monotonic(), 0))
    page.close()
    deck.close()
    return delays, missed


def cpu(display, seconds):
    """The program's and wineserver's share of a core together, after idle_cpu's settling."""
    measured = idle_cpu.measure_wine(display, "quorvel.exe", seconds)
    return measured.own + measured.server


def turns(display, port, seconds, rounds, count):
    """CPU with no socket and with `count` overlay sockets, in turns; and the messages a
    second the sockets received while measured."""
    none, some, rates = [], [], []
    for _ in range(rounds):
        none.append(cpu(display, seconds))
        sockets = [WebSocket(port, "/overlay/socket") for _ in range(count)]
        harness.wait_for("the whole table on every socket", lambda: all(s.messages for s in sockets), timeout=30)
        start, received = time.monotonic(), sum(len(s.messages) for s in sockets)
        some.append(cpu(display, seconds))
        rates.append((sum(len(s.messages) for s in sockets) - received) / (time.monotonic() - start) / count)
        for s in sockets:
            s.close()
    return statistics.median(none), statistics.median(some), statistics.median(rates)


def churn(port, pid, connects):
    """Private memory and PSS (KiB) of the program every quarter of the connects, and the
    median time of a connect that reads the whole table."""
    marks, times = [(0, private_kib(pid), pss_kib(pid))], []
    for n in range(1, connects + 1):
        start = time.monotonic()
        client = WebSocket(port, "/overlay/socket", keep=False)
        if '"type":"table"' not in client.message():
            raise AssertionError("a new socket's first message is the whole table")
        times.append(time.monotonic() - start)
        client.close()
        if n % (connects // 4) == 0:
            marks.append((n, private_kib(pid), pss_kib(pid)))
    return marks, statistics.median(times)


def load():
    return "load average " + " ".join(f"{v:.2f}" for v in os.getloadavg())


def main():
    argv = [a for a in sys.argv[1:] if not a.startswith("--")]
    chords = int(argv[0]) if len(argv) > 0 else 60
    seconds = float(argv[1]) if len(argv) > 1 else 30.0
    rounds = int(argv[2]) if len(argv) > 2 else 3
    connects = int(argv[3]) if len(argv) > 3 else 1000
    site = SlowSite() if "--fetching" in sys.argv[1:] else None
    port = harness.free_port()
    print(f"at the start: {load()}" + (" (every chord while a fetch is under way)" if site else ""))
    with harness.VirtualDisplay() as display, \
            harness.Program(display, args=[f"--remote=127.0.0.1:{port}"],
                            change=site.bracket_ini if site else None) as program:
        table = idle_cpu.start_table(display, program)
        focus_table(display, program, table)
        delays, missed = latency(display, program, table, port, chords, site)
        if site:
            print(f"posts to the site meanwhile: {len(site.double.requests)} answered, {site.double.held} held")
        if missed:
            print(f"chords whose message did not come within 5 s: {', '.join(missed)}")
        for path, values in delays.items():
            print(f"key press to the message on {path}, {len(values)} chords: median "
                  f"{statistics.median(values) * 1000:.1f} ms, 95th percentile {percentile(values, 0.95) * 1000:.1f} ms, "
                  f"longest {max(values) * 1000:.1f} ms")
        print(f"  ({load()})")

        none, five, _ = turns(display, port, seconds, rounds, 5)
        print(f"idle CPU (program + wineserver, medians of {rounds} turns of {seconds:.0f} s): no socket {none:.1%}, "
              f"5 overlay sockets {five:.1%}: {five / none:.2f} x  ({load()})")

        idle_cpu.start_pulses(display, program, table, 10)
        none, one, rate = turns(display, port, seconds, rounds, 1)
        print(f"both pulses stepping every 20 ms: no socket {none:.1%}, 1 overlay socket {one:.1%} "
              f"({one / none:.2f} x), {rate:.1f} messages a second to it  ({load()})")

        marks, connect = churn(port, program_pid("quorvel.exe"), connects)
        print(f"memory over {connects} socket connects and disconnects (pulses on; median connect to the whole "
              f"table {connect * 1000:.1f} ms):")
        for n, private, pss in marks:
            print(f"  after {n:>5}: private {private / 1024:.1f} MB, PSS {pss / 1024:.1f} MB")
    print(f"at the end: {load()}")
    if site:
        site.double.close()


if __name__ == "__main__":
    main()
