"""The remote control of the real quorvel.exe under Wine: curl raises score 1 and the
control menu's Text3 shows it, GET /api/state reports it, and the control page in headless
Chromium, driven through its WebDriver with a click on its button, raises score 2.

The program listens on a free loopback port rather than 8421, so that runs beside other
programs on this machine never meet; the default port is the options' own test."""
import json
import shutil
import subprocess
import tempfile
import unittest
import urllib.request

import harness
from harness import MENU, children, find_window, free_port, start_match, wait_for


def menu_scores(program):
    boxes = children(find_window(program, MENU))
    return boxes[1]["text"], boxes[3]["text"]


def curl(*args):
    result = subprocess.run(["curl", "-s", "-S", "--max-time", "20", *args], check=True, capture_output=True,
                            text=True, timeout=30)
    return json.loads(result.stdout)


class WebDriver:
    """A headless Chromium session through chromedriver's W3C WebDriver protocol."""

    def __init__(self):
        self.port = free_port()
        self.profile = tempfile.mkdtemp(prefix="quorvel-chromium-")
        self.driver = subprocess.Popen(["chromedriver", f"--port={self.port}"], stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
        wait_for("chromedriver to answer", lambda: self.call("GET", "/status")["value"]["ready"], timeout=60)
        options = {"binary": shutil.which("chromium"),
                   "args": ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                            f"--user-data-dir={self.profile}"]}
        session = self.call("POST", "/session",
                            {"capabilities": {"alwaysMatch": {"browserName": "chrome", "goog:chromeOptions": options}}})
        self.session = f"/session/{session['value']['sessionId']}"

    def call(self, method, path, body=None):
        data = json.dumps(body).encode() if body is not None else None
        request = urllib.request.Request(f"http://127.0.0.1:{self.port}{path}", data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=120) as response:
            return json.loads(response.read())

    def open(self, address):
        self.call("POST", f"{self.session}/url", {"url": address})

    def element(self, css):
        value = self.call("POST", f"{self.session}/element", {"using": "css selector", "value": css})["value"]
        return next(iter(value.values()))

    def click(self, css):
        self.call("POST", f"{self.session}/element/{self.element(css)}/click", {})

    def text(self, css):
        return self.call("GET", f"{self.session}/element/{self.element(css)}/text")["value"]

    def close(self):
        try:
            self.call("DELETE", self.session)
        finally:
            self.driver.terminate()
            try:
                self.driver.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.driver.kill()
            shutil.rmtree(self.profile, ignore_errors=True)


class RemoteControl(unittest.TestCase):
    def test_curl_and_the_control_page_in_chromium_raise_the_scores_the_menu_shows(self):
        port = free_port()
        base = f"http://127.0.0.1:{port}"
        with harness.VirtualDisplay() as display, \
                harness.Program(display, args=[f"--remote=127.0.0.1:{port}"]) as program:
            _, table = start_match(display, program)
            tx, ty = (int(v) for v in table["client_origin"].split(","))
            # A double-click on player 1's name opens the control menu, whose boxes mirror the scores.
            display.xdotool("mousemove", str(tx + 160), str(ty + 32))
            display.xdotool("click", "--repeat", "2", "--delay", "80", "1")
            wait_for("the control menu to open", lambda: find_window(program, MENU), timeout=60)
            self.assertEqual(menu_scores(program), ("0", "0"))

            answer = curl("-X", "POST", "-H", "Content-Type: application/json", "-d", '{"player":1}',
                          f"{base}/api/action/score-up")
            self.assertEqual(answer["players"][0]["score"], "1", answer)
            wait_for("Text3 to read 1 after curl's score-up", lambda: menu_scores(program) == ("1", "0"), timeout=30)
            state = curl(f"{base}/api/state")
            self.assertEqual([p["score"] for p in state["players"]], ["1", "0"])
            self.assertEqual(state["window"], "table")

            refused = curl("-X", "POST", "-H", "Content-Type: text/plain", "-d", '{"player":1}',
                           f"{base}/api/action/score-up")
            self.assertIn("not application/json", refused["error"])

            browser = WebDriver()
            try:
                browser.open(base + "/")
                wait_for("the control page to show score 1",
                         lambda: browser.text("#score1") == "1" and browser.text("#score2") == "0", timeout=60)
                browser.click("#up2")
                wait_for("the page to show score 2 raised", lambda: browser.text("#score2") == "1", timeout=30)
            finally:
                browser.close()
            wait_for("Text4 to read 1 after the page's + for player 2",
                     lambda: menu_scores(program) == ("1", "1"), timeout=30)
            self.assertEqual([p["score"] for p in curl(f"{base}/api/state")["players"]], ["1", "1"])
            display.screenshot(harness.ROOT / "build" / "e2e-remote.png")
            self.assertIsNone(program.process.poll(), "the program is still running")


if __name__ == "__main__":
    unittest.main()
