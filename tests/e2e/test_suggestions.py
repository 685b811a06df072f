"""The roster's names offered under the start dialog's name box of the real quorvel.exe
under Wine: typed with xdotool, picked with the keys and set up on the table by GO!!!
(read back from the remote control's state), and placed above the box when the dialog
stands at the bottom of the screen."""
import json
import subprocess
import unittest

import harness
from harness import TITLE, children, find_window, free_port, rect, settled_window, start_match, wait_for

PLAYERS = ("name;country;colour;portrait\r\n"
           "Alexander Kovac;Austria;Red;P1/3\r\n"
           "Alina Sorokina;Albania;Green;P1/7\r\n"
           "Max Alison;;;\r\n"
           "Alibek Nurlanov;Kazakhstan;Purple;P2/5\r\n"
           "Alan Turnbull;;;\r\n"
           "Alma Reyes;;;\r\n")


def with_roster(folder):
    (folder / "Players.csv").write_text(PLAYERS, encoding="utf-8")


def popup(program):
    return find_window(program, "", "QuorvelSuggestions")


class Suggestions(unittest.TestCase):
    def type_into_name_box(self, display, program, letters):
        """Empties the dialog's Text1, clicks into it and types `letters`; returns the box
        on the screen (left, top, width, height) once the list is shown."""
        dialog = settled_window(program, TITLE, "the start dialog")
        program.wintool("settext", TITLE, "3", "")
        ox, oy = (int(v) for v in dialog["client_origin"].split(","))
        left, top, width, height = rect(children(dialog)[3]["rect"])
        display.xdotool("mousemove", str(ox + left + 20), str(oy + top + height // 2))
        display.xdotool("click", "1")
        wait_for("the start dialog to be the active window", lambda: find_window(program, TITLE)["active"] == "1",
                 timeout=30)
        # Keys go to the window that has the X input focus, which may follow a moment later.
        wait_for("the start dialog to have the keyboard",
                 lambda: display.xdotool("getwindowfocus", "getwindowname", check=False).strip() == TITLE, timeout=30)
        display.xdotool("type", "--delay", "120", letters)
        wait_for(f"Text1 to read {letters!r}",
                 lambda: children(find_window(program, TITLE))[3]["text"] == letters, timeout=30)
        wait_for(f"the list of suggestions after typing {letters!r}", lambda: popup(program), timeout=30)
        return ox + left, oy + top, width, height

    def test_three_letters_down_enter_and_go_set_the_roster_player_up(self):
        port = free_port()
        with harness.VirtualDisplay() as display, \
                harness.Program(display, change=with_roster, args=[f"--remote=127.0.0.1:{port}"]) as program:
            wait_for("the start dialog", lambda: find_window(program, TITLE), timeout=180)
            box_left, box_top, _, box_height = self.type_into_name_box(display, program, "ali")
            shown = popup(program)
            left, top, _, height = rect(shown["outer"])
            self.assertEqual((left, top), (box_left, box_top + box_height), "right under the box")
            self.assertEqual(shown["topmost"], "1")
            self.assertEqual(find_window(program, TITLE)["active"], "1", "the dialog kept the focus")
            display.xdotool("key", "Down")
            display.screenshot(harness.ROOT / "build" / "e2e-suggestions.png")
            display.xdotool("key", "Return")
            wait_for("Text1 to take the first suggestion",
                     lambda: children(find_window(program, TITLE))[3]["text"] == "Alina Sorokina", timeout=30)
            wait_for("the list to close", lambda: popup(program) is None, timeout=30)

            start_match(display, program)
            state = json.loads(subprocess.run(["curl", "-s", f"http://127.0.0.1:{port}/api/state"], check=True,
                                              capture_output=True, timeout=60).stdout)
            player = state["players"][0]
            # The roster writes Albania in English; the table shows the same country in the
            # language in force (Russian), found by its flag, not the English list's place.
            self.assertEqual((player["name"], player["country"]["name"], player["colour"]["name"],
                              player["portrait"]), ("Alina Sorokina", "Албания", "Green", {"set": "P1", "number": 7}),
                             state)
            self.assertEqual(player["visible"], {"country": True, "flag": True, "portrait": True}, state)
            display.screenshot(harness.ROOT / "build" / "e2e-suggestions-table.png")
            self.assertIsNone(program.process.poll(), "the program is still running")

    def test_the_sample_country_shows_in_russian_and_a_broken_roster_is_told_while_the_show_goes_on(self):
        elodie = lambda folder: (folder / "Player1.txt").write_text("Élodie Marchand\r\n", encoding="utf-8")
        with harness.VirtualDisplay() as display, harness.Program(
                display, change=elodie, args=[f"--remote=127.0.0.1:{(port := free_port())}"]) as program:
            _, table = start_match(display, program)
            player = json.loads(subprocess.run(["curl", "-s", f"http://127.0.0.1:{port}/api/state"], check=True,
                                               capture_output=True, timeout=60).stdout)["players"][0]
            self.assertEqual((player["country"]["name"], player["visible"]["flag"]), ("Франция", True), player)
            (program.folder / "Players.csv").write_text("name;colour\r\nÉlodie Marchand;Pnik\r\n", encoding="utf-8")
            tx, ty = (int(v) for v in table["client_origin"].split(","))
            display.xdotool("mousemove", str(tx + 264), str(ty + 30), "keydown", "ctrl+alt", "click", "1",
                            "keyup", "ctrl+alt")
            box = wait_for("the message about Players.csv", lambda: find_window(program, TITLE, "#32770"), timeout=60)
            self.assertRegex(" ".join(c.get("text", "") for c in children(box)), r"(?s)line 2: .*read \(24 players\)")
            display.screenshot(harness.ROOT / "build" / "e2e-roster-broken.png")
            program.wintool("clickid", TITLE, "1", "#32770")
            wait_for("the start dialog after the message's OK",
                     lambda: (lambda w: w and w["client"] == "528,40")(find_window(program, TITLE)), timeout=60)

    def test_the_list_lies_above_the_box_when_the_dialog_stands_at_the_bottom(self):
        with harness.VirtualDisplay() as display, harness.Program(display, change=with_roster) as program:
            wait_for("the start dialog", lambda: find_window(program, TITLE), timeout=180)
            program.wintool("click", TITLE, "Center to Down", "QuorvelForm")
            wait_for("the screen-size message box", lambda: find_window(program, TITLE, "#32770"), timeout=60)
            program.wintool("clickid", TITLE, "1", "#32770")
            wait_for("the dialog to stand at pixel 972",
                     lambda: rect(find_window(program, TITLE)["outer"])[1] == 972, timeout=60)
            box_left, box_top, _, _ = self.type_into_name_box(display, program, "al")
            left, top, _, height = rect(popup(program)["outer"])
            self.assertEqual((left, top + height), (box_left, box_top), "right above the box")
            display.screenshot(harness.ROOT / "build" / "e2e-suggestions-above.png")
            display.xdotool("key", "Escape")
            wait_for("Escape to close the list", lambda: popup(program) is None, timeout=30)
            self.assertEqual(children(find_window(program, TITLE))[3]["text"], "al", "the text stays as typed")


if __name__ == "__main__":
    unittest.main()
