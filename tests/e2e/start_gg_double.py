"""The bracket site's double on 127.0.0.1 for the programs under Wine and the benchmarks:
the native quorvel_site_double (tests/support/start_gg_double_server.cpp, the double of the
headless tests served over HTTP), started and driven from Python.

It answers the stream queue, the event's sets page by page and the report of a set's
winner in the shapes of the site's developer portal, from a scenario (tests/support/
start_gg_scenario.json unless another is given); a reported set is completed and leaves
its stream's queue. Going offline closes its port (the program's connection is refused)
and keeps the day and the reports for when it comes back on the same port.

    with StartGgDouble() as double: ... double.url, double.token, double.requests,
    double.reports, double.stop(), double.start(), double.control(holdMs=8000)

Needs the native build (scripts/build.sh native), or QUORVEL_SITE_DOUBLE naming the program.
"""
import copy
import json
import os
import subprocess
import tempfile
import urllib.request
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
DEFAULT_SCENARIO = ROOT / "tests" / "support" / "start_gg_scenario.json"
PROGRAM = Path(os.environ.get("QUORVEL_SITE_DOUBLE", ROOT / "build" / "native" / "tests" / "quorvel_site_double"))


def load_scenario(path=None):
    """The scenario as data, a copy a test may change before it starts the double."""
    return copy.deepcopy(json.loads(Path(path or DEFAULT_SCENARIO).read_text(encoding="utf-8")))


class StartGgDouble:
    def __init__(self, scenario=None):
        self.scenario = scenario if scenario is not None else load_scenario()
        self.token = self.scenario.get("token", "")
        self.process = None

    def _launch(self):
        if not PROGRAM.exists():
            raise FileNotFoundError(f"{PROGRAM}: the site's double is not built (scripts/build.sh native)")
        with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False, encoding="utf-8") as file:
            json.dump(self.scenario, file)
        self.process = subprocess.Popen([str(PROGRAM), "--scenario", file.name], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, text=True)
        first = self.process.stdout.readline().split()  # "site PORT control PORT", once both listen
        os.unlink(file.name)
        if len(first) != 4:
            raise RuntimeError(f"{PROGRAM} did not start: {' '.join(first) or 'no line'}")
        self.port, self.control_port = int(first[1]), int(first[3])

    def _call(self, path, change=None):
        data = None if change is None else json.dumps(change).encode()
        request = urllib.request.Request(f"http://127.0.0.1:{self.control_port}{path}", data=data,
                                         headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=30) as answer:
            return json.loads(answer.read())

    def control(self, **change):
        """offline, status (a 5xx, 0 for none), rateLimited, mayReport, stall, holdMs."""
        return self._call("/control", change)

    def record(self):
        return self._call("/record")

    @property
    def url(self):
        return f"http://127.0.0.1:{self.port}/gql/alpha"

    @property
    def requests(self):
        return self.record()["requests"]

    @property
    def reports(self):
        return self.record()["reports"]

    @property
    def held(self):
        """The posts being held back now (by holdMs or stall)."""
        return self.record()["held"]

    def start(self):
        """Launches the double, or brings its port back after stop()."""
        if self.process is None:
            self._launch()
        else:
            self.control(offline=False)
        return self

    def stop(self):
        """Closes the site's port: connections are refused until start() again."""
        if self.process is not None:
            self.control(offline=True)

    def close(self):
        if self.process is not None:
            self.process.stdin.close()
            try:
                self.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
            self.process = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.close()
