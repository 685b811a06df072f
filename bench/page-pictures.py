#!/usr/bin/env python3
"""How soon the stream pages show their pictures: the real quorvel.exe --remote under Wine
with the shipped folder and its day, and each page (/overlay, /scene/upnext,
/scene/results) opened in headless Chromium with an empty cache, a new browser each round.

    python3 bench/page-pictures.py [rounds]

(5 unless given). Needs the Windows build (scripts/build.sh windows), Chromium and its
WebDriver. Times are the page's own clock (performance.now(), from the start of the
navigation): the first picture asked for (the socket's first message has come), the last
picture's bytes received (the Resource Timing entries of /pic/), and every picture the page
shows decoded and in place. Medians and the longest over the rounds.
"""
import json
import statistics
import sys
import urllib.request
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import harness  # noqa: E402
from stream import idle_cpu, load  # noqa: E402
from test_remote import WebDriver  # noqa: E402

PAGES = ("/overlay", "/scene/upnext", "/scene/results")

# Resolves with the times once every picture the page shows has come and been decoded.
SHOWN = """
const done = arguments[arguments.length - 1];
function check() {
  const images = [...document.querySelectorAll("img")].filter((i) => i.offsetParent && i.style.visibility !== "hidden");
  const wanted = [...document.querySelectorAll("img")].filter((i) => i.dataset.want || i.getAttribute("src"));
  if (wanted.length && images.every((i) => i.complete && i.naturalWidth > 0 && i.getAttribute("src"))) {
    const pictures = performance.getEntriesByType("resource").filter((e) => e.name.includes("/pic/"));
    return done([Math.min(...pictures.map((e) => e.startTime)), Math.max(...pictures.map((e) => e.responseEnd)),
                 performance.now(), pictures.length]);
  }
  requestAnimationFrame(check);
}
check();
"""


def post(base, action, body):
    request = urllib.request.Request(f"{base}/api/action/{action}", data=json.dumps(body).encode(), method="POST",
                                     headers={"Content-Type": "application/json"})
    with urllib.request.urlopen(request, timeout=30) as response:
        response.read()


def play_two(base):
    """Two results, so that the results scene has rows: 1:0 in each of the first two matches."""
    for _ in range(2):
        post(base, "score-up", {"player": 1})
        post(base, "next", {})


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    port = harness.free_port()
    base = f"http://127.0.0.1:{port}"
    times = {page: [] for page in PAGES}
    print(f"at the start: {load()}")
    with harness.VirtualDisplay() as display, \
            harness.Program(display, args=[f"--remote=127.0.0.1:{port}"], schedule=True) as program:
        idle_cpu.start_table(display, program)
        play_two(base)
        for _ in range(rounds):
            for page in PAGES:
                browser = WebDriver()
                try:
                    browser.call("POST", f"{browser.session}/timeouts", {"script": 30000})
                    browser.open(base + page)
                    times[page].append(browser.call("POST", f"{browser.session}/execute/async",
                                                    {"script": SHOWN, "args": []})["value"])
                finally:
                    browser.close()
    print(f"{rounds} first loads of each page in headless Chromium, empty cache (ms from the navigation's start; "
          f"median, longest)")
    for page, rows in times.items():
        cells = [f"{statistics.median(r[i] for r in rows):6.0f} {max(r[i] for r in rows):6.0f}" for i in range(3)]
        print(f"  {page:15} {rows[0][3]:2} pictures   first asked {cells[0]}   last received {cells[1]}   "
              f"all shown {cells[2]}")
    print(f"at the end: {load()}")


if __name__ == "__main__":
    main()
