#!/usr/bin/env python3
"""Draws the Daltrix icon (a database cylinder with an arrow leaving it) and writes res/Daltrix.ico.

The icon group holds 16, 24, 32 and 48 pixel images at 4, 8 and 32 bits per pixel, and one
256 pixel image stored as PNG, so every Windows version and every place an icon shows (title
bar, taskbar, Explorer views) finds an image drawn for its size instead of a scaled one.

    make_icon.py [OUTPUT]       write the icon (default: res/Daltrix.ico beside this tool)
    make_icon.py --check FILE   exit 1 unless FILE is well-formed and equals what we draw now

Python standard library only; the output is the same on every run.
"""

import math
import struct
import sys
import zlib
from pathlib import Path

SMALL_SIZES = (16, 24, 32, 48)
PALETTE_DEPTHS = (4, 8)
PNG_SIZE = 256

# Colours (red, green, blue).
BODY_LIGHT = (120, 176, 232)
BODY_DARK = (28, 78, 150)
TOP = (170, 210, 246)
OUTLINE = (16, 40, 84)
ARROW = (52, 170, 70)
ARROW_OUTLINE = (14, 82, 28)
HALO = (255, 255, 255)

# The drawing in unit coordinates: x to the right, y downwards, both 0..1.
CYL_CX, CYL_RX, CYL_RY = 0.38, 0.30, 0.10
CYL_TOP, CYL_BOTTOM = 0.20, 0.80
CYL_BANDS = (0.40, 0.60)
CYL_BANDS_SMALL = (0.50,)  # below 24 pixels two bands run into one another
ARROW_POLYGON = [(0.44, 0.60), (0.70, 0.60), (0.70, 0.46), (0.97, 0.68),
                 (0.70, 0.90), (0.70, 0.76), (0.44, 0.76)]


# --- shapes as signed distances (negative inside) ---------------------------------------------

def ellipse_distance(x, y, cx, cy, rx, ry):
    # Not the exact distance, but exact enough near the edge for strokes of a pixel or two.
    return (math.hypot((x - cx) / rx, (y - cy) / ry) - 1.0) * min(rx, ry)


def box_distance(x, y, left, top, right, bottom):
    dx = max(left - x, x - right)
    dy = max(top - y, y - bottom)
    outside = math.hypot(max(dx, 0.0), max(dy, 0.0))
    return outside + min(max(dx, dy), 0.0)


def polygon_distance(x, y, points):
    best = float("inf")
    inside = False
    count = len(points)
    for i in range(count):
        ax, ay = points[i]
        bx, by = points[(i + 1) % count]
        ex, ey = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * ex + (y - ay) * ey) / (ex * ex + ey * ey)))
        best = min(best, math.hypot(x - ax - ex * t, y - ay - ey * t))
        if (ay > y) != (by > y) and x < ax + (y - ay) * ex / ey:
            inside = not inside
    return -best if inside else best


def lerp(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def sample(x, y, stroke, bands):
    """The colour at one point, or None where the icon is transparent."""
    colour = None

    d_top = ellipse_distance(x, y, CYL_CX, CYL_TOP, CYL_RX, CYL_RY)
    d_cylinder = min(box_distance(x, y, CYL_CX - CYL_RX, CYL_TOP, CYL_CX + CYL_RX, CYL_BOTTOM),
                     ellipse_distance(x, y, CYL_CX, CYL_BOTTOM, CYL_RX, CYL_RY), d_top)
    if d_cylinder < 0:
        # Lit from the upper left: light on the left third, darkening to the right edge.
        t = max(0.0, min(1.0, ((x - CYL_CX) / CYL_RX + 0.6) / 1.6))
        colour = lerp(BODY_LIGHT, BODY_DARK, t)
        if d_top < 0:
            colour = TOP
        for band in bands:
            if y > band and abs(ellipse_distance(x, y, CYL_CX, band, CYL_RX, CYL_RY)) < stroke / 2:
                colour = OUTLINE
        if abs(d_top) < stroke / 2 or d_cylinder > -stroke:
            colour = OUTLINE

    d_arrow = polygon_distance(x, y, ARROW_POLYGON)
    if d_arrow < 0:
        colour = ARROW_OUTLINE if d_arrow > -stroke else ARROW
    elif d_arrow < stroke * 0.9 and colour is not None:
        colour = HALO  # keeps the arrow apart from the cylinder at the small sizes
    return colour


def render(size):
    """The image as rows of (r, g, b, a), 0..255, straight alpha, top row first."""
    stroke = max(0.035, 0.95 / size)
    bands = CYL_BANDS if size >= 24 else CYL_BANDS_SMALL
    grid = 4 if size <= 64 else 2
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            red = green = blue = covered = 0.0
            for sy in range(grid):
                for sx in range(grid):
                    colour = sample((px + (sx + 0.5) / grid) / size, (py + (sy + 0.5) / grid) / size,
                                    stroke, bands)
                    if colour is not None:
                        red += colour[0]
                        green += colour[1]
                        blue += colour[2]
                        covered += 1
            if covered:
                row.append((round(red / covered), round(green / covered), round(blue / covered),
                            round(255 * covered / (grid * grid))))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


# --- palettes ---------------------------------------------------------------------------------

def median_cut(colours, count):
    """`count` representative colours of a {colour: pixels} histogram."""
    boxes = [list(colours.items())]
    while len(boxes) < count:
        def spread(box):
            return max(max(c[0][i] for c in box) - min(c[0][i] for c in box) for i in range(3))
        splittable = [b for b in boxes if len(b) > 1]
        if not splittable:
            break
        box = max(splittable, key=spread)
        channel = max(range(3), key=lambda i: max(c[0][i] for c in box) - min(c[0][i] for c in box))
        box.sort(key=lambda c: c[0][channel])
        total = sum(n for _, n in box)
        running, cut = 0, 1
        for i, (_, n) in enumerate(box[:-1]):
            running += n
            cut = i + 1
            if running * 2 >= total:
                break
        boxes.remove(box)
        boxes += [box[:cut], box[cut:]]
    palette = []
    for box in boxes:
        total = sum(n for _, n in box)
        palette.append(tuple(round(sum(c[i] * n for c, n in box) / total) for i in range(3)))
    return palette


def nearest(palette, colour):
    return min(range(len(palette)), key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))


