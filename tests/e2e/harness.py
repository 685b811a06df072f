"""End-to-end harness: runs the real Windows program under Wine on a virtual X display.

Every wait polls with a timeout and names what it waited for; nothing sleeps a fixed time.
"""
import os
import re
import select
import shutil
import struct
import subprocess
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
WINDOWS_BUILD = Path(os.environ.get("QUORVEL_WINDOWS_BUILD", ROOT / "build" / "windows"))
PROGRAM_FOLDER = Path(os.environ.get("QUORVEL_PROGRAM_FOLDER", ROOT / "data" / "program"))
DIST = ROOT / "dist"  # each release's program beside its own program folder
WINEPREFIX = Path(os.environ.get("QUORVEL_WINEPREFIX", ROOT / "build" / "wineprefix"))
SCREEN = (1920, 1080)
TITLE = "Quorvel 0.99"                  # the start dialog's and the table's caption
MENU = " " * 37 + "-=Control menu=-"   # the control menu's caption


def wait_for(what, probe, timeout=60.0, interval=0.2):
    """Polls probe() until it returns a true value, which is returned; fails naming `what`."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = probe()
            if value:
                return value
        except Exception as error:  # the probe may fail until the thing exists
            last_error = error
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error})" if last_error else ""
            raise AssertionError(f"timed out after {timeout:.0f} s waiting for {what}{detail}")
        time.sleep(interval)


OPENBOX_CONFIG = Path(__file__).resolve().parent / "openbox-rc.xml"


class VirtualDisplay:
    """An Xvfb display of its own, 1920 x 1080 x 24, with a window manager (openbox with a
    configuration that grabs no key or Alt/Ctrl pointer chord), as on a caster's desktop."""

    def __init__(self, dpi=96):
        self.dpi = dpi
        # Wine programs at `dpi` (96 is 100 %), another in a prefix of its own: the other tests' stays at 96.
        self.prefix = WINEPREFIX if dpi == 96 else WINEPREFIX.with_name(f"{WINEPREFIX.name}-dpi{dpi}")
        self.number = None
        self.process = None
        self.window_manager = None
        self.window_manager_log = None

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def _start(self):
        # Xvfb picks a free display number itself and reports it: no race with the other
        # virtual displays started on this machine at the same moment. Without -noreset
        # it would reset when its first client (the probe below) leaves, and refuse the
        # window manager's connection while it does.
        report, ours = os.pipe()
        try:
            self.process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(ours), "-noreset", "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24",
                 "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(ours,))
            os.close(ours)
            ours = None
            with os.fdopen(report, "r") as reader:
                report = None
                ready, _, _ = select.select([reader], [], [], 30)
                number = reader.readline().strip() if ready else ""
        finally:
            for fd in (report, ours):
                if fd is not None:
                    os.close(fd)
        if not number.isdigit():
            raise RuntimeError("Xvfb did not report a display number within 30 s")
        self.number = int(number)
        wait_for(f"the virtual display :{self.number} to accept clients",
                 lambda: self.run(["xdotool", "getdisplaygeometry"], check=False).returncode == 0, timeout=30)
        self.window_manager = subprocess.Popen(["openbox", "--config-file", str(OPENBOX_CONFIG)], env=self.env,
                                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for("the window manager to take the display",
                 lambda: "window id" in self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                                 check=False).stdout, timeout=30)

    def __exit__(self, *exc):
        for process in (self.window_manager, self.process):
            if process is None:
                continue
            process.terminate()
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
        if self.window_manager_log is not None:
            self.window_manager_log.close()

    @property
    def env(self):
        env = dict(os.environ)
        env.update(DISPLAY=f":{self.number}", WINEPREFIX=str(self.prefix), WINEDEBUG="-all")
        return env

    def run(self, command, check=True, timeout=60, **kwargs):
        # The output goes through files, not pipes: the first Wine program of a session
        # starts wineserver and Wine's services, which inherit its output and outlive it,
        # and reading a pipe to its end would wait for them to end too.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            code = subprocess.run(command, env=self.env, timeout=timeout, stdout=out, stderr=err, **kwargs).returncode
            out.seek(0)
            err.seek(0)
            result = subprocess.CompletedProcess(command, code, out.read().decode(errors="replace"),
                                                 err.read().decode(errors="replace"))
        if check:
            result.check_returncode()
        return result

    def screenshot(self, path):
        self.run(["import", "-window", "root", str(path)])
        return path

    def pixels(self):
        """The screen as rows of (r, g, b) bytes."""
        raw = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], env=self.env,
                             check=True, stdout=subprocess.PIPE, timeout=60).stdout
        return Screen(raw)

    def set_root_colour(self, colour):
        self.run(["xsetroot", "-solid", colour])

    def xdotool(self, *args, check=True):
        return self.run(["xdotool", *args], check=check).stdout

    def window_ids(self, name):
        result = self.run(["xdotool", "search", "--name", name], check=False)
        return [line for line in result.stdout.split() if line]

    def stacking(self):
        """The window manager's windows, bottom to top, as xdotool's decimal ids."""
        out = self.run(["xprop", "-root", "_NET_CLIENT_LIST_STACKING"]).stdout
        return [str(int(part.strip(), 16)) for part in out.partition("#")[2].split(",") if part.strip()]

    def icons(self, name):
        """The windows' icons (_NET_WM_ICON, from their big and small icons) by width, ARGB."""
        icons = {}
        for wid in self.window_ids(name):
            out = self.run(["xprop", "-id", wid, "-notype", "32c", "_NET_WM_ICON"], check=False).stdout
            values = [int(v) for v in re.findall(r"\d+", out.partition("=")[2])]
            at = 0
            while at + 1 < len(values):  # width, height, then width x height pixels
                icons[values[at]] = values[at + 2:at + 2 + values[at] * values[at + 1]]
                at += 2 + values[at] * values[at + 1]
        return icons


