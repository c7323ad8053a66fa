#!/usr/bin/env python3
"""Draws the ZirbelWerk window icon and writes it as PNG and ICO, and the
desktop's theme icons: PNGs of the hicolor sizes and an SVG.

Standard library only, and no time stamps or other varying metadata, so
running it again yields byte-identical files.

Usage: python3 make_icons.py [images-dir [hicolor-dir]]
       (defaults: images/ and hicolor/ next to this file)
"""

import math
import os
import struct
import sys
import zlib

SIZE = 32  # the drawing's own units; other sizes are scaled from it
THEME_SIZES = (16, 32, 48, 64, 128, 256)
SUPERSAMPLE = 4  # samples per axis and pixel, for smooth edges

# Cone body: an egg shape, wider near the top, pointing down.
CONE_CX, CONE_CY = 16.0, 18.5
CONE_RX, CONE_RY = 9.5, 12.0

SCALE_LIGHT = (196, 128, 62)
SCALE_DARK = (120, 66, 28)
SCALE_EDGE = (72, 38, 16)
OUTLINE = (58, 30, 12)
NEEDLE = (46, 132, 64)
NEEDLE_TIP = (84, 170, 82)

# Needle tufts above the cone: (start x, start y, end x, end y).
NEEDLES = [
    (16.0, 7.5, 16.0, 1.0),
    (15.5, 7.5, 10.0, 2.0),
    (16.5, 7.5, 22.0, 2.0),
    (15.0, 7.8, 6.5, 4.5),
    (17.0, 7.8, 25.5, 4.5),
]
NEEDLE_HALF_WIDTH = 0.8


def cone_distance(x, y):
    """Signed, roughly Euclidean distance to the cone outline (< 0 inside)."""
    dy = (y - CONE_CY) / CONE_RY
    # Narrow the lower half so the shape tapers like a cone, not an egg.
    rx = CONE_RX * (1.0 - 0.35 * max(0.0, dy))
    dx = (x - CONE_CX) / rx
    r = math.hypot(dx, dy)
    return (r - 1.0) * min(rx, CONE_RY)


def segment_distance(px, py, seg):
    x0, y0, x1, y1 = seg
    vx, vy = x1 - x0, y1 - y0
    t = ((px - x0) * vx + (py - y0) * vy) / (vx * vx + vy * vy)
    t = min(1.0, max(0.0, t))
    return math.hypot(px - (x0 + t * vx), py - (y0 + t * vy)), t


def mix(a, b, t):
    return tuple(ca + (cb - ca) * t for ca, cb in zip(a, b))


def scale_colour(x, y):
    """Diamond lattice of scales; each scale is lit at its top, dark below."""
    # Rotate by 45 degrees so the lattice cells become diamonds.
    u = (x - CONE_CX + y) / 5.6
    v = (-(x - CONE_CX) + y) / 5.6
    fu, fv = u - math.floor(u), v - math.floor(v)
    edge = min(fu, 1.0 - fu, fv, 1.0 - fv)
    if edge < 0.08:
        return SCALE_EDGE
    shade = (fu + fv) / 2.0  # 0 at the top corner of a cell, 1 at the bottom
    # Light from the upper left over the whole cone.
    side = max(0.0, min(1.0, 0.5 + (x - CONE_CX) / (2.5 * CONE_RX)))
    return mix(SCALE_LIGHT, SCALE_DARK, min(1.0, 0.55 * shade + 0.5 * side))


def sample(x, y):
    """Colour (r, g, b) and alpha 0..1 of one sub-pixel sample, or None."""
    d = cone_distance(x, y)
    if d < -0.9:
        return scale_colour(x, y), 1.0
    if d < 0.0:
        return OUTLINE, 1.0
    best = None
    for seg in NEEDLES:
        dist, t = segment_distance(x, y, seg)
        if dist <= NEEDLE_HALF_WIDTH and (best is None or dist < best[0]):
            best = (dist, t)
    if best is not None:
        return mix(NEEDLE, NEEDLE_TIP, best[1]), 1.0
    return None


def render(size=SIZE):
    """Returns size*size (r, g, b, a) tuples, top row first."""
    pixels = []
    n = SUPERSAMPLE * SUPERSAMPLE
    scale = SIZE / size
    for py in range(size):
        for px in range(size):
            acc = [0.0, 0.0, 0.0]
            alpha = 0.0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    s = sample((px + (sx + 0.5) / SUPERSAMPLE) * scale,
                               (py + (sy + 0.5) / SUPERSAMPLE) * scale)
                    if s is None:
                        continue
                    colour, a = s
                    alpha += a
                    for i in range(3):
                        acc[i] += colour[i] * a
            if alpha == 0.0:
                pixels.append((0, 0, 0, 0))
                continue
            rgb = tuple(int(round(c / alpha)) for c in acc)
            pixels.append(rgb + (int(round(255.0 * alpha / n)),))
    return pixels


def png_chunk(kind, data):
    crc = zlib.crc32(kind + data) & 0xFFFFFFFF
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", crc)


def encode_png(pixels, size=SIZE):
    raw = bytearray()
    for y in range(size):
        raw.append(0)  # filter type None
        for r, g, b, a in pixels[y * size:(y + 1) * size]:
            raw += bytes((r, g, b, a))
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n"
            + png_chunk(b"IHDR", ihdr)
            + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + png_chunk(b"IEND", b""))


