"""Pointer gestures on the real quorvel.exe's table under Wine, sent with xdotool under the
window manager: a score double-click, a drag over the pick strip below a portrait, a
both-button drag on the emblem, the emblem's way back to the start dialog and its quit."""
import subprocess
import unittest

import harness
from harness import MENU, TITLE, children, find_window, rect, start_match, wait_for

DIALOG_CLIENT = "528,40"
TABLE_CLIENT = "534,84"


def shown(program, client):
    """The program's window with this caption and client size, if it is shown."""
    window = find_window(program, TITLE)
    return window if window and window["client"] == client else None


class Gestures(unittest.TestCase):
    def test_score_portrait_drag_emblem_drag_back_to_the_dialog_and_quit(self):
        with harness.VirtualDisplay() as display, harness.Program(display) as program:
            _, table = start_match(display, program)
            tx, ty = (int(v) for v in table["client_origin"].split(","))
            xdo = display.xdotool

            def at(x, y):
                xdo("mousemove", str(x), str(y))

            # The control menu shows the score mirror; a double-click on a name opens it.
            at(tx + 160, ty + 32)
            xdo("click", "--repeat", "2", "--delay", "80", "1")
            wait_for("the control menu to open", lambda: find_window(program, MENU), timeout=60)

            # Another program's window over the menu: a double-click on a name brings the menu above it.
            mx, my = rect(find_window(program, MENU)["outer"])[:2]
            other = subprocess.Popen(["xmessage", "-title", "over", "-geometry", f"500x300+{mx}+{my}", "over"],
                                     env=display.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                def above(top, below):
                    order = display.stacking()
                    places = [[order.index(i) for i in display.window_ids(name) if i in order] for name in (top, below)]
                    return all(places) and max(places[0]) > max(places[1])

                wait_for("the other window over the menu", lambda: above("^over$", "Control menu"), timeout=30)
                at(tx + 160, ty + 32)
                xdo("click", "--repeat", "2", "--delay", "80", "1")
                wait_for("the menu above the other window", lambda: above("Control menu", "^over$"), timeout=30)
            finally:
                other.terminate()
                other.wait(timeout=10)

            # A double-click on score 1 (its part right of the portrait) adds one point.
            at(tx + 78, ty + 30)
            xdo("click", "--repeat", "2", "--delay", "80", "1")
            wait_for("score 1 to read 1 in the control menu",
                     lambda: children(find_window(program, MENU))[1]["text"] == "1", timeout=30)

            # A left drag from player 1's portrait to 200 pixels below it: cell 4 of the strip.
            def portrait(screen):
                return [screen.at(tx + x, ty + y) for x in range(4, 60, 4) for y in range(4, 60, 4)]

            before = portrait(display.pixels())
            at(tx + 30, ty + 30)
            xdo("mousedown", "1")
            for step in range(1, 11):
                at(tx + 30, ty + 30 + 20 * step)
            xdo("mouseup", "1")
            wait_for("the pick strip to change player 1's portrait",
                     lambda: portrait(display.pixels()) != before, timeout=30)

            # Both buttons held on the emblem: the table follows the pointer.
            at(tx + 264, ty + 30)
            xdo("mousedown", "1")
            xdo("mousedown", "3")
            at(tx + 300, ty + 200)
            first = wait_for("the table to follow the pointer",
                             lambda: (lambda w: rect(w["outer"])[:2] if w and
                                      rect(w["outer"])[:2] != rect(table["outer"])[:2] else None)(
                                 shown(program, TABLE_CLIENT)), timeout=30)
            at(tx + 400, ty + 250)
            wait_for("the table to move by the pointer's 100 and 50 pixels",
                     lambda: rect(shown(program, TABLE_CLIENT)["outer"])[:2] == (first[0] + 100, first[1] + 50),
                     timeout=30)
            xdo("mouseup", "3")
            xdo("mouseup", "1")
            table = shown(program, TABLE_CLIENT)
            tx, ty = (int(v) for v in table["client_origin"].split(","))

            # Ctrl+Alt and a press on the emblem: back to the start dialog with the names.
            at(tx + 264, ty + 30)
            xdo("keydown", "ctrl+alt")
            xdo("click", "1")
            xdo("keyup", "ctrl+alt")
            dialog = wait_for("the start dialog to come back", lambda: shown(program, DIALOG_CLIENT), timeout=60)
            names = [c["text"] for c in children(dialog)[3:5]]
            self.assertEqual(names, ["Alexei Volkov", "Jonas Berg"])

            # GO again, then Shift and a right press on the emblem end the program.
            _, table = start_match(display, program)
            tx, ty = (int(v) for v in table["client_origin"].split(","))
            at(tx + 264, ty + 30)
            xdo("keydown", "shift")
            xdo("click", "3")
            xdo("keyup", "shift")
            self.assertEqual(program.exit_code(timeout=60), 0)


if __name__ == "__main__":
    unittest.main()
