#!/usr/bin/env python3
"""Build the tray icons from their text pixel maps.

Each map in this folder (idle.txt, switched.txt) becomes a Windows .ico in
the folder above. The .ico files are kept in the repository so that the
build needs no Python.

    make_icons.py                write ../idle.ico and ../switched.ico
    make_icons.py --check        exit 1 if the kept .ico files are stale, or
                                 if one has a pixel its mask leaves clear
                                 that is not black
    make_icons.py --preview DIR  also write 8x PNG previews into DIR
    make_icons.py --sheet FILE   also write every size side by side (docs)

Each icon holds, in this order:
  - the 32x32 image at 8 bits per pixel with a 1-bit transparency mask,
    first, because Windows 95 and NT 4 take the first image of its size;
  - the 16, 24 and 48 pixel images, also at 8 bits per pixel;
  - 32-bit images with an alpha channel at the sizes in TRUECOLOUR below,
    which XP and later prefer on a display of more than 256 colours.
    Windows 2000, 98 and NT 4 at true colour draw them with their mask and
    without alpha, so every pixel the mask leaves clear is black there
    (soft pixels too), or it would show as a speck over the background.

Map format: lines starting with '#' are comments; a legend line
"C = R, G, B" or "C = R, G, B, A" (optionally followed by "# note") gives a
character's colour, A its opacity (255 when left out). A line "pixels N:"
starts a picture of N x N pixels: the N lines after it are its rows, top
first, one character per pixel. '.' is always transparent and may not be
given a colour. A colour with an opacity below 255 is a soft pixel: the
32-bit images blend it, the 256-colour ones leave it transparent. The two
maps draw the same picture: only their colours may differ.
"""

import os
import re
import struct
import sys
import zlib

FIRST = 32
SIZES = (32, 16, 24, 48)
# The 32-bit images cost 4 bytes a pixel and Quorvel.exe stays small, so
# they come at the tray's sizes only (16 at 100 %, 24 at 150 %, 32 at 200 %).
TRUECOLOUR = (16, 24, 32)
TRANSPARENT = "."
HERE = os.path.dirname(os.path.abspath(__file__))
OUT_DIR = os.path.dirname(HERE)
ICONS = ("idle", "switched")

LEGEND_RE = re.compile(r"^(\S)\s*=\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*(?:,\s*(\d+)\s*)?(#.*)?$")
PIXELS_RE = re.compile(r"^pixels\s+(\d+)\s*:$")


class MapError(Exception):
    pass


def parse_map(text, name="map"):
    """Return (legend, pictures): legend maps char -> (r, g, b, a) in file
    order, pictures maps size -> rows."""
    legend = {}
    pictures = {}
    rows = None
    size = 0
    for number, line in enumerate(text.splitlines(), 1):
        where = "%s:%d" % (name, number)
        if rows is not None and len(rows) < size:
            if len(line) != size:
                raise MapError("%s: row is %d characters, not %d" % (where, len(line), size))
            for ch in line:
                if ch != TRANSPARENT and ch not in legend:
                    raise MapError("%s: '%s' is not in the legend" % (where, ch))
            rows.append(line)
            continue
        stripped = line.strip()
        if stripped == "" or stripped.startswith("#"):
            continue
        match = PIXELS_RE.match(stripped)
        if match:
            size = int(match.group(1))
            if size not in SIZES:
                raise MapError("%s: no icon is %d pixels" % (where, size))
            if size in pictures:
                raise MapError("%s: %d pixels drawn twice" % (where, size))
            rows = pictures[size] = []
            continue
        if pictures:
            raise MapError("%s: the legend comes before the pictures" % where)
        match = LEGEND_RE.match(stripped)
        if not match:
            raise MapError("%s: not a legend line: %r" % (where, line))
        ch = match.group(1)
        rgba = tuple(int(match.group(i)) for i in (2, 3, 4)) + (
            int(match.group(5)) if match.group(5) is not None else 255,)
        if ch == TRANSPARENT:
            raise MapError("%s: '.' is reserved for transparency" % where)
        if ch in legend:
            raise MapError("%s: '%s' given twice" % (where, ch))
        if max(rgba) > 255 or rgba[3] == 0:
            raise MapError("%s: colour out of range" % where)
        legend[ch] = rgba
    for size in SIZES:
        if len(pictures.get(size, ())) != size:
            raise MapError("%s: needs a picture of %d rows of %d pixels" % (name, size, size))
    if sum(1 for rgba in legend.values() if rgba[3] == 255) > 255:
        raise MapError("%s: too many colours" % name)
    return legend, pictures


def mask_rows(rows, legend, size):
    """The AND mask, bottom row first: set where a 256-colour image is clear."""
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, ch in enumerate(row):
            if ch == TRANSPARENT or legend[ch][3] < 255:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return mask


def image_header(size, bits, cb_pixels):
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, cb_pixels, 0, 0, 0, 0)


