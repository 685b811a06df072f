#!/usr/bin/env python3
"""Makes what a release zip holds beside its program, and the zip itself.

    release.py readme README.md OUT ZIP    README.txt: the README's sections for a user of that zip
    release.py licenses SOURCE_DIR OUT     LICENSES.txt: Quorvel's licence and every notice
    release.py zip FOLDER OUT.zip          the folder, zipped the same way every time
    release.py sums OUT ZIP...             SHA256SUMS of the zips

The texts are UTF-8 with a byte order mark and CR LF line ends, as Notepad reads them.
"""
import hashlib
import os
import re
import subprocess
import sys
import textwrap
import zipfile

# The README's part that a user of a zip reads: the caster's sections between these marks,
# less what lies between the second pair (the tools of the sources).
README_FROM, README_TO = "<!-- README.txt: the caster's sections", "<!-- README.txt: end of the caster's sections"
LEAVE_OUT_FROM, LEAVE_OUT_TO = "<!-- README.txt leaves out from here", "<!-- README.txt leaves out to here"
RELEASE_ZIPS = ("quorvel-0.99-win64", "quorvel-0.97-transparent-win64", "quorvel-0.97-window-win64",
                "quorvel-0.94-window-win64")
WIDTH = 80  # the longest line of README.txt, as Notepad shows it without word wrap

# Every part of a release that comes with a notice, and where its notice is: a file of the
# source tree, or a Debian package whose copyright file it is.
NOTICES = (
    ("Quorvel", "file", "LICENSE"),
    ("cpp-httplib, the program's HTTP server (remote control)", "file", "third_party/cpp-httplib/LICENSE"),
    ("nlohmann/json, the program's JSON (remote control)", "deb", "nlohmann-json3-dev"),
    ("mingw-w64: the C runtime, the Windows import libraries and headers, and winpthreads, "
     "linked into the program", "deb", "mingw-w64-x86-64-dev"),
    ("GCC: libstdc++ and libgcc, linked into the program under the GCC Runtime Library Exception",
     "deb", "gcc-mingw-w64-x86-64-posix-runtime"),
    ("iso-codes: the country names in the C_*.dat files", "deb", "iso-codes"),
    ("iso-flags-png-320x240: the flags in pic/flags", "deb", "iso-flags-png-320x240"),
)
COMMON_LICENSES = "/usr/share/common-licenses/"
RULE = "=" * 78

ZIP_TIME = (2026, 1, 1, 0, 0, 0)  # every entry's time, so that a zip depends on its files only


class ReleaseError(Exception):
    pass


def read_text(path):
    try:
        with open(path, encoding="utf-8") as f:
            return f.read()
    except (OSError, UnicodeDecodeError) as error:
        raise ReleaseError(f"{path}: cannot be read as UTF-8 text: {error}")


def write_text(path, lines):
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, "wb") as f:
        f.write(("\ufeff" + "".join(line.rstrip() + "\r\n" for line in lines)).encode("utf-8"))


# ------------------------------------------------------------------ README.txt

def inline(text):
    text = re.sub(r"!\[[^\]]*\]\([^)]+\)", "", text)
    text = re.sub(r"\[([^\]]+)\]\(([^)]+)\)", r"\1 (\2)", text)
    text = re.sub(r"\*\*([^*]+)\*\*", r"\1", text)
    return text.replace("`", "")


def wrap(text, first="", rest=""):
    return textwrap.wrap(text, WIDTH, initial_indent=first, subsequent_indent=rest, break_long_words=False,
                         break_on_hyphens=False) or [first.rstrip()]


def cells(row):
    return [inline(cell.strip()) for cell in row.strip().strip("|").split("|")]


def table(rows):
    """A Markdown table as aligned columns, or, when too wide, a list of its rows."""
    head, body = cells(rows[0]), [cells(row) for row in rows[2:]]
    widths = [max(len(row[i]) if i < len(row) else 0 for row in [head] + body) for i in range(len(head))]
    if sum(widths) + 2 * (len(widths) - 1) <= WIDTH:
        def line(row):
            return "  ".join(cell.ljust(width) for cell, width in zip(row, widths))
        return [line(head), line(["-" * width for width in widths])] + [line(row) for row in body]
    out = []
    for row in body:
        out += wrap(" | ".join(row[:-1]), "- ", "  ")
        out += wrap(row[-1], "    ", "    ")
    return out


def caster_part(markdown, zip_name):
    """The caster's sections of the README, without the parts left out of README.txt and
    without the table rows that name another zip."""
    lines = markdown.splitlines()
    try:
        start = next(i for i, line in enumerate(lines) if line.startswith(README_FROM))
        end = next(i for i, line in enumerate(lines) if line.startswith(README_TO))
    except StopIteration:
        raise ReleaseError(f"README.md: no marks {README_FROM} ... {README_TO} around the caster's sections")
    others = [f"{name}.zip" for name in RELEASE_ZIPS if name != zip_name]
    chosen, leaving = [], False
    for line in lines[start + 1:end]:
        if line.startswith(LEAVE_OUT_FROM) or line.startswith(LEAVE_OUT_TO):
            leaving = line.startswith(LEAVE_OUT_FROM)
        elif not leaving and not (line.startswith("|") and any(name in line for name in others)):
            chosen.append(line)
    return chosen


