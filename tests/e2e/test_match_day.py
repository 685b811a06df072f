"""The sample day's schedule on the real quorvel.exe under Wine: GO!!!, a point, Ctrl+Shift+N
puts the second match on the table (names, countries, flags, colours, portraits, scores 0,
caption) and Results.csv holds the first; after the second match the program is killed
with taskkill /f and, started again, opens on the third. The two scenes for the breaks and
the control page at 390 x 844 are drawn in headless Chromium (screenshots in build/)."""
import base64
import time
import unittest

import harness
from harness import (MENU, TITLE, children, find_window, free_port, open_menu_from_the_name, press, start_match,
                     wait_for)
from test_remote import WebDriver, curl

TOKEN = "K7-._~2"
SHOTS = harness.ROOT / "build"


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

    def test_the_show_goes_on_with_notices_never_a_box_over_the_table(self):
        """A country that cannot be told, a held N, a remote next, the day's end: never a box."""
        def change(folder):
            (folder / "C_English.codes").unlink()
            for name, edit in (("Players.csv", lambda t: t.replace("Волкова;Украина", "Волкова;France")),
                               ("Matches.csv", lambda t: "\r\n".join(t.splitlines()[:4]) + "\r\n")):
                (folder / name).write_text(edit((folder / name).read_text(encoding="utf-8")), encoding="utf-8")

        port = free_port()
        base = f"http://127.0.0.1:{port}"
        state = lambda: curl(f"{base}/api/state")
        with harness.VirtualDisplay() as display, harness.Program(display, args=[
                f"--remote=127.0.0.1:{port}", f"--remote-token={TOKEN}"], schedule=True, change=change) as program:
            _, table = start_match(display, program)
            tx, ty = (int(v) for v in table["client_origin"].split(","))
            told = wait_for("the notice of Марина's country", lambda: state()["notices"], timeout=30)
            self.assertEqual((told[0]["line"], state()["players"][1]["country"]), (3, {"name": "", "index": None}))
            press(display, program, tx, ty, "ctrl+shift+1")
            wait_for("player 1's point", lambda: state()["players"][0]["score"] == "1", timeout=30)
            display.xdotool("keydown", "ctrl+shift+n", "sleep", "1.5", "keyup", "ctrl+shift+n")  # past a repeat
            wait_for("match 2 on the table", lambda: state()["players"][0]["name"] == "Kenta Moriyama", timeout=30)
            self.assertEqual(state()["schedule"]["current"], 2, "one match for one press")
            press(display, program, tx, ty, "ctrl+shift+2")
            wait_for("player 2's point", lambda: state()["players"][1]["score"] == "1", timeout=30)
            started = time.monotonic()
            self.assertEqual(curl("-X", "POST", "-H", "Content-Type: application/json", "-d", "{}",
                                  f"{base}/api/action/next")["schedule"]["current"], 3)
            self.assertLess(time.monotonic() - started, 5, "the remote next answered within 5 s")
            for _ in range(2):
                press(display, program, tx, ty, "ctrl+shift+n")
            wait_for("the day's end told", lambda: "no match is left" in state()["notices"][-1]["text"], timeout=30)
            self.assertIsNone(find_window(program, TITLE, "#32770"), "a box over the table")
            rows = (program.folder / "Results.csv").read_bytes().decode("utf-8-sig").splitlines()[1:]
            self.assertEqual([row.split(";")[1] for row in rows], ["1", "2"], rows)
            menu = open_menu_from_the_name(display, program, table)
            display.screenshot(SHOTS / "e2e-notice-line.png")
            # A click puts the notice away: the folded menu loses its line (255 twips).
            (mx, my), height = (int(v) for v in menu["client_origin"].split(",")), int(menu["client"].split(",")[1])
            display.xdotool("mousemove", str(mx + 200), str(my + 145), "click", "1")
            wait_for("the notice line put away", lambda: int(find_window(program, MENU)["client"].split(",")[1])
                     == height - 17, timeout=30)

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
