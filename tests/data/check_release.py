#!/usr/bin/env python3
"""The release zips in dist/: their files, each program's icon and version read back,
SHA256SUMS, and a notice in LICENSES.txt for every file that the link map and the
compiler's dependency files say went into the program (its owner found with dpkg -S)."""
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
RELEASES = {"quorvel": "0.99", "quorvel-0.97-transparent": "0.97", "quorvel-0.97-window": "0.97",
            "quorvel-0.94-window": "0.94"}  # program: release
ICON_SIZES = [16, 20, 24, 32, 40, 48, 64, 256]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def check_resources(exe, name, version):
    group, info = (subprocess.run(["wrestool", "-x", "--raw", f"--type={kind}", str(exe)], check=True,
                                  stdout=subprocess.PIPE).stdout for kind in (14, 16))
    count = struct.unpack_from("<H", group, 4)[0] if len(group) >= 6 else 0
    sizes = sorted(group[6 + 14 * i] or 256 for i in range(count))
    check(sizes == ICON_SIZES, f"{exe.name}: icon sizes {sizes}, not {ICON_SIZES}")
    check(str(ROOT).encode() not in exe.read_bytes(), f"{exe.name}: holds the build's folder {ROOT}")
    fixed = info.find(b"\xbd\x04\xef\xfe")  # the file and product versions follow the signature
    numbers = [part for ms_ls in struct.unpack_from("<4I", info, max(fixed, 0) + 8) for part in divmod(ms_ls, 65536)]
    strings = dict(re.findall(r"\x01(\w+)\x00+([^\x00-\x1f]*)", info.decode("utf-16-le", errors="replace")))
    strings["numbers"] = ".".join(map(str, numbers))
    dotted = version + ".0.0"
    got = [strings.get(key, "") for key in ("ProductName", "OriginalFilename", "FileVersion", "ProductVersion",
                                            "numbers")]
    check(got == ["Quorvel", f"{name}.exe", dotted, dotted, f"{dotted}.{dotted}"] and "Copyright" in
          strings.get("LegalCopyright", "") and strings.get("FileDescription", "").startswith(
              f"Quorvel {version} score table: "), f"{exe.name}: version resource {strings}")


def linked_files(name):
    """The start-up objects and archives of the link map, and the headers of its objects."""
    files, dep_files = set(), []
    for line in (BUILD / f"{name}.map").read_text(errors="replace").splitlines():
        if line.startswith("LOAD ") and line.endswith(".o"):
            files.add(line[5:])
        archive, member = (re.findall(r"^(\S+\.a)\((\S+)\)$", line) or [("", "")])[0]  # a member taken in
        if archive.startswith("/"):
            files.add(archive)
        elif archive:
            owners = ["quorvel_win32", name] if archive.endswith("objects.a") else [archive[3:-2]]
            dep_files += [d for owner in owners for d in (BUILD / "CMakeFiles" / f"{owner}.dir").rglob(member + ".d")]
    check(dep_files, f"{name}: no dependency file found from {name}.map")
    for dep in dep_files:
        text = dep.read_text(errors="replace").split(":", 1)[-1]
        files.update(part.replace("\\ ", " ") for part in re.split(r"(?<!\\)\s+", text) if part not in ("", "\\"))
    return {os.path.realpath(path if os.path.isabs(path) else BUILD / path) for path in files}


def notices_needed(name):
    """A vendored library's licence file, or the Debian source package of a system file."""
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
        for name, version in RELEASES.items():
            path = DIST / f"{'quorvel-0.99' if name == 'quorvel' else name}-win64.zip"
            digest = hashlib.sha256(path.read_bytes()).hexdigest()
            check(f"{digest}  {path.name}" in sums, f"SHA256SUMS has no line for {path.name} as it is")
            with zipfile.ZipFile(path) as archive:
                names = {f"{name}/{entry}" for entry in ["", *folder, f"{name}.exe", "README.txt", "LICENSES.txt"]}
                check(set(archive.namelist()) == names, f"{path.name}: {set(archive.namelist()) ^ names} differ")
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
