"""quorvel.exe at 150 % display scale (LogPixels 144, in a Wine prefix of its own): windows 1.5 times as large,
the screen and the pointer in 96-DPI pixels, crisp see-through portraits, gestures and chords as at 100 %."""
import json
import time
import unittest
import urllib.request

import harness
from harness import MENU, TITLE, children, find_window, rect, start_match, wait_for

ROOT = (0x33, 0x66, 0x99)
XS, YS = range(1, 63), range(1, 65)  # player 1's portrait in 96-DPI pixels, clear of the window's edges


def see_through_and_pick(display, port, table, scale):
    """The screen once the desktop, painted ROOT, shows through the table, the general a left drag from
    (30, 30) on player 1's portrait to 200 pixels below picks (`scale` times as long), and the table's origin."""
    x, y = map(int, table["client_origin"].split(","))
    display.set_root_colour("#336699")
    wait_for("the desktop to show through the table's background",
             lambda: display.pixels().at(x + round(130 * scale), y + round(50 * scale)) == ROOT, timeout=30)
    screen = display.pixels()
    for step in range(11):
        display.xdotool("mousemove", str(x + round(30 * scale)), str(y + round((30 + 20 * step) * scale)),
                        *{0: ["mousedown", "1"], 10: ["mouseup", "1"]}.get(step, []))
    general = lambda: json.load(urllib.request.urlopen(f"http://127.0.0.1:{port}/api/state", timeout=60))[  # noqa
        "players"][0]["portrait"]["number"]
    wait_for("the pick strip to pick a general", lambda: general() != 12, timeout=30)
    return screen, general(), (x, y)


class DisplayScale(unittest.TestCase):
    def test_windows_screen_pointer_and_pictures_at_150_percent(self):
        port = harness.free_port()
        with harness.VirtualDisplay() as display, \
                harness.Program(display, args=[f"--remote=127.0.0.1:{port}"]) as program:
            _, table = start_match(display, program)
            screen96, general96, o96 = see_through_and_pick(display, port, table, 1)
            display.screenshot(harness.ROOT / "build" / "e2e-display-scale-100.png")

        with harness.VirtualDisplay(dpi=144) as display, \
                harness.Program(display, args=[f"--remote=127.0.0.1:{port}"]) as program:
            # The dialog is first seen where Wine creates it, then placed at the top centre.
            def centred():
                dialog = find_window(program, TITLE)
                left, top, width, _ = rect(dialog["outer"]) if dialog else (0, -1, 0, 0)
                return dialog if top == 0 and abs(left + width / 2 - 960) <= 1 else None
            dialog = wait_for("the start dialog at the top centre of the screen", centred, timeout=180)
            self.assertEqual(dialog["client"], "792,60")
            # The screen in the program's pixels; its 9/10 in the screen's.
            for button, place in (("Center to Down", 972), ("Center to Up", 0)):
                program.wintool("click", TITLE, button, "QuorvelForm")
                box = wait_for("the screen-size message", lambda: find_window(program, TITLE, "#32770"), timeout=60)
                self.assertIn("Размер экрана - 1280 x 720", [c.get("text") for c in children(box)])
                program.wintool("click", TITLE, "OK", "#32770")
                wait_for(f"the dialog's top at {place}", lambda: rect(find_window(program, TITLE)["outer"])[1] == place)

            _, table = start_match(display, program, client="801,126")
            icons, icon_file = display.icons(TITLE), harness.WINDOWS_BUILD / "quorvel.ico"
            for size in (24, 48):  # the small and big icons at 150 %, each the icon file's own image
                self.assertEqual(icons.get(size), harness.icon_file_image(icon_file, size), f"the {size}-pixel icon")
            screen, general144, (tx, ty) = see_through_and_pick(display, port, table, 1.5)
            display.screenshot(harness.ROOT / "build" / "e2e-display-scale-150.png")
            self.assertEqual(general144, general96, "the same drag, 1.5 times as long")

            # Around the portrait each pixel is clear or opaque as at 100 %, and where the two meet
            # no darker than the portrait's edge at 100 %: no pixel blended with the key colour.
            def around(lx, ly):
                return {screen96.at(o96[0] + lx + dx, o96[1] + ly + dy) == ROOT for dx in (-1, 0, 1)
                        for dy in (-1, 0, 1)}

            edge96 = min(sum(screen96.at(o96[0] + lx, o96[1] + ly)) for lx in XS for ly in YS
                         if len(around(lx, ly)) == 2 and screen96.at(o96[0] + lx, o96[1] + ly) != ROOT)
            pixels = [(screen.at(tx + x, ty + y), around((2 * x + 1) // 3, (2 * y + 1) // 3))
                      for x in range(XS.start * 3 // 2, XS.stop * 3 // 2)
                      for y in range(YS.start * 3 // 2, YS.stop * 3 // 2)]
            self.assertEqual([p for p, near in pixels if len(near) == 1 and (p == ROOT) not in near], [])
            self.assertGreaterEqual(min(sum(p) for p, near in pixels if len(near) == 2 and p != ROOT), 0.85 * edge96)

            # A name's double-click opens the menu and, with the table active, brings it back active.
            xdo = display.xdotool
            for _ in range(2):
                xdo("mousemove", str(tx + 330), str(ty + 48), "click", "1")
                wait_for("the table to be active", lambda: find_window(program, TITLE)["active"] == "1", timeout=30)
                xdo("mousemove", str(tx + 240), str(ty + 48), "click", "--repeat", "2", "--delay", "80", "1")
                menu = wait_for("the menu to be active", lambda: (lambda m: m if m and m["active"] == "1" else None)(
                    find_window(program, MENU)), timeout=30)
            self.assertLessEqual(abs(int(menu["client"].split(",")[0]) - 381 * 1.5), 1, "1.5 times as wide")
            self.assertEqual(int(menu["style"], 16) & 0xB0000, 0x80000, "close button, no minimise or maximise")

            # A chord with the table active.
            xdo("mousemove", str(tx + 330), str(ty + 48), "click", "1")
            wait_for("the table to be active", lambda: find_window(program, TITLE)["active"] == "1", timeout=30)
            xdo("keydown", "ctrl+shift+1")
            time.sleep(0.2)  # the operator's hold, not a wait for the program
            xdo("keyup", "ctrl+shift+1")
            wait_for("Ctrl+Shift+1 to raise score 1", lambda: children(find_window(program, MENU))[1]["text"] == "1")

            # Both buttons held on the emblem: the table follows the pointer pixel for pixel.
            place = lambda: rect(find_window(program, TITLE)["outer"])[:2]  # noqa: E731
            before = place()
            for step in (("mousemove", str(tx + 396), str(ty + 45)), ("mousedown", "1"), ("mousedown", "3"),
                         ("mousemove", str(tx + 450), str(ty + 300))):
                xdo(*step)  # one at a time, as the operator's hand goes
            first = wait_for("the table to follow the pointer", lambda: place() != before and place(), timeout=30)
            xdo("mousemove", str(tx + 600), str(ty + 375))
            wait_for("the table to move by the pointer's 150 and 75 pixels",
                     lambda: place() == (first[0] + 150, first[1] + 75), timeout=30)
            xdo("mouseup", "3", "mouseup", "1")


if __name__ == "__main__":
    unittest.main()
