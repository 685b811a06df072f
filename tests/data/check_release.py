#!/usr/bin/env python3
"""Checks the release zips in dist/ as a Windows user gets them: each zip's files, the icon
and the version read back from each program, SHA256SUMS, and that LICENSES.txt holds a
notice for every library and header the link map and the compiler's dependency files say
went into the program (the owner of each file found with dpkg -S)."""
import hashlib
import os
import re
import struct
import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("QUORVEL_WINDOWS_BUILD", ROOT / "build" / "windows"))
DIST = ROOT / "dist"
# Program, zip, version.
RELEASES = [("quorvel", "quorvel-0.99-win64", (0, 99, 0, 0)),
            ("quorvel-0.97-transparent", "quorvel-0.97-transparent-win64", (0, 97, 0, 0)),
            ("quorvel-0.97-window", "quorvel-0.97-window-win64", (0, 97, 0, 0)),
            ("quorvel-0.94-window", "quorvel-0.94-window-win64", (0, 94, 0, 0))]
ICON_SIZES = [16, 20, 24, 32, 40, 48, 64, 256]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def resource(exe, kind):
    return subprocess.run(["wrestool", "-x", "--raw", f"--type={kind}", str(exe)], check=True,
                          stdout=subprocess.PIPE).stdout


def check_resources(exe, name, version):
    group = resource(exe, 14)
    count = struct.unpack_from("<H", group, 4)[0] if len(group) >= 6 else 0
    sizes = sorted(group[6 + 14 * i] or 256 for i in range(count))
    check(sizes == ICON_SIZES, f"{exe.name}: icon sizes {sizes}, not {ICON_SIZES}")
    info = resource(exe, 16)
    fixed = info.find(b"\xbd\x04\xef\xfe")
    numbers = struct.unpack_from("<4I", info, fixed + 8) if fixed >= 0 else (0, 0, 0, 0)
    got = tuple(part for ms_ls in numbers for part in (ms_ls >> 16, ms_ls & 0xFFFF))
    check(got == version * 2, f"{exe.name}: file and product version {got}, not {version} twice")
    strings = dict(re.findall(r"\x01(\w+)\x00+([^\x00]*)", info.decode("utf-16-le", errors="replace")))
    dotted = ".".join(map(str, version))
    for key, want in [("ProductName", "Quorvel"), ("OriginalFilename", f"{name}.exe"),
                      ("FileVersion", dotted), ("ProductVersion", dotted)]:
        check(strings.get(key) == want, f"{exe.name}: {key} {strings.get(key)!r}, not {want!r}")
    check(strings.get("FileDescription", "").startswith(f"Quorvel {version[0]}.{version[1]} score table: "),
          f"{exe.name}: FileDescription {strings.get('FileDescription')!r}")
    check("Copyright" in strings.get("LegalCopyright", ""), f"{exe.name}: no LegalCopyright")


def linked_files(name):
    """Every file of the build machine that went into the program: the archives' members
    and start-up objects of its link map, and the headers its objects were compiled from."""
    files, dep_files = set(), []
    for line in (BUILD / f"{name}.map").read_text(errors="replace").splitlines():
        if line.startswith("LOAD ") and line.endswith(".o"):
            files.add(line[5:])
        match = re.match(r"^(\S+\.a)\((\S+)\)$", line)  # a member the link took in
        if not match:
            continue
        archive, member = match.groups()
        if archive.startswith("/"):
            files.add(archive)
            continue
        owners = ["quorvel_win32", name] if archive.endswith("objects.a") else [archive[3:-2]]
        dep_files += [d for owner in owners for d in (BUILD / "CMakeFiles" / f"{owner}.dir").rglob(member + ".d")]
    check(dep_files, f"{name}: no dependency file found from {name}.map")
    for dep in dep_files:
        text = dep.read_text(errors="replace").split(":", 1)[-1]
        files.update(part.replace("\\ ", " ") for part in re.split(r"(?<!\\)\s+", text) if part not in ("", "\\"))
    return {os.path.realpath(path if os.path.isabs(path) else BUILD / path) for path in files}


def notices_needed(name):
    """What LICENSES.txt must name for the program: a vendored library's licence file, or
    the Debian source package of a system file."""
    needed, system = {"Notice: LICENSE"}, []
    for path in linked_files(name):
        relative = os.path.relpath(path, ROOT)
        if relative.startswith("third_party" + os.sep):
            needed.add(f"Notice: third_party/{relative.split(os.sep)[1]}/LICENSE")
        elif relative.startswith(".."):
            system.append(path)
    owners = subprocess.run(["dpkg", "-S", *sorted(system)], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            text=True)
    found = {line.split(": ", 1)[1]: line.split(": ", 1)[0].split(", ")[0] for line in owners.stdout.splitlines()}
    for path in system:
        check(path in found, f"{name}: {path} belongs to no Debian package, so its notice cannot be found")
    packages = sorted(set(found.values()))
    sources = subprocess.run(["dpkg-query", "-W", "-f=${source:Package}\n", *packages], check=True,
                             stdout=subprocess.PIPE, text=True).stdout.split()
    return needed | {f"Notice: Debian source package {source}," for source in sources}


def main():
    folder = sorted({p.relative_to(ROOT / "data" / "program").as_posix() + ("/" if p.is_dir() else "")
                     for p in (ROOT / "data" / "program").rglob("*")})
    sums = (DIST / "SHA256SUMS").read_text().splitlines()
    with tempfile.TemporaryDirectory() as work:
        for name, zip_name, version in RELEASES:
            path = DIST / f"{zip_name}.zip"
            digest = hashlib.sha256(path.read_bytes()).hexdigest()
            check(f"{digest}  {path.name}" in sums, f"SHA256SUMS has no line for {path.name} as it is")
            with zipfile.ZipFile(path) as archive:
                names = sorted(archive.namelist())
                want = sorted([f"{name}/"] + [f"{name}/{entry}" for entry in
                                              folder + [f"{name}.exe", "README.txt", "LICENSES.txt"]])
                check(names == want, f"{path.name}: files {sorted(set(names) ^ set(want))} differ from the folder's")
                readme = archive.read(f"{name}/README.txt")
                check(readme.startswith(b"\xef\xbb\xbf") and readme.count(b"\n") == readme.count(b"\r\n")
                      and "During a match" in readme.decode("utf-8"),
                      f"{path.name}: README.txt is not UTF-8 with its mark, CR LF, with the chords")
                licences = archive.read(f"{name}/LICENSES.txt").decode("utf-8")
                for notice in sorted(notices_needed(name)):
                    check(notice in licences, f"{path.name}: LICENSES.txt lacks '{notice}'")
                exe = Path(archive.extract(f"{name}/{name}.exe", work))
            check_resources(exe, name, version)
    for failure in failures:
        print("FAIL:", failure)
    print(f"release check: {len(RELEASES)} zips, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
