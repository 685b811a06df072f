#!/usr/bin/env python3
"""Regenerate Quorvel's program folder (data/program/) from scratch.

The program folder is what ships beside quorvel.exe: the language list, one
country list per language with the ISO 3166-1 code of each of its lines
(C_<Language>.codes, which tells the program that two languages' entries are
one country, whatever their names and flags), a flag picture for every country of every
language, three sets of general portraits, the battle emblem, the start
dialog's banner, a default Options.ini, two player-name files and a sample
roster of invented players (Players.csv) and a day of matches between them
(Matches.csv).

Everything is made from Debian packages plus drawing commands in this file,
so the same machine state always gives the same bytes:

    apt-get install python3 imagemagick iso-codes iso-flags-png-320x240 \\
                    fonts-dejavu-core
    python3 data/tools/make_program_folder.py            # writes data/program/
    python3 data/tools/make_program_folder.py --out /tmp/program
    python3 data/tools/make_program_folder.py --roster-only   # Players.csv, Matches.csv

Needed from those packages:
  iso-codes               /usr/share/iso-codes/json/iso_3166-1.json and the
                          catalogs /usr/share/locale/<ll>/LC_MESSAGES/iso_3166-1.mo
  iso-flags-png-320x240   /usr/share/iso-flags-png-320x240/<alpha-2>.png
  imagemagick             the `convert` command (version 6 is what we use)
  fonts-dejavu-core       DejaVuSans-Bold.ttf for numbers and the product name

The output folder is deleted and written anew on every run; do not keep
hand-made files in it.  After a run, check it with
    python3 tests/data/check_program_folder.py

Country names.  For each language the name is picked in this order:
  1. a fixed form from NAME_OVERRIDES (for a few countries whose catalog
     entry is missing or only exists in an inverted "Name, Kind of" form
     that would clash with another country);
  2. the translated short name (ISO `common_name`), else the translated
     `name`; where a catalog lacks the entry the English one is used and
     the run says so;
  3. a name of the inverted form "Korea, Republic of" is cut at the first
     comma outside brackets ("Korea") if that does not clash with another country's name;
     if it does clash, the translated `official_name` is used instead when
     it has no comma; otherwise the run stops and asks for an override;
  4. Windows file-name repair (every name is also a picture's file name):
     \\ / | become "-", the characters : * ? " < > and control characters
     are dropped, runs of blanks become one space, trailing dots and
     blanks are removed, the first letter is upper-cased, and a reserved
     device name (CON, NUL, COM1...) gets a trailing "_".
Names must then be unique in a language, ignoring case, as Windows does.

Sorting follows each language's alphabet (see ALPHABETS): accents only
break ties (German and French), Spanish has its own letter N with tilde
after N, Russian has E with diaeresis as its own letter right after E,
Ukrainian has its full alphabet (G with upturn, Ye, I, Yi); blanks and
hyphens sort before letters and other punctuation is ignored.
"""

import argparse
import concurrent.futures
import gettext
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile
import unicodedata

ISO_JSON = "/usr/share/iso-codes/json/iso_3166-1.json"
MO_PATH = "/usr/share/locale/{ll}/LC_MESSAGES/iso_3166-1.mo"
FLAG_DIR = "/usr/share/iso-flags-png-320x240"
FONT_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

# Order matters: the index in Languages.ini is what Options.ini stores.
LANGUAGES = [
    ("Russian", "ru"),
    ("English", None),
    ("German", "de"),
    ("French", "fr"),
    ("Spanish", "es"),
    ("Ukrainian", "uk"),
]

