#!/usr/bin/env python3
"""Quorvel's application icon: the battle emblem, crossed swords over a round shield.

    python3 data/tools/make_icon.py draw [FOLDER]       the source pictures (default data/icon/)
    python3 data/tools/make_icon.py ico FOLDER OUT.ico  the icon file the build puts in every
                                                        program: 16 to 256 pixels

The source pictures are 256 x 256 with smooth edges: quorvel.png is drawn with the
emblem's own drawing commands (make_program_folder.py); quorvel-small.png is the
same emblem simplified for 16 to 24 pixels, where rivets and hilts would be a blur:
a larger shield, thick blades, no hilts. The icon file holds 32-bit images with
alpha: a PNG for 256 pixels and bitmaps with their AND mask for the others, each
scaled from its source picture by ImageMagick's `convert`. The same sources give
the same bytes.
"""
import os
import struct
import subprocess
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_program_folder import EMBLEM, battle_drawing, gc, run_convert  # noqa: E402

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
SMALL = 24  # the largest size drawn from the simplified picture
SOURCE_SIZE = 256
DEFAULT_FOLDER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "icon")
PNG_OUT = ["-strip", "-define", "png:exclude-chunks=date,time"]


def draw(folder):
    scale = SOURCE_SIZE / EMBLEM
    shield, swords = battle_drawing()
    canvas = ["-size", "%dx%d" % (SOURCE_SIZE, SOURCE_SIZE), "xc:none"]
    run_convert(canvas + ["-draw", gc(shield, scale=scale), "-draw", gc(swords, scale=scale)]
                + PNG_OUT + ["png32:" + os.path.join(folder, "quorvel.png")])
    blades = "line 62,62 194,194 line 194,62 62,194"
    small = (
        "stroke #161b22 stroke-width 14 fill #5b6675 circle 128,128 128,8 "
        "stroke #2b323d stroke-width 6 fill #9b2323 circle 128,128 128,42 "
        "stroke none fill #7a1717 path 'M 128,42 A 86,86 0 0,1 214,128 L 128,128 Z' "
        "path 'M 128,214 A 86,86 0 0,1 42,128 L 128,128 Z' "
        "fill none stroke #161b22 stroke-width 60 " + blades + " "
        "stroke #e9edf2 stroke-width 32 " + blades + " "
        "stroke #161b22 stroke-width 8 fill #e2b64a circle 128,128 128,154"
    )
    run_convert(canvas + ["-draw", small] + PNG_OUT + ["png32:" + os.path.join(folder, "quorvel-small.png")])


def rgba(source, size):
    """The source scaled to size x size, as rows of RGBA bytes from the top."""
    sharpen = ["-unsharp", "0x0.6"] if size <= 32 else []
    args = ["convert", source, "-filter", "Lanczos", "-resize", "%dx%d!" % (size, size)] + sharpen + \
        ["-depth", "8", "rgba:-"]
    out = subprocess.run(args, env=dict(os.environ, MAGICK_THREAD_LIMIT="1"), check=True,
                         stdout=subprocess.PIPE).stdout
    if len(out) != size * size * 4:
        sys.exit("convert gave %d bytes for a %d-pixel image of %s" % (len(out), size, source))
    return [out[y * size * 4:(y + 1) * size * 4] for y in range(size)]


def png(size, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def bitmap(size, rows):
    """A 32-bit bitmap as an icon holds it: the header with twice the height, the pixels
    bottom-up in BGRA, then the 1-bit AND mask (set where the pixel is see-through)."""
    mask_stride = (size + 31) // 32 * 4
    pixels, mask = bytearray(), bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x in range(size):
            r, g, b, a = row[4 * x:4 * x + 4]
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + bytes(mask)


def ico(folder, dest):
    images = []
    for size in SIZES:
        rows = rgba(os.path.join(folder, "quorvel-small.png" if size <= SMALL else "quorvel.png"), size)
        images.append((size, png(size, rows) if size >= 256 else bitmap(size, rows)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = len(out) + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(dest, "wb") as f:
        f.write(out + b"".join(data for _, data in images))


def main():
    if len(sys.argv) >= 2 and sys.argv[1] == "draw" and len(sys.argv) <= 3:
        draw(sys.argv[2] if len(sys.argv) == 3 else os.path.normpath(DEFAULT_FOLDER))
    elif len(sys.argv) == 4 and sys.argv[1] == "ico":
        ico(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
