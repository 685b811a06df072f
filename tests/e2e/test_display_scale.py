"""The real quorvel.exe at a display scale of 150 % (LogPixels 144, in a Wine prefix of its
own): its windows are 1.5 times as large and centred as at 100 %, the screen and the pointer
are measured in the program's own 96-DPI pixels, the see-through table shows the desktop
around crisp portraits, and the pick strip, the table drag, the control menu and the chords
act as at 100 %."""
import json
import time
import unittest
import urllib.request

import harness
from harness import MENU, TITLE, children, find_window, rect, settled_window, start_match, wait_for

ROOT = (0x33, 0x66, 0x99)  # the desktop's colour, set once the program is up
# Player 1's portrait on the table in 96-DPI pixels, each pixel with its eight neighbours
# inside the window and left of the flag.
PORTRAIT_X, PORTRAIT_Y = range(1, 63), range(1, 65)
WS_MINIMIZEBOX, WS_MAXIMIZEBOX, WS_SYSMENU = 0x20000, 0x10000, 0x80000


def origin(window):
    return tuple(int(v) for v in window["client_origin"].split(","))


def portrait_number(port):
    with urllib.request.urlopen(f"http://127.0.0.1:{port}/api/state", timeout=60) as answer:
        return json.load(answer)["players"][0]["portrait"]["number"]