# The sample roster: invented players. Each row: name, country (an ISO code and the
# language whose country file spells it, or None), colour, portrait ("" for none).
ROSTER = [
    ("Arvid Lindqvist", ("SE", "English"), "Blue", "P1/3"),
    ("Марина Волкова", ("UA", "Russian"), "Gold", "P2/7"),
    ("Kenta Moriyama", ("JP", "English"), "Red", "Origin/1"),
    ("Lucía Ferrer", ("ES", "Spanish"), "Orange", ""),
    ("Дмитрий Соколов", ("RU", "Russian"), "Dark", "P1/12"),
    ("Noor Haddad", None, "Purple", "P2/2"),
    ("Tomasz Wrona", ("PL", "English"), "", "P1/5"),
    ("Élodie Marchand", ("FR", "French"), "Pink", "Origin/8"),
    ("Jonas Keller", ("DE", "German"), "Green", "P2/0"),
    ("Олег Бондар", ("UA", "Ukrainian"), "SkyBlue", ""),
    ("Bruna Takeda", ("BR", "English"), "", ""),
    ("Mateo Quiroga", ("CL", "Spanish"), "Red", "P1/9"),
    ("Ингрид Ларсен", ("NO", "Russian"), "White", "P1/0"),
    ("Seo-yeon Park", ("KR", "English"), "SkyBlue", "P2/11"),
    ("Aino Virtanen", ("FI", "English"), "Gold", ""),
    ("Rafael Ortega", ("MX", "Spanish"), "Green", "Origin/4"),
    ("Святослав Гринько", None, "Blue", "P2/6"),
    ("Wei Lun", ("CN", "English"), "Dark", "P1/10"),
    ("Amelia Brooks", ("CA", "English"), "White", "Origin/12"),
    ("Ярослава Ткач", ("UA", "Ukrainian"), "Purple", "P1/2"),
    ("Diego Salas", ("PE", "Spanish"), "", "P2/9"),
    ("Karl Øverby", ("NO", "German"), "Orange", ""),
    ("Алия Нурланова", ("KZ", "Russian"), "Pink", "P2/4"),
    ("Finn O'Malley", ("IE", "English"), "Blue", "Origin/6"),
]
# The sample day's schedule (Matches.csv): eight matches between players of the roster.
# Each row: player 1, player 2, series caption, round, time.
SCHEDULE = [
    ("Arvid Lindqvist", "Марина Волкова", "Best of 3", "Quarterfinal 1", "12:00"),
    ("Kenta Moriyama", "Élodie Marchand", "Best of 3", "Quarterfinal 2", "12:45"),
    ("Jonas Keller", "Алия Нурланова", "Best of 3", "Quarterfinal 3", "13:30"),
    ("Amelia Brooks", "Seo-yeon Park", "Best of 3", "Quarterfinal 4", "14:15"),
    ("Arvid Lindqvist", "Kenta Moriyama", "Best of 3", "Semifinal 1", "15:00"),
    ("Алия Нурланова", "Seo-yeon Park", "Best of 3", "Semifinal 2", "15:45"),
    ("Kenta Moriyama", "Seo-yeon Park", "Best of 3", "Third place", "16:30"),
    ("Arvid Lindqvist", "Алия Нурланова", "Best of 5", "Final", "17:30"),
]

LATIN = "abcdefghijklmnopqrstuvwxyz"
ALPHABETS = {
    "Russian": "абвгдеёжзийклмнопрстуфхцчшщъыьэюя",
    "Ukrainian": "абвгґдеєжзиіїйклмнопрстуфхцчшщьюя",
    "English": LATIN,
    "German": LATIN,
    "French": LATIN,
    "Spanish": "abcdefghijklmnñopqrstuvwxyz",
}
# Letters that sort as two letters.
EXPANSIONS = {"ß": "ss", "æ": "ae", "œ": "oe", "ø": "o", "đ": "d", "ł": "l"}

# Fixed names, by language and alpha-2 code.  Only where the catalog has no
# entry (Türkiye was renamed after some translations were made), still has
# the English text, has only the long official form although a common short
# form exists, or gives an inverted form that clashes with another country.
NAME_OVERRIDES = {
    "English": {
        "CD": "Democratic Republic of the Congo",
    },
    "Russian": {
        "TR": "Турция",
        "LA": "Лаос",
        "SY": "Сирия",
        "US": "Соединённые Штаты",
    },
    "French": {
        "TR": "Turquie",
        "IR": "Iran",
        "LA": "Laos",
        "SY": "Syrie",
        "KR": "Corée du Sud",
        "KP": "Corée du Nord",
        "VI": "Îles Vierges des États-Unis",
    },
    "Spanish": {
        "TR": "Turquía",
        "IR": "Irán",
        "LA": "Laos",
        "SY": "Siria",
        "KR": "Corea del Sur",
        "KP": "Corea del Norte",
        "CD": "República Democrática del Congo",
        "SX": "San Martín (parte neerlandesa)",
        "DZ": "Argelia",
    },
    "Ukrainian": {
        "CD": "Демократична Республіка Конго",
        "VA": "Святий Престол (Ватикан)",
    },
    "German": {
        "UM": "Kleinere Amerikanische Überseeinseln",
    },
}

RESERVED_WIN_NAMES = {"CON", "PRN", "AUX", "NUL"} | \
    {"COM%d" % i for i in range(1, 10)} | {"LPT%d" % i for i in range(1, 10)}