def build_image8(legend, rows, size):
    """One image at 8 bits per pixel with its AND mask."""
    # Index 0 is black and stands under every transparent pixel, so the
    # XOR image adds nothing where the mask lets the background through.
    # Soft pixels have no place in 256 colours.
    chars = [ch for ch in legend if legend[ch][3] == 255]
    index = {ch: i + 1 for i, ch in enumerate(chars)}
    palette = bytearray()
    palette += bytes((0, 0, 0, 0))
    for ch in chars:
        r, g, b, _ = legend[ch]
        palette += bytes((b, g, r, 0))
    palette += bytes(4 * (256 - 1 - len(chars)))

    stride = (size + 3) & ~3
    xor = bytearray()
    for row in reversed(rows):  # DIBs are stored bottom-up
        line = bytearray(index.get(ch, 0) for ch in row)
        line += bytes(stride - size)
        xor += line
    mask = mask_rows(rows, legend, size)
    return image_header(size, 8, len(xor) + len(mask)) + bytes(palette) + bytes(xor) + bytes(mask)


def build_image32(legend, rows, size):
    """One image at 32 bits per pixel (blue, green, red, alpha, not
    premultiplied) with the AND mask of the 256-colour image, for the
    systems that draw it without its alpha: where the mask is clear, the
    colour is black and only the alpha keeps a soft pixel."""
    xor = bytearray()
    for row in reversed(rows):
        for ch in row:
            if ch == TRANSPARENT:
                xor += bytes(4)
            elif legend[ch][3] < 255:
                xor += bytes((0, 0, 0, legend[ch][3]))
            else:
                r, g, b, a = legend[ch]
                xor += bytes((b, g, r, a))
    mask = mask_rows(rows, legend, size)
    return image_header(size, 32, len(xor) + len(mask)) + bytes(xor) + bytes(mask)


def build_ico(legend, pictures, truecolour):
    """The .ico bytes: the 256-colour images, the 32x32 one first, then the
    32-bit ones."""
    images = [(size, 8, build_image8(legend, pictures[size], size))
              for size in (FIRST,) + tuple(s for s in SIZES if s != FIRST)]
    images += [(size, 32, build_image32(legend, pictures[size], size)) for size in truecolour]
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = bytearray()
    data = bytearray()
    for size, bits, image in images:
        entries += struct.pack("<BBBBHHII", size, size, 0, 0, 1, bits, len(image), offset + len(data))
        data += image
    return head + bytes(entries) + bytes(data)


