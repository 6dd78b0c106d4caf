#!/usr/bin/env python3
"""Build the tray icons from their text pixel maps.

Each map in this folder (idle.txt, switched.txt) becomes a Windows .ico in
the folder above, holding one 32x32 image at 8 bits per pixel with a 1-bit
transparency mask.  The .ico files are kept in the repository so that the
build needs no Python.

    make_icons.py                write ../idle.ico and ../switched.ico
    make_icons.py --check        exit 1 if the kept .ico files are stale
    make_icons.py --preview DIR  also write 8x PNG previews into DIR

Map format: lines starting with '#' are comments; a legend line
"C = R, G, B" (optionally followed by "# note") gives a character's colour; the 32 lines after the line
"pixels:" are the rows, top first, one character per pixel.  '.' is always
transparent and may not be given a colour.
"""

import os
import re
import struct
import sys
import zlib

SIZE = 32
TRANSPARENT = "."
HERE = os.path.dirname(os.path.abspath(__file__))
OUT_DIR = os.path.dirname(HERE)
ICONS = ("idle", "switched")

LEGEND_RE = re.compile(r"^(\S)\s*=\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*(#.*)?$")


class MapError(Exception):
    pass


def parse_map(text, name="map"):
    """Return (legend, rows): legend maps char -> (r, g, b) in file order."""
    legend = {}
    rows = []
    in_pixels = False
    for number, line in enumerate(text.splitlines(), 1):
        where = "%s:%d" % (name, number)
        if in_pixels:
            if line.strip() == "" and len(rows) == SIZE:
                continue
            if len(line) != SIZE:
                raise MapError("%s: row is %d characters, not %d" % (where, len(line), SIZE))
            if len(rows) == SIZE:
                raise MapError("%s: more than %d rows" % (where, SIZE))
            for ch in line:
                if ch != TRANSPARENT and ch not in legend:
                    raise MapError("%s: '%s' is not in the legend" % (where, ch))
            rows.append(line)
            continue
        stripped = line.strip()
        if stripped == "" or stripped.startswith("#"):
            continue
        if stripped == "pixels:":
            in_pixels = True
            continue
        match = LEGEND_RE.match(stripped)
        if not match:
            raise MapError("%s: not a legend line: %r" % (where, line))
        ch = match.group(1)
        rgb = tuple(int(match.group(i)) for i in (2, 3, 4))
        if ch == TRANSPARENT:
            raise MapError("%s: '.' is reserved for transparency" % where)
        if ch in legend:
            raise MapError("%s: '%s' given twice" % (where, ch))
        if max(rgb) > 255:
            raise MapError("%s: colour out of range" % where)
        legend[ch] = rgb
    if len(rows) != SIZE:
        raise MapError("%s: %d rows, need %d" % (name, len(rows), SIZE))
    if len(legend) > 255:
        raise MapError("%s: too many colours" % name)
    return legend, rows


def build_ico(legend, rows):
    """Encode one 32x32 8-bit image with its AND mask as .ico bytes."""
    # Index 0 is black and stands under every transparent pixel, so the
    # XOR image adds nothing where the mask lets the background through.
    chars = list(legend)
    index = {ch: i + 1 for i, ch in enumerate(chars)}
    palette = bytearray()
    palette += bytes((0, 0, 0, 0))
    for ch in chars:
        r, g, b = legend[ch]
        palette += bytes((b, g, r, 0))
    palette += bytes(4 * (256 - 1 - len(chars)))

    xor_stride = (SIZE + 3) & ~3
    and_stride = ((SIZE + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # DIBs are stored bottom-up
        line = bytearray(index.get(ch, 0) for ch in row)
        line += bytes(xor_stride - SIZE)
        xor += line
        bits = bytearray(and_stride)
        for x, ch in enumerate(row):
            if ch == TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits

    header = struct.pack("<IiiHHIIiiII",
                         40, SIZE, SIZE * 2, 1, 8, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    image = header + bytes(palette) + bytes(xor) + bytes(mask)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    return icondir + entry + image


def decode_ico(data):
    """Read back what build_ico writes: rows of (r, g, b) or None."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1 or count != 1:
        raise MapError("not a one-image icon")
    width, height, _, _, _, bpp, size, offset = struct.unpack_from("<BBBBHHII", data, 6)
    if (width, height, bpp) != (SIZE, SIZE, 8):
        raise MapError("not a 32x32 8-bit icon")
    bi_size = struct.unpack_from("<I", data, offset)[0]
    palette_at = offset + bi_size
    xor_at = palette_at + 4 * 256
    and_stride = ((SIZE + 31) // 32) * 4
    and_at = xor_at + SIZE * SIZE
    rows = []
    for y in range(SIZE):
        src = SIZE - 1 - y
        row = []
        for x in range(SIZE):
            transparent = data[and_at + src * and_stride + x // 8] & (0x80 >> (x % 8))
            if transparent:
                row.append(None)
                continue
            i = data[xor_at + src * SIZE + x]
            b, g, r = data[palette_at + 4 * i: palette_at + 4 * i + 3]
            row.append((r, g, b))
        rows.append(row)
    return rows


def write_png(path, pixels, scale=8):
    """Write rows of (r, g, b) / None as a scaled PNG on a checkerboard."""
    height = len(pixels) * scale
    width = len(pixels[0]) * scale
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            p = pixels[y // scale][x // scale]
            if p is None:
                p = (204, 204, 204) if ((x // 4) + (y // 4)) % 2 else (240, 240, 240)
            raw += bytes(p)

    def chunk(tag, body):
        return (struct.pack(">I", len(body)) + tag + body
                + struct.pack(">I", zlib.crc32(tag + body) & 0xFFFFFFFF))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def build_named(name):
    path = os.path.join(HERE, name + ".txt")
    with open(path, "r", encoding="ascii") as f:
        legend, rows = parse_map(f.read(), name + ".txt")
    return build_ico(legend, rows)


def main(argv):
    check = "--check" in argv
    preview_dir = None
    if "--preview" in argv:
        at = argv.index("--preview")
        if at + 1 >= len(argv):
            print("--preview needs a folder", file=sys.stderr)
            return 2
        preview_dir = argv[at + 1]

    stale = []
    for name in ICONS:
        try:
            data = build_named(name)
        except (MapError, OSError) as err:
            print("%s: %s" % (name, err), file=sys.stderr)
            return 2
        target = os.path.join(OUT_DIR, name + ".ico")
        if check:
            try:
                with open(target, "rb") as f:
                    kept = f.read()
            except OSError:
                kept = None
            if kept != data:
                stale.append(target)
        else:
            with open(target, "wb") as f:
                f.write(data)
        if preview_dir:
            write_png(os.path.join(preview_dir, name + ".png"), decode_ico(data))

    if stale:
        for target in stale:
            print("out of date: %s (run make_icons.py)" % target, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
