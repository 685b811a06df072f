"""The sample day's schedule on the real quorvel.exe under Wine: GO!!!, a point, Ctrl+Shift+N
puts the second match on the table (names, countries, flags, colours, portraits, scores 0,
caption) and Results.csv holds the first; after the second match the program is killed
with taskkill /f and, started again, opens on the third. The two scenes for the breaks and
the control page at 390 x 844 are drawn in headless Chromium (screenshots in build/)."""
import base64
import subprocess
import unittest

import harness
from harness import TITLE, children, find_window, free_port, start_match, wait_for
from test_remote import WebDriver, curl

TOKEN = "K7-._~2"
SHOTS = harness.ROOT / "build"


def press(display, program, tx, ty, keys):
    """A chord pressed while the table has the focus."""
    display.xdotool("mousemove", str(tx + 160), str(ty + 32), "click", "1")
    wait_for("the table to be the active window", lambda: find_window(program, TITLE)["active"] == "1", timeout=30)
    display.xdotool("keydown", keys, "sleep", "0.15", "keyup", keys)


class MatchDay(unittest.TestCase):
    def test_next_match_by_chord_results_kept_through_a_kill_and_the_scenes(self):
        port = free_port()
        base = f"http://127.0.0.1:{port}"
        args = [f"--remote=127.0.0.1:{port}", f"--remote-token={TOKEN}"]
        state = lambda: curl(f"{base}/api/state")
        with harness.VirtualDisplay() as display:
            with harness.Program(display, args=args, schedule=True, keep_server=True) as program:
                _, table = start_match(display, program)
                tx, ty = (int(v) for v in table["client_origin"].split(","))
                self.assertEqual([p["name"] for p in state()["players"]], ["Arvid Lindqvist", "Марина Волкова"])
                press(display, program, tx, ty, "ctrl+shift+1")
                wait_for("score 1 to read 1", lambda: state()["players"][0]["score"] == "1", timeout=30)
                press(display, program, tx, ty, "ctrl+shift+n")
                second = wait_for("the second match on the table", lambda: (lambda s: s if s["players"][0]["name"]
                                  == "Kenta Moriyama" else None)(state()), timeout=30)
                one, two = second["players"]
                self.assertEqual((one["score"], two["score"], two["name"], second["series"]),
                                 ("0", "0", "Élodie Marchand", "Best of 3"))
                self.assertEqual((one["colour"]["name"], one["portrait"], two["portrait"]),
                                 ("Red", {"set": "Origin", "number": 1}, {"set": "Origin", "number": 8}))
                self.assertTrue(one["country"]["name"] and two["country"]["name"] and one["visible"]["flag"])
                display.screenshot(SHOTS / "e2e-match-day-second.png")
                results = (program.folder / "Results.csv").read_bytes().decode("utf-8-sig")
                # In the sample schedule's own separator.
                self.assertRegex(results, r"\n\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d;1;Quarterfinal 1;Best of 3;"
                                          r"Arvid Lindqvist;Марина Волкова;1;0;Arvid Lindqvist\r\n$")

                self.scenes_and_control_page(base)
                press(display, program, tx, ty, "ctrl+shift+2")
                wait_for("score 2 to read 1", lambda: state()["players"][1]["score"] == "1", timeout=30)
                press(display, program, tx, ty, "ctrl+shift+n")
                wait_for("the third match on the table", lambda: state()["players"][0]["name"] == "Jonas Keller",
                         timeout=30)
                display.run(["wine", "taskkill", "/f", "/im", "quorvel.exe"], check=False, timeout=120)
                program.exit_code(timeout=60)
                self.assertIn(";2;Quarterfinal 2;Best of 3;Kenta Moriyama;Élodie Marchand;0;1;Élodie Marchand\r\n",
                              (program.folder / "Results.csv").read_bytes().decode("utf-8-sig"))
                folder = program.folder
                with harness.Program(display, folder=folder, schedule=True) as again:
                    dialog = wait_for("the start dialog after the restart", lambda: find_window(again, TITLE),
                                      timeout=180)
                    names = [box["text"] for box in children(dialog)[3:5]]
                    self.assertEqual(names, ["Jonas Keller", "Алия Нурланова"], "opened on the third match")

    def scenes_and_control_page(self, base):
        browser = WebDriver()
        try:
            browser.see_through()
            for scene, wanted in (("upnext", "Kenta Moriyama"), ("results", "Arvid Lindqvist")):
                browser.open(f"{base}/scene/{scene}?token={TOKEN}")
                wait_for(f"the {scene} scene to show {wanted} and its flags", lambda: wanted in browser.script(
                    "return document.images.length && [...document.images].every(i => i.complete && i.naturalWidth)"
                    " && document.body.innerText"), timeout=60)
                self.save(browser, f"e2e-scene-{scene}.png")
            self.assertIn("\u2605", browser.script("return getComputedStyle(document.querySelector('.winner .name'),"
                                                   "'::after').content"), "the winner marked")
            browser.call("POST", f"{browser.session}/goog/cdp/execute", {"params": {"width": 390, "height": 844,
                         "deviceScaleFactor": 1, "mobile": True}, "cmd": "Emulation.setDeviceMetricsOverride"})
            browser.open(f"{base}/#token={TOKEN}")
            wait_for("the day's list with match 2 current", lambda: browser.script(
                "return document.querySelector('#matches [aria-current]')?.textContent || ''").startswith("2."),
                timeout=60)
            browser.click("#next")
            self.assertTrue(browser.text("#next").startswith("tap again"), "one tap loads nothing")
            self.save(browser, "e2e-control-page-day.png")
            wait_for("the next-match button to disarm after 3 s", lambda: browser.text("#next") == "next match")
        finally:
            browser.close()

    @staticmethod
    def save(browser, name):
        png = base64.b64decode(browser.call("GET", f"{browser.session}/screenshot")["value"])
        (SHOTS / name).write_bytes(png)


if __name__ == "__main__":
    unittest.main()
