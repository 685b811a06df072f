#!/usr/bin/env python3
"""Check the committed program folder (data/program/) for the faults that
would break or spoil quorvel.exe at run time.

    python3 tests/data/check_program_folder.py [PROGRAM_FOLDER]

Exit status 0 when everything holds; otherwise 1, with one line per fault.
Standard library only; it reads the files, it does not regenerate them.
"""

import csv
import os
import struct
import sys
import unicodedata

MIN_COUNTRIES, MAX_COUNTRIES = 175, 301
FLAG_SIZE = (70, 62)
PORTRAIT_SIZE = (134, 134)
PORTRAIT_SETS = ("Origin", "P1", "P2")
PORTRAITS_PER_SET = 13
BATTLE_SIZE = (120, 120)
LOGO_SIZE = (528, 40)
MAX_FOLDER_BYTES = 15 * 1024 * 1024

FORBIDDEN = set('\\/:*?"<>|')
DEVICE_NAMES = {"CON", "PRN", "AUX", "NUL"} | \
    {"COM%d" % i for i in range(1, 10)} | {"LPT%d" % i for i in range(1, 10)}

# Alphabets whose order differs from plain a..z (Cyrillic ones are in
# alphabet order, not code order: E with diaeresis comes after E).
ALPHABET = {
    "Russian": "абвгдеёжзийклмнопрстуфхцчшщъыьэюя",
    "Ukrainian": "абвгґдеєжзиіїйклмнопрстуфхцчшщьюя",
    "Spanish": "abcdefghijklmnñopqrstuvwxyz",
}
LATIN = "abcdefghijklmnopqrstuvwxyz"


class Checker:
    def __init__(self, root):
        self.root = root
        self.faults = []

    def fault(self, msg):
        self.faults.append(msg)

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def read_lines(self, rel, ascii_only=False):
        """Lines of a CR LF text file, or None after reporting why not."""
        p = self.path(rel)
        if not os.path.isfile(p):
            self.fault("%s: missing" % rel)
            return None
        with open(p, "rb") as f:
            data = f.read()
        if data.startswith(b"\xef\xbb\xbf"):
            self.fault("%s: starts with a byte order mark" % rel)
            data = data[3:]
        try:
            text = data.decode("ascii" if ascii_only else "utf-8")
        except UnicodeDecodeError as e:
            self.fault("%s: not valid %s (%s)"
                       % (rel, "ASCII" if ascii_only else "UTF-8", e))
            return None
        body = text.replace("\r\n", "")
        if "\r" in body or "\n" in body:
            self.fault("%s: a line ends other than with CR LF" % rel)
            return None
        lines = text.split("\r\n")
        if lines and lines[-1] == "":
            lines.pop()          # the final CR LF
        for i, ln in enumerate(lines, 1):
            if ln == "":
                self.fault("%s: line %d is empty" % (rel, i))
        return lines


def gif_info(path):
    """(width, height, has_transparent_colour) or None when not a GIF."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:6] not in (b"GIF87a", b"GIF89a") or len(data) < 13:
        return None
    w, h = struct.unpack("<HH", data[6:10])
    transparent = False
    i = data.find(b"\x21\xf9\x04")
    if i >= 0 and i + 4 < len(data):
        transparent = bool(data[i + 3] & 1)
    return w, h, transparent


def jpeg_size(path):
    """(width, height) of a JPEG, or None when not a JPEG."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:3] != b"\xff\xd8\xff":
        return None
    i = 2
    while i + 9 < len(data):
        if data[i] != 0xFF:
            return None
        marker = data[i + 1]
        if marker in (0xC0, 0xC1, 0xC2):
            h, w = struct.unpack(">HH", data[i + 5:i + 9])
            return w, h
        seglen = struct.unpack(">H", data[i + 2:i + 4])[0]
        i += 2 + seglen
    return None


def windows_name_problem(name):
    for ch in name:
        if ch in FORBIDDEN:
            return "has %r" % ch
        if unicodedata.category(ch) in ("Cc", "Cf"):
            return "has control character U+%04X" % ord(ch)
    if name != name.strip():
        return "starts or ends with a blank"
    if name.endswith("."):
        return "ends with a dot"
    if name.split(".")[0].upper() in DEVICE_NAMES:
        return "is a reserved device name"
    if unicodedata.normalize("NFC", name) != name:
        return "is not in composed (NFC) form"
    return None


def order_key(name, language):
    """Letters by their place in the language's alphabet, case and accents
    aside; blanks and hyphens before any letter; other marks ignored."""
    alphabet = ALPHABET.get(language, LATIN)
    key = []
    for ch in name.lower():
        if ch in alphabet:
            key.append(alphabet.index(ch))
        elif ch in " -":
            key.append(-1)
        elif ch == "ß":
            key += [alphabet.index("s")] * 2
        elif ch.isalpha():
            base = unicodedata.normalize("NFD", ch)[0]
            key.append(alphabet.index(base) if base in alphabet
                       else 1000 + ord(base))
    return key


