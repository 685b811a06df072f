#!/usr/bin/env python3
"""Check that the README's pictures and each zip's README.txt stay true: every picture the
README links is a PNG of a plausible size under docs/images/, every PNG there is linked,
and no line of a README.txt is over 80 characters. Exit status 1 with one line a fault."""
import re
import struct
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "cmake"))
import release  # noqa: E402

faults = []
linked = set()
for alt, target in re.findall(r"!\[([^\]]*)\]\(([^)]+)\)", (ROOT / "README.md").read_text(encoding="utf-8")):
    path = ROOT / target
    linked.add(path.resolve())
    data = path.read_bytes() if path.is_file() else b""
    width, height = struct.unpack(">II", data[16:24]) if data[:8] == b"\x89PNG\r\n\x1a\n" else (0, 0)
    if not (16 <= width <= 1600 and 16 <= height <= 1200 and 1000 <= len(data) <= 600_000 and len(alt) >= 20):
        faults.append(f"{target}: not a PNG of 16 to 1600 x 1200 pixels and 1 to 600 KB with an alt text "
                      f"({width} x {height}, {len(data)} bytes, alt {alt!r})")
for path in sorted((ROOT / "docs" / "images").glob("*.png")):
    if path.resolve() not in linked:
        faults.append(f"docs/images/{path.name}: no link to it in README.md")
if sum(path.stat().st_size for path in linked if path.exists()) > 3_000_000:
    faults.append("docs/images: the pictures take more than 3 MB")
with tempfile.TemporaryDirectory() as work:
    for zip_name in release.RELEASE_ZIPS:
        out = Path(work) / zip_name
        release.readme(ROOT / "README.md", out, zip_name)
        for number, line in enumerate(out.read_bytes().decode("utf-8-sig").split("\r\n"), 1):
            if len(line) > release.WIDTH:
                faults.append(f"README.txt of {zip_name}, line {number}: {len(line)} characters: {line}")
for fault in faults:
    print("FAIL:", fault)
print(f"README check: {len(linked)} pictures, {len(faults)} faults")
sys.exit(1 if faults else 0)
