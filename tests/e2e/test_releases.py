"""The four programs under Wine, each started from its own ready-to-run folder in dist/:
GO shows its table with the release's frame, and Ctrl+Shift+1 raises score 1. A release
zip unzipped where a user may put it starts, shows its pictures and its icon."""
import tempfile
import time
import unittest
import zipfile
from pathlib import Path

import harness
from harness import MENU, children, find_window, start_match, wait_for

WS_CAPTION = 0x00C00000
WS_EX_DLGMODALFRAME = 0x00000001

# Program, its caption, and its table's frame: see-through, single or dialog.
RELEASES = [
    ("quorvel", "Quorvel 0.99", "see-through"),
    ("quorvel-0.97-transparent", "Quorvel 0.97", "see-through"),
    ("quorvel-0.97-window", "Quorvel 0.97", "single"),
    ("quorvel-0.94-window", "Quorvel 0.94", "dialog"),
]


def frame_of(window):
    style, exstyle = int(window["style"], 16), int(window["exstyle"], 16)
    if window["layered"] == "1" and not style & WS_CAPTION:
        return "see-through"
    if style & WS_CAPTION:
        return "dialog" if exstyle & WS_EX_DLGMODALFRAME else "single"
    return "none"


class Releases(unittest.TestCase):
    def test_each_program_starts_from_its_folder_shows_its_frame_and_takes_a_chord(self):
        with harness.VirtualDisplay() as display:
            for name, title, frame in RELEASES:
                with self.subTest(program=name), \
                        harness.Program(display, exe=f"{name}.exe", folder=harness.DIST / name) as program:
                    _, table = start_match(display, program, title)
                    self.assertEqual(frame_of(table), frame)
                    tx, ty = (int(v) for v in table["client_origin"].split(","))
                    display.xdotool("mousemove", str(tx + 160), str(ty + 32))
                    display.xdotool("click", "--repeat", "2", "--delay", "80", "1")
                    wait_for(f"{name}'s control menu to open", lambda: find_window(program, MENU), timeout=60)
                    display.xdotool("click", "1")  # the table takes the focus back for the keys
                    wait_for(f"{name}'s table to be active",
                             lambda: find_window(program, title)["active"] == "1", timeout=30)
                    display.xdotool("keydown", "ctrl+shift+1")
                    time.sleep(0.2)  # the operator's short press
                    display.xdotool("keyup", "ctrl+shift+1")
                    wait_for(f"{name}'s score 1 to read 1 in the control menu",
                             lambda: children(find_window(program, MENU))[1]["text"] == "1", timeout=30)

    def test_a_zip_unzipped_into_a_path_of_spaces_and_cyrillic_starts_with_its_pictures_and_icon(self):
        with tempfile.TemporaryDirectory() as unzipped, harness.VirtualDisplay() as display:
            zipfile.ZipFile(harness.DIST / "quorvel-0.99-win64.zip").extractall(unzipped)
            with harness.Program(display, folder=Path(unzipped) / "quorvel", place="Мои турниры/Quorvel 0.99") \
                    as program:
                _, table = start_match(display, program, "Quorvel 0.99")
                icons = display.icons("Quorvel 0.99")
                for size in (16, 32):  # the small and big icons, each the icon file's own image
                    self.assertEqual(icons.get(size), harness.icon_file_image(harness.WINDOWS_BUILD / "quorvel.ico", size),
                                     f"the table's {size}-pixel icon")
                tx, ty = (int(v) for v in table["client_origin"].split(","))
                screen = display.pixels()
                # The emblem, both portraits and both flags, each a picture of many colours.
                for name, (x, y, w, h) in {"emblem": (234, 0, 60, 60), "portrait 1": (0, 0, 64, 64),
                                           "portrait 2": (470, 0, 64, 64), "flag 1": (64, 40, 35, 31),
                                           "flag 2": (434, 40, 35, 31)}.items():
                    colours = {screen.at(tx + px, ty + py) for px in range(x, x + w) for py in range(y, y + h)}
                    self.assertGreater(len(colours), 3, f"the {name} is not drawn from its picture")


if __name__ == "__main__":
    unittest.main()
