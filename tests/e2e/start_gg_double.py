"""A stand-in for the bracket site's GraphQL endpoint (POST /gql/alpha) on 127.0.0.1.

It answers the three requests the program sends, in the shapes of the site's developer
portal: the tournament's stream queue, the event's sets page by page, and the report of a
set's winner (reportBracketSet). It does not parse GraphQL: it looks at which root fields
the query names and reads the arguments from the variables object, or from the query text
when given there as literals. The day it serves is a scenario (tests/support/
start_gg_scenario.json unless another is given); reports change it as the site would: a
reported set is completed and leaves its stream's queue.

It records every request (its kind, variables, whether the token was right, the status
answered) and every report, and can be told to go offline (its socket closed), to answer
5xx, to hold answers back, to answer "Rate limit exceeded" always, and it keeps the site's
own limit of 80 requests in any 60 s and 1,000 objects a request.

In a test:   double = StartGgDouble(); double.start(); ... double.requests; double.stop()
From a shell: python3 start_gg_double.py --port N [--scenario FILE.json] [--record FILE.json]
              [--control-port M]   (GET /record, POST /control {"offline": true, ...})
"""
import argparse
import copy
import json
import math
import os
import re
import signal
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path

DEFAULT_SCENARIO = Path(__file__).resolve().parents[1] / "support" / "start_gg_scenario.json"
RATE_LIMIT = 80            # requests in any 60 s
RATE_WINDOW = 60.0
MAX_OBJECTS = 1000         # objects a request may return
OBJECTS_PER_SET = 11       # a set, its 2 slots, entrants, participants, users and locations
COMPLETED = 3              # ActivityState COMPLETED

INVALID_TOKEN = (401, {"success": False, "message": "Invalid authentication token"})
RATE_LIMITED = (429, {"success": False, "message": "Rate limit exceeded - api-token"})
TOO_COMPLEX = (200, {"success": False, "fields": None,
                     "message": "Query complexity too high. "
                                "A maximum of 1000 objects may be returned by each request."})
NO_PERMISSION = "You do not have permission to report sets in this event"
ALREADY_COMPLETED = "Set is already completed"


def load_scenario(path=None):
    with open(path or DEFAULT_SCENARIO, encoding="utf-8") as f:
        return json.load(f)


def graphql_errors(message, path=None, data=None):
    error = {"message": message}
    if path:
        error["path"] = [path]
    return {"errors": [error], "data": data}


LISTS = ("gameData", "state")  # arguments given as lists; the others are looked up outside lists


def argument(query, variables, name):
    """The value of argument `name` in the query: a $variable looked up, or a literal (a
    list of objects with bare keys too)."""
    variables = variables if isinstance(variables, dict) else {}
    text = query if name in LISTS else re.sub(r"\[[^\]]*\]", "[]", query)
    match = re.search(r"(?<![$\w])%s\s*:\s*(\$\w+|\"(?:[^\"\\]|\\.)*\"|-?\d+|\[[^\]]*\]|true|false|null)" % name, text)
    if not match:
        return None
    value = match.group(1)
    if value.startswith("$"):
        return variables.get(value[1:])
    try:
        return json.loads(re.sub(r"(\w+)\s*:", r'"\1":', value) if value.startswith("[") else value)
    except ValueError:
        return None


def count_objects(value):
    if isinstance(value, dict):
        return 1 + sum(count_objects(v) for v in value.values())
    if isinstance(value, list):
        return sum(count_objects(v) for v in value)
    return 0


