#!/usr/bin/env python3
"""The real quorvel.exe --remote under Wine while its remote control is attacked on
loopback: how long an ordinary GET /api/state takes while 50 connections each send one
byte of a request head every 4 s (slow senders) and while 200 connections sit idle; and,
while 4 clients send score-up requests for player 1 as fast as they can, the longest
time the table goes without repainting (its score 1 is read off the screen every few
milliseconds) and the share of Ctrl+Shift+2 chords, each held 0.15 s, that raise score 2.
Also, alone with `slow-readers [N]`: GET /api/state while N connections (384 unless
given) each write 999 requests for /overlay back to back and read the answers at 8 KB
every 3 s, with a receive buffer of 8 KB.

    python3 bench/remote-attacks.py [flood requests]       (20000 unless given)
    python3 bench/remote-attacks.py slow-readers [connections]
    QUORVEL_WINDOWS_BUILD=<another build/windows> python3 bench/remote-attacks.py

Needs the Windows build (scripts/build.sh windows).
"""
import http.client
import json
import multiprocessing
import socket
import statistics
import sys
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import harness  # noqa: E402
from xscreen import XScreen  # noqa: E402

SCORE_1 = (40, 16, 48, 27)  # score 1's label in the table's client area (pixels)
CHORD_HELD = 0.15
CHORD_GAP = 0.65  # past the repeat guard's 0.6 s, so each chord counts once


def timed_state(port, timeout=40.0):
    """Seconds an ordinary GET /api/state takes on a new connection (None: no answer)."""
    start = time.monotonic()
    try:
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)
        connection.request("GET", "/api/state")
        ok = connection.getresponse().status == 200
        connection.close()
    except OSError:
        ok = False
    return time.monotonic() - start if ok else None


def held_connections(port, count, drip, stop):
    """`count` connections: silent ones, or ones that send a byte of a head every 4 s."""
    sockets = [socket.create_connection(("127.0.0.1", port)) for _ in range(count)]
    while drip and not stop.wait(4.0):
        for s in list(sockets):
            try:
                s.send(b"X")
            except OSError:  # closed by the server: open another, as an attacker does
                sockets.remove(s)
                sockets.append(socket.create_connection(("127.0.0.1", port)))
    stop.wait()
    for s in sockets:
        s.close()


def slow_readers(port, count, stop):
    """`count` connections that each write 999 requests for the overlay page at once and
    read their answers at 8 KB every 3 s; one the server closes is opened again."""
    requests = f"GET /overlay HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n\r\n".encode() * 999

    def opened():
        s = socket.socket()
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 8192)  # as little as a slow reader takes in
        s.connect(("127.0.0.1", port))
        s.setblocking(False)
        try:
            s.send(requests)
        except OSError:
            pass
        return s

    sockets = [opened() for _ in range(count)]
    while not stop.wait(3.0):
        for i, s in enumerate(sockets):
            try:
                gone = s.recv(8192) == b""
            except BlockingIOError:
                gone = False
            except OSError:
                gone = True
            if gone:
                s.close()
                sockets[i] = opened()
    for s in sockets:
        s.close()


def under_attack(port, count, drip, samples=5, attack=None):
    stop = threading.Event()
    attacker = threading.Thread(target=attack or held_connections,
                                args=(port, count, stop) if attack else (port, count, drip, stop))
    attacker.start()
    time.sleep(5.0 if drip or attack else 1.0)  # the attack under way
    times = []
    for _ in range(samples):
        times.append(timed_state(port))
        time.sleep(1.0)
    stop.set()
    attacker.join()
    return times


def flooder(port, requests):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
    body = json.dumps({"player": 1})
    for _ in range(requests):
        try:
            connection.request("POST", "/api/action/score-up", body, {"Content-Type": "application/json"})
            connection.getresponse().read()
        except OSError:
            connection.close()
            connection = http.client.HTTPConnection("127.0.0.1", port, timeout=60)


