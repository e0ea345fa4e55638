#!/usr/bin/env python3
"""Builds the program's icon and link cursor from the text pixel maps.

    python3 res/mkicons.py OUTDIR [SRCDIR]

SRCDIR defaults to the icons folder next to this script. Writes
OUTDIR/app.ico (32x32 and 16x16, 16 colours) and OUTDIR/link.cur
(32x32 monochrome). The maps stay the source so that a pixel can be fixed in
a text editor and the change reads plainly in a diff.

A map file holds, in this order ('#' starts a comment line):

    size W H
    key C RRGGBB [name...]      one per character; RRGGBB or "transparent"
    hotspot X Y                 cursors only
    pixels
    ...H rows of exactly W characters...

Output depends on nothing but the maps, so a rebuild gives the same bytes.
"""

import os
import struct
import sys

# The 16-colour VGA palette in Windows order. Icons use it whole, so any
# 16-colour display shows them without dithering.
VGA16 = [
    0x000000, 0x800000, 0x008000, 0x808000,
    0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
    0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
]
MONO = [0x000000, 0xFFFFFF]

TRANSPARENT = None


class MapError(Exception):
    pass


class PixelMap:
    def __init__(self, width, height, pixels, hotspot):
        self.width = width
        self.height = height
        self.pixels = pixels      # rows top-down; palette index or TRANSPARENT
        self.hotspot = hotspot    # (x, y) or None


def _ints(where, words, count):
    if len(words) != count:
        raise MapError(f"{where}: expected {count} numbers, got {' '.join(words) or 'none'}")
    try:
        values = [int(w, 10) for w in words]
    except ValueError:
        raise MapError(f"{where}: not a whole number: {' '.join(words)}") from None
    if any(v < 0 for v in values):
        raise MapError(f"{where}: negative number: {' '.join(words)}")
    return values


def read_map(path, palette, size, want_hotspot):
    """Parses one map; colours must come from `palette`, dimensions must be `size`."""
    try:
        with open(path, encoding="ascii", newline="") as f:
            lines = f.read().split("\n")
    except UnicodeDecodeError:
        raise MapError(f"{path}: not plain ASCII") from None
    if lines and lines[-1] == "":
        lines.pop()
    lines = [ln[:-1] if ln.endswith("\r") else ln for ln in lines]

    dims = None
    keys = {}
    hotspot = None
    rows = []
    n = 0
    while n < len(lines):
        where = f"{path}:{n + 1}"
        line = lines[n]
        n += 1
        words = line.split()
        if not words or words[0].startswith("#"):
            continue
        word = words[0]
        if word == "size":
            if dims is not None:
                raise MapError(f"{where}: second 'size' line")
            dims = tuple(_ints(where, words[1:], 2))
            if dims != size:
                raise MapError(f"{where}: size {dims[0]}x{dims[1]}, this image must be {size[0]}x{size[1]}")
        elif word == "key":
            if len(words) < 3 or len(words[1]) != 1:
                raise MapError(f"{where}: expected 'key C RRGGBB' or 'key C transparent'")
            ch, colour = words[1], words[2].lower()
            if ch in keys:
                raise MapError(f"{where}: '{ch}' is already a key")
            if colour == "transparent":
                keys[ch] = TRANSPARENT
            else:
                try:
                    rgb = int(colour, 16) if len(colour) == 6 else -1
                except ValueError:
                    rgb = -1
                if rgb not in palette:
                    choices = " ".join(f"{c:06X}" for c in palette)
                    raise MapError(f"{where}: colour {words[2]} is not one of: {choices}")
                keys[ch] = palette.index(rgb)
        elif word == "hotspot":
            if not want_hotspot:
                raise MapError(f"{where}: only a cursor has a hot spot")
            if hotspot is not None:
                raise MapError(f"{where}: second 'hotspot' line")
            hotspot = tuple(_ints(where, words[1:], 2))
        elif word == "pixels":
            if len(words) != 1:
                raise MapError(f"{where}: 'pixels' stands alone on its line")
            if dims is None:
                raise MapError(f"{where}: 'size' must come before 'pixels'")
            if not keys:
                raise MapError(f"{where}: no 'key' lines before 'pixels'")
            width, height = dims
            for y in range(height):
                where = f"{path}:{n + 1}"
                if n >= len(lines):
                    raise MapError(f"{path}: {y} pixel rows, expected {height}")
                text = lines[n]
                n += 1
                if len(text) != width:
                    raise MapError(f"{where}: row {y} is {len(text)} pixels wide, expected {width}")
                row = []
                for x, ch in enumerate(text):
                    if ch not in keys:
                        raise MapError(f"{where}: row {y} column {x}: '{ch}' is not a key")
                    row.append(keys[ch])
                rows.append(row)
            for m in range(n, len(lines)):
                rest = lines[m].split()
                if rest and not rest[0].startswith("#"):
                    raise MapError(f"{path}:{m + 1}: more pixel rows than the {height} declared, "
                                   "or text after the map")
            break
        else:
            raise MapError(f"{where}: unknown line '{word}'")
    if not rows:
        raise MapError(f"{path}: no 'pixels' section")
    if want_hotspot:
        if hotspot is None:
            raise MapError(f"{path}: a cursor needs a 'hotspot X Y' line")
        if hotspot[0] >= dims[0] or hotspot[1] >= dims[1]:
            raise MapError(f"{path}: hot spot {hotspot[0]},{hotspot[1]} lies outside the image")
    return PixelMap(dims[0], dims[1], rows, hotspot)


