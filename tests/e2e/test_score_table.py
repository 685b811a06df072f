"""The score table of the real quorvel.exe under Wine after "GO!!!": where it stands, its
frame or see-through mode, and what it shows (screenshots compared pixel by pixel)."""
import unittest

import harness
from harness import MENU, children, find_window, open_menu_from_the_name, rect, start_match, wait_for

ROOT_COLOUR = (0x33, 0x66, 0x99)
BLUE = (0x2F, 0x68, 0xFA)  # palette swatch 2, Options.ini line 4
RED = (0xFF, 0x00, 0x00)   # palette swatch 11, line 5
WS_CAPTION = 0x00C00000


def with_options(**lines):
    """A change to the program folder's Options.ini: line number -> text."""
    def change(folder):
        path = folder / "Options.ini"
        values = path.read_bytes().decode("utf-8").split("\r\n")
        for line, text in lines.items():
            values[int(line[1:]) - 1] = text
        path.write_bytes("\r\n".join(values).encode("utf-8"))
    return change


class ScoreTable(unittest.TestCase):
    def test_frameless_table_stands_where_the_dialog_stood_on_top_and_see_through(self):
        with harness.VirtualDisplay() as display, harness.Program(display) as program:
            dialog, table = start_match(display, program)
            self.assertEqual(rect(table["outer"])[:2], rect(dialog["outer"])[:2])
            self.assertEqual(table["topmost"], "1")
            self.assertEqual(table["layered"], "1")
            self.assertEqual(table["colorkey"], "0x10101")
            self.assertEqual(int(table["style"], 16) & WS_CAPTION, 0, "no frame")

            display.set_root_colour("#336699")
            ox, oy = (int(v) for v in table["client_origin"].split(","))
            # The background right of the series caption shows the desktop through the table.
            wait_for("the desktop colour to show through the table's background",
                     lambda: display.pixels().at(ox + 300, oy + 62) == ROOT_COLOUR, timeout=30)
            screen = display.pixels()
            self.assertEqual(screen.at(ox + 150, oy + 14), BLUE, "player 1's bar in the colour of line 4")
            self.assertEqual(screen.at(ox + 400, oy + 14), RED, "player 2's bar in the colour of line 5")
            self.assertEqual(screen.at(ox + 150, oy + 24), (0x40, 0x40, 0x40), "player 1's name plate")
            display.screenshot(harness.ROOT / "build" / "e2e-score-table.png")

    def test_framed_table_keeps_the_background_colour_of_the_settings(self):
        change = with_options(l12=str(0x00FF00 | 0x20), l13="1")  # RGB(32, 255, 0) as &H0000FF20
        with harness.VirtualDisplay() as display, harness.Program(display, change=change) as program:
            _, table = start_match(display, program)
            self.assertEqual(table["layered"], "0")
            self.assertEqual(table["topmost"], "1")
            self.assertNotEqual(int(table["style"], 16) & WS_CAPTION, 0, "a single frame with a title bar")
            ox, oy = (int(v) for v in table["client_origin"].split(","))
            wait_for("the table's background in the colour of line 12",
                     lambda: display.pixels().at(ox + 300, oy + 62) == (0x20, 0xFF, 0x00), timeout=30)


    def test_control_menu_opened_from_a_name_carries_a_typed_name_and_score_onto_the_table(self):
        with harness.VirtualDisplay() as display, harness.Program(display) as program:
            _, table = start_match(display, program)
            tx, ty = (int(v) for v in table["client_origin"].split(","))
            menu = open_menu_from_the_name(display, program, table)
            boxes = children(menu)
            self.assertEqual([b["text"] for b in boxes[:5]], ["Alexei Volkov", "0", "Best of 5", "0", "Jonas Berg"])
            mx, my = (int(v) for v in menu["client_origin"].split(","))

            def type_into(box, text):
                x, y, w, h = rect(box["rect"])
                display.xdotool("mousemove", str(mx + x + w // 2), str(my + y + h // 2))
                display.xdotool("click", "1")
                display.xdotool("key", "End", *(["BackSpace"] * 20))
                display.xdotool("type", "--delay", "30", text)

            type_into(boxes[0], "Zed")
            type_into(boxes[1], "3")
            ok = next(b for b in boxes if b["text"] == "OK")
            x, y, w, h = rect(ok["rect"])
            before = display.pixels()
            display.xdotool("mousemove", str(mx + x + w // 2), str(my + y + h // 2))
            display.xdotool("click", "1")
            # The name plate of player 1 repaints with the new name and score.
            wait_for("player 1's name and score to change on the table",
                     lambda: any(display.pixels().at(tx + px, ty + 30) != before.at(tx + px, ty + 30)
                                 for px in range(40, 240, 2)), timeout=30)
            # Activating the table and then the menu reads the table's values back into the menu.
            display.xdotool("mousemove", str(tx + 160), str(ty + 32))
            display.xdotool("click", "1")
            display.xdotool("mousemove", str(mx + 5), str(my + 45))
            display.xdotool("click", "1")
            wait_for("the menu to read the new name and score back from the table",
                     lambda: [b["text"] for b in children(find_window(program, MENU))[:2]] == ["Zed", "3"],
                     timeout=30)
            display.screenshot(harness.ROOT / "build" / "e2e-control-menu.png")

    def test_a_double_click_on_the_menus_score_box_hides_both_scores_and_a_second_shows_them(self):
        # Pointer input over a native text box reaches the control's own handlers.
        with harness.VirtualDisplay() as display, harness.Program(display) as program:
            _, table = start_match(display, program)
            tx, ty = (int(v) for v in table["client_origin"].split(","))
            menu = open_menu_from_the_name(display, program, table)
            mx, my = (int(v) for v in menu["client_origin"].split(","))
            x, y, w, h = rect(children(menu)[1]["rect"])  # Text3, player 1's score
            display.xdotool("mousemove", str(mx + x + w // 2), str(my + y + h // 2))

            def score_pixels():
                screen = display.pixels()
                return [screen.at(tx + px, ty + py) for py in range(16, 46) for px in range(64, 96)]

            shown = score_pixels()
            display.xdotool("click", "--repeat", "2", "--delay", "80", "1")
            wait_for("player 1's score to disappear from the table",
                     lambda: sum(a != b for a, b in zip(shown, score_pixels())) > 20, timeout=30)
            display.xdotool("click", "--repeat", "2", "--delay", "80", "1")
            wait_for("player 1's score to come back", lambda: score_pixels() == shown, timeout=30)


if __name__ == "__main__":
    unittest.main()