def icon_file_image(path, width):
    """One bitmap image of an .ico file as ARGB pixels row by row from the top."""
    data = Path(path).read_bytes()
    for entry in range(struct.unpack_from("<H", data, 4)[0]):
        size, offset = data[6 + 16 * entry], struct.unpack_from("<I", data, 6 + 16 * entry + 12)[0]
        if size == width:
            bgra = data[offset + 40:offset + 40 + width * width * 4]
            rows = [bgra[y * width * 4:(y + 1) * width * 4] for y in reversed(range(width))]
            return [struct.unpack_from("<I", row, 4 * x)[0] for row in rows for x in range(width)]
    return None


class Screen:
    def __init__(self, raw):
        self.raw = raw

    def at(self, x, y):
        offset = (y * SCREEN[0] + x) * 3
        return tuple(self.raw[offset:offset + 3])


def install_marlett(prefix):
    """Debian's Wine does not look in fonts-wine's folder for Marlett, the font it draws the
    title bars' boxes with (a letter "r" for the close box without it): the prefix's own
    Fonts folder, where it looks, gets a copy."""
    font, fonts = Path("/usr/share/wine/fonts/marlett.ttf"), prefix / "drive_c" / "windows" / "Fonts"
    if font.exists() and fonts.is_dir() and not (fonts / font.name).exists():
        shutil.copyfile(font, fonts / font.name)


