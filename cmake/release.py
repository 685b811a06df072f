#!/usr/bin/env python3
"""Makes what a release zip holds beside its program, and the zip itself.

    release.py readme README.md OUT        README.txt: the README's sections for a Windows user
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

# The README's sections that a user of the zip reads, by the start of their heading; a
# section's subsections come with it, and a new section whose heading starts so flows in.
README_SECTIONS = (
    "Releases", "During a match", "The control menu", "Between matches", "Saving the table",
    "Remote control", "On stream", "The four programs", "The program folder",
)
TABLE_WIDTH = 100  # a wider table is written as a list

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
    with open(path, "wb") as f:
        f.write(("\ufeff" + "".join(line.rstrip() + "\r\n" for line in lines)).encode("utf-8"))


# ------------------------------------------------------------------ README.txt

def inline(text):
    text = re.sub(r"\[([^\]]+)\]\(([^)]+)\)", r"\1 (\2)", text)
    text = re.sub(r"\*\*([^*]+)\*\*", r"\1", text)
    return text.replace("`", "")


def cells(row):
    return [inline(cell.strip()) for cell in row.strip().strip("|").split("|")]


def table(rows):
    """A Markdown table as aligned columns, or, when too wide, a list of its rows."""
    head, body = cells(rows[0]), [cells(row) for row in rows[2:]]
    widths = [max(len(row[i]) if i < len(row) else 0 for row in [head] + body) for i in range(len(head))]
    if sum(widths) + 2 * (len(widths) - 1) <= TABLE_WIDTH:
        def line(row):
            return "  ".join(cell.ljust(width) for cell, width in zip(row, widths))
        return [line(head), line(["-" * width for width in widths])] + [line(row) for row in body]
    out = []
    for row in body:
        out.append("  ".join(row[:-1]))
        out += textwrap.wrap(row[-1], TABLE_WIDTH, initial_indent="    ", subsequent_indent="    ")
    return out


def readme_sections(markdown):
    """The chosen sections of the README, in its order, each a list of Markdown lines."""
    chosen, keep = [], False
    for line in markdown.splitlines():
        if line.startswith("## "):
            keep = line[3:].strip().startswith(README_SECTIONS)
        if keep:
            chosen.append(line)
    return chosen


def readme(source, dest):
    markdown = read_text(source)
    lines = markdown.splitlines()
    title = lines[0].lstrip("# ").strip()
    intro = []
    for line in lines[1:]:  # the README's first paragraph says what the program is
        if not line.strip() and intro:
            break
        if line.strip():
            intro.append(inline(line))
    out = [title, "=" * len(title), ""] + intro + [""]
    body = readme_sections(markdown)
    if not body:
        raise ReleaseError(f"{source}: none of the sections {', '.join(README_SECTIONS)}")
    i, fenced = 0, False
    while i < len(body):
        line = body[i]
        if line.startswith("```"):
            fenced = not fenced
        elif fenced:
            out.append("    " + line)
        elif line.startswith("#"):
            heading = inline(line.lstrip("#").strip())
            out += [""] if out[-1] else []
            out += [heading, ("=" if line.startswith("## ") else "-") * len(heading)]
        elif line.startswith("|"):
            rows = []
            while i < len(body) and body[i].startswith("|"):
                rows.append(body[i])
                i += 1
            out += table(rows)
            continue
        else:
            out.append(inline(line))
        i += 1
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
    commands = {"readme": (readme, 2), "licenses": (licenses, 2), "zip": (zip_folder, 2)}
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
