"""The bracket site's test double itself, in process and from its command line (no Wine)."""
import json
import subprocess
import sys
import tempfile
import unittest
import urllib.error
import urllib.request
from pathlib import Path

import start_gg_double as site
from harness import free_port, wait_for

QUEUE = "query Q($slug: String!) { tournament(slug: $slug) { streamQueue { stream { streamName } sets { id } } } }"
SETS = ("query S($slug: String!, $page: Int!) { event(slug: $slug) {"
        " sets(page: $page, perPage: %d, sortType: CALL_ORDER, filters: {state: [1, 2, 4]}) { pageInfo { totalPages } nodes { id } } } }")
REPORT = ("mutation R($setId: ID!, $winnerId: ID!, $gameData: [BracketSetGameDataInput]) {"
          " reportBracketSet(setId: $setId, winnerId: $winnerId, gameData: $gameData) { id state winnerId } }")
MAIN = "tournament/quorvel-open/event/main-singles"


def post(url, query, variables, token="quorvel-test-token"):
    request = urllib.request.Request(url, json.dumps({"query": query, "variables": variables}).encode(),
                                     {"Authorization": f"Bearer {token}", "Content-Type": "application/json"})
    try:
        with urllib.request.urlopen(request, timeout=10) as answer:
            return answer.status, json.loads(answer.read())
    except urllib.error.HTTPError as error:
        body = error.read()
        return error.code, json.loads(body) if body.startswith(b"{") else body


class StartGgDouble(unittest.TestCase):
    def test_queue_sets_and_reports_in_the_documented_shapes(self):
        with site.StartGgDouble() as double:
            status, answer = post(double.url, QUEUE, {"slug": "quorvel-open"})
            queues = answer["data"]["tournament"]["streamQueue"]
            self.assertEqual([q["stream"]["streamName"] for q in queues], ["quorvel_main", "quorvel_side"])
            first, _, third = queues[0]["sets"]
            one, two = (slot["entrant"]["participants"][0] for slot in first["slots"])
            self.assertEqual((first["id"], first["totalGames"], one["gamerTag"], one["prefix"]),
                             (8001, 3, "Moriyama", "RVN"))
            self.assertEqual((one["user"]["location"]["country"], two["gamerTag"]), ("Japan", "Arvid Lindqvist"))
            okonkwo = queues[0]["sets"][1]["slots"][0]["entrant"]["participants"][0]
            self.assertIsNone(okonkwo["user"]["location"]["country"])
            self.assertIsNone(third["slots"][1]["entrant"])
            self.assertEqual(post(double.url, QUEUE, {"slug": "elsewhere"})[1], {"data": {"tournament": None}})

            pages = post(double.url, SETS % 2, {"slug": MAIN, "page": 3})[1]["data"]["event"]["sets"]
            self.assertEqual((pages["pageInfo"]["totalPages"], [n["id"] for n in pages["nodes"]]), (3, [8006]))
            bench = post(double.url, SETS % 90, {"slug": MAIN.replace("main", "bench"), "page": 6})[1]
            self.assertEqual(len(bench["data"]["event"]["sets"]["nodes"]), 50)
            too_many = post(double.url, SETS % 91, {"slug": MAIN, "page": 1})[1]
            self.assertIn("Query complexity too high", too_many["message"])

            games = [{"winnerId": 9101, "gameNum": 1, "entrant1Score": 1, "entrant2Score": 0},
                     {"winnerId": 9101, "gameNum": 2}]
            done = post(double.url, REPORT, {"setId": 8001, "winnerId": 9101, "gameData": games})[1]
            self.assertEqual(done, {"data": {"reportBracketSet": [{"id": 8001, "state": 3, "winnerId": 9101}]}})
            queue = post(double.url, QUEUE, {"slug": "quorvel-open"})[1]["data"]["tournament"]["streamQueue"]
            self.assertEqual(queue[0]["sets"][0]["id"], 8002)
            again = post(double.url, REPORT, {"setId": "8001", "winnerId": "9101"})[1]
            other = post(double.url, REPORT, {"setId": "8001", "winnerId": "9102"})[1]
            self.assertEqual(again, other)  # the set as it stands: its winner tells them apart
            self.assertEqual((again["errors"][0]["message"], again["data"]["reportBracketSet"][0]["winnerId"]),
                             (site.ALREADY_COMPLETED, 9101))
            unknown = post(double.url, REPORT, {"setId": 8003, "winnerId": 9105})[1]
            self.assertIsNone(unknown["data"]["reportBracketSet"])
            self.assertEqual([(r["outcome"], r["gameData"]) for r in double.reports],
                             [("completed", games), ("already", []), ("other winner", []), ("invalid", [])])
            self.assertEqual([r["kind"] for r in double.requests][:3], ["streamQueue", "streamQueue", "eventSets"])

    def test_token_failures_rate_limit_offline_and_the_command_line(self):
        with site.StartGgDouble() as double:
            self.assertEqual(post(double.url, QUEUE, {}, token="wrong"), site.INVALID_TOKEN)
            double.control({"status": 503})
            self.assertEqual(post(double.url, QUEUE, {})[0], 503)
            double.control({"status": 0, "rateLimited": True})
            self.assertEqual(post(double.url, QUEUE, {}), site.RATE_LIMITED)
            double.control({"rateLimited": False})
            answers = [post(double.url, QUEUE, {"slug": "quorvel-open"})[0] for _ in range(80)]
            self.assertEqual((answers.count(200), answers[-1], double.requests_in_window()), (78, 429, 82))
            self.assertFalse(double.requests[0]["tokenOk"])
            double.control({"offline": True})
            with self.assertRaises(urllib.error.URLError):
                post(double.url, QUEUE, {})

        port, control = free_port(), free_port()
        with tempfile.TemporaryDirectory() as folder:
            record = Path(folder) / "record.json"
            command = [sys.executable, site.__file__, "--port", str(port), "--record", str(record),
                       "--control-port", str(control)]
            with subprocess.Popen(command) as process:
                try:
                    url = f"http://127.0.0.1:{port}/gql/alpha"
                    wait_for("the double to answer", lambda: post(url, QUEUE, {"slug": "quorvel-open"})[0] == 200, 20)
                    post(url, REPORT, {"setId": 8004, "winnerId": 9106})
                    self.assertEqual(json.loads(record.read_text())["reports"][0]["outcome"], "completed")
                    urllib.request.urlopen(urllib.request.Request(f"http://127.0.0.1:{control}/control",
                                                                  b'{"offline": true}'), timeout=10).close()
                    with self.assertRaises(urllib.error.URLError):
                        post(url, QUEUE, {})
                finally:
                    process.terminate()


if __name__ == "__main__":
    unittest.main()
