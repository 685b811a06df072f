"""The four programs under Wine, each started from its own ready-to-run folder in dist/:
GO shows its table with the release's frame, and Ctrl+Shift+1 raises score 1."""
import time
import unittest

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


if __name__ == "__main__":
    unittest.main()