FLAG_SIZE = (70, 62)
FLAG_CROP = "256x176+32+32"   # of the package's 320 x 240 pictures
PORTRAIT = 134
EMBLEM = 120
LOGO_SIZE = (528, 40)

# Default settings and player files shipped with the program.
PLAYER1_NAME = "Alexei"
PLAYER2_NAME = "Jonas"
PLAYER1_COUNTRY = "BY"   # looked up in the Russian list (language 0)
PLAYER2_COUNTRY = "DE"
PLAYER1_FILE_NAME = "Alexei Volkov"
PLAYER2_FILE_NAME = "Jonas Berg"
MIN_COUNTRIES = 175      # the program refuses shorter lists


class ToolError(Exception):
    pass


def log(msg):
    print(msg, flush=True)


# ---------------------------------------------------------------- countries

def load_catalog(ll):
    if ll is None:
        return {}
    path = MO_PATH.format(ll=ll)
    with open(path, "rb") as f:
        return dict(gettext.GNUTranslations(f)._catalog)


def windows_safe(name):
    """Repair a name so that it can be a Windows file name (rule 4)."""
    out = []
    for ch in unicodedata.normalize("NFC", name):
        if ch in "\\/|":
            out.append("-")
        elif ch in ':*?"<>' or unicodedata.category(ch) in ("Cc", "Cf"):
            continue
        elif ch.isspace():
            out.append(" ")
        else:
            out.append(ch)
    s = " ".join("".join(out).split())
    s = s.rstrip(". ")
    if s:
        s = s[0].upper() + s[1:]
    if s.split(".")[0].upper() in RESERVED_WIN_NAMES:
        s += "_"
    return s


def top_comma(name):
    """Index of the first comma outside brackets, or -1."""
    depth = 0
    for i, ch in enumerate(name):
        if ch == "(":
            depth += 1
        elif ch == ")":
            depth = max(0, depth - 1)
        elif ch == "," and depth == 0:
            return i
    return -1


def country_names(language, ll, countries, notes):
    """Return {alpha_2: name} for one language, following the rules above."""
    cat = load_catalog(ll)
    overrides = NAME_OVERRIDES.get(language, {})

    def tr(msgid):
        if msgid is None:
            return None
        if ll is None:
            return msgid
        return cat.get(msgid)

    raw = {}
    for c in countries:
        code = c["alpha_2"]
        if code in overrides:
            continue
        name = tr(c.get("common_name")) or tr(c["name"])
        if name is None:
            name = c.get("common_name") or c["name"]
            notes.append("%s: no translation for %s, using %r"
                         % (language, code, name))
        raw[code] = unicodedata.normalize("NFC", name)

    # Rule 3: inverted names.  A clash is checked against every other
    # country's final or cut name.
    def key(s):
        return s.casefold()

    plain = {key(n) for code, n in raw.items() if top_comma(n) < 0}
    plain |= {key(n) for n in overrides.values()}
    cut_count = {}
    for n in raw.values():
        if top_comma(n) >= 0:
            k = key(n[:top_comma(n)].strip())
            cut_count[k] = cut_count.get(k, 0) + 1

    result = {}
    for c in countries:
        code = c["alpha_2"]
        if code in overrides:
            result[code] = overrides[code]
            continue
        n = raw[code]
        if top_comma(n) >= 0:
            head = n[:top_comma(n)].strip()
            if key(head) not in plain and cut_count[key(head)] == 1:
                n = head
            else:
                official = tr(c.get("official_name"))
                if official and "," not in official:
                    n = official
                else:
                    raise ToolError(
                        "%s: %s %r clashes when cut at the comma; add a "
                        "fixed name to NAME_OVERRIDES" % (language, code, n))
        result[code] = n

    for code in result:
        fixed = windows_safe(result[code])
        if not fixed:
            raise ToolError("%s: %s has an empty name" % (language, code))
        result[code] = fixed

    seen = {}
    for code, n in result.items():
        k = key(n)
        if k in seen:
            raise ToolError("%s: %s and %s both named %r"
                            % (language, seen[k], code, n))
        seen[k] = code
    return result


