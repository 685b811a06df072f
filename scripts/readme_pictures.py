#!/usr/bin/env python3
"""Makes the README's pictures, docs/images/*.png, from the real programs: the Windows
programs of build/windows and dist/ under Wine on a virtual display (the end-to-end tests'
harness), and the remote control's pages in headless Chromium (their WebDriver).

    readme_pictures.py [NAME...]    only the pictures of these names (without .png)

Every picture is taken on the shipped program folder with the same players, scores and
background, so that a second run gives pictures that look the same. The pointer is never
in a shot (X leaves it out of a screenshot); where a picture needs it, it is drawn.
A page of the remote control is one line of PAGES; a picture of the programs, one line of
SCENES and a function that takes it.
"""
import base64
import json
import shutil
import subprocess
import sys
import tempfile
import urllib.error
import urllib.request
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import harness  # noqa: E402
from harness import MENU, TITLE, children, find_window, free_port, rect, start_match, wait_for  # noqa: E402
from test_remote import WebDriver  # noqa: E402

OUT = ROOT / "docs" / "images"
# The players every table shows: roster names, so that their countries, colours and portraits come too.
PLAYERS = ("Arvid Lindqvist", "Kenta Moriyama")
SCORES = (2, 1)
ENGLISH = 1  # Languages.ini's second entry: the tables' country names in English
MARKER = "#d0021b"  # the numbered markers
CAPTURE_PATH = r"C:\Users\Caster\Desktop\table.png"  # the capture frame's path box, as a caster fills it in
# The break scenes' day: the shipped schedule's first matches played with these scores, the next one on the table.
DAY_RESULTS = ((2, 1), (0, 2))


def convert(*args):
    subprocess.run(["convert", *map(str, args)], check=True, timeout=120)


def save(source, name, *steps):
    """Writes docs/images/NAME.png from a picture through ImageMagick steps, without the
    time stamps ImageMagick would write, so that only a changed picture changes its bytes."""
    convert(source, *steps, "-strip", "-define", "png:exclude-chunks=date,time", f"PNG32:{OUT / name}.png")
    print(f"docs/images/{name}.png")


def marker(x, y, text, radius=9):
    """ImageMagick -draw steps of a numbered marker centred at (x, y)."""
    return ["-fill", MARKER, "-stroke", "white", "-strokewidth", "1.5", "-draw",
            f"circle {x},{y} {x + radius},{y}", "-stroke", "none", "-fill", "white", "-font", "Liberation-Sans-Bold",
            "-pointsize", "12", "-gravity", "NorthWest", "-annotate", f"+{x - 3.5 * len(text)}+{y - 7}", text]


def outline(x, y, w, h, colour):
    return ["-fill", "none", "-stroke", colour, "-strokewidth", "2",
            "-draw", f"rectangle {x},{y} {x + w - 1},{y + h - 1}"]


def api(port, action, body):
    request = urllib.request.Request(f"http://127.0.0.1:{port}/api/action/{action}", data=json.dumps(body).encode(),
                                     headers={"Content-Type": "application/json"}, method="POST")
    try:
        with urllib.request.urlopen(request, timeout=60) as answer:
            return json.load(answer)
    except urllib.error.HTTPError as refused:
        raise RuntimeError(f"the remote action {action} {body}: {refused.code} {refused.read().decode()}") from None


def english(folder):
    """The shipped folder with English as the language in force (its first line)."""
    options = (folder / "Options.ini").read_bytes().split(b"\r\n")
    options[0] = str(ENGLISH).encode()
    (folder / "Options.ini").write_bytes(b"\r\n".join(options))