def show_the_desktop(display, table):
    """Paints the desktop in ROOT and waits until it shows through the table's background
    (the gap between the country names, 60 % of the way down)."""
    display.set_root_colour("#336699")
    x, y = origin(table)
    width, height = (int(v) for v in table["client"].split(","))
    wait_for("the desktop to show through the table's background",
             lambda: display.pixels().at(x + width // 4, y + height * 6 // 10) == ROOT, timeout=30)
    return display.pixels()


def drag(display, points, buttons):
    """Moves to the first point, holds the buttons, moves through the rest and lets go."""
    display.xdotool("mousemove", *map(str, points[0]))
    for button in buttons:
        display.xdotool("mousedown", button)
    for point in points[1:]:
        display.xdotool("mousemove", *map(str, point))
    for button in reversed(buttons):
        display.xdotool("mouseup", button)


def pick_strip_drag(display, table, scale):
    """A left drag from (30, 30) on player 1's portrait to 200 pixels below it, in the
    program's pixels, made `scale` times as long on the screen."""
    x, y = origin(table)
    drag(display, [(x + round(30 * scale), y + round((30 + 20 * step) * scale)) for step in range(11)], ["1"])


class DisplayScale(unittest.TestCase):
    def at_100_percent(self):
        """The see-through table at 96 DPI, and the general the pick strip drag picks there."""
        port = harness.free_port()
        with harness.VirtualDisplay() as display, \
                harness.Program(display, args=[f"--remote=127.0.0.1:{port}"]) as program:
            _, table = start_match(display, program)
            screen = show_the_desktop(display, table)
            pick_strip_drag(display, table, 1)
            general = wait_for("the pick strip to pick a general at 100 %",
                               lambda: (lambda n: n if n not in (None, 12) else None)(portrait_number(port)))
            return screen, origin(table), general

    def test_windows_screen_pointer_and_pictures_at_150_percent(self):
        screen96, origin96, general96 = self.at_100_percent()
        port = harness.free_port()
        with harness.VirtualDisplay(dpi=144) as display, \
                harness.Program(display, args=[f"--remote=127.0.0.1:{port}"]) as program:
            xdo = display.xdotool

            # The start dialog: 528 x 40 of the program's pixels, centred at the top.
            dialog = wait_for("the start dialog", lambda: find_window(program, TITLE), timeout=180)
            self.assertEqual(dialog["client"], "792,60")
            left, top, width, _ = rect(dialog["outer"])
            self.assertEqual(top, 0)
            self.assertLessEqual(abs(left + width / 2 - 960), 1, dialog["outer"])

            # The screen in the program's pixels, and 9/10 of its height in the screen's.
            program.wintool("click", TITLE, "Center to Down", "QuorvelForm")
            box = wait_for("the screen-size message box", lambda: find_window(program, TITLE, "#32770"), timeout=60)
            self.assertIn("Размер экрана - 1280 x 720", [c.get("text") for c in children(box)])
            program.wintool("click", TITLE, "OK", "#32770")
            wait_for("the dialog's top edge at 972 of the screen's 1080 pixels",
                     lambda: rect(find_window(program, TITLE)["outer"])[1] == 972, timeout=60)
            program.wintool("click", TITLE, "Center to Up", "QuorvelForm")
            wait_for("the screen-size message box", lambda: find_window(program, TITLE, "#32770"), timeout=60)
            program.wintool("click", TITLE, "OK", "#32770")
            wait_for("the dialog back at the top", lambda: rect(find_window(program, TITLE)["outer"])[1] == 0)

            _, table = start_match(display, program, client="801,126")
            tx, ty = origin(table)

            # Around the portrait each pixel is the desktop where the portrait is
            # transparent at 100 %, the portrait's where it is opaque, and where the two
            # meet the portrait's edge: no pixel darkened by the key colour.
            screen = show_the_desktop(display, table)

            def clear96(lx, ly):
                return screen96.at(origin96[0] + lx, origin96[1] + ly) == ROOT

            def around96(lx, ly):
                return [clear96(lx + dx, ly + dy) for dx in (-1, 0, 1) for dy in (-1, 0, 1)]

            edge96 = min(sum(screen96.at(origin96[0] + lx, origin96[1] + ly)) for lx in PORTRAIT_X
                         for ly in PORTRAIT_Y if not clear96(lx, ly) and any(around96(lx, ly)))
            wrong, edge = [], []
            for y in range(PORTRAIT_Y.start * 3 // 2, PORTRAIT_Y.stop * 3 // 2):
                for x in range(PORTRAIT_X.start * 3 // 2, PORTRAIT_X.stop * 3 // 2):
                    around = around96((2 * x + 1) // 3, (2 * y + 1) // 3)
                    pixel = screen.at(tx + x, ty + y)
                    if all(around) and pixel != ROOT or not any(around) and pixel == ROOT:
                        wrong.append((x, y, pixel))
                    elif pixel != ROOT and any(around):
                        edge.append((sum(pixel), x, y, pixel))
            self.assertEqual(wrong, [], "see-through and opaque pixels as at 100 %")
            self.assertGreaterEqual(min(edge)[0], edge96 * 0.85, f"the darkest edge pixel {min(edge)}")

            # The pick strip: the drag 1.5 times as long picks the same general.
            pick_strip_drag(display, table, 1.5)
            wait_for(f"the pick strip to pick general {general96}", lambda: portrait_number(port) == general96)

            # A double-click on a name opens the control menu, 1.5 times as wide, with a
            # close button only.
            def double_click(x, y):
                xdo("mousemove", str(tx + x), str(ty + y))
                xdo("click", "--repeat", "2", "--delay", "80", "1")

            double_click(240, 48)
            menu = settled_window(program, MENU, "the control menu")
            self.assertLessEqual(abs(int(menu["client"].split(",")[0]) - 381 * 1.5), 1, menu["client"])
            style = int(menu["style"], 16)
            self.assertEqual((style & WS_SYSMENU, style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)), (WS_SYSMENU, 0))

            # With the table active, the name's double-click brings the open menu back as
            # the active window, and the menu reads the table's names again.
            program.wintool("settext", MENU, "0", "typed")
            xdo("mousemove", str(tx + 240), str(ty + 48))
            xdo("click", "1")
            wait_for("the table to be the active window", lambda: find_window(program, TITLE)["active"] == "1")
            double_click(240, 48)
            wait_for("the menu to be active and show player 1's name again",
                     lambda: (lambda m: m["active"] == "1" and children(m)[0]["text"] == "Alexei Volkov")(
                         find_window(program, MENU)), timeout=30)

            # A chord, with the table active.
            xdo("mousemove", str(tx + 240), str(ty + 48))
            xdo("click", "1")
            wait_for("the table to be the active window", lambda: find_window(program, TITLE)["active"] == "1")
            xdo("keydown", "ctrl+shift+1")
            time.sleep(0.2)  # the operator's hold, not a wait for the program
            xdo("keyup", "ctrl+shift+1")
            wait_for("Ctrl+Shift+1 to raise score 1 in the menu",
                     lambda: children(find_window(program, MENU))[1]["text"] == "1", timeout=30)

            # Both buttons held on the emblem: the table follows the pointer pixel for pixel.
            def table_place():
                return rect(find_window(program, TITLE)["outer"])[:2]

            before = table_place()
            xdo("mousemove", str(tx + 396), str(ty + 45))
            xdo("mousedown", "1")
            xdo("mousedown", "3")
            xdo("mousemove", str(tx + 450), str(ty + 300))
            first = wait_for("the table to follow the pointer",
                             lambda: (lambda p: p if p != before else None)(table_place()), timeout=30)
            xdo("mousemove", str(tx + 600), str(ty + 375))
            wait_for("the table to move by the pointer's 150 and 75 pixels",
                     lambda: table_place() == (first[0] + 150, first[1] + 75), timeout=30)
            xdo("mouseup", "3")
            xdo("mouseup", "1")
            self.assertIsNone(program.process.poll(), "the program is still running")


if __name__ == "__main__":
    unittest.main()