def blocks(lines):
    """Markdown lines as blocks: ("code", lines), ("table", rows), ("heading", line), ("text", lines)."""
    i = 0
    while i < len(lines):
        line = lines[i]
        if line.lstrip().startswith("```"):  # a list item's code is indented as the item
            end = next((j for j in range(i + 1, len(lines)) if lines[j].lstrip().startswith("```")), len(lines))
            yield "code", lines[i + 1:end]
            i = end + 1
        elif line.startswith("#"):
            yield "heading", line
            i += 1
        elif line.startswith("|"):
            end = next((j for j in range(i, len(lines)) if not lines[j].startswith("|")), len(lines))
            yield "table", lines[i:end]
            i = end
        elif not line.strip() or re.fullmatch(r"\s*!\[[^\]]*\]\([^)]+\)\s*", line):
            yield "blank", line
            i += 1
        else:  # a paragraph or a list item, with the lines that carry it on
            end = i + 1
            while end < len(lines) and lines[end].strip() and not lines[end].lstrip().startswith(("#", "|", "```")) \
                    and not re.match(r"\s*(-|\d+\.) ", lines[end]):
                end += 1
            yield "text", lines[i:end]
            i = end


def readme(source, dest, zip_name):
    markdown = read_text(source)
    lines = markdown.splitlines()
    title = lines[0].lstrip("# ").strip()
    intro = []
    for line in lines[1:]:  # the README's first paragraph says what the program is
        if not line.strip() and intro:
            break
        if line.strip():
            intro.append(inline(line))
    out = [title, "=" * len(title), ""] + wrap(" ".join(intro)) + [""]
    for kind, block in blocks(caster_part(markdown, zip_name)):
        if kind == "code":
            out += ["    " + line for line in block]
        elif kind == "heading":
            heading = inline(block.lstrip("#").strip())
            out += [""] if out[-1] else []
            out += [heading, ("=" if block.startswith("## ") else "-") * len(heading)]
        elif kind == "table":
            out += table(block)
        elif kind == "blank":
            out += [""] if out[-1] else []
        else:
            item = re.match(r"(\s*)(-|\d+\.) ", block[0])
            first = item.group(0) if item else ""
            text = " ".join(inline(line.strip()) for line in block)[len(first.strip()) + 1 if item else 0:]
            out += wrap(text.strip(), first, " " * len(first))
    while out and not out[-1]:
        out.pop()
    write_text(dest, out)


# ------------------------------------------------------------------ LICENSES.txt

def debian_copyright(package):
    path = f"/usr/share/doc/{package}/copyright"
    if not os.path.exists(path):
        raise ReleaseError(f"{path}: missing; install the Debian package {package} (scripts/setup.sh)")
    source = subprocess.run(["dpkg-query", "-W", "-f=${source:Package}", package], check=True,
                            stdout=subprocess.PIPE, text=True).stdout.strip() or package
    return path, f"Debian source package {source}, from {path}"


def licenses(source_dir, dest):
    out, referred = [], {}
    for title, kind, where in NOTICES:
        if kind == "file":
            path, origin = os.path.join(source_dir, where), where
        else:
            path, origin = debian_copyright(where)
        text = read_text(path)
        out += [RULE, title, f"Notice: {origin}", RULE, ""] + text.splitlines() + [""]
        for name in re.findall(re.escape(COMMON_LICENSES) + r"([A-Za-z0-9+-]+(?:\.[0-9]+)*)", text):
            licence = COMMON_LICENSES + name
            if os.path.isfile(licence):
                referred.setdefault(os.path.realpath(licence), licence)
    for real, licence in sorted(referred.items(), key=lambda item: item[1]):
        out += [RULE, f"The licence text that the notices above refer to as {licence}", RULE, ""]
        out += read_text(real).splitlines() + [""]
    write_text(dest, out)


# ------------------------------------------------------------------ zips

def zip_folder(folder, dest):
    """The folder under its own name, entries sorted by path, with fixed times and modes."""
    folder = os.path.abspath(folder)
    parent = os.path.dirname(folder)
    entries = []
    for root, dirs, files in os.walk(folder):
        entries.append(os.path.relpath(root, parent).replace(os.sep, "/") + "/")
        entries += [os.path.relpath(os.path.join(root, name), parent).replace(os.sep, "/") for name in files]
    temporary = dest + ".part"
    with zipfile.ZipFile(temporary, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for name in sorted(entries):
            info = zipfile.ZipInfo(name, ZIP_TIME)
            info.create_system = 3
            if name.endswith("/"):
                info.external_attr = (0o40755 << 16) | 0x10
                archive.writestr(info, b"")
            else:
                info.external_attr = 0o100644 << 16
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(os.path.join(parent, name), "rb") as f:
                    archive.writestr(info, f.read(), compresslevel=9)
    os.replace(temporary, dest)


def sums(dest, zips):
    lines = []
    for path in zips:
        with open(path, "rb") as f:
            lines.append(f"{hashlib.sha256(f.read()).hexdigest()}  {os.path.basename(path)}\n")
    with open(dest, "w", newline="\n") as f:
        f.write("".join(lines))


def main(args):
    commands = {"readme": (readme, 3), "licenses": (licenses, 2), "zip": (zip_folder, 2)}
    try:
        if args and args[0] in commands and len(args) == commands[args[0]][1] + 1:
            commands[args[0]][0](*args[1:])
        elif len(args) >= 3 and args[0] == "sums":
            sums(args[1], args[2:])
        else:
            sys.exit(__doc__)
    except ReleaseError as error:
        sys.exit(f"error: {error}")


if __name__ == "__main__":
    main(sys.argv[1:])
