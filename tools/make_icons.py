#!/usr/bin/env python3
"""Draws qvrsetup's icons and writes them as .ico files.

Each icon holds a 16x16 and a 32x32 image, 32-bit BGRA with an AND mask.
The shapes are described by signed distance functions and rendered with
4x4 supersampling, so the edges come out smooth at both sizes.

    python3 tools/make_icons.py                  # writes res/icons/*.ico
    python3 tools/make_icons.py --png /tmp/icons --scale 8

Standard library only.
"""

import argparse
import math
import os
import struct
import sys
import zlib

SIZES = (16, 32)
SUPERSAMPLE = 4

# --------------------------------------------------------------------------
# Signed distance functions (negative inside), in icon units: the icon spans
# 0..1 in x and y, y pointing down.


def _segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    cx, cy = ax + t * dx - px, ay + t * dy - py
    return math.hypot(cx, cy)


def polygon(points):
    def sdf(x, y):
        inside = False
        distance = float("inf")
        n = len(points)
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            distance = min(distance, _segment_distance(x, y, ax, ay, bx, by))
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                inside = not inside
        return -distance if inside else distance

    return sdf


def stroke(points, radius):
    """A polyline drawn with a round pen of the given radius."""

    def sdf(x, y):
        distance = min(
            _segment_distance(x, y, *points[i], *points[i + 1]) for i in range(len(points) - 1)
        )
        return distance - radius

    return sdf


def rounded_rect(left, top, right, bottom, radius):
    cx, cy = (left + right) / 2, (top + bottom) / 2
    hx, hy = (right - left) / 2 - radius, (bottom - top) / 2 - radius

    def sdf(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius

    return sdf


def circle(cx, cy, radius):
    return lambda x, y: math.hypot(x - cx, y - cy) - radius


def union(*shapes):
    return lambda x, y: min(shape(x, y) for shape in shapes)


def inset(shape, amount):
    return lambda x, y: shape(x, y) + amount


def transformed(points, angle_degrees, scale=1.0):
    """Rotates and scales points given around (0, 0), then centres them."""
    a = math.radians(angle_degrees)
    c, s = math.cos(a), math.sin(a)
    return [(0.5 + scale * (x * c - y * s), 0.5 + scale * (x * s + y * c)) for x, y in points]


# --------------------------------------------------------------------------
# Colours are (r, g, b) tuples or functions of the y coordinate (0..1).


def rgb(value):
    return ((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF)


def vertical_gradient(top, bottom):
    top, bottom = rgb(top), rgb(bottom)

    def colour(y):
        t = max(0.0, min(1.0, y))
        return tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))

    return colour


def outlined(shape, outline, fill, border):
    """Layers for a shape with an outline of `border` icon units."""
    return [(shape, outline), (inset(shape, border), fill)]


# --------------------------------------------------------------------------
# The icons. Each is a function of the pixel size returning layers, painted
# in order: (sdf, colour).

RED_OUTLINE = rgb(0x6E0000)
RED_FILL = vertical_gradient(0xF03A2E, 0xB8120C)
GREEN_OUTLINE = rgb(0x0E4A12)
GREEN_FILL = vertical_gradient(0x4CC94C, 0x1E8A22)


def border_for(size):
    return (1.0 if size <= 16 else 1.5) / size


# An arrow pointing along +x, centred on (0, 0).
ARROW = [
    (-0.42, -0.14),
    (0.02, -0.14),
    (0.02, -0.38),
    (0.44, 0.0),
    (0.02, 0.38),
    (0.02, 0.14),
    (-0.42, 0.14),
]


def select_icon(size):
    # Points left, at the lists.
    return outlined(polygon(transformed(ARROW, 180)), RED_OUTLINE, RED_FILL, border_for(size))


def press_icon(size):
    # Points down and to the right, at the buttons.
    arrow = polygon(transformed(ARROW, 45, scale=1.12))
    return outlined(arrow, RED_OUTLINE, RED_FILL, border_for(size))


def done_icon(size):
    check = stroke([(0.15, 0.54), (0.40, 0.79), (0.87, 0.24)], 0.11)
    return outlined(check, GREEN_OUTLINE, GREEN_FILL, border_for(size))


def error_icon(size):
    cross = union(
        stroke([(0.2, 0.2), (0.8, 0.8)], 0.11),
        stroke([(0.8, 0.2), (0.2, 0.8)], 0.11),
    )
    return outlined(cross, RED_OUTLINE, RED_FILL, border_for(size))