def sort_key(name, language):
    alphabet = ALPHABETS[language]
    primary, secondary = [], []

    def letter(ch):
        return (2, alphabet.index(ch))

    for ch in unicodedata.normalize("NFC", name).lower():
        if ch in alphabet:
            primary.append(letter(ch))
            secondary.append(())
        elif ch in EXPANSIONS:
            for e in EXPANSIONS[ch]:
                primary.append(letter(e))
                secondary.append((1,))
        elif ch.isspace() or ch in "-\u2010\u2011\u2013":
            primary.append((0, 0))
            secondary.append(())
        elif ch.isdigit():
            primary.append((1, int(unicodedata.digit(ch, 0))))
            secondary.append(())
        else:
            d = unicodedata.normalize("NFD", ch)
            base = d[0]
            marks = tuple(ord(m) for m in d[1:])
            if base in alphabet:
                primary.append(letter(base))
                secondary.append(marks)
            elif unicodedata.category(base).startswith("L"):
                # A letter from another script goes after this alphabet.
                primary.append((3, ord(base)))
                secondary.append(marks)
            # Punctuation (apostrophes, brackets, dots) is ignored.
    return (primary, secondary, name)


def sorted_names(names, language):
    return sorted(names, key=lambda n: sort_key(n, language))


# ---------------------------------------------------------------- pictures

