"""The start dialog of the real quorvel.exe under Wine on a virtual display."""
import subprocess
import unittest

import harness
from harness import children, find_window, rect, wait_for

TITLE = "Quorvel 0.99"


def logo_pixel(folder, x, y):
    out = subprocess.run(["convert", str(folder / "pic" / "LOGO.JPG"), "-format", f"%[fx:int(255*p{{{x},{y}}}.r)],"
                          f"%[fx:int(255*p{{{x},{y}}}.g)],%[fx:int(255*p{{{x},{y}}}.b)]", "info:"],
                         check=True, stdout=subprocess.PIPE, text=True).stdout
    return tuple(int(v) for v in out.split(","))


def close(a, b, tolerance=24):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


class StartDialog(unittest.TestCase):
    def test_start_dialog_appears_at_the_top_centre_and_centre_to_down_moves_it(self):
        # Started by its full path from another folder, as from a command prompt.
        with harness.VirtualDisplay() as display, harness.Program(display, place="Q", elsewhere=True) as program:
            dialog = wait_for("the start dialog to be shown", lambda: find_window(program, TITLE), timeout=180)

            # A fixed tool window with a 528 x 40 client area at the top centre.
            self.assertEqual(dialog["client"], "528,40")
            self.assertEqual(dialog["toolwindow"], "1")
            left, top, width, _ = rect(dialog["outer"])
            self.assertEqual(top, 0)
            self.assertLessEqual(abs(left + width / 2 - 960), 1, dialog["outer"])

            # The native controls in tab order, filled from the program folder's files.
            controls = children(dialog)
            texts = [c.get("text") for c in controls]
            self.assertEqual(texts[:5], ["GO!!!", "Center to Up", "Center to Down", "Alexei Volkov", "Jonas Berg"],
                             texts)
            combo = controls[5]
            self.assertEqual(combo["class"].lower(), "combobox")
            self.assertEqual(combo["item.0"], "Russian")
            self.assertEqual(int(combo["count"]), len((program.folder / "Languages.ini").read_text().split()))
            self.assertEqual(combo["cursel"], "0")
            self.assertEqual(texts[6], "Best of 5")
            self.assertEqual(rect(controls[0]["rect"]), (201, 8, 130, 28), "GO!!! at its place")

            # The logo lies under the controls and shows in the gaps between them.
            ox, oy = (int(v) for v in dialog["client_origin"].split(","))
            expected = logo_pixel(program.folder, 150, 38)
            wait_for("the logo to be painted in the gap below the placing buttons",
                     lambda: close(display.pixels().at(ox + 150, oy + 38), expected), timeout=30)
            display.screenshot(harness.ROOT / "build" / "e2e-start-dialog.png")

            # "Center to Down": the screen size first, then the dialog moves to 9/10 of the height.
            program.wintool("click", TITLE, "Center to Down", "QuorvelForm")
            box = wait_for("the screen-size message box", lambda: find_window(program, TITLE, "#32770"), timeout=60)
            self.assertIn("Размер экрана - 1920 x 1080", [c.get("text") for c in children(box)])
            program.wintool("click", TITLE, "OK", "#32770")
            moved = wait_for("the dialog to stand at pixel 972",
                             lambda: (lambda w: w if w and rect(w["outer"])[1] == 972 else None)(
                                 find_window(program, TITLE)), timeout=60)
            self.assertLessEqual(abs(rect(moved["outer"])[0] + rect(moved["outer"])[2] / 2 - 960), 1)
            self.assertIsNone(program.process.poll(), "the program is still running")

    def test_a_missing_or_damaged_picture_ends_the_program_with_a_message_naming_it(self):
        def missing(folder):
            (folder / "pic" / "gen" / "P1" / "5.gif").unlink()

        def damaged(folder):
            picture = folder / "pic" / "gen" / "P2" / "7.gif"
            picture.write_bytes(picture.read_bytes()[:20])

        for change, name, reason in ((missing, "pic\\gen\\P1\\5.gif", ("not found", "cannot find")),
                                     (damaged, "pic\\gen\\P2\\7.gif", ("damaged",))):
            with self.subTest(name), harness.VirtualDisplay() as display, \
                    harness.Program(display, change=change) as program:
                box = wait_for(f"the message about {name}", lambda: find_window(program, TITLE, "#32770"),
                               timeout=120)
                text = next(c["text"] for c in children(box) if name in c.get("text", ""))
                self.assertTrue(text.startswith("Cannot load the picture "), text)
                said = text.split(name + ": ", 1)[-1].lower()
                self.assertTrue(any(words in said for words in reason), f"the reason after the name: {text}")
                self.assertIsNone(find_window(program, TITLE), "no start dialog behind the message")
                program.wintool("click", TITLE, "OK", "#32770")
                self.assertEqual(program.exit_code(), 1)


if __name__ == "__main__":
    unittest.main()