def app_icon(size):
    b = border_for(size)
    px = 1.0 / 32  # the printer is laid out on a 32-unit grid
    paper_edge = rgb(0x7A828C)
    paper = rgb(0xFFFFFF)
    body = rounded_rect(2 * px, 11 * px, 30 * px, 25 * px, 2.5 * px)
    layers = []
    # Sheet waiting at the back.
    layers += outlined(rounded_rect(8 * px, 2 * px, 24 * px, 14 * px, 0.5 * px), paper_edge, paper, b)
    # Housing.
    layers += outlined(body, rgb(0x1A2433), vertical_gradient(0x5B6F8C, 0x2C3A50), b)
    # Paper slot across the top of the housing.
    layers.append((rounded_rect(7 * px, 14 * px, 25 * px, 16 * px, 0.5 * px), rgb(0x121A26)))
    # Status light.
    layers.append((circle(25.5 * px, 19.5 * px, 1.6 * px), rgb(0x3CE05A)))
    # Printed sheet coming out at the front.
    layers += outlined(rounded_rect(7 * px, 21 * px, 25 * px, 30 * px, 0.5 * px), paper_edge, paper, b)
    if size >= 32:
        for y in (24, 27):
            layers.append((rounded_rect(10 * px, y * px, 22 * px, (y + 1) * px, 0), rgb(0x9AA3AE)))
    return layers


ICONS = [
    ("app.ico", app_icon),
    ("select.ico", select_icon),
    ("press.ico", press_icon),
    ("done.ico", done_icon),
    ("error.ico", error_icon),
]

# --------------------------------------------------------------------------
# Rendering.


def render(layers, size):
    """Returns size*size RGBA tuples, rows top to bottom."""
    n = SUPERSAMPLE
    pixels = []
    for row in range(size):
        for col in range(size):
            r = g = b = a = 0.0
            for sy in range(n):
                y = (row + (sy + 0.5) / n) / size
                for sx in range(n):
                    x = (col + (sx + 0.5) / n) / size
                    colour = None
                    for shape, paint in layers:
                        if shape(x, y) < 0:
                            colour = paint(y) if callable(paint) else paint
                    if colour is not None:
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        a += 1
            if a == 0:
                pixels.append((0, 0, 0, 0))
            else:
                pixels.append(
                    (round(r / a), round(g / a), round(b / a), round(255 * a / (n * n)))
                )
    return pixels


def ico_image(pixels, size):
    """One BMP-in-ICO image: header, bottom-up BGRA, bottom-up AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(range(size)):
        line = pixels[row * size : (row + 1) * size]
        for r, g, b, a in line:
            xor += bytes((b, g, r, a))
        bits = bytearray(mask_stride)
        for col, (_, _, _, a) in enumerate(line):
            if a < 128:
                bits[col // 8] |= 0x80 >> (col % 8)
        mask += bits
    image = bytearray(header + xor + mask)
    struct.pack_into("<I", image, 20, len(xor) + len(mask))  # biSizeImage
    return bytes(image)


def ico_file(images):
    """images: list of (size, image bytes)."""
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return bytes(out)


def png_file(pixels, size, scale=1):
    def chunk(kind, data):
        return (
            struct.pack(">I", len(data))
            + kind
            + data
            + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
        )

    width = size * scale
    raw = bytearray()
    for row in range(size):
        line = bytearray()
        for col in range(size):
            line += bytes(pixels[row * size + col]) * scale
        for _ in range(scale):
            raw += b"\0" + line
    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", struct.pack(">IIBBBBB", width, width, 8, 6, 0, 0, 0))
        + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
        + chunk(b"IEND", b"")
    )


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(here, "..", "res", "icons"))
    parser.add_argument("--png", metavar="DIR", help="also write PNG previews to DIR")
    parser.add_argument("--scale", type=int, default=1, help="PNG magnification (nearest)")
    args = parser.parse_args(argv)

    os.makedirs(args.out, exist_ok=True)
    if args.png:
        os.makedirs(args.png, exist_ok=True)
    for name, draw in ICONS:
        images = []
        for size in SIZES:
            pixels = render(draw(size), size)
            images.append((size, ico_image(pixels, size)))
            if args.png:
                stem = os.path.splitext(name)[0]
                path = os.path.join(args.png, "%s_%d.png" % (stem, size))
                with open(path, "wb") as f:
                    f.write(png_file(pixels, size, args.scale))
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(ico_file(images))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