def run_convert(args):
    env = dict(os.environ, MAGICK_THREAD_LIMIT="1")
    p = subprocess.run(["convert"] + args, env=env,
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if p.returncode != 0 or p.stderr.strip():
        raise ToolError("convert %s failed: %s"
                        % (" ".join(args[:3]), p.stderr.decode(errors="replace")))


GIF_OUT = ["+dither", "-strip", "+set", "date:create", "+set", "date:modify"]
# A GIF has one transparent colour: edges are cut at half opacity.
HARD_ALPHA = ["-channel", "A", "-threshold", "50%", "+channel"]


def make_flag(code, dest):
    src = os.path.join(FLAG_DIR, code.lower() + ".png")
    w, h = FLAG_SIZE
    if os.path.exists(src):
        # The package draws each flag as a rounded, shaded tile with a 27 px
        # transparent margin; keep only the part inside the rounded corners
        # so the small picture is all flag.
        run_convert([src, "-crop", FLAG_CROP, "+repage",
                     "-background", "white", "-alpha", "remove",
                     "-alpha", "off", "-filter", "Lanczos",
                     "-resize", "%dx%d!" % (w, h)] + GIF_OUT + [dest])
        return True
    # A neutral stand-in: grey field, darker frame, the alpha-2 code.
    run_convert(["-size", "%dx%d" % (w, h), "xc:#a7abb0",
                 "-fill", "none", "-stroke", "#6b7078", "-strokewidth", "3",
                 "-draw", "rectangle 1,1 %d,%d" % (w - 2, h - 2),
                 "-stroke", "none", "-fill", "#3c4048",
                 "-font", FONT_BOLD, "-pointsize", "26",
                 "-gravity", "center", "-annotate", "+0+0", code.upper()]
                + GIF_OUT + [dest])
    return False


# Colours of the three portrait sets.
PORTRAIT_SETS = {
    "Origin": dict(light="#c99a3e", dark="#4e3410", rim="#f1d58a",
                   fill="#fff2cf", line="#2e1d06", detail="#7a5418"),
    "P1": dict(light="#3f7fd6", dark="#0c1f4d", rim="#9cc8ff",
               fill="#eaf4ff", line="#071332", detail="#1d4f9e"),
    "P2": dict(light="#d4453a", dark="#4a0b0b", rim="#ffb49a",
               fill="#fff1e8", line="#2c0505", detail="#9c2222"),
}


def gc(body, tx=0, ty=0, rot=0, scale=1.0):
    head = "push graphic-context translate %g,%g" % (tx, ty)
    if rot:
        head += " rotate %g" % rot
    if scale != 1.0:
        head += " scale %g,%g" % (scale, scale)
    return "%s %s pop graphic-context" % (head, body)


def poly(points):
    return "polygon " + " ".join("%g,%g" % p for p in points)


def star_points(cx, cy, outer, inner):
    pts = []
    for i in range(10):
        r = outer if i % 2 == 0 else inner
        a = math.radians(-90 + 36 * i)
        pts.append((round(cx + r * math.cos(a), 2), round(cy + r * math.sin(a), 2)))
    return pts


def sword(p, rot, length=1.0, blade=None, guard=None, width=6, shift=0):
    """A sword pointing up, turned by rot degrees about the origin.

    The origin is just above the guard, or shift units nearer the tip."""
    blade = blade or p["fill"]
    guard = guard or p["fill"]
    L, w = 44 * length, width
    body = (
        "stroke %s stroke-width 3 fill %s " % (p["line"], blade)
        + poly([(0, -L), (w, -L + 1.5 * w), (w, 12), (-w, 12), (-w, -L + 1.5 * w)])
        + " stroke %s stroke-width 1.5 " % p["detail"]
        + "line 0,%g 0,8 " % (-L + 2 * w)
        + " stroke %s stroke-width 3 fill %s " % (p["line"], guard)
        + "roundrectangle %g,12 %g,%g 3,3 " % (-3 * w, 3 * w, 12 + w + 1)
        + "rectangle -%g,%g %g,%g " % (w * 0.6, 13 + w, w * 0.6, 28 + w)
        + "circle 0,%g 0,%g" % (32 + w, 38 + w)
    )
    return gc(gc(body, 0, shift), 0, 0, rot)


def thick(path_or_line, p, width):
    """A stroked shape with a dark outline: outline pass, then fill pass."""
    return ("fill none stroke %s stroke-width %g %s "
            "stroke %s stroke-width %g %s "
            % (p["line"], width + 6, path_or_line,
               p["fill"], width, path_or_line))


def emblem(n, p):
    """Emblem number n drawn in a 100 x 100 box."""
    F, L, D = p["fill"], p["line"], p["detail"]
    solid = "stroke %s stroke-width 3 fill %s " % (L, F)
    if n == 0:  # shield with a cross
        return (solid + "path 'M 16,10 L 84,10 L 84,46 C 84,72 66,88 50,96 "
                "C 34,88 16,72 16,46 Z' "
                "stroke none fill %s rectangle 44,18 56,84 rectangle 26,36 74,48"
                % D)
    if n == 1:  # five-pointed star
        return solid + poly(star_points(50, 54, 48, 20)) + " fill %s stroke none circle 50,54 50,62" % D
    if n == 2:  # helmet with a crest
        return (solid
                + "path 'M 44,16 C 44,2 66,-4 90,6 C 80,8 70,10 64,22 Z' "
                + "path 'M 18,92 L 18,50 C 18,24 32,14 50,14 C 68,14 82,24 "
                  "82,50 L 82,92 L 60,92 L 60,70 L 40,70 L 40,92 Z' "
                + "fill %s stroke none rectangle 26,44 74,52 "
                  "rectangle 46,52 54,70 " % D)
    if n == 3:  # crown
        return (solid
                + "path 'M 14,74 L 8,24 L 32,48 L 50,14 L 68,48 L 92,24 "
                  "L 86,74 Z' "
                + "roundrectangle 12,74 88,90 3,3 "
                + "fill %s circle 8,22 8,28 circle 50,12 50,18 circle 92,22 "
                  "92,28 stroke none fill %s circle 50,82 50,86 "
                  "circle 30,82 30,85 circle 70,82 70,85" % (F, D))
    if n == 4:  # crossed swords
        return gc(sword(p, -45, 1.3, width=7) + " "
                  + sword(p, 45, 1.3, width=7), 50, 47)
    if n == 5:  # castle tower
        return (solid
                + "path 'M 24,94 L 26,36 L 18,36 L 18,10 L 32,10 L 32,20 "
                  "L 43,20 L 43,10 L 57,10 L 57,20 L 68,20 L 68,10 L 82,10 "
                  "L 82,36 L 74,36 L 76,94 Z' "
                + "fill %s stroke none "
                  "path 'M 40,94 L 40,74 C 40,62 60,62 60,74 L 60,94 Z' "
                  "rectangle 45,40 55,54" % D)
    if n == 6:  # banner on a pole
        return (thick("line 24,10 24,96", p, 5)
                + solid + "circle 24,8 24,14 "
                + "path 'M 28,14 L 90,14 L 74,36 L 90,58 L 28,58 Z' "
                + "fill %s stroke none circle 50,36 50,46" % D)
    if n == 7:  # bow and arrow
        return (thick("path 'M 34,6 Q 92,50 34,94'", p, 6)
                + "stroke %s stroke-width 2 fill none line 34,6 34,94 " % L
                + thick("line 10,50 82,50", p, 4)
                + solid + poly([(96, 50), (80, 41), (80, 59)]) + " "
                + poly([(10, 50), (2, 42), (14, 42), (20, 50), (14, 58),
                        (2, 58)]))
    if n == 8:  # anchor
        return (thick("circle 50,14 50,22", p, 5)
                + thick("path 'M 16,60 C 18,84 36,92 50,92 C 64,92 82,84 "
                        "84,60'", p, 6)
                + solid + "rectangle 45,24 55,90 roundrectangle 26,30 74,39 3,3 "
                + poly([(16, 52), (6, 66), (24, 66)]) + " "
                + poly([(84, 52), (76, 66), (94, 66)]))
    if n == 9:  # trident
        return (thick("line 50,30 50,96", p, 7)
                + thick("path 'M 24,22 L 24,40 Q 24,54 50,54 Q 76,54 76,40 "
                        "L 76,22'", p, 6)
                + thick("line 50,20 50,54", p, 6)
                + solid + poly([(24, 4), (15, 24), (33, 24)]) + " "
                + poly([(50, 2), (41, 22), (59, 22)]) + " "
                + poly([(76, 4), (67, 24), (85, 24)]))
    if n == 10:  # sun
        rays = []
        for i in range(12):
            a = math.radians(30 * i)
            r = 48 if i % 2 == 0 else 40
            b1, b2 = a - math.radians(8), a + math.radians(8)
            rays.append(poly([
                (round(50 + r * math.cos(a), 2), round(50 + r * math.sin(a), 2)),
                (round(50 + 24 * math.cos(b1), 2), round(50 + 24 * math.sin(b1), 2)),
                (round(50 + 24 * math.cos(b2), 2), round(50 + 24 * math.sin(b2), 2)),
            ]))
        return (solid + " ".join(rays) + " circle 50,50 50,76 "
                + "fill %s stroke none circle 50,50 50,64" % D)
    if n == 11:  # battle axe
        return (thick("line 50,8 50,96", p, 7)
                + solid
                + "path 'M 54,22 C 70,22 80,14 88,6 C 100,28 100,58 88,80 "
                  "C 80,72 70,64 54,64 Z' "
                + poly([(46, 26), (22, 32), (30, 40), (22, 48), (46, 54)])
                + " fill %s stroke none circle 50,10 50,14" % D)
    if n == 12:  # laurel wreath round a small star
        leaves = []
        for side in (-1, 1):
            for i in range(6):
                phi = math.radians(30 + 26 * i)  # from the bottom upwards
                x = 50 + side * 38 * math.sin(phi)
                y = 54 + 38 * math.cos(phi)
                along = math.degrees(math.atan2(-math.sin(phi),
                                                side * math.cos(phi)))
                tilt = along - side * 28   # leaves point up and outwards
                leaves.append(gc("path 'M -13,0 Q 0,-8 13,0 Q 0,8 -13,0 Z'",
                                 round(x, 2), round(y, 2), round(tilt, 2)))
        return ("stroke %s stroke-width 2.5 fill %s " % (L, F)
                + " ".join(leaves) + " "
                + solid + poly(star_points(50, 52, 24, 10)))
    raise ValueError(n)


def make_portrait(n, p, dest):
    s = PORTRAIT
    art = gc(emblem(n, p), 22, 6, scale=0.9)
    plate = ("stroke %s stroke-width 3 fill %s roundrectangle 36,100 98,128 9,9"
             % (p["rim"], p["line"]))
    run_convert([
        "-size", "%dx%d" % (s, s), "radial-gradient:%s-%s" % (p["light"], p["dark"]),
        "(", "-size", "%dx%d" % (s, s), "xc:none", "-fill", "white",
        "-draw", "roundrectangle 2,2 %d,%d 20,20" % (s - 3, s - 3), ")",
        "-compose", "CopyOpacity", "-composite", "-compose", "Over",
        "-fill", "none", "-stroke", p["rim"], "-strokewidth", "4",
        "-draw", "roundrectangle 4,4 %d,%d 18,18" % (s - 5, s - 5),
        "-strokewidth", "1", "-stroke", p["line"],
        "-draw", "roundrectangle 7,7 %d,%d 15,15" % (s - 8, s - 8),
        "-draw", art,
        "-draw", plate,
        "-stroke", "none", "-fill", p["fill"], "-font", FONT_BOLD,
        "-pointsize", "25", "-gravity", "north", "-annotate", "+0+100", str(n),
    ] + HARD_ALPHA + GIF_OUT + [dest])


def battle_drawing():
    """The emblem's two -draw passes on a 120 x 120 canvas: the shield, then the swords."""
    steel = dict(fill="#e9edf2", line="#1b2029", detail="#8c96a4",
                 rim="#d9a93a")
    rivets = " ".join("circle %g,%g %g,%g" % (x, y, x, y + 2.6) for x, y in
                      [(60, 22.5), (97.5, 60), (60, 97.5), (22.5, 60),
                       (33.5, 33.5), (86.5, 33.5), (33.5, 86.5), (86.5, 86.5)])
    shield = (
        "stroke #161b22 stroke-width 3 fill #5b6675 circle 60,60 60,17 "
        "stroke #2b323d stroke-width 2 fill #9b2323 circle 60,60 60,28 "
        "stroke none fill #7a1717 path 'M 60,28 A 32,32 0 0,1 92,60 L 60,60 Z' "
        "path 'M 60,92 A 32,32 0 0,1 28,60 L 60,60 Z' "
        "fill #d9a93a stroke #161b22 stroke-width 1.5 " + rivets + " "
    )
    boss = "stroke #161b22 stroke-width 2 fill #e2b64a circle 60,60 60,69"
    # The hilts end inside the shield's rim: on the table the emblem's lowest rows lie just
    # above the series caption ("Best of 5"), which they must not cover.
    swords = gc(sword(steel, -45, 1.5, guard="#d9a93a", shift=12) + " "
                + sword(steel, 45, 1.5, guard="#d9a93a", shift=12), 60, 60)
    return shield + boss, swords


def make_battle(dest):
    shield, swords = battle_drawing()
    run_convert(["-size", "%dx%d" % (EMBLEM, EMBLEM), "xc:none",
                 "-draw", shield, "-draw", swords]
                + HARD_ALPHA + GIF_OUT + [dest])


def make_logo(dest):
    w, h = LOGO_SIZE
    run_convert([
        "-size", "%dx%d" % (h, w), "gradient:#0a1838-#1f4f99", "-rotate", "90",
        "(", "-size", "%dx%d" % (w, h), "gradient:#ffffff-#000000",
        "-alpha", "set", "-channel", "A", "-evaluate", "set", "18%",
        "+channel", ")",
        "-compose", "Overlay", "-composite", "-compose", "Over",
        "-fill", "#d9a93a", "-draw", "rectangle 0,%d %d,%d" % (h - 2, w, h - 1),
        "-fill", "#071028", "-font", FONT_BOLD, "-pointsize", "24",
        "-gravity", "west", "-annotate", "+11+1", "Quorvel",
        "-fill", "#eef3ff", "-annotate", "+10+0", "Quorvel",
        "-strip", "-quality", "90", "-sampling-factor", "2x2",
        "-interlace", "none", "jpeg:" + dest])


# ---------------------------------------------------------------- writing

def write_lines(path, lines):
    for ln in lines:
        if "\r" in ln or "\n" in ln:
            raise ToolError("line break inside %r" % ln)
    with open(path, "wb") as f:
        f.write("".join(ln + "\r\n" for ln in lines).encode("utf-8"))


def country_lists(notes):
    """Each language's countries as (name, ISO code), in the file's order."""
    with open(ISO_JSON, encoding="utf-8") as f:
        countries = json.load(f)["3166-1"]
    countries.sort(key=lambda c: c["alpha_2"])
    lists = {}
    for language, ll in LANGUAGES:
        by_code = country_names(language, ll, countries, notes)
        names = sorted_names(by_code.values(), language)
        code_of = {n: c for c, n in by_code.items()}
        lists[language] = [(n, code_of[n]) for n in names]
        if not MIN_COUNTRIES <= len(names) <= 301:
            raise ToolError("%s: %d countries" % (language, len(names)))
    return countries, lists


def write_roster(out, lists):
    """Players.csv: a header, then one invented player a line; semicolons, as a
    spreadsheet saves in many locales."""
    rows = ["name;country;colour;portrait"]
    for name, country, colour, portrait in ROSTER:
        spelled = ""
        if country:
            code, language = country
            spelled = next(n for n, c in lists[language] if c == code)
        fields = [name, spelled, colour, portrait]
        rows.append(";".join('"%s"' % f.replace('"', '""') if ";" in f or '"' in f else f
                             for f in fields))
    write_lines(os.path.join(out, "Players.csv"), rows)


def write_schedule(out):
    """Matches.csv: the sample day, semicolons as Players.csv; every name is the
    roster's."""
    names = {name for name, _, _, _ in ROSTER}
    rows = ["player1;player2;series;round;time"]
    for match in SCHEDULE:
        if match[0] not in names or match[1] not in names:
            raise ToolError("Matches.csv: %r names a player not in the roster" % (match,))
        rows.append(";".join(match))
    write_lines(os.path.join(out, "Matches.csv"), rows)


def build(out):
    notes = []
    countries, lists = country_lists(notes)

    write_lines(os.path.join(out, "Languages.ini"),
                [language for language, _ in LANGUAGES])
    for language, _ in LANGUAGES:
        write_lines(os.path.join(out, "C_%s.dat" % language),
                    [n for n, _ in lists[language]])
        write_lines(os.path.join(out, "C_%s.codes" % language),
                    [c for _, c in lists[language]])

    # Flags: one picture per country, copied under each language's names.
    tmp = os.path.join(out, ".flags-tmp")
    os.makedirs(tmp)
    codes = sorted(c["alpha_2"] for c in countries)
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as ex:
        found = dict(zip(codes, ex.map(
            lambda c: make_flag(c, os.path.join(tmp, c + ".gif")), codes)))
    no_flag = [c for c in codes if not found[c]]
    for language, _ in LANGUAGES:
        d = os.path.join(out, "pic", "flags", language)
        os.makedirs(d)
        for name, code in lists[language]:
            shutil.copyfile(os.path.join(tmp, code + ".gif"),
                            os.path.join(d, name + ".gif"))
    shutil.rmtree(tmp)

    jobs = []
    for set_name, palette in PORTRAIT_SETS.items():
        d = os.path.join(out, "pic", "gen", set_name)
        os.makedirs(d)
        for n in range(13):
            jobs.append((n, palette, os.path.join(d, "%d.gif" % n)))
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as ex:
        list(ex.map(lambda j: make_portrait(*j), jobs))
    make_battle(os.path.join(out, "pic", "battle.gif"))
    make_logo(os.path.join(out, "pic", "LOGO.JPG"))

    russian = [c for _, c in lists[LANGUAGES[0][0]]]
    c1, c2 = russian.index(PLAYER1_COUNTRY), russian.index(PLAYER2_COUNTRY)
    shortest = min(len(v) for v in lists.values())
    if max(c1, c2) >= min(MIN_COUNTRIES, shortest):
        raise ToolError("default country index too large")
    write_lines(os.path.join(out, "Options.ini"), [
        "0",                # language: Russian
        PLAYER1_NAME,
        PLAYER2_NAME,
        "2",                # player 1 colour: Blue (0..9)
        "11",               # player 2 colour: Red (10..18)
        str(c1),
        str(c2),
        "Best of 5",
        "reserved",
        "Player1.txt",
        "Player2.txt",
        "65793",
        "0",
    ])
    write_lines(os.path.join(out, "Player1.txt"), [PLAYER1_FILE_NAME])
    write_lines(os.path.join(out, "Player2.txt"), [PLAYER2_FILE_NAME])
    write_roster(out, lists)
    write_schedule(out)

    for language, _ in LANGUAGES:
        log("%-10s %3d countries" % (language, len(lists[language])))
    log("Options.ini countries: %d and %d (%s, %s in Russian)"
        % (c1, c2, lists["Russian"][c1][0], lists["Russian"][c2][0]))
    if no_flag:
        log("No flag in %s for: %s (a grey placeholder was drawn)"
            % (FLAG_DIR, ", ".join(no_flag)))
    else:
        log("Every country has a flag in %s; no placeholders." % FLAG_DIR)
    for note in notes:
        log("note: " + note)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default_out = os.path.normpath(os.path.join(here, "..", "program"))
    ap = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--out", default=default_out,
                    help="folder to (re)create (default: %(default)s)")
    ap.add_argument("--roster-only", action="store_true",
                    help="write only Players.csv and Matches.csv into the existing folder")
    args = ap.parse_args()
    if args.roster_only:
        write_roster(os.path.abspath(args.out), country_lists([])[1])
        write_schedule(os.path.abspath(args.out))
        return

    for path in (ISO_JSON, FLAG_DIR, FONT_BOLD):
        if not os.path.exists(path):
            sys.exit("missing %s: apt-get install iso-codes "
                     "iso-flags-png-320x240 fonts-dejavu-core" % path)
    if shutil.which("convert") is None:
        sys.exit("missing convert: apt-get install imagemagick")

    out = os.path.abspath(args.out)
    parent = os.path.dirname(out)
    os.makedirs(parent, exist_ok=True)
    work = tempfile.mkdtemp(prefix=".program-", dir=parent)
    try:
        build(work)
        os.chmod(work, 0o755)
        if os.path.exists(out):
            shutil.rmtree(out)
        os.rename(work, out)
    except ToolError as e:
        shutil.rmtree(work, ignore_errors=True)
        sys.exit("error: %s" % e)
    except BaseException:
        shutil.rmtree(work, ignore_errors=True)
        raise
    log("wrote %s" % out)


if __name__ == "__main__":
    main()