class Match:
    """A program under Wine with its remote control on a port of its own: first its start
    dialog; after go(), its table with the players and the scores."""

    def __init__(self, display, name="quorvel", title=TITLE, change=english, schedule=False):
        self.port = free_port()
        self.base = f"http://127.0.0.1:{self.port}"
        self.program = harness.Program(display, exe=f"{name}.exe", folder=harness.DIST / name, change=change,
                                       args=[f"--remote=127.0.0.1:{self.port}"], keep_server=True, schedule=schedule)
        self.display, self.title, self.table, self.origin = display, title, None, (0, 0)
        self.desktop = "#2b2b2b"  # the desktop's colour, where no picture lies on it

    def __enter__(self):
        self.program.__enter__()
        return self

    def __exit__(self, *exc):
        self.program.__exit__(*exc)

    def go(self, results=()):
        """GO!!!, then the players and the scores; or, with results, the schedule's matches
        played one after the other with those scores, each left by "next match"."""
        start_match(self.display, self.program, self.title, client=self.client())
        if results:
            for scores in results:
                self.score(scores)
                api(self.port, "next", {})
        else:
            self.players()
            self.score(SCORES)
        self.table = harness.settled_window(self.program, self.title, "the score table")
        self.origin = tuple(int(v) for v in self.table["client_origin"].split(","))
        return self

    def score(self, scores):
        for player, score in enumerate(scores, 1):
            for _ in range(score):
                api(self.port, "score-up", {"player": player})

    def client(self):
        return "801,126" if self.display.dpi == 144 else "534,84"

    def players(self):
        """The players on the table: from the roster, with their countries, colours and portraits."""
        if self.title == TITLE:
            for player, name in enumerate(PLAYERS, 1):
                api(self.port, "roster", {"player": player, "name": name})
        else:
            api(self.port, "names", {"player1": PLAYERS[0], "player2": PLAYERS[1]})

    def shot(self, path, x, y, w, h, box=None):
        """The screen's area (x, y, w, h), in pixels from the table's client origin, once two
        shots in a row agree; with box (x, y, w, h, also from the origin) holding a blinking
        caret, the shot in which the caret is off: the lighter of the box's two looks."""
        ox, oy = self.origin
        looks = {}

        def steady():
            self.display.screenshot(path)
            data = Path(path).read_bytes()
            if box is None:
                done = looks.get("last") == data
                looks["last"] = data
                return done
            bx, by, bw, bh = box
            mean = subprocess.run(["convert", str(path), "-crop", f"{bw}x{bh}+{ox + bx}+{oy + by}", "-format",
                                   "%[fx:mean]", "info:"], check=True, capture_output=True, text=True).stdout
            looks[float(mean)] = data
            return len(looks) >= 2
        wait_for("the screen to stay the same between two shots" if box is None else "the caret to blink",
                 steady, timeout=60, interval=0.3)
        if box is not None:
            Path(path).write_bytes(looks[max(looks)])
        # Beyond the screen's edges, the desktop's colour: the area keeps its size and place.
        convert(path, "-bordercolor", self.desktop, "-border", "300", "-crop", f"{w}x{h}+{ox + x + 300}+{oy + y + 300}",
                "+repage", path)
        return path


def game_background(display, work):
    """A busy, game-like picture on the desktop, for the see-through parts of the table to show."""
    picture = work / "game.png"
    if not picture.exists():
        units = []  # a road and a few units around the top centre, where the table lies
        for i, (x, y) in enumerate([(640, 40), (700, 118), (905, 100), (960, 66), (1010, 122), (1180, 92),
                                    (1290, 30), (1330, 128), (820, 140), (1100, 20)]):
            units += ["-fill", ("#c0392b", "#f1c40f", "#2e86de")[i % 3], "-draw", f"circle {x},{y} {x + 9},{y}"]
        convert("-size", "480x270", "-seed", "31", "plasma:olivedrab-saddlebrown",
                "-fill", "#3a6ea5", "-draw", "ellipse 330,30 70,22 0,360", "-resize", "1920x1080!",
                "-stroke", "#c8b27a", "-strokewidth", "10", "-fill", "none",
                "-draw", "path 'M 560,160 C 760,20 1040,150 1380,40'", "-stroke", "white", "-strokewidth", "2",
                *units, picture)
    display.run(["display", "-window", "root", str(picture)], check=False)  # it sets the root, then reports 1