def encode_ico(pixels):
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):  # BMP rows are stored bottom-up
        row = pixels[y * SIZE:(y + 1) * SIZE]
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
        bits = 0
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits |= 0x80 >> (x % 8) << (8 * (x // 8))
        mask_row = bits.to_bytes((SIZE + 7) // 8, "little")
        mask += mask_row + bytes(-len(mask_row) % 4)  # rows padded to 4 bytes
    bitmap_size = len(xor) + len(mask)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 32, 0,
                       bitmap_size, 0, 0, 0, 0)
    header = struct.pack("<HHH", 0, 1, 1)
    offset = len(header) + 16
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32,
                        len(info) + bitmap_size, offset)
    return header + entry + info + bytes(xor) + bytes(mask)


def hexcolour(rgb):
    return "#%02x%02x%02x" % tuple(int(round(c)) for c in rgb)


def cone_outline(inset, points=96):
    """Closed path of the cone outline, or of the line `inset` inside it."""
    coords = []
    for k in range(points):
        theta = 2.0 * math.pi * k / points
        r = 1.0
        for _ in range(8):  # the inset depends on the width at that height
            dy = r * math.sin(theta)
            rx = CONE_RX * (1.0 - 0.35 * max(0.0, dy))
            r = 1.0 - inset / min(rx, CONE_RY)
        coords.append("%.2f,%.2f" % (CONE_CX + rx * r * math.cos(theta),
                                     CONE_CY + CONE_RY * r * math.sin(theta)))
    return "M" + " L".join(coords) + " Z"


def encode_svg():
    """The same picture as vectors, in the drawing's units."""
    defs, body = [], []
    for i, (x0, y0, x1, y1) in enumerate(NEEDLES):
        defs.append('<linearGradient id="n%d" gradientUnits="userSpaceOnUse" '
                    'x1="%.2f" y1="%.2f" x2="%.2f" y2="%.2f">'
                    '<stop offset="0" stop-color="%s"/><stop offset="1" stop-color="%s"/>'
                    '</linearGradient>' % (i, x0, y0, x1, y1, hexcolour(NEEDLE), hexcolour(NEEDLE_TIP)))
        body.append('<line x1="%.2f" y1="%.2f" x2="%.2f" y2="%.2f" stroke="url(#n%d)" '
                    'stroke-width="%.2f" stroke-linecap="round"/>'
                    % (x0, y0, x1, y1, i, 2 * NEEDLE_HALF_WIDTH))
    defs.append('<clipPath id="inside"><path d="%s"/></clipPath>' % cone_outline(0.9))
    body.append('<path d="%s" fill="%s"/>' % (cone_outline(0.0), hexcolour(OUTLINE)))
    scales = ['<rect x="0" y="0" width="%d" height="%d" fill="%s"/>' % (SIZE, SIZE, hexcolour(SCALE_EDGE))]
    # One diamond per lattice cell (u, v as in scale_colour), lit at its top corner.
    half, gap = 2.8, 0.08
    for i in range(0, 12):
        for j in range(-6, 6):
            top_y = half * (i + j)
            centre_x = CONE_CX + half * (i - j)
            if top_y > 32 or top_y + 2 * half < 6 or abs(centre_x - CONE_CX) > CONE_RX + half:
                continue
            corners = [(i + gap, j + gap), (i + 1 - gap, j + gap),
                       (i + 1 - gap, j + 1 - gap), (i + gap, j + 1 - gap)]
            points = " ".join("%.2f,%.2f" % (CONE_CX + half * (u - v), half * (u + v))
                              for u, v in corners)
            side = max(0.0, min(1.0, 0.5 + (centre_x - CONE_CX) / (2.5 * CONE_RX)))
            gid = "s%d_%d" % (i, j + 6)
            defs.append('<linearGradient id="%s" gradientUnits="userSpaceOnUse" '
                        'x1="0" y1="%.2f" x2="0" y2="%.2f">'
                        '<stop offset="0" stop-color="%s"/><stop offset="1" stop-color="%s"/>'
                        '</linearGradient>'
                        % (gid, top_y, top_y + 2 * half,
                           hexcolour(mix(SCALE_LIGHT, SCALE_DARK, min(1.0, 0.5 * side))),
                           hexcolour(mix(SCALE_LIGHT, SCALE_DARK, min(1.0, 0.55 + 0.5 * side)))))
            scales.append('<polygon points="%s" fill="url(#%s)"/>' % (points, gid))
    body.append('<g clip-path="url(#inside)">\n' + "\n".join(scales) + "\n</g>")
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">\n'
            '<defs>\n%s\n</defs>\n%s\n</svg>\n'
            % (SIZE, SIZE, SIZE, SIZE, "\n".join(defs), "\n".join(body))).encode("ascii")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "images")
    theme_dir = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "hicolor")
    pixels = render()
    write(os.path.join(out_dir, "Zirbelwerk.png"), encode_png(pixels))
    write(os.path.join(out_dir, "fwloader.ico"), encode_ico(pixels))
    for size in THEME_SIZES:
        data = encode_png(pixels if size == SIZE else render(size), size)
        write(os.path.join(theme_dir, "%dx%d" % (size, size), "apps", "zirbelwerk.png"), data)
    write(os.path.join(theme_dir, "scalable", "apps", "zirbelwerk.svg"), encode_svg())


if __name__ == "__main__":
    main()