class Site:
    """The site's state and its answers; no sockets (StartGgDouble serves it)."""

    def __init__(self, scenario):
        self.scenario = copy.deepcopy(scenario)
        self.token = self.scenario.get("token", "")
        self.entrants = {str(k): v for k, v in self.scenario.get("entrants", {}).items()}
        self.sets = {}                # id -> set, in call order
        for s in self.scenario.get("sets", []):
            self.sets[str(s["id"])] = dict(s)
        for event in self.scenario.get("events", []):
            for i in range(event.get("generateSets", 0)):
                self._generate(event["id"], i)
        self.may_report = self.scenario.get("mayReport", True)
        self.reports = []

    def _generate(self, event_id, i):
        """Set i of a generated event: two players known, countries in turn, some none."""
        one, two = str(950000 + 2 * i), str(950001 + 2 * i)
        countries = ["Japan", "Sweden", None, "Brazil"]
        for n, entrant in ((2 * i, one), (2 * i + 1, two)):
            self.entrants[entrant] = {"gamerTag": f"Player {n + 1}", "prefix": "", "country": countries[n % 4]}
        self.sets[str(900000 + i)] = {
            "id": 900000 + i, "event": event_id, "fullRoundText": f"Round {i // 8 + 1}", "totalGames": 3,
            "startAt": 1765378800 + 600 * i, "state": 1, "entrants": [int(one), int(two)]}

    def entrant_node(self, entrant_id):
        if entrant_id is None:
            return None
        e = self.entrants[str(entrant_id)]
        prefix = e.get("prefix") or ""
        location = {"country": e.get("country")}
        return {"id": entrant_id, "name": f"{prefix} | {e['gamerTag']}" if prefix else e["gamerTag"],
                "participants": [{"id": int(entrant_id) + 100000, "gamerTag": e["gamerTag"], "prefix": e.get("prefix"),
                                  "user": {"location": location}}]}

    def set_node(self, s):
        return {"id": s["id"], "fullRoundText": s.get("fullRoundText"), "totalGames": s.get("totalGames"),
                "startAt": s.get("startAt"), "state": s.get("state", 1), "winnerId": s.get("winnerId"),
                "slots": [{"id": f"{s['id']}-{k}", "entrant": self.entrant_node(e)}
                          for k, e in enumerate(s.get("entrants", []))]}

    def stream_queue(self, query, variables):
        slug = argument(query, variables, "slug")
        tournament = self.scenario["tournament"]
        if slug not in (tournament["slug"], "tournament/" + tournament["slug"]):
            return 200, {"data": {"tournament": None}}
        queues = []
        for stream in self.scenario.get("streams", []):
            waiting = [self.sets[str(i)] for i in stream.get("queue", [])
                       if self.sets[str(i)].get("state") != COMPLETED]
            if waiting:  # the site lists the streams that have sets queued
                queues.append({"id": str(stream["id"]),
                               "stream": {"id": stream["id"], "streamName": stream["streamName"],
                                          "streamSource": stream.get("streamSource", "TWITCH")},
                               "sets": [self.set_node(s) for s in waiting]})
        data = {"data": {"tournament": {"id": tournament["id"], "streamQueue": queues}}}
        return TOO_COMPLEX if count_objects(data) > MAX_OBJECTS else (200, data)

    def event_sets(self, query, variables):
        slug = argument(query, variables, "slug")
        event = next((e for e in self.scenario.get("events", []) if e["slug"] == slug), None)
        if event is None:
            return 200, {"data": {"event": None}}
        page = argument(query, variables, "page") or 1
        per_page = argument(query, variables, "perPage") or 25
        filters = argument(query, variables, "filters")
        if isinstance(filters, dict):
            states, hide_empty = filters.get("state"), filters.get("hideEmpty")
        else:
            states, hide_empty = argument(query, variables, "state"), argument(query, variables, "hideEmpty")
        if not isinstance(page, int) or not isinstance(per_page, int) or page < 1 or per_page < 1:
            return 200, graphql_errors("Variable page or perPage is not a positive Int", "event")
        if per_page * OBJECTS_PER_SET + 2 > MAX_OBJECTS:
            return TOO_COMPLEX
        chosen = [s for s in self.sets.values() if s["event"] == event["id"]
                  and (not states or s.get("state", 1) in states)
                  and not (hide_empty and all(e is None for e in s.get("entrants", [])))]
        nodes = [self.set_node(s) for s in chosen[(page - 1) * per_page: page * per_page]]
        info = {"total": len(chosen), "totalPages": math.ceil(len(chosen) / per_page), "page": page,
                "perPage": per_page}
        return 200, {"data": {"event": {"id": event["id"], "sets": {"pageInfo": info, "nodes": nodes}}}}

    def report(self, query, variables):
        set_id, winner = argument(query, variables, "setId"), argument(query, variables, "winnerId")
        games = argument(query, variables, "gameData") or []
        entry = {"setId": set_id, "winnerId": winner, "isDQ": argument(query, variables, "isDQ"), "gameData": games}
        self.reports.append(entry)
        s = self.sets.get(str(set_id))
        if s is None:
            entry["outcome"] = "unknown set"
            return 200, graphql_errors(f"Set {set_id} not found", "reportBracketSet", {"reportBracketSet": None})
        if not self.may_report:
            entry["outcome"] = "not allowed"
            return 200, graphql_errors(NO_PERMISSION, "reportBracketSet", {"reportBracketSet": None})
        players = [str(e) for e in s.get("entrants", []) if e is not None]
        if s.get("state") == COMPLETED:
            # The set as it stands beside the refusal: its winner says whether this report
            # was the one already taken.
            entry["outcome"] = "already" if str(s.get("winnerId")) == str(winner) else "other winner"
            stands = [{"id": s["id"], "state": COMPLETED, "winnerId": s.get("winnerId")}]
            return 200, graphql_errors(ALREADY_COMPLETED, "reportBracketSet", {"reportBracketSet": stands})
        bad_game = next((g for g in games if not isinstance(g, dict) or str(g.get("winnerId")) not in players
                         or not isinstance(g.get("gameNum"), int)), None)
        if str(winner) not in players or len(players) < 2 or bad_game is not None:
            entry["outcome"] = "invalid"
            return 200, graphql_errors("Winner or game data does not match the set's entrants", "reportBracketSet",
                                       {"reportBracketSet": None})
        s["state"], s["winnerId"] = COMPLETED, int(winner) if str(winner).isdigit() else winner
        entry["outcome"] = "completed"
        return 200, {"data": {"reportBracketSet": [{"id": s["id"], "state": COMPLETED, "winnerId": s["winnerId"]}]}}


