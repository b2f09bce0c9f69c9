#!/usr/bin/env python3
"""Draws Brevanto's application icon as SVG and as PNG files of the usual sizes.

The shapes are those the window draws for its own icon, so the desktop's menu and the
running window show the same picture. One shape list feeds both the SVG writer and a small
anti-aliased rasteriser. Only the standard library is used.

    python3 app/install/draw_icon.py [OUTPUT_DIR]     # default: app/install/icons
"""
import math
import os
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 64, 128, 256)

# The picture the window shows as its icon (app/AppIcon.cpp draws the same shapes with QPainter):
# a dark rounded film frame with five sprocket holes along its top and bottom edges, a sky-blue
# picture and a red play mark. Coordinates are fractions of the icon's side.
FILM = (0x2B, 0x3A, 0x55)
HOLE = (0xF2, 0xF2, 0xF2)
SKY = (0x6C, 0xB4, 0xEE)
PLAY = (0xD9, 0x3B, 0x2B)
SHAPES = [("rect", (0.06, 0.14, 0.94, 0.86, 0.10), FILM)]
for _i in range(5):
    _x = 0.14 + 0.16 * _i
    SHAPES.append(("rect", (_x, 0.18, _x + 0.08, 0.25, 0.0), HOLE))
    SHAPES.append(("rect", (_x, 0.75, _x + 0.08, 0.82, 0.0), HOLE))
SHAPES.append(("rect", (0.14, 0.30, 0.86, 0.70, 0.0), SKY))
SHAPES.append(("polygon", ((0.42, 0.36), (0.64, 0.50), (0.42, 0.64)), PLAY))


def rounded_rect_distance(px, py, x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def triangle_distance(px, py, pts):
    # Signed distance to a convex polygon: negative inside.
    best = float("inf")
    inside = True
    n = len(pts)
    area = 0.0
    for i in range(n):
        ax, ay = pts[i]
        bx, by = pts[(i + 1) % n]
        area += ax * by - bx * ay
    for i in range(n):
        ax, ay = pts[i]
        bx, by = pts[(i + 1) % n]
        ex, ey = bx - ax, by - ay
        wx, wy = px - ax, py - ay
        t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey)))
        dx, dy = wx - ex * t, wy - ey * t
        best = min(best, math.hypot(dx, dy))
        cross = ex * wy - ey * wx
        if (cross < 0) if area > 0 else (cross > 0):
            inside = False
    return -best if inside else best


def coverage(distance, pixel):
    return max(0.0, min(1.0, 0.5 - distance / pixel))


def over(dst, colour, alpha):
    # dst and result: premultiplied (r, g, b, a) in 0..1
    r, g, b = (c / 255.0 for c in colour)
    k = 1.0 - alpha
    return (r * alpha + dst[0] * k, g * alpha + dst[1] * k, b * alpha + dst[2] * k,
            alpha + dst[3] * k)


def shape_distance(kind, params, px, py):
    if kind == "rect":
        return rounded_rect_distance(px, py, *params)
    return triangle_distance(px, py, params)


def render(size):
    pixel = 1.0 / size
    rows = []
    for y in range(size):
        py = (y + 0.5) * pixel
        row = bytearray()
        for x in range(size):
            px = (x + 0.5) * pixel
            out = (0.0, 0.0, 0.0, 0.0)
            for kind, params, colour in SHAPES:
                a = coverage(shape_distance(kind, params, px, py), pixel)
                if a > 0:
                    out = over(out, colour, a)
            alpha = out[3]
            if alpha > 0:
                row += bytes((round(out[0] / alpha * 255), round(out[1] / alpha * 255),
                              round(out[2] / alpha * 255), round(alpha * 255)))
            else:
                row += b"\0\0\0\0"
        rows.append(bytes(row))
    return rows


def png_bytes(size, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + r for r in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def hex_colour(c):
    return "#%02x%02x%02x" % c


def svg_text():
    def n(v):
        return "%g" % round(v * 256, 3)

    parts = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">',
        "  <title>Brevanto</title>",
    ]
    for kind, params, colour in SHAPES:
        if kind == "rect":
            x0, y0, x1, y1, r = params
            radius = ' rx="%s"' % n(r) if r > 0 else ""
            parts.append('  <rect x="%s" y="%s" width="%s" height="%s"%s fill="%s"/>'
                         % (n(x0), n(y0), n(x1 - x0), n(y1 - y0), radius, hex_colour(colour)))
        else:
            points = " ".join("%s,%s" % (n(x), n(y)) for x, y in params)
            parts.append('  <polygon points="%s" fill="%s"/>' % (points, hex_colour(colour)))
    parts.append("</svg>")
    return "\n".join(parts) + "\n"


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "icons")
    os.makedirs(out_dir, exist_ok=True)
    with open(os.path.join(out_dir, "brevanto.svg"), "w", encoding="utf-8") as f:
        f.write(svg_text())
    for size in SIZES:
        with open(os.path.join(out_dir, "brevanto-%d.png" % size), "wb") as f:
            f.write(png_bytes(size, render(size)))


if __name__ == "__main__":
    main()
