"""The global key chords of the real quorvel.exe under Wine: sent with xdotool while the
table has the keyboard focus, read back from the control menu's score boxes and from the
table's pixels."""
import time
import unittest

import harness
from harness import MENU, children, find_window, open_menu_from_the_name, start_match, wait_for


def menu_texts(program):
    """Text1, Text3, BO, Text4, Text2 of the shown control menu."""
    return [box["text"] for box in children(find_window(program, MENU))[:5]]


def scores(program):
    texts = menu_texts(program)
    return texts[1], texts[3]


class KeyChords(unittest.TestCase):
    def test_chords_raise_and_reset_the_scores_and_step_a_portrait(self):
        with harness.VirtualDisplay() as display, harness.Program(display) as program:
            _, table = start_match(display, program)
            tx, ty = (int(v) for v in table["client_origin"].split(","))

            def click(x, y, repeat=1):
                display.xdotool("mousemove", str(x), str(y))
                display.xdotool("click", "--repeat", str(repeat), "--delay", "80", "1")

            # The control menu mirrors every score change; a double-click on a name opens it.
            menu = open_menu_from_the_name(display, program, table)
            mx, my = (int(v) for v in menu["client_origin"].split(","))
            self.assertEqual(scores(program), ("0", "0"))

            # Key state reaches the program only while one of its windows has the X focus.
            def focus_table():
                harness.focus_table(display, program, tx, ty)

            def hold(keys, seconds):
                # The hold itself is the operator's action, not a wait for the program.
                display.xdotool("keydown", keys)
                time.sleep(seconds)
                display.xdotool("keyup", keys)

            focus_table()
            # Held for 1.5 s the chord acts at about 0, 0.61 and 1.22 s: three points.
            hold("ctrl+shift+1", 1.5)
            wait_for("Text3 to read 3 after Ctrl+Shift+1 was held",
                     lambda: scores(program) == ("3", "0"), timeout=30)

            # The table's own score: clobber the box, then let the menu read the table again.
            program.wintool("settext", MENU, "1", "9")
            wait_for("Text3 to take the typed 9", lambda: scores(program)[0] == "9", timeout=30)
            focus_table()
            click(mx + 5, my + 45)
            wait_for("the menu to read score 1 back from the table as 3",
                     lambda: scores(program) == ("3", "0"), timeout=30)

            focus_table()
            hold("Tab+2", 0.2)
            wait_for("Tab+2 to raise score 2 to 1", lambda: scores(program) == ("3", "1"), timeout=30)

            focus_table()
            hold("ctrl+shift+0", 0.2)
            wait_for("Ctrl+Shift+0 to reset both scores", lambda: scores(program) == ("0", "0"), timeout=30)
            reset = time.monotonic()

            # Player 1's portrait at the left edge: picture 12 at start, picture 1 after "Q".
            def portrait(screen, left):
                return [screen.at(tx + left + x, ty + y) for x in range(4, 60, 4) for y in range(4, 60, 4)]

            screen = display.pixels()
            before1, before2 = portrait(screen, 0), portrait(screen, 470)
            # As for the swap below: past the 0.6 s in which the reset's repeat guard keeps the
            # poll off.
            time.sleep(max(0.0, 0.7 - (time.monotonic() - reset)))
            hold("ctrl+shift+q", 0.2)
            wait_for("Ctrl+Shift+Q to step player 1's portrait",
                     lambda: portrait(display.pixels(), 0) != before1, timeout=30)
            self.assertEqual(portrait(display.pixels(), 470), before2, "player 2's portrait stays")

            # Ctrl+Shift+S swaps the sides: the scores (as the menu mirrors them) and the portraits.
            focus_table()
            hold("ctrl+shift+1", 0.2)
            wait_for("Ctrl+Shift+1 to raise score 1", lambda: scores(program) == ("1", "0"), timeout=30)
            seen = time.monotonic()
            screen = display.pixels()
            left, right = portrait(screen, 0), portrait(screen, 470)
            # The operator's next chord, after the 0.6 s in which chord 1's repeat guard keeps
            # the poll off (a chord held only within it is not seen).
            time.sleep(max(0.0, 0.7 - (time.monotonic() - seen)))
            hold("ctrl+shift+s", 0.2)
            wait_for("Ctrl+Shift+S to swap the scores", lambda: scores(program) == ("0", "1"), timeout=30)
            wait_for("Ctrl+Shift+S to swap the portraits",
                     lambda: (portrait(display.pixels(), 0), portrait(display.pixels(), 470)) == (right, left),
                     timeout=30)
            display.screenshot(harness.ROOT / "build" / "e2e-shortcuts.png")
            self.assertIsNone(program.process.poll(), "the program is still running")


if __name__ == "__main__":
    unittest.main()