def flood(display, port, table, requests):
    tx, ty = (int(v) for v in table["client_origin"].split(","))
    # Processes of their own, so that the clients never hold up the look at the screen.
    clients = [multiprocessing.Process(target=flooder, args=(port, requests // 4)) for _ in range(4)]
    chords = [0]

    def flooding():
        return any(client.is_alive() for client in clients)

    def chord_loop():
        while flooding():
            display.xdotool("keydown", "ctrl+shift+2", "sleep", str(CHORD_HELD), "keyup", "ctrl+shift+2")
            chords[0] += 1
            time.sleep(CHORD_GAP)

    changes, looks = [], []
    with XScreen(display.number) as screen:
        last = screen.grab(tx + SCORE_1[0], ty + SCORE_1[1], SCORE_1[2], SCORE_1[3])
        start = time.monotonic()
        for client in clients:
            client.start()
        presser = threading.Thread(target=chord_loop)
        presser.start()
        while flooding():
            now = screen.grab(tx + SCORE_1[0], ty + SCORE_1[1], SCORE_1[2], SCORE_1[3])
            looks.append(time.monotonic())
            if now != last:
                changes.append(time.monotonic())
                last = now
            time.sleep(0.002)
        elapsed = time.monotonic() - start
        presser.join()
    # Between the flood's first repaint and its last: before the first, the clients' processes
    # are still starting. With one repaint or none, the whole flood went without.
    gaps = sorted(b - a for a, b in zip(changes, changes[1:])) or [elapsed]
    # The longest time between two looks at the screen: a repaint gap near it may be the
    # looker's own wait for a core, not the program's.
    blind = max(b - a for a, b in zip(looks, looks[1:]))
    return elapsed, gaps[-1], gaps[int(len(gaps) * 0.99)], len(changes), chords[0], blind


def state(port):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
    connection.request("GET", "/api/state")
    return json.loads(connection.getresponse().read())


def show(label, times):
    print(f"{label}, each in ms: " + ", ".join("no answer" if t is None else f"{t * 1000:.0f}" for t in times))
    answered = [t for t in times if t is not None]
    lost = len(times) - len(answered)
    text = f"median {statistics.median(answered) * 1000:.0f} ms, longest {max(answered) * 1000:.0f} ms" \
        if answered else "no answer"
    print(f"{label}: {text}" + (f", {lost} of {len(times)} without an answer within 40 s" if lost else ""))


def main():
    readers_only = sys.argv[1:2] == ["slow-readers"]
    readers = int(sys.argv[2]) if readers_only and len(sys.argv) > 2 else 384
    requests = int(sys.argv[1]) if len(sys.argv) > 1 and not readers_only else 20000
    port = harness.free_port()
    with harness.VirtualDisplay() as display, \
            harness.Program(display, args=[f"--remote=127.0.0.1:{port}"]) as program:
        _, table = harness.start_match(display, program)
        tx, ty = (int(v) for v in table["client_origin"].split(","))
        # Key state reaches the program only while one of its windows has the X focus.
        display.xdotool("mousemove", str(tx + 160), str(ty + 32), "click", "1")  # a name: a plain click does nothing
        harness.wait_for("the table to be the active window",
                         lambda: harness.find_window(program, harness.TITLE)["active"] == "1", timeout=30)
        harness.wait_for("the remote control to answer", lambda: timed_state(port, 5.0), timeout=60)
        show("GET /api/state, no attack", [timed_state(port) for _ in range(5)])
        if readers_only:
            show(f"GET /api/state, {readers} slow readers of pipelined answers",
                 under_attack(port, readers, drip=False, samples=10, attack=slow_readers))
            return
        show("GET /api/state, 50 slow senders", under_attack(port, 50, drip=True))
        show("GET /api/state, 200 idle connections", under_attack(port, 200, drip=False))
        elapsed, gap, gap99, repaints, chords, blind = flood(display, port, table, requests)
        applied = int(state(port)["players"][1]["score"])
        print(f"flood of {requests} score-ups from 4 clients: {elapsed:.1f} s ({requests / elapsed:.0f}/s), "
              f"score 1 repainted {repaints} times, longest without a repaint {gap * 1000:.0f} ms "
              f"(99 % of gaps under {gap99 * 1000:.0f} ms; the screen unseen for at most {blind * 1000:.0f} ms), "
              f"chords applied {applied} of {chords}")


if __name__ == "__main__":
    main()