def ensure_wine_prefix(display):
    """Creates the display's Wine prefix once (10 to 20 s), at its scale; later runs reuse it."""
    prefix = display.prefix
    if not (prefix / "system.reg").exists():
        prefix.parent.mkdir(parents=True, exist_ok=True)
        display.run(["wineboot", "-i"], timeout=300, check=False)
        wait_for("the Wine prefix to be created", lambda: (prefix / "system.reg").exists(), timeout=120)
    install_marlett(prefix)
    scaled = prefix / f"quorvel-logpixels-{display.dpi}"
    if display.dpi != 96 and not scaled.exists():
        display.run(["wine", "reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                     "/d", str(display.dpi), "/f"], timeout=120)
        display.run(["wineserver", "-w"], check=False, timeout=120)  # read as Wine's server starts
        scaled.touch()


class Program:
    """quorvel.exe in a program folder of its own, started under Wine."""

    def __init__(self, display, exe="quorvel.exe", folder=PROGRAM_FOLDER, change=None, keep_server=False,
                 args=(), place="", elsewhere=False, schedule=False):
        self.display = display
        self.elsewhere = elsewhere  # started by its full path from the folder above its own `place`
        self.exe = exe
        self.args = list(args)
        self.keep_server = keep_server  # leave wineserver running for the next program
        self.root = Path(tempfile.mkdtemp(prefix="quorvel-e2e-"))
        self.folder = self.root / place  # a place of the user's choice below a folder of its own
        shutil.copytree(folder, self.folder, dirs_exist_ok=True)
        # The sample day's schedule opens the start dialog on its first match; tests of
        # anything else start from the player-name files' names.
        if not schedule:
            (self.folder / "Matches.csv").unlink(missing_ok=True)
        # A ready-to-run folder in dist/ brings its own program; the data folder takes the build's.
        if not (self.folder / exe).exists():
            shutil.copy2(WINDOWS_BUILD / exe, self.folder / exe)
        if change:
            change(self.folder)
        self.process = None

    def __enter__(self):
        ensure_wine_prefix(self.display)
        exe, cwd = (str(self.folder / self.exe), self.root) if self.elsewhere else (self.exe, self.folder)
        self.process = subprocess.Popen(["wine", exe, *self.args], cwd=cwd, env=self.display.env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return self

    def __exit__(self, *exc):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=30)
        if not self.keep_server:
            subprocess.run(["wineserver", "-k"], env=self.display.env, check=False, timeout=60,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(self.root, ignore_errors=True)

    def exit_code(self, timeout=30):
        return wait_for("the program to end", lambda: self.process.poll() is not None, timeout=timeout) and \
            self.process.returncode

    def wintool(self, *args):
        """Runs the probe tool under Wine and returns its key=value lines as a dict list."""
        tool = self.folder / "quorvel_wintool.exe"
        if not tool.exists():
            shutil.copy2(WINDOWS_BUILD / "quorvel_wintool.exe", tool)
        result = self.display.run(["wine", str(tool), *args], check=False, cwd=self.folder)
        return result.returncode, result.stdout


def free_port():
    """A TCP port on loopback that nothing listens on now."""
    import socket
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def parse_keys(text):
    """key=value lines as a dict."""
    values = {}
    for line in text.splitlines():
        key, sep, value = line.partition("=")
        if sep:
            values[key] = value
    return values


def find_window(program, title, cls="QuorvelForm"):
    """The visible window's state as the probe tool reads it, or None."""
    code, out = program.wintool("find", title, cls)
    values = parse_keys(out)
    return values if code == 0 and values.get("hwnd") else None


def children(window):
    """The child windows of a probe result, as dicts in creation (Tab) order."""
    count = int(window.get("children", "0"))
    result = []
    for index in range(count):
        prefix = f"child.{index}."
        result.append({key[len(prefix):]: value for key, value in window.items() if key.startswith(prefix)})
    return result


def rect(text):
    return tuple(int(part) for part in text.split(","))


def settled_window(program, title, what, cls="QuorvelForm", timeout=60):
    """The window's state once two probes in a row find it at the same place: a window
    just shown may still be moved by the window manager's placement, and the program
    learns its final place a moment later. Clicks aimed at its controls wait for that."""
    last = [None]

    def probe():
        window = find_window(program, title, cls)
        place = window and (window["outer"], window["client_origin"])
        steady = place is not None and place == last[0]
        last[0] = place
        return window if steady else None

    return wait_for(f"{what} to stay where it was placed", probe, timeout=timeout)


def start_match(display, program, title=TITLE, client="534,84"):
    """Waits for the start dialog, presses GO!!! and waits for the table (534 x 84 at 100 %)."""
    dialog = wait_for("the start dialog", lambda: find_window(program, title), timeout=180)
    program.wintool("click", title, "GO!!!", "QuorvelForm")
    wait_for("the score table to be shown",
             lambda: (lambda w: w if w and w["client"] == client else None)(find_window(program, title)),
             timeout=60)
    # The table is shown before GO has moved it and closed the start dialog.
    def only_the_table():
        windows = [line for line in program.wintool("list")[1].splitlines() if line.endswith(f" title={title}")]
        table = find_window(program, title)
        return len(windows) == 1 and table and table["client"] == client
    wait_for("the start dialog to close after GO", only_the_table, timeout=60)
    return dialog, settled_window(program, title, "the score table")


def overlaps(a, b):
    """Whether two (x, y, width, height) rectangles share a pixel."""
    return a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]


def focus_table(display, program, tx, ty):
    """Gives the table the focus, which key state needs to reach the program, by a click on
    player 1's name (a single click there does nothing), only when it has not got it: a
    second click so soon after the last would be a double-click, which opens the control
    menu and takes the focus from the table."""
    if (find_window(program, TITLE) or {}).get("active") != "1":
        display.xdotool("mousemove", str(tx + 160), str(ty + 32), "click", "1")
        wait_for("the table to be the active window", lambda: find_window(program, TITLE)["active"] == "1",
                 timeout=30)


def press(display, program, tx, ty, keys):
    """A chord pressed while the table has the focus; the moment its keys went down."""
    focus_table(display, program, tx, ty)
    pressed = time.monotonic()
    display.xdotool("keydown", keys, "sleep", "0.15", "keyup", keys)
    return pressed


def open_menu_from_the_name(display, program, table):
    """Double-clicks player 1's name and waits for the control menu where it can be pointed
    at. The menu opens at the window manager's first free place, the top left; when the
    window manager has also put the table there (which depends on which window it placed
    first), the table, always on top, covers part of the menu and would take the clicks
    aimed at it. The menu is then moved below the table."""
    tx, ty = (int(v) for v in table["client_origin"].split(","))
    display.xdotool("mousemove", str(tx + 160), str(ty + 32))
    display.xdotool("click", "--repeat", "2", "--delay", "80", "1")
    wait_for("the control menu to open", lambda: find_window(program, MENU), timeout=60)
    menu = settled_window(program, MENU, "the control menu")
    place = rect(table["outer"])
    if not overlaps(rect(menu["outer"]), place):
        return menu
    ids = display.window_ids("=Control menu=")
    if not ids:
        raise AssertionError("the window manager knows no window named like the control menu")
    display.xdotool("windowmove", ids[0], str(place[0]), str(place[1] + place[3] + 40))
    wait_for("the control menu to be moved off the table",
             lambda: not overlaps(rect(find_window(program, MENU)["outer"]), place), timeout=30)
    return settled_window(program, MENU, "the control menu")

def placement_report(display, program, titles):
    """Where each window of these captions is, by the window manager's account and by the
    program's: what a test that timed out after a click or a capture reports."""
    placed = "; ".join(f"{title.strip()}: " + " ".join(display.xdotool("getwindowgeometry", wid, check=False).split())
                       for title in titles for wid in display.window_ids(title.strip()))
    shown = "; ".join(" ".join(line.split()) for line in program.wintool("list")[1].splitlines())
    return f"the window manager's windows: {placed or 'none'}; the program's windows: {shown or 'none'}"
