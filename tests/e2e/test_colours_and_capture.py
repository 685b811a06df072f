"""The control menu's colours, portraits and window capture in the real quorvel.exe under
Wine: a swatch recolours a bar on the table, a thumbnail changes a portrait, the colour
dialog's cancel is reported, and the capture settings write the table's picture."""
import os
import struct
import subprocess
import unittest

import harness
from test_remote import TOKEN, curl
from harness import (MENU, TITLE, children, find_window, open_menu_from_the_name, placement_report, rect, start_match,
                     wait_for)

ORANGE = (0xFF, 0xA5, 0x14)  # palette swatch 4
CANCEL_MESSAGE = "User chose the Cancel Button"


def twips_centre(left, top, width, height):
    """The centre of a rectangle given in twips, in client pixels."""
    return (left + width // 2) // 15, (top + height // 2) // 15


def origin(window):
    return tuple(int(v) for v in window["client_origin"].split(","))


def read_bmp(path):
    """(width, height, rows of (r, g, b)) of an uncompressed 24- or 32-bit BMP."""
    data = path.read_bytes()
    if data[:2] != b"BM":
        raise ValueError(f"{path} is not a BMP")
    offset, = struct.unpack_from("<I", data, 10)
    width, height, planes, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if planes != 1 or bits not in (24, 32) or compression not in (0, 3):
        raise ValueError(f"{path}: {bits} bits a pixel, compression {compression}")
    step = bits // 8
    stride = (width * step + 3) // 4 * 4
    if offset + stride * abs(height) > len(data):
        raise ValueError(f"{path} is cut short")
    rows = []
    for y in range(abs(height)):
        start = offset + stride * (abs(height) - 1 - y if height > 0 else y)
        rows.append([tuple(data[start + x * step + 2 - c] for c in range(3)) for x in range(width)])
    return width, abs(height), rows


def read_png(path):
    """Rows of (r, g, b, a) of a PNG that must hold 8-bit RGBA, decoded by ImageMagick."""
    width, height, depth, colour = struct.unpack_from(">IIBB", path.read_bytes(), 16)
    if (depth, colour) != (8, 6):
        raise ValueError(f"{path}: {depth} bits, colour type {colour}")
    raw = subprocess.run(["convert", f"png:{path}", "rgba:-"], check=True, stdout=subprocess.PIPE, timeout=60).stdout
    return [[tuple(raw[(y * width + x) * 4:(y * width + x + 1) * 4]) for x in range(width)] for y in range(height)]


class Session:
    """A match with the control menu opened from player 1's name."""

    def __init__(self, display, program):
        self.display, self.program = display, program
        _, self.table = start_match(display, program)
        self.tx, self.ty = origin(self.table)
        self.menu = open_menu_from_the_name(display, program, self.table)
        self.mx, self.my = origin(self.menu)

    def click_at(self, x, y, button="1", repeat=1):
        self.display.xdotool("mousemove", str(x), str(y))
        if repeat > 1:
            self.display.xdotool("click", "--repeat", str(repeat), "--delay", "80", button)
        else:
            self.display.xdotool("click", button)

    def menu_point(self, twips):
        """The screen point at the centre of a rectangle of the menu given in twips."""
        x, y = twips_centre(*twips)
        return self.mx + x, self.my + y

    def click_menu(self, twips):
        self.click_at(*self.menu_point(twips))

    def table_pixels(self, left, top, right, bottom):
        screen = self.display.pixels()
        return [screen.at(self.tx + x, self.ty + y) for y in range(top, bottom) for x in range(left, right)]

    def box(self, index):
        return children(find_window(self.program, MENU))[index]

    def ok(self, shift=False):
        x, y, w, h = rect(next(b for b in children(find_window(self.program, MENU)) if b["text"] == "OK")["rect"])
        self.display.xdotool("mousemove", str(self.mx + x + w // 2), str(self.my + y + h // 2))
        if shift:
            self.display.xdotool("keydown", "shift")
        self.display.xdotool("click", "1")
        if shift:
            self.display.xdotool("keyup", "shift")

    def type_into(self, index, text):
        x, y, w, h = rect(self.box(index)["rect"])
        self.click_at(self.mx + x + w // 2, self.my + y + h // 2)
        self.display.xdotool("key", "End", *(["BackSpace"] * 60))
        self.display.xdotool("type", "--delay", "30", text)
        wait_for(f"the menu's box {index} to read {text!r}", lambda: self.box(index)["text"] == text, timeout=30)

    def expand(self):
        """Shift+click on OK unfolds the screenshot settings."""
        folded = int(rect(find_window(self.program, MENU)["outer"])[3])
        self.ok(shift=True)
        wait_for("the control menu to unfold",
                 lambda: rect(find_window(self.program, MENU)["outer"])[3] > folded, timeout=30)


class ColoursAndCapture(unittest.TestCase):
    def test_a_left_click_on_a_swatch_recolours_player_1s_bar(self):
        with harness.VirtualDisplay() as display, harness.Program(display) as program:
            session = Session(display, program)
            session.click_menu((1245, 1680, 315, 315))  # swatch 4, "Orange"
            wait_for("player 1's bar to turn orange",
                     lambda: display.pixels().at(session.tx + 150, session.ty + 14) == ORANGE, timeout=30)
            self.assertNotEqual(display.pixels().at(session.tx + 400, session.ty + 14), ORANGE, "player 2's bar")

    def test_a_click_on_a_thumbnail_changes_the_portrait_on_the_table(self):
        with harness.VirtualDisplay() as display, harness.Program(display) as program:
            session = Session(display, program)
            area = (4, 4, 60, 60)  # inside player 1's portrait
            before = session.table_pixels(*area)
            other = session.table_pixels(474, 4, 530, 60)
            session.click_menu((75, 390, 400, 400))  # img1(0): portrait 0 of player 1's set
            try:
                wait_for("player 1's portrait to change to portrait 0",
                         lambda: sum(a != b for a, b in zip(before, session.table_pixels(*area))) > len(before) // 10,
                         timeout=30)
            except AssertionError as error:
                display.screenshot(harness.ROOT / "build" / "e2e-thumbnail-click.png")
                raise AssertionError(f"{error}: clicked at {session.menu_point((75, 390, 400, 400))} with the table "
                                     f"at {session.tx},{session.ty} and the menu at {session.mx},{session.my}; "
                                     f"{placement_report(display, program, (TITLE, MENU))}") from None
            self.assertEqual(session.table_pixels(474, 4, 530, 60), other, "player 2's portrait is left as it was")

    def test_the_colour_dialog_opens_and_its_cancel_is_reported(self):
        port = harness.free_port()
        with harness.VirtualDisplay() as display, harness.Program(
                display, args=[f"--remote=127.0.0.1:{port}", f"--remote-token={TOKEN}"]) as program:
            session = Session(display, program)
            session.expand()
            session.click_menu((60 + 4470, 2145 + 825, 1065, 270))  # Label5, the background swatch
            dialog = wait_for("the colour dialog to open",
                              lambda: next((line.split(" title=", 1)[1] for line in program.wintool("list")[1].splitlines()
                                            if "class=#32770" in line), None), timeout=60)
            code, _ = program.wintool("clickid", dialog, "2", "#32770")
            self.assertEqual(code, 0, "the dialog has a Cancel button")
            # See-through table: the swatch holds the key colour RGB(1, 1, 1).
            wait_for("the menu caption with the cancelled result and the swatch's colour",
                     lambda: find_window(program, "RGB - 0 - 1  1  1"), timeout=30)
            # Over the running match the cancel is a notice, not a box.
            notices = curl(f"http://127.0.0.1:{port}/api/state")["notices"]
            self.assertEqual([n["text"] for n in notices], [CANCEL_MESSAGE])
            self.assertIsNone(find_window(program, TITLE, "#32770"), "no message box over the match")

    def test_an_interval_with_ok_writes_the_tables_own_picture_and_only_a_change_rewrites_it(self):
        with harness.VirtualDisplay() as display, harness.Program(display) as program:
            session = Session(display, program)
            shot = program.folder / "screenshot.bmp"
            self.assertFalse(shot.exists(), "nothing is written before capturing is asked for")
            session.expand()
            self.assertTrue(session.box(6)["text"].endswith("\\screenshot.bmp"), session.box(6)["text"])
            display.set_root_colour("#336699")
            session.type_into(7, "5")  # tenths of a second; typed, it sets a 5 ms timer
            self.assertFalse(list(program.folder.glob("screenshot*")), "written before OK applied the interval")
            session.ok()
            wait_for("the capture file to appear", lambda: shot.exists(), timeout=30)
            width, height, rows = read_bmp(shot)  # player 1's bar; the key colour, not the desktop, see-through
            self.assertEqual((width, height, rows[14][150], rows[62][300]), (534, 84, (0x2F, 0x68, 0xFA), (1, 1, 1)))
            shot = program.folder / "table.png"
            session.type_into(6, "table.png")
            session.ok()
            first = wait_for("the PNG to appear", lambda: shot.exists() and read_png(shot), timeout=30)
            self.assertEqual((first[14][150], first[62][300][3]), ((0x2F, 0x68, 0xFA, 255), 0), "alpha 0 where see-through")
            before = os.stat(shot)
            # Partly off the screen, the table's picture is the same: nothing is written.
            display.xdotool("windowmove", display.window_ids(TITLE)[0], "-200", "1040")
            wait_for("the table to be partly off the screen",
                     lambda: rect(find_window(program, TITLE)["outer"])[:2] == (-200, 1040), timeout=30)
            self.assertEqual(os.stat(shot).st_ino, before.st_ino, "the unchanged table was written again")
            session.click_menu((1245, 1680, 315, 315))  # swatch 4, "Orange"
            last = wait_for("a capture with player 1's bar orange",
                            lambda: (lambda rows: rows[14][150] == ORANGE + (255,) and rows)(read_png(shot)), timeout=30)
            self.assertEqual([row[:64] for row in last], [row[:64] for row in first], "player 1's portrait, off screen")
            after = os.stat(shot)
            self.assertEqual((after.st_mtime_ns % 10**9, after.st_mtime_ns > before.st_mtime_ns), (0, True),
                             "stamped in whole seconds, each picture in a later one")
            self.assertFalse(list(program.folder.glob("*.tmp")), "no temporary file is left beside it")
            for name, magic in (("table.gif", b"GIF8"), ("table.JPG", b"\xff\xd8\xff")):
                session.type_into(6, name)
                session.ok()
                wait_for(f"{name} to be written as its name asks",
                         lambda: (program.folder / name).exists() and
                         (program.folder / name).read_bytes()[:len(magic)] == magic, timeout=30)
            # Back to the start dialog and GO!!!: the saving applied with "OK" goes on for the next match.
            jpg = program.folder / "table.JPG"
            session.click_at(*session.menu_point((3585, 1290, 300, 300)), repeat=2)  # the arrow: back to the start
            wait_for("the table to close", lambda: len(program.wintool("list")[1].splitlines()) == 1, timeout=30)
            jpg.unlink()
            session = Session(display, program)
            first = wait_for("the next match's table saved at once", lambda: jpg.exists() and jpg.read_bytes(), timeout=30)
            harness.press(display, program, session.tx, session.ty, "ctrl+shift+1")
            wait_for("the saved picture to follow the chord's score", lambda: jpg.read_bytes() != first, timeout=30)

if __name__ == "__main__":
    unittest.main()
