"""The remote control of the real quorvel.exe under Wine: the overlay page in headless
Chromium, on a see-through background, shows the table as its window does; curl raises
score 1 and the control menu's Text3 shows it, GET /api/state reports it, and the control
page, driven through Chromium's WebDriver, shows the live overlay, follows a chord without
asking, and raises score 2 with a click on its button; all of them with a token holding
every character besides letters and digits that a token may hold.

The program listens on a free loopback port rather than 8421, so that runs beside other
programs on this machine never meet; the default port is the options' own test."""
import base64
import json
import shutil
import struct
import subprocess
import tempfile
import unittest
import urllib.request

import harness
from harness import MENU, TITLE, children, find_window, free_port, press, start_match, wait_for

ROOT_COLOUR = (0x33, 0x66, 0x99)
TOKEN = "K7-._~2"
BEARER = f"Authorization: Bearer {TOKEN}"
TEXT_KINDS = {"label", "textbox", "combobox", "button", "frame"}
# The overlay's text of the table's control named arguments[0], on the page or in the control page's frame.
OVERLAY_TEXT = ("const page = arguments[1] ? document.getElementById('overlay').contentWindow : window;"
                "return page.eval('(name => elements[controls.findIndex(c => c.name === name)].textContent)')"
                "(arguments[0]);")


def menu_scores(program):
    boxes = children(find_window(program, MENU))
    return boxes[1]["text"], boxes[3]["text"]


def overlay_mismatches(page, shown_at, controls):
    """The shares of the overlay page's pixels (rows of (r, g, b, a)) that differ from the
    window's (shown_at(x, y)), outside every text: on the bars, the plates and the background,
    each pixel exactly, see-through ones with alpha 0; on the pictures, each within 16 of
    the range of the window's 3 x 3 pixels around it, since the window samples a scaled
    picture's single pixels where the browser smooths them."""
    owner = {}
    for c in controls:  # in drawing order, the last one over a pixel on top; text anywhere below leaves it out
        for y in range(max(c["y"], 0), min(c["y"] + c["height"], 84)) if c["shown"] else ():
            for x in range(max(c["x"], 0), min(c["x"] + c["width"], 534)):
                owner[x, y] = "text" if c["kind"] in TEXT_KINDS or owner.get((x, y)) == "text" else c["kind"]

    def same(x, y, picture):
        shown, (r, g, b, a) = shown_at(x, y), page[y][x]
        if not picture:
            return a == 0 if shown == ROOT_COLOUR else a == 255 and (r, g, b) == shown
        around = [shown_at(i, j) for j in range(max(y - 1, 0), min(y + 2, 84))
                  for i in range(max(x - 1, 0), min(x + 2, 534))]
        solid = [p for p in around if p != ROOT_COLOUR]
        if a == 0 or a < 255 and len(solid) < len(around):  # see-through, or at a see-through edge
            return len(solid) < len(around)
        return a == 255 and bool(solid) and all(min(p[k] for p in solid) - 16 <= value <= max(p[k] for p in solid) + 16
                                               for k, value in enumerate((r, g, b)))

    counts = {False: [0, 0], True: [0, 0]}
    for y in range(84):
        for x in range(534):
            kind = owner.get((x, y), "form")
            if kind != "text":
                picture = kind in ("image", "picturebox")
                counts[picture][0] += 1
                counts[picture][1] += not same(x, y, picture)
    return {"flat": counts[False][1] / counts[False][0], "pictures": counts[True][1] / counts[True][0]}