# --- file formats -----------------------------------------------------------------------------

def mask_rows(rows):
    """The 1-bit AND mask, bottom row first, each row padded to 4 bytes: 1 where transparent."""
    size = len(rows)
    stride = ((size + 31) // 32) * 4
    data = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, pixel in enumerate(row):
            if pixel[3] < 128:
                line[x // 8] |= 0x80 >> (x % 8)
        data += line
    return bytes(data)


def dib_header(size, depth, image_bytes, palette_entries):
    # The height counts the colour bitmap and the mask together.
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, depth, 0, image_bytes, 0, 0,
                       palette_entries if depth <= 8 else 0, 0)


def dib_32(rows):
    size = len(rows)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask = mask_rows(rows)
    return dib_header(size, 32, len(pixels) + len(mask), 0) + bytes(pixels) + mask


def dib_palette(rows, depth):
    size = len(rows)
    entries = 1 << depth
    histogram = {}
    for row in rows:
        for r, g, b, a in row:
            if a >= 128:
                histogram[(r, g, b)] = histogram.get((r, g, b), 0) + 1
    # Entry 0 stays black: transparent pixels carry it, so the mask alone decides what shows.
    palette = [(0, 0, 0)] + median_cut(histogram, entries - 1)
    palette += [(0, 0, 0)] * (entries - len(palette))
    cache = {}
    stride = ((size * depth + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, (r, g, b, a) in enumerate(row):
            if a < 128:
                continue
            index = cache.get((r, g, b))
            if index is None:
                index = cache[(r, g, b)] = 1 + nearest(palette[1:], (r, g, b))
            if depth == 8:
                line[x] = index
            else:
                line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        pixels += line
    mask = mask_rows(rows)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return dib_header(size, depth, len(pixels) + len(mask), entries) + table + bytes(pixels) + mask


def png(rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    size = len(rows)
    raw = b"".join(b"\x00" + bytes(v for pixel in row for v in pixel) for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def build_icon():
    images = []  # (size, depth, palette entries, bytes)
    for size in SMALL_SIZES:
        rows = render(size)
        images.append((size, 32, 0, dib_32(rows)))
        for depth in reversed(PALETTE_DEPTHS):
            images.append((size, depth, 1 << depth, dib_palette(rows, depth)))
    images.append((PNG_SIZE, 32, 0, png(render(PNG_SIZE))))

    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    directory, data = b"", b""
    for size, depth, entries, image in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, entries if entries < 256 else 0, 0,
                                 1, depth, len(image), offset + len(data))
        data += image
    return header + directory + data


# --- checking ---------------------------------------------------------------------------------

def describe(icon):
    """(size, bits per pixel, is PNG) of each image; raises ValueError on a malformed file."""
    reserved, kind, count = struct.unpack_from("<HHH", icon, 0)
    if reserved != 0 or kind != 1 or count == 0:
        raise ValueError("not an icon file")
    found = []
    for i in range(count):
        width, height, _, _, planes, depth, length, offset = struct.unpack_from("<BBBBHHII", icon, 6 + 16 * i)
        size = width or 256
        image = icon[offset:offset + length]
        if len(image) != length or width != height or planes != 1:
            raise ValueError(f"image {i}: bad directory entry")
        if image.startswith(b"\x89PNG\r\n\x1a\n"):
            found.append((size, depth, True))
            continue
        header_size, dib_width, dib_height, _, dib_depth = struct.unpack_from("<IiiHH", image, 0)
        if header_size != 40 or dib_width != size or dib_height != 2 * size or dib_depth != depth:
            raise ValueError(f"image {i}: bitmap header does not match its entry")
        palette = (1 << depth) * 4 if depth <= 8 else 0
        expected = 40 + palette + ((size * depth + 31) // 32) * 4 * size + ((size + 31) // 32) * 4 * size
        if length != expected:
            raise ValueError(f"image {i}: {length} bytes, expected {expected}")
        found.append((size, depth, False))
    return found


def check(path):
    icon = Path(path).read_bytes()
    images = describe(icon)
    wanted = {(s, d, False) for s in SMALL_SIZES for d in PALETTE_DEPTHS + (32,)} | {(PNG_SIZE, 32, True)}
    if set(images) != wanted or len(images) != len(wanted):
        print(f"{path}: images {sorted(images)}, expected {sorted(wanted)}", file=sys.stderr)
        return 1
    if icon != build_icon():
        print(f"{path}: differs from what tools/make_icon.py draws; run it again", file=sys.stderr)
        return 1
    return 0


def main(argv):
    if len(argv) == 3 and argv[1] == "--check":
        return check(argv[2])
    if len(argv) > 2:
        print(__doc__, file=sys.stderr)
        return 2
    output = Path(argv[1]) if len(argv) == 2 else Path(__file__).resolve().parent.parent / "res" / "Daltrix.ico"
    output.write_bytes(build_icon())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