def _pack_rows(rows, bits):
    """Bottom-up DIB rows of `bits`-bit values, each padded to 4 bytes."""
    out = bytearray()
    for row in reversed(rows):
        acc = bytearray()
        value = 0
        used = 0
        for v in row:
            value = (value << bits) | v
            used += bits
            if used == 8:
                acc.append(value)
                value = used = 0
        if used:
            acc.append(value << (8 - used))
        acc.extend(b"\0" * (-len(acc) % 4))
        out += acc
    return bytes(out)


def dib(image, palette, bits):
    """The BITMAPINFOHEADER + palette + XOR bitmap + AND mask of one image.

    Transparent pixels are index 0 (black) in the XOR bitmap and 1 in the
    AND mask, so the screen behind them stays untouched.
    """
    xor = [[0 if v is TRANSPARENT else v for v in row] for row in image.pixels]
    mask = [[1 if v is TRANSPARENT else 0 for v in row] for row in image.pixels]
    xor_bits = _pack_rows(xor, bits)
    and_bits = _pack_rows(mask, 1)
    header = struct.pack(
        "<IiiHHIIiiII",
        40,                     # biSize
        image.width,
        image.height * 2,       # XOR and AND bitmaps stacked
        1,                      # biPlanes
        bits,
        0,                      # BI_RGB
        len(xor_bits) + len(and_bits),
        0, 0,                   # no resolution
        0, 0,                   # whole palette, all of it important
    )
    quads = b"".join(struct.pack("<BBBB", c & 0xFF, (c >> 8) & 0xFF, c >> 16, 0) for c in palette)
    return header + quads + xor_bits + and_bits


def container(kind, entries):
    """An ICO (kind 1) or CUR (kind 2) file; entries are (image, colours, field1, field2, dib)."""
    head = struct.pack("<HHH", 0, kind, len(entries))
    offset = len(head) + 16 * len(entries)
    directory = bytearray()
    data = bytearray()
    for image, colours, field1, field2, blob in entries:
        directory += struct.pack(
            "<BBBBHHII",
            image.width % 256, image.height % 256, colours, 0,
            field1, field2, len(blob), offset + len(data))
        data += blob
    return head + bytes(directory) + bytes(data)


def build(srcdir, outdir):
    icons = []
    for name, side in (("app32.txt", 32), ("app16.txt", 16)):
        image = read_map(os.path.join(srcdir, name), VGA16, (side, side), False)
        # ICO directory: 16 colours, 1 plane, 4 bits per pixel.
        icons.append((image, 16, 1, 4, dib(image, VGA16, 4)))
    cursor = read_map(os.path.join(srcdir, "linkcursor.txt"), MONO, (32, 32), True)
    # CUR directory: the planes/bit count fields hold the hot spot instead.
    cur = [(cursor, 2, cursor.hotspot[0], cursor.hotspot[1], dib(cursor, MONO, 1))]

    os.makedirs(outdir, exist_ok=True)
    for name, blob in (("app.ico", container(1, icons)), ("link.cur", container(2, cur))):
        path = os.path.join(outdir, name)
        tmp = path + ".tmp"
        with open(tmp, "wb") as f:
            f.write(blob)
        # Replace in one step so an interrupted build never leaves half a file
        # for the resource compiler to pick up.
        os.replace(tmp, path)


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write("usage: mkicons.py OUTDIR [SRCDIR]\n")
        return 2
    srcdir = argv[2] if len(argv) == 3 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "icons")
    try:
        build(srcdir, argv[1])
    except MapError as e:
        sys.stderr.write(f"mkicons: {e}\n")
        return 1
    except OSError as e:
        sys.stderr.write(f"mkicons: {e}\n")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