def curl(*args):
    result = subprocess.run(["curl", "-s", "-S", "--max-time", "20", "-H", BEARER, *args], check=True, capture_output=True,
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

    def script(self, code, *args):
        return self.call("POST", f"{self.session}/execute/sync", {"script": code, "args": list(args)})["value"]

    def see_through(self):
        """Pages drawn over nothing, as a streaming program's browser source composes them."""
        self.call("POST", f"{self.session}/goog/cdp/execute",
                  {"cmd": "Emulation.setDefaultBackgroundColorOverride",
                   "params": {"color": {"r": 0, "g": 0, "b": 0, "a": 0}}})

    def rgba(self):
        """The page as rows of (r, g, b, a), its alpha kept."""
        png = base64.b64decode(self.call("GET", f"{self.session}/screenshot")["value"])
        width, height = struct.unpack(">II", png[16:24])
        raw = subprocess.run(["convert", "png:-", "-depth", "8", "rgba:-"], input=png, check=True,
                             capture_output=True, timeout=60).stdout
        return [[tuple(raw[(y * width + x) * 4:(y * width + x) * 4 + 4]) for x in range(width)]
                for y in range(height)]

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


def assert_name_whole(test, view, white):
    """The white of player 1's name (x 88 to 234, y 21 to 44, beside its score, which ends at
    x 88) spans the width of the whole name, not its first word."""
    columns = [x for x in range(88, 240) if any(white(x, y) for y in range(21, 45))]
    test.assertTrue(columns and columns[0] > 88 and columns[-1] < 234 and columns[-1] - columns[0] > 110,
                    (view, columns[:1], columns[-1:]))


class RemoteControl(unittest.TestCase):
    def test_curl_and_the_control_page_in_chromium_raise_the_scores_the_menu_shows(self):
        port = free_port()
        base = f"http://127.0.0.1:{port}"
        with harness.VirtualDisplay() as display, \
                harness.Program(display, args=[f"--remote=127.0.0.1:{port}", f"--remote-token={TOKEN}"]) as program:
            _, table = start_match(display, program)
            tx, ty = (int(v) for v in table["client_origin"].split(","))
            self.overlay_matches_the_table(display, base, tx, ty)
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
                browser.open(base + "/#token=" + TOKEN)
                wait_for("the control page and its overlay to show score 1",
                         lambda: browser.text("#score1") == "1" and browser.text("#score2") == "0" and
                         browser.script(OVERLAY_TEXT, "T1", True) == "1", timeout=60)
                press(display, program, tx, ty, "ctrl+shift+1")
                wait_for("the control page and its overlay to show the chord's score 2",
                         lambda: browser.text("#score1") == "2" and browser.script(OVERLAY_TEXT, "T1", True) == "2",
                         timeout=30)
                self.assertEqual(browser.script("return performance.getEntriesByType('resource')"
                                                ".filter(e => e.name.includes('/api/state')).length"), 0,
                                 "the scores came over the socket, not by asking")
                browser.click("#up2")
                wait_for("the page to show score 2 raised", lambda: browser.text("#score2") == "1", timeout=30)
                wait_for("the shipped roster's 24 names as the name fields' suggestions",
                         lambda: browser.script("return document.querySelectorAll('#roster option').length") == 24,
                         timeout=30)
                browser.click("#swap")
                browser.click("#swap")  # the swap asks for a second tap
                wait_for("the page's swap button to swap the scores",
                         lambda: (browser.text("#score1"), browser.text("#score2")) == ("1", "2"), timeout=30)
            finally:
                browser.close()
            wait_for("the menu's score boxes to read 1 and 2 after the page's + for player 2 and its swap",
                     lambda: menu_scores(program) == ("1", "2"), timeout=30)
            self.assertEqual([p["score"] for p in curl(f"{base}/api/state")["players"]], ["1", "2"])
            display.screenshot(harness.ROOT / "build" / "e2e-remote.png")
            self.assertIsNone(program.process.poll(), "the program is still running")

    def test_a_country_picked_on_the_table_survives_ok_and_a_long_name_is_whole_after_a_swap(self):
        """Алия Нурланова made 16 points on the right (two Shift+clicks), swapped to the narrower
        left; a country picked in player 1's list on the table, then the menu's "OK", which keeps
        it. The name is drawn whole beside its score, in the window and on the overlay."""
        port = free_port()
        base = f"http://127.0.0.1:{port}"
        post = lambda action, body: curl("-X", "POST", "-H", "Content-Type: application/json", "-d", body,
                                         f"{base}/api/action/{action}")
        points = "return controls.find(c => c.name === arguments[0]).font.points"
        country = lambda: curl(f"{base}/api/state")["players"][0]["country"]["index"]
        with harness.VirtualDisplay() as display, \
                harness.Program(display, args=[f"--remote=127.0.0.1:{port}", f"--remote-token={TOKEN}"]) as program:
            _, table = start_match(display, program)
            tx, ty = (int(v) for v in table["client_origin"].split(","))
            browser = WebDriver()
            try:
                browser.see_through()
                browser.open(base + "/overlay?token=" + TOKEN)
                wait_for("the overlay to draw the table", lambda: browser.script(points, "P2") == 14.25, timeout=60)
                display.xdotool("mousemove", str(tx + 368), str(ty + 32), "keydown", "shift", "click", "1", "sleep",
                                "0.8", "click", "1", "keyup", "shift")  # apart: not a double-click
                wait_for("player 2's name grown by the Shift+clicks", lambda: browser.script(points, "P2") == 16.25,
                         timeout=30)
                post("roster", '{"player": 2, "name": "Алия Нурланова"}')
                post("swap", "{}")
                before = country()
                display.xdotool("mousemove", str(tx + 81), str(ty + 55), "click", "--repeat", "2", "--delay", "80", "1")
                wait_for("the country lists to open",
                         lambda: sum(c.get("visible") == "1" for c in children(find_window(program, TITLE))) >= 2,
                         timeout=30)
                display.xdotool("mousemove", str(tx + 181), str(ty + 57), "click", "1", "sleep", "0.5", "key", "Down",
                                "Return")
                picked = wait_for("another country picked in player 1's list",
                                  lambda: (lambda index: index != before and index)(country()), timeout=30)
                display.xdotool("mousemove", str(tx + 160), str(ty + 32), "click", "--repeat", "2", "--delay", "80", "1")
                wait_for("the control menu to open", lambda: find_window(program, MENU), timeout=60)
                program.wintool("settext", MENU, "2", "Best of 7")  # the series box: shows that "OK" has run
                program.wintool("click", MENU, "OK", "QuorvelForm")
                wait_for("the menu's OK to apply the series caption",
                         lambda: curl(f"{base}/api/state")["series"] == "Best of 7", timeout=30)
                self.assertEqual(country(), picked, "OK keeps the country picked on the table")
                post("show-all", "{}")  # the lists closed
                wait_for("the overlay to show the long name on the left, drawn smaller",
                         lambda: browser.script(OVERLAY_TEXT, "P1", False) == "Алия Нурланова" and
                         8 <= browser.script(points, "P1") < 16.25, timeout=30)
                page = browser.rgba()
                assert_name_whole(self, "the overlay", lambda x, y: min(page[y][x][:3]) > 200)
            finally:
                browser.close()
            display.screenshot(harness.ROOT / "build" / "e2e-long-name.png")
            screen = display.pixels()
            assert_name_whole(self, "the window", lambda x, y: min(screen.at(tx + x, ty + y)) > 200)

    def test_the_phone_page_greys_out_while_the_program_is_gone_and_resets_only_on_a_second_tap(self):
        port = free_port()
        base, args = f"http://127.0.0.1:{port}", [f"--remote=127.0.0.1:{port}", "--remote-token=K7p2"]
        def pressable(every):  # whether every button can be pressed (True), or none can (False)
            return browser.script("return [...document.querySelectorAll('button')]"
                                  ".every(b => b.disabled !== arguments[0])", every)
        with harness.VirtualDisplay() as display:
            browser = WebDriver()
            try:
                browser.call("POST", f"{browser.session}/goog/cdp/execute", {"params": {"width": 390, "height": 844,
                             "deviceScaleFactor": 1, "mobile": True}, "cmd": "Emulation.setDeviceMetricsOverride"})
                with harness.Program(display, args=args, keep_server=True) as program:
                    start_match(display, program)
                    browser.open(base + "/")
                    wait_for("the token message", lambda: "#token= followed by the token the program was started with"
                             in browser.text("#status"), timeout=60)
                    self.assertTrue(browser.script("return window.view.hidden && !window.overlay.src"),
                                    "no preview, which would show the refusal, without the token")
                    browser.open("about:blank")
                    browser.open(base + "/#token=K7p2")
                    wait_for("the page to reach the program", lambda: pressable(True), timeout=60)
                    self.assertEqual(browser.script(  # the buttons in the lower half, the preview as wide as its box
                        "const r = id => window[id].getBoundingClientRect(); return [r('up1').top > 422,"
                        " r('portrait2').bottom <= 844, r('overlay').width === r('view').width]"), [True] * 3)
                    browser.click("#up1")
                    wait_for("score 1 raised", lambda: browser.text("#score1") == "1", timeout=30)
                    browser.click("#reset")
                    self.assertEqual(browser.text("#reset"), "tap again to reset")
                    browser.click("#up1")  # after a reset it would read 1
                    wait_for("score 1 raised again, one tap on reset sent nothing",
                             lambda: browser.text("#score1") == "2", timeout=30)
                    wait_for("the reset to disarm after 3 s", lambda: browser.text("#reset") == "reset both scores")
                    browser.click("#reset")
                    browser.click("#reset")
                    wait_for("both scores reset by the second tap", lambda: browser.text("#score1") == "0", timeout=30)
                    self.assertTrue(browser.script("return swap.getBoundingClientRect().bottom < name1.getBoundingClientRect().top"))
                    browser.click("#swap")
                    browser.click("#up1")  # after a swap it would raise Jonas on the left
                    wait_for("score 1 raised with Alexei still on the left, one tap on swap sent nothing",
                             lambda: (browser.text("#name1")[:6], browser.text("#score1")) == ("Alexei", "1"), timeout=30)
                    browser.click("#swap")
                    browser.click("#swap")
                    wait_for("the sides swapped by two taps", lambda: browser.text("#name1")[:5] == "Jonas", timeout=30)
                wait_for("the page to grey out while the program is gone", lambda: pressable(False)
                         and "does not answer" in browser.text("#status"), timeout=60)
                with harness.Program(display, args=args) as program:
                    # The buttons stay off while the start dialog is up: GO first.
                    start_match(display, program)
                    wait_for("the page back after the restart", lambda: pressable(True), timeout=180)
                    refused = subprocess.run(["curl", "-sw", " %{http_code}", f"{base}/overlay?scale=abc&token=K7p2"],
                                             capture_output=True, text=True, timeout=30).stdout
                    self.assertTrue(refused.startswith("scale: ") and refused.endswith(" 400"), refused)
            finally:
                browser.close()

    def assert_countries_whole(self, view, white):
        """Беларусь and Германия run from their labels (x 60, 426) toward the caption (x 232-296)."""
        first, second = ([x for x in span if any(white(x, y) for y in range(72, 84))]  # below the flags
                         for span in (range(60, 232), range(296, 472)))
        self.assertTrue(first and 106 < first[-1] < 228 and second and 300 < second[0] < 426, (view, first, second))

    def overlay_matches_the_table(self, display, base, tx, ty):
        """The overlay at scale 1 on a see-through background against the window's pixels."""
        display.set_root_colour("#336699")
        browser = WebDriver()
        try:
            browser.see_through()
            browser.open(base + "/overlay?token=" + TOKEN)
            wait_for("the overlay to draw the table with every picture loaded",
                     lambda: browser.script("return root.style.display === 'block' && [...root.querySelectorAll('img')]"
                                            ".every(i => !i.offsetParent || i.style.visibility === 'hidden' || "
                                            "(i.src && i.complete))"), timeout=60)
            wait_for("the desktop colour to show through the table",
                     lambda: display.pixels().at(tx + 300, ty + 62) == ROOT_COLOUR, timeout=30)
            screen = display.pixels()
            page = browser.rgba()
            mismatches = overlay_mismatches(page, lambda x, y: screen.at(tx + x, ty + y),
                                            browser.script("return controls"))
            self.assert_countries_whole("the window", lambda x, y: screen.at(tx + x, ty + y) == (255, 255, 255))
            self.assert_countries_whole("the overlay", lambda x, y: min(page[y][x]) > 200)
        finally:
            browser.close()
        if mismatches["flat"] > 0 or mismatches["pictures"] > 0.02:
            display.screenshot(harness.ROOT / "build" / "e2e-overlay-screen.png")
            self.fail(f"the overlay's pixels differ from the window's outside the text: {mismatches}")


if __name__ == "__main__":
    unittest.main()