def check_countries(c, language):
    rel = "C_%s.dat" % language
    names = c.read_lines(rel)
    if names is None:
        return None
    if not MIN_COUNTRIES <= len(names) <= MAX_COUNTRIES:
        c.fault("%s: %d lines, want %d..%d"
                % (rel, len(names), MIN_COUNTRIES, MAX_COUNTRIES))
    seen = {}
    for i, n in enumerate(names, 1):
        problem = windows_name_problem(n)
        if problem:
            c.fault("%s line %d: %r %s" % (rel, i, n, problem))
        k = n.casefold()
        if k in seen:
            c.fault("%s: %r on lines %d and %d (names must differ, ignoring "
                    "case)" % (rel, n, seen[k], i))
        seen.setdefault(k, i)

    for i in range(1, len(names)):
        if order_key(names[i], language) < order_key(names[i - 1], language):
            c.fault("%s line %d: %r sorted after %r"
                    % (rel, i + 1, names[i], names[i - 1]))
            break

    flag_dir = c.path("pic", "flags", language)
    if not os.path.isdir(flag_dir):
        c.fault("pic/flags/%s: missing" % language)
        return names
    present = set(os.listdir(flag_dir))
    wanted = {n + ".gif" for n in names}
    for n in names:
        f = n + ".gif"
        if f not in present:
            c.fault("pic/flags/%s/%s: missing" % (language, f))
            continue
        info = gif_info(os.path.join(flag_dir, f))
        if info is None:
            c.fault("pic/flags/%s/%s: not a GIF" % (language, f))
        elif info[:2] != FLAG_SIZE:
            c.fault("pic/flags/%s/%s: %dx%d, want %dx%d"
                    % ((language, f) + info[:2] + FLAG_SIZE))
    for f in sorted(present - wanted):
        c.fault("pic/flags/%s/%s: no country of that name" % (language, f))
    return names


def check_picture(c, rel, size, transparent):
    p = c.path(*rel.split("/"))
    if not os.path.isfile(p):
        c.fault("%s: missing" % rel)
        return None
    info = gif_info(p)
    if info is None:
        c.fault("%s: not a GIF" % rel)
        return None
    if info[:2] != size:
        c.fault("%s: %dx%d, want %dx%d" % ((rel,) + info[:2] + size))
    if transparent and not info[2]:
        c.fault("%s: has no transparent colour" % rel)
    with open(p, "rb") as f:
        return f.read()


def check_int(c, rel, lines, number, lo, hi):
    v = lines[number - 1].strip()
    try:
        n = int(v)
    except ValueError:
        c.fault("%s line %d: %r is not a number" % (rel, number, v))
        return None
    if lo is not None and not lo <= n <= hi:
        c.fault("%s line %d: %d not in %d..%d" % (rel, number, n, lo, hi))
    return n


def check_roster(c, languages):
    """Players.csv: the sample roster, semicolon-separated, every country in a
    country file, every colour a palette name, every portrait in a set."""
    lines = c.read_lines("Players.csv")
    if lines is None:
        return
    rows = list(csv.reader(lines, delimiter=";"))
    if not rows or rows[0] != ["name", "country", "colour", "portrait"]:
        c.fault("Players.csv: the header is not name;country;colour;portrait")
        return
    countries = set()
    for language in languages:
        countries |= {n.casefold() for n in c.read_lines("C_%s.dat" % language) or []}
    colours = {"Gold", "Red", "Blue", "Green", "Orange", "SkyBlue", "Purple",
               "Pink", "Dark", "White"}
    portraits = {"%s/%d" % (s, n) for s in PORTRAIT_SETS for n in range(PORTRAITS_PER_SET)}
    names = [r[0].casefold() for r in rows[1:]]
    if not 20 <= len(names) <= 30 or len(set(names)) != len(names):
        c.fault("Players.csv: want two dozen players with unique names")
    for i, row in enumerate(rows[1:], 2):
        if len(row) != 4 or (row[1] and row[1].casefold() not in countries) or \
                (row[2] and row[2] not in colours) or (row[3] and row[3] not in portraits):
            c.fault("Players.csv line %d: %r" % (i, row))


def check_schedule(c):
    """Matches.csv: the sample day, eight matches between the roster's players,
    quarterfinals of three games and a final of five; no Results.csv beside it."""
    lines = c.read_lines("Matches.csv")
    roster = c.read_lines("Players.csv")
    if lines is None or roster is None:
        return
    rows = list(csv.reader(lines, delimiter=";"))
    if not rows or rows[0] != ["player1", "player2", "series", "round", "time"]:
        c.fault("Matches.csv: the header is not player1;player2;series;round;time")
        return
    names = {r[0] for r in list(csv.reader(roster, delimiter=";"))[1:] if r}
    if len(rows) != 9:
        c.fault("Matches.csv: want eight matches, found %d" % (len(rows) - 1))
    for i, row in enumerate(rows[1:], 2):
        if len(row) != 5 or row[0] not in names or row[1] not in names or row[0] == row[1]:
            c.fault("Matches.csv line %d: %r" % (i, row))
    series = [r[2] for r in rows[1:] if len(r) == 5]
    if series[:4] != ["Best of 3"] * 4 or series[-1:] != ["Best of 5"]:
        c.fault("Matches.csv: want quarterfinals of Best of 3 and a final of Best of 5")
    if os.path.exists(c.path("Results.csv")):
        c.fault("Results.csv: the program writes it; it is not shipped")