class Session:
    """One program under Wine for several pictures: started at the first picture that needs
    it, its match set up (GO, the players, the scores) at the first that needs the table."""

    def __init__(self, work, change=english, dpi=96, results=()):
        self.work, self.change, self.dpi, self.results = work, change, dpi, results
        self.display = self.match = None

    def start(self):
        if self.display is None:
            self.display = harness.VirtualDisplay(self.dpi).__enter__()
            self.match = Match(self.display, change=self.change, schedule=bool(self.results)).__enter__()
        return self.match

    def table(self):
        match = self.start()
        if match.table is None:
            match.go(self.results)
            game_background(self.display, self.work)
            if self.dpi == 96:  # the table at 100 %, for the picture beside 150 %
                match.shot(self.work / "table-100.png", -20, 0, 534 + 40, 84 + 20)
        return match

    def close(self):
        if self.match:
            self.match.__exit__(None, None, None)
        if self.display:
            subprocess.run(["wineserver", "-k"], env=self.display.env, check=False, timeout=60)
            self.display.__exit__(None, None, None)


def table_over_game(session):
    match = session.table()
    save(match.shot(session.work / "s.png", -133, 0, 800, 150), "table-over-game")


def framed_tables(session):
    shots = []
    for name, title in (("quorvel-0.97-window", "Quorvel 0.97"), ("quorvel-0.94-window", "Quorvel 0.94")):
        with Match(session.start().display, name, title) as match:
            match.go()
            game_background(match.display, session.work)
            x, y, w, h = rect(match.table["outer"])
            ox, oy = match.origin
            shots.append(match.shot(session.work / f"{name}.png", x - ox - 12, y - oy - 12, w + 24, h + 24))
    save(shots[0], "framed-tables", shots[1], "-append")


# The start dialog's controls as the README numbers them, each (x, y, w, h) in client pixels,
# and whether its marker stands above the dialog or below it.
DIALOG_CONTROLS = [((1, 7, 98, 21), "above"), ((102, 4, 95, 17), "above"), ((102, 20, 95, 17), "below"),
                   ((201, 8, 130, 28), "above"), ((332, -2, 93, 21), "above"), ((332, 18, 93, 21), "below"),
                   ((429, 7, 98, 21), "above"), ((478, 24, 49, 18), "below")]
MARGIN = 30  # the room above and below a window for the markers