def request_kind(query):
    if re.search(r"\breportBracketSet\b", query):
        return "report"
    if re.search(r"\btournament\b", query) and re.search(r"\bstreamQueue\b", query):
        return "streamQueue"
    if re.search(r"\bevent\b", query) and re.search(r"\bsets\b", query):
        return "eventSets"
    return "unknown"


class StartGgDouble:
    """The site on 127.0.0.1:port (0: a free one), with its switches and its record."""

    def __init__(self, scenario=None, port=0, record_path=None):
        self.site = Site(scenario if scenario is not None else load_scenario())
        self.port = port
        self.record_path = record_path
        self.requests = []         # {"kind", "variables", "tokenOk", "status", "at"}
        self.failure_status = 0    # a 5xx to answer with, 0 for none
        self.rate_limited = False  # answer "Rate limit exceeded" to everything
        self.stall = threading.Event()
        self.stall.set()           # cleared: answers held back until set again
        self.lock = threading.Lock()
        self.server = None

    @property
    def reports(self):
        return self.site.reports

    @property
    def url(self):
        return f"http://127.0.0.1:{self.port}/gql/alpha"

    def start(self):
        double = self

        class Handler(BaseHTTPRequestHandler):
            def do_POST(self):
                length = int(self.headers.get("Content-Length") or 0)
                status, body = double.answer(self.path, self.headers.get("Authorization"), self.rfile.read(length))
                payload = body if isinstance(body, bytes) else json.dumps(body).encode()
                self.send_response(status)
                self.send_header("Content-Type", "application/json" if not isinstance(body, bytes) else "text/html")
                self.send_header("Content-Length", str(len(payload)))
                self.end_headers()
                self.wfile.write(payload)

            def log_message(self, *args):
                pass

        ThreadingHTTPServer.allow_reuse_address = True
        self.server = ThreadingHTTPServer(("127.0.0.1", self.port), Handler)
        self.server.daemon_threads = True
        self.port = self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        return self

    def stop(self):
        """Closes the socket: connections are refused until start() again (the same port)."""
        if self.server:
            self.server.shutdown()
            self.server.server_close()
            self.server = None

    go_offline, go_online = stop, start

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stall.set()
        self.stop()

    def requests_in_window(self, now=None):
        now = time.monotonic() if now is None else now
        with self.lock:
            return sum(1 for r in self.requests if r["tokenOk"] and now - r["at"] < RATE_WINDOW)

    def answer(self, path, authorization, raw):
        """The status and body (JSON object, or bytes) for one post."""
        self.stall.wait(timeout=60)
        token_ok = authorization == f"Bearer {self.site.token}"
        try:
            request = json.loads(raw.decode("utf-8"))
            query, variables = str(request.get("query", "")), request.get("variables") or {}
        except (ValueError, AttributeError):
            query, variables = "", {}
        kind = request_kind(query)
        entry = {"kind": kind, "variables": variables, "tokenOk": token_ok, "at": time.monotonic()}
        with self.lock:
            window = sum(1 for r in self.requests if r["tokenOk"] and entry["at"] - r["at"] < RATE_WINDOW)
            if path.split("?")[0] != "/gql/alpha":
                status, body = 404, b"<html><body>Not Found</body></html>"
            elif self.failure_status:
                status, body = self.failure_status, b"<html><body>Service Unavailable</body></html>"
            elif not token_ok:
                status, body = INVALID_TOKEN
            elif self.rate_limited or window >= RATE_LIMIT:
                status, body = RATE_LIMITED
            elif not query:
                status, body = 400, graphql_errors("Must provide query string.")
            elif kind == "unknown":
                status, body = 400, graphql_errors("Cannot query this field on type \"Query\".")
            else:
                status, body = getattr(self.site, {"report": "report", "streamQueue": "stream_queue",
                                                   "eventSets": "event_sets"}[kind])(query, variables)
            entry["status"] = status
            self.requests.append(entry)
            self.write_record()
        return status, body

    def control(self, change):
        """Applies {"offline": bool, "status": int, "rateLimited": bool, "stall": bool, "mayReport": bool}."""
        if "status" in change:
            self.failure_status = int(change["status"] or 0)
        if "rateLimited" in change:
            self.rate_limited = bool(change["rateLimited"])
        if "mayReport" in change:
            self.site.may_report = bool(change["mayReport"])
        if "stall" in change:
            (self.stall.clear if change["stall"] else self.stall.set)()
        if "offline" in change and bool(change["offline"]) == (self.server is not None):
            (self.stop if change["offline"] else self.start)()

    def record(self):
        with self.lock:
            return {"requests": list(self.requests), "reports": list(self.site.reports),
                    "inWindow": sum(1 for r in self.requests if r["tokenOk"]
                                    and time.monotonic() - r["at"] < RATE_WINDOW)}

    def write_record(self):
        """The record written whole to record_path (under the lock)."""
        if not self.record_path:
            return
        temporary = f"{self.record_path}.tmp"
        with open(temporary, "w", encoding="utf-8") as f:
            json.dump({"requests": self.requests, "reports": self.site.reports}, f, indent=1)
        os.replace(temporary, self.record_path)