def run(root):
    c = Checker(root)
    if not os.path.isdir(root):
        c.fault("%s: no such folder" % root)
        return c.faults

    languages = c.read_lines("Languages.ini", ascii_only=True) or []
    if languages:
        if not 5 <= len(languages) <= 11:
            c.fault("Languages.ini: %d languages, want 5..11" % len(languages))
        if languages[0] != "Russian":
            c.fault("Languages.ini: line 1 is %r, want 'Russian'" % languages[0])
        for ln in languages:
            if not ln.isalpha():
                c.fault("Languages.ini: %r is not a plain name" % ln)
        for need in ("Russian", "English", "German", "French", "Spanish"):
            if need not in languages:
                c.fault("Languages.ini: %s missing" % need)
        if len(set(languages)) != len(languages):
            c.fault("Languages.ini: a language is listed twice")

    counts = []
    for language in languages:
        names = check_countries(c, language)
        if names is not None:
            counts.append(len(names))

    for s in PORTRAIT_SETS:
        d = c.path("pic", "gen", s)
        pictures = []
        for n in range(PORTRAITS_PER_SET):
            data = check_picture(c, "pic/gen/%s/%d.gif" % (s, n),
                                 PORTRAIT_SIZE, True)
            if data is not None:
                pictures.append(data)
        if len(set(pictures)) != len(pictures):
            c.fault("pic/gen/%s: two portraits are the same picture" % s)
        if os.path.isdir(d):
            extra = sorted(set(os.listdir(d)) -
                           {"%d.gif" % n for n in range(PORTRAITS_PER_SET)})
            if extra:
                c.fault("pic/gen/%s: unexpected %s" % (s, ", ".join(extra)))
    check_picture(c, "pic/battle.gif", BATTLE_SIZE, True)

    logo = c.path("pic", "LOGO.JPG")
    if not os.path.isfile(logo):
        c.fault("pic/LOGO.JPG: missing")
    else:
        size = jpeg_size(logo)
        if size is None:
            c.fault("pic/LOGO.JPG: not a JPEG")
        elif size != LOGO_SIZE:
            c.fault("pic/LOGO.JPG: %dx%d, want %dx%d" % (size + LOGO_SIZE))

    opts = c.read_lines("Options.ini")
    if opts is not None:
        if len(opts) != 13:
            c.fault("Options.ini: %d lines, want 13" % len(opts))
        else:
            check_int(c, "Options.ini", opts, 1, 0, max(0, len(languages) - 1))
            check_int(c, "Options.ini", opts, 4, 0, 9)
            check_int(c, "Options.ini", opts, 5, 10, 18)
            top = min(counts + [MIN_COUNTRIES]) - 1
            check_int(c, "Options.ini", opts, 6, 0, top)
            check_int(c, "Options.ini", opts, 7, 0, top)
            check_int(c, "Options.ini", opts, 12, None, None)
            check_int(c, "Options.ini", opts, 13, None, None)
            for number in (2, 3, 10, 11):
                if not opts[number - 1].strip():
                    c.fault("Options.ini line %d: empty" % number)
            for number in (10, 11):
                if not os.path.isfile(c.path(opts[number - 1])):
                    c.fault("Options.ini line %d: %s is not in the folder"
                            % (number, opts[number - 1]))

    for rel in ("Player1.txt", "Player2.txt"):
        lines = c.read_lines(rel)
        if lines is not None and (not lines or not lines[-1].strip()):
            c.fault("%s: no player name" % rel)

    check_roster(c, languages)
    check_schedule(c)

    total = 0
    for dirpath, _, files in os.walk(root):
        total += sum(os.path.getsize(os.path.join(dirpath, f)) for f in files)
    if total > MAX_FOLDER_BYTES:
        c.fault("folder holds %d bytes, more than %d" % (total, MAX_FOLDER_BYTES))
    return c.faults


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = sys.argv[1] if len(sys.argv) > 1 else \
        os.path.join(here, "..", "..", "data", "program")
    faults = run(os.path.normpath(root))
    for f in faults:
        print("FAIL " + f)
    if faults:
        print("%d fault(s) in %s" % (len(faults), os.path.normpath(root)))
        return 1
    print("program folder OK: %s" % os.path.normpath(root))
    return 0


if __name__ == "__main__":
    sys.exit(main())