def start_dialog(session):
    match = session.start()
    program, display = match.program, match.display
    dialog = harness.settled_window(program, TITLE, "the start dialog", timeout=180)
    ox, oy = (int(v) for v in dialog["client_origin"].split(","))
    left, top, width, height = rect(children(dialog)[3]["rect"])
    program.wintool("settext", TITLE, "3", "")
    display.xdotool("mousemove", str(ox + left + 20), str(oy + top + height // 2), "click", "1")
    wait_for("the start dialog to have the keyboard",
             lambda: display.xdotool("getwindowfocus", "getwindowname", check=False).strip() == TITLE, timeout=30)
    display.xdotool("type", "--delay", "120", "ma")
    listed = wait_for("the roster's names under the box",
                      lambda: find_window(program, "", "QuorvelSuggestions"), timeout=30)
    display.set_root_colour("#e8e8e8")
    match.origin = (ox, oy)
    x, y, w, h = rect(dialog["outer"])
    bottom = max(y + h, sum(rect(listed["outer"])[1::2])) + 6
    x, y = x - ox - MARGIN, y - oy
    shot = match.shot(session.work / "dialog.png", x, y, w + 2 * MARGIN, bottom - oy - y + MARGIN,
                      box=(left, top, width, height))
    steps = ["-background", "#e8e8e8", "-gravity", "North", "-splice", f"0x{MARGIN}"]
    for number, ((cx, cy, cw, ch), where) in enumerate(DIALOG_CONTROLS, 1):
        # Above: in the room added over the title bar; below: just under the dialog's client area (40 high).
        mx, my = cx + cw // 2 - x, (MARGIN // 2 if where == "above" else 40 - y + MARGIN + 14)
        line = (cy - y + MARGIN) if where == "above" else (min(cy + ch, 40) - y + MARGIN)
        steps += ["-stroke", MARKER, "-strokewidth", "2", "-draw", f"line {mx},{my} {mx},{line}"]
        steps += marker(mx, my, str(number))
    save(shot, "start-dialog", *steps)


# The control menu's controls as the README's table numbers them: each marker's number and
# centre in the menu's client pixels. The capture frame's controls follow the palette's.
MENU_MARKERS = [
    (1, 166, 66),                   # "OK", left of its caption
    (2, 136, 11), (2, 256, 11),     # the score boxes, right of the score
    (3, 191, 46),                   # the black bar icon, below it
    (4, 142, 103),                  # the split square icon
    (5, 257, 103),                  # the arrow icon
    (6, 231, 106),                  # the logo
    (7, 142, 41), (7, 244, 41),     # the colour names
    (8, 65, 122),                   # the palette
    (9, 190, 121),                  # the two-bar icon
    (10, 129, 34), (10, 253, 34),   # the portrait set boxes
    (11, 30, 60), (11, 350, 60),    # the portrait thumbnails
    (12, 208, 138),                 # the swap button, below it
    (13, 338, 207),                 # the capture frame's black swatch
    (14, 108, 11), (14, 368, 11),   # the name boxes, right of their text
    (15, 228, 11),                  # the series caption box
    (16, 362, 185),                 # the path box
    (17, 210, 203),                 # the interval box
    (18, 228, 216),                 # the next-match button, below it
]


def open_menu(match):
    """The control menu opened with a double-click on player 1's name, and unfolded."""
    tx, ty = match.origin
    display, program = match.display, match.program
    if not find_window(program, MENU):
        display.xdotool("mousemove", str(tx + 160), str(ty + 32), "click", "--repeat", "2", "--delay", "80", "1")
        wait_for("the control menu to open", lambda: find_window(program, MENU), timeout=60)
        menu = harness.settled_window(program, MENU, "the control menu")
        folded = rect(menu["outer"])[3]
        mx, my = (int(v) for v in menu["client_origin"].split(","))
        x, y, w, h = rect(next(b for b in children(menu) if b["text"] == "OK")["rect"])
        display.xdotool("mousemove", str(mx + x + w // 2), str(my + y + h // 2), "keydown", "shift", "click", "1",
                        "keyup", "shift")
        wait_for("the control menu to unfold", lambda: rect(find_window(program, MENU)["outer"])[3] > folded,
                 timeout=30)
        display.xdotool("mousemove", "0", "1079")
        # The path box names the program's own folder, a temporary one here: a caster's path instead.
        boxes = children(find_window(program, MENU))
        index = next(i for i, box in enumerate(boxes) if box["text"].lower().endswith("screenshot.bmp"))
        program.wintool("settext", MENU, str(index), CAPTURE_PATH)
        wait_for("the path box to read the caster's path",
                 lambda: children(find_window(program, MENU))[index]["text"] == CAPTURE_PATH, timeout=30)
    return harness.settled_window(program, MENU, "the unfolded control menu")


def control_menu(session):
    match = session.table()
    menu = open_menu(match)
    tx, ty = match.origin
    mx, my = (int(v) for v in menu["client_origin"].split(","))
    x, y, w, h = rect(menu["outer"])
    top = min(y, 10)  # the room above the menu, within the screen
    shot = match.shot(session.work / "menu.png", x - tx - 10, y - ty - top, w + 20, h + top + 10)
    steps = ["-filter", "point", "-resize", "200%"]
    for number, cx, cy in MENU_MARKERS:
        steps += marker(2 * (mx - x + 10 + cx), 2 * (my - y + top + cy), str(number), radius=10)
    save(shot, "control-menu", *steps)


# The table's zones that answer the pointer, in its client pixels, each with its caption's place.
ZONES = [("portrait", (0, 0, 64, 64)), ("portrait", (470, 0, 64, 64)), ("score", (40, 16, 48, 27)),
         ("score", (443, 16, 45, 27)), ("name", (90, 21, 155, 23)), ("name", (282, 21, 160, 23)),
         ("flag", (64, 40, 35, 31)), ("flag", (434, 40, 35, 31)), ("emblem", (234, 0, 60, 50)),
         ("series caption", (232, 52, 64, 20))]
ZONE_COLOURS = {"portrait": "#ff5ad2", "score": "#ff3b30", "name": "#ffd60a", "flag": "#32d7ff", "emblem": "#5cff5c",
                "series caption": "#ffffff"}


def gesture_zones(session):
    match = session.table()
    match.display.set_root_colour(match.desktop)
    shot = match.shot(session.work / "zones.png", -30, -34, 594, 152)
    game_background(match.display, session.work)
    steps = []
    for label, (x, y, w, h) in ZONES:
        colour = ZONE_COLOURS[label]
        steps += outline(x + 30, y + 34, w, h, colour)
        above = y < 30 and label != "portrait"
        steps += ["-stroke", "none", "-fill", colour, "-font", "Liberation-Sans-Bold", "-pointsize", "12",
                  "-gravity", "North" if above else "South", "-annotate",
                  f"{x + w // 2 - 297:+d}+{10 if above else 8}", label]
    save(shot, "gesture-zones", *steps)


def pick_strip(session):
    """A left drag from player 1's portrait to 150 pixels below the table, 210 to the right:
    the pointer, drawn, over the strip; the press's place marked."""
    match = session.table()
    tx, ty = match.origin
    display = match.display
    display.xdotool("mousemove", str(tx + 30), str(ty + 30), "mousedown", "1")
    for step in range(1, 11):
        display.xdotool("mousemove", str(tx + 30 + 21 * step), str(ty + 30 + 20 * step))
    wait_for("the pick strip to pick general 7",  # (240 px + 7000 twips) / 1500 twips a cell
             lambda: json.load(urllib.request.urlopen(f"{match.base}/api/state", timeout=60))[
                 "players"][0]["portrait"]["number"] == 7, timeout=30)
    shot = match.shot(session.work / "strip.png", -20, 0, 574, 280)
    display.xdotool("mouseup", "1")
    px, py = 30 + 210 + 20, 30 + 200  # the pointer's tip in the picture
    arrow = " ".join(f"{px + dx},{py + dy}"
                     for dx, dy in ((0, 0), (0, 19), (5, 14), (9, 22), (12, 21), (8, 13), (14, 13)))
    steps = ["-stroke", "white", "-strokewidth", "2", "-fill", "none", "-draw", "circle 50,30 57,30",
             "-draw", f"line 54,36 {px - 3},{py - 3}",
             "-stroke", "black", "-strokewidth", "1", "-fill", "white", "-draw", f"polygon {arrow}",
             "-stroke", "none", "-fill", "white", "-undercolor", "#000000b0", "-font", "Liberation-Sans-Bold",
             "-pointsize", "13", "-annotate", "+66+112", " the left button pressed here and held ",
             "-annotate", f"+{px + 20}+{py + 18}", " the pointer now: general 7 "]
    save(shot, "pick-strip", *steps)
    match.players()  # the roster's portrait back


def display_scale(session):
    if not (session.work / "table-100.png").exists():  # taken with the tables at 100 %
        at_100 = Session(session.work)
        try:
            at_100.table()
        finally:
            at_100.close()
    match = session.table()
    shot = match.shot(session.work / "150.png", -30, 0, 801 + 60, 126 + 30)
    save(session.work / "table-100.png", "display-scale", "-background", "none", "-gravity", "North",
         shot, "+append")


# The remote control's pages, each (path, width, height, see-through): the see-through ones
# are shown over a checkerboard, as a streaming program composes them over the stream.
@dataclass
class Page:
    path: str
    width: int  # the browser's viewport
    height: int
    see_through: bool  # shot over a checkerboard, 20 pixels in from its top left corner
    session: str = "table"
    shows: str = ""  # a text the page shows once its socket has fed it


PAGES = {
    "overlay-page": Page("/overlay?scale=1", 574, 124, True),
    "phone-page": Page("/", 390, 844, False),
    "scene-upnext": Page("/scene/upnext", 800, 330, True, "day", "Jonas Keller"),
    "scene-results": Page("/scene/results", 800, 190, True, "day", "Kenta Moriyama"),
}


def page(name, session):
    wanted = PAGES[name]
    match = session.table()
    browser = WebDriver()
    try:
        browser.call("POST", f"{browser.session}/goog/cdp/execute", {"cmd": "Emulation.setDeviceMetricsOverride",
                     "params": {"width": wanted.width, "height": wanted.height, "deviceScaleFactor": 1,
                                "mobile": not wanted.see_through}})
        if wanted.see_through:
            browser.see_through()
        browser.open(match.base + wanted.path)
        last = [None]

        def drawn():
            shot = browser.call("GET", f"{browser.session}/screenshot")["value"]
            done = shot == last[0] and browser.script(
                "return document.readyState === 'complete' && [...document.images].every(i => i.complete)"
                " && document.body.innerText.includes(arguments[0])", wanted.shows)
            last[0] = shot
            return done
        shows = f" showing {wanted.shows}" if wanted.shows else ""
        wait_for(f"{wanted.path}{shows} to stay the same between two shots", drawn, timeout=60, interval=0.5)
        shot = session.work / f"{name}.png"
        shot.write_bytes(base64.b64decode(last[0]))
    finally:
        browser.close()
    if wanted.see_through:
        convert("-size", f"{wanted.width}x{wanted.height}", "pattern:checkerboard", shot, "-geometry", "+20+20",
                "-composite", shot)
    save(shot, name)


def icon(session):
    ico = harness.WINDOWS_BUILD / "quorvel.ico"
    sizes = subprocess.run(["identify", "-format", "%w\n", str(ico)], check=True, capture_output=True,
                           text=True).stdout.split()
    parts = []
    for size in (16, 32, 256):  # each at its own size, side by side, their bottoms level
        parts += ["(", f"ico:{ico}[{sizes.index(str(size))}]", "-background", "none", "-gravity", "South",
                  "-extent", f"{size}x256", "-bordercolor", "none", "-border", "12x0", ")"]
    shot = session.work / "icon.png"
    convert(*parts, "+append", shot)
    save(shot, "icon")


SCENES = {  # each picture: what takes it, and the session it needs
    "start-dialog": (start_dialog, "shipped"),
    "table-over-game": (table_over_game, "table"),
    "gesture-zones": (gesture_zones, "table"),
    "control-menu": (control_menu, "table"),
    **{name: ((lambda name: lambda session: page(name, session))(name), PAGES[name].session) for name in PAGES},
    "pick-strip": (pick_strip, "table"),
    "framed-tables": (framed_tables, "table"),
    "display-scale": (display_scale, "scaled"),
    "icon": (icon, "table"),
}
SESSIONS = {
    "shipped": lambda work: Session(work, change=None),
    "table": lambda work: Session(work),
    "scaled": lambda work: Session(work, dpi=144),
    "day": lambda work: Session(work, results=DAY_RESULTS),
}


def main(names):
    unknown = set(names) - set(SCENES)
    if unknown:
        sys.exit(f"no picture named {', '.join(sorted(unknown))}; the pictures: {', '.join(SCENES)}")
    OUT.mkdir(parents=True, exist_ok=True)
    work = Path(tempfile.mkdtemp(prefix="quorvel-pictures-"))
    try:
        for kind, make in SESSIONS.items():
            wanted = [take for name, (take, needs) in SCENES.items() if needs == kind and (not names or name in names)]
            if wanted:
                session = make(work)
                try:
                    for take in wanted:
                        take(session)
                finally:
                    session.close()
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main(sys.argv[1:])