def serve_control(double, port):
    """GET /record: the record; POST /control: a change (see StartGgDouble.control)."""

    class Control(BaseHTTPRequestHandler):
        def reply(self, body):
            payload = json.dumps(body).encode()
            self.send_response(200)
            self.send_header("Content-Type", "application/json")
            self.send_header("Content-Length", str(len(payload)))
            self.end_headers()
            self.wfile.write(payload)

        def do_GET(self):
            self.reply(double.record())

        def do_POST(self):
            double.control(json.loads(self.rfile.read(int(self.headers.get("Content-Length") or 0)) or b"{}"))
            self.reply({"offline": double.server is None, "status": double.failure_status,
                        "rateLimited": double.rate_limited})

        def log_message(self, *args):
            pass

    server = ThreadingHTTPServer(("127.0.0.1", port), Control)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def main():
    parser = argparse.ArgumentParser(description="The bracket site's test double on 127.0.0.1")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--scenario", help="the day served (JSON); the shipped test scenario unless given")
    parser.add_argument("--record", help="file the record of requests and reports is written to, whole")
    parser.add_argument("--control-port", type=int, help="port of the side endpoint GET /record, POST /control")
    parser.add_argument("--offline", action="store_true", help="start with the socket closed (control turns it on)")
    options = parser.parse_args()
    double = StartGgDouble(load_scenario(options.scenario), options.port, options.record)
    if not options.offline:
        double.start()
    if options.control_port:
        serve_control(double, options.control_port)
    double.write_record()
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait()
    double.stall.set()
    double.stop()


if __name__ == "__main__":
    main()