def decode_ico(data):
    """Read back what build_ico writes: a list of (size, bits, rows), each
    row a list of (r, g, b, a)."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1 or count == 0:
        raise MapError("not an icon")
    images = []
    for i in range(count):
        width, height, _, _, _, bits, _, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        size = width or 256
        if height != width or bits not in (8, 32):
            raise MapError("image %d: not a square 8- or 32-bit image" % i)
        at = offset + struct.unpack_from("<I", data, offset)[0]
        palette_at = at
        if bits == 8:
            at += 4 * 256
            stride = (size + 3) & ~3
        else:
            stride = 4 * size
        and_stride = ((size + 31) // 32) * 4
        and_at = at + size * stride
        rows = []
        for y in range(size):
            src = size - 1 - y
            row = []
            for x in range(size):
                clear = data[and_at + src * and_stride + x // 8] & (0x80 >> (x % 8))
                if bits == 8:
                    i8 = data[at + src * stride + x]
                    b, g, r = data[palette_at + 4 * i8: palette_at + 4 * i8 + 3]
                    row.append((r, g, b, 0 if clear else 255))
                else:
                    b, g, r, a = data[at + src * stride + 4 * x: at + src * stride + 4 * x + 4]
                    row.append((r, g, b, a))
            rows.append(row)
        images.append((size, bits, rows))
    return images


def clear_not_black(data):
    """Where an icon's images have a pixel that their AND mask leaves clear
    but whose colour is not black: a list of "SIZExSIZEx BITS: N pixels"."""
    _, _, count = struct.unpack_from("<HHH", data, 0)
    found = []
    for i in range(count):
        width, _, _, _, _, bits, _, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        size = width or 256
        at = offset + struct.unpack_from("<I", data, offset)[0]
        palette_at = at
        if bits == 8:
            at += 4 * 256
        stride = ((size * bits // 8) + 3) & ~3
        and_stride = ((size + 31) // 32) * 4
        and_at = at + size * stride
        specks = 0
        for y in range(size):
            for x in range(size):
                if not data[and_at + y * and_stride + x // 8] & (0x80 >> (x % 8)):
                    continue
                if bits == 8:
                    i8 = data[at + y * stride + x]
                    colour = data[palette_at + 4 * i8: palette_at + 4 * i8 + 3]
                else:
                    colour = data[at + y * stride + 4 * x: at + y * stride + 4 * x + 3]
                specks += 1 if any(colour) else 0
        if specks:
            found.append("%dx%dx%d: %d pixels" % (size, size, bits, specks))
    return found


def write_png(path, pixels):
    """Write rows of (r, g, b) as a PNG."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for p in row:
            raw += bytes(p)

    def chunk(tag, body):
        return (struct.pack(">I", len(body)) + tag + body
                + struct.pack(">I", zlib.crc32(tag + body) & 0xFFFFFFFF))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", len(pixels[0]), len(pixels), 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def checker(x, y):
    return (204, 204, 204) if ((x // 4) + (y // 4)) % 2 else (240, 240, 240)


def blend(p, under):
    a = p[3]
    return tuple((p[i] * a + under[i] * (255 - a) + 127) // 255 for i in range(3))


def paint(canvas, rows, left, top, scale, background):
    """Draws one image into canvas, each pixel scale x scale, over the
    background (a colour, or None for a checkerboard)."""
    for y, row in enumerate(rows):
        for x, p in enumerate(row):
            for dy in range(scale):
                for dx in range(scale):
                    cx, cy = left + x * scale + dx, top + y * scale + dy
                    under = background or checker(cx, cy)
                    canvas[cy][cx] = blend(p, under)


def write_sheet(path, icons):
    """Every size of both icons side by side: for each icon, a band that
    shows each image 4x enlarged over a checkerboard (the 256-colour ones,
    then the 32-bit ones, smallest first), and below it each 32-bit image
    (or 256-colour one where the icon has no 32-bit image of that size) at
    its real size on a light and on a dark taskbar."""
    scale, gap = 4, 12
    light, dark, paper = (243, 243, 243), (32, 32, 32), (255, 255, 255)
    bands = []
    for images in icons:
        width = gap + sum(size * scale + gap for size, _, _ in images)
        bands.append((images, width))
    width = max(w for _, w in bands)
    height = sum(gap + 48 * scale + gap + 2 * (48 + gap) for _ in bands)
    canvas = [[paper] * width for _ in range(height)]
    top = 0
    for images, _ in bands:
        left = gap
        for size, _, rows in sorted(images, key=lambda image: (image[1], image[0])):
            paint(canvas, rows, left, top + gap + (48 - size) * scale, scale, None)
            left += size * scale + gap
        top += gap + 48 * scale + gap
        best = {}
        for size, bits, rows in images:
            if size not in best or bits > best[size][0]:
                best[size] = (bits, rows)
        for background in (light, dark):
            for y in range(top, top + 48 + gap):
                canvas[y] = [background] * width
            left = gap
            for size in sorted(best):
                paint(canvas, best[size][1], left, top + gap // 2 + (48 - size) // 2, 1, background)
                left += size + gap
            top += 48 + gap
    write_png(path, canvas)


def build_named(name):
    path = os.path.join(HERE, name + ".txt")
    with open(path, "r", encoding="ascii") as f:
        legend, pictures = parse_map(f.read(), name + ".txt")
    return pictures, build_ico(legend, pictures, TRUECOLOUR)


def option_value(argv, option):
    at = argv.index(option)
    if at + 1 >= len(argv):
        raise MapError("%s needs a path" % option)
    return argv[at + 1]


def main(argv):
    check = "--check" in argv
    try:
        preview_dir = option_value(argv, "--preview") if "--preview" in argv else None
        sheet = option_value(argv, "--sheet") if "--sheet" in argv else None
    except MapError as err:
        print(err, file=sys.stderr)
        return 2

    stale = []
    specked = []
    drawn = {}
    decoded = []
    for name in ICONS:
        try:
            pictures, data = build_named(name)
        except (MapError, OSError) as err:
            print("%s: %s" % (name, err), file=sys.stderr)
            return 2
        drawn[name] = pictures
        target = os.path.join(OUT_DIR, name + ".ico")
        if check:
            try:
                with open(target, "rb") as f:
                    kept = f.read()
            except OSError:
                kept = None
            if kept != data:
                stale.append(target)
            if kept is not None:
                try:
                    specks = clear_not_black(kept)
                except struct.error:
                    specks = ["cut short"]
                if specks:
                    specked.append((target, specks))
        else:
            with open(target, "wb") as f:
                f.write(data)
        images = decode_ico(data)
        decoded.append(images)
        if preview_dir:
            for size, bits, rows in images:
                pixels = [[None] * (size * 8) for _ in range(size * 8)]
                paint(pixels, rows, 0, 0, 8, None)
                write_png(os.path.join(preview_dir, "%s-%d-%dbit.png" % (name, size, bits)), pixels)
    if sheet:
        write_sheet(sheet, decoded)

    if drawn["idle"] != drawn["switched"]:
        print("idle.txt and switched.txt draw different pictures", file=sys.stderr)
        return 2
    for target, specks in specked:
        print("%s: clear in the mask but not black, a speck where the mask is drawn"
              " without alpha: %s" % (target, "; ".join(specks)), file=sys.stderr)
    if stale:
        for target in stale:
            print("out of date: %s (run make_icons.py)" % target, file=sys.stderr)
    if stale or specked:
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
