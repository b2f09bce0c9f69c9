#!/usr/bin/env python3
"""Writes the example GIFs of examples/ (standard library only, own GIF encoder).

    python3 examples/make_examples.py [OUTPUT_DIR]

The files are small animations that exercise the converter: frame delays of 300/100/250 ms,
frames shorter than one 100 ms slot, transparency with disposal to previous, sub-frames at
offsets, comment and loop extensions, and a single still frame.
"""
import math
import os
import struct
import sys


def lzw_encode(indices, min_code_size):
    """GIF-flavoured LZW: variable code width up to 12 bits, clear code when the table is full."""
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    bit_buffer = 0
    bit_count = 0
    width = min_code_size + 1

    def emit(code):
        nonlocal bit_buffer, bit_count
        bit_buffer |= code << bit_count
        bit_count += width
        while bit_count >= 8:
            out.append(bit_buffer & 0xFF)
            bit_buffer >>= 8
            bit_count -= 8

    table = {}
    next_code = end + 1
    emit(clear)
    prefix = None
    for pixel in indices:
        if prefix is None:
            prefix = pixel
            continue
        key = (prefix, pixel)
        if key in table:
            prefix = table[key]
            continue
        emit(prefix)
        if next_code < 4096:
            table[key] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear)
            table = {}
            next_code = end + 1
            width = min_code_size + 1
        prefix = pixel
    if prefix is not None:
        emit(prefix)
    emit(end)
    if bit_count:
        out.append(bit_buffer & 0xFF)
    return bytes(out)


def sub_blocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out.append(len(chunk))
        out += chunk
    out.append(0)
    return bytes(out)


class Gif:
    def __init__(self, width, height, palette):
        self.width, self.height = width, height
        bits = max(1, math.ceil(math.log2(len(palette))))
        self.bits = bits
        colors = list(palette) + [(0, 0, 0)] * ((1 << bits) - len(palette))
        self.data = bytearray(b"GIF89a")
        self.data += struct.pack("<HHBBB", width, height, 0x80 | (bits - 1), 0, 0)
        for r, g, b in colors:
            self.data += bytes((r, g, b))

    def loop(self, count=0):
        self.data += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01" + struct.pack("<H", count) + b"\x00"

    def comment(self, text):
        self.data += b"\x21\xFE" + sub_blocks(text.encode("ascii"))

    def frame(self, pixels, delay=None, left=0, top=0, width=None, height=None,
              disposal=0, transparent=None):
        width = width or self.width
        height = height or self.height
        if delay is not None:
            packed = (disposal & 7) << 2 | (1 if transparent is not None else 0)
            self.data += b"\x21\xF9\x04" + struct.pack("<BHB", packed, delay, transparent or 0) + b"\x00"
        self.data += b"\x2C" + struct.pack("<HHHHB", left, top, width, height, 0)
        code_size = max(2, self.bits)
        self.data.append(code_size)
        self.data += sub_blocks(lzw_encode(pixels, code_size))

    def save(self, path):
        self.data += b"\x3B"
        with open(path, "wb") as f:
            f.write(self.data)


def spinner(path):
    size = 48
    palette = [(255, 255, 255), (40, 40, 40), (230, 80, 40), (250, 200, 60)]
    gif = Gif(size, size, palette)
    gif.loop()
    gif.comment("Brevanto example: eight 100 ms frames")
    for step in range(8):
        px = []
        for y in range(size):
            for x in range(size):
                dx, dy = x - size / 2 + 0.5, y - size / 2 + 0.5
                r = math.hypot(dx, dy)
                angle = (math.degrees(math.atan2(dy, dx)) + 360) % 360
                if 14 <= r <= 20:
                    arc = (angle - step * 45) % 360
                    px.append(2 if arc < 45 else (3 if arc < 90 else 1))
                else:
                    px.append(0)
        gif.frame(px, delay=10)
    gif.save(path)


def traffic_light(path):
    w, h = 40, 96
    palette = [(30, 30, 30), (80, 80, 80), (230, 40, 40), (250, 190, 30), (40, 200, 70), (255, 255, 255)]
    gif = Gif(w, h, palette)
    gif.comment("Brevanto example: delays of 300, 100 and 250 ms")
    for lit, delay in ((0, 30), (1, 10), (2, 25)):
        px = []
        for y in range(h):
            for x in range(w):
                lamp = None
                for i in range(3):
                    cy = 16 + i * 32
                    if (x - 20) ** 2 + (y - cy) ** 2 <= 12 ** 2:
                        lamp = i
                if lamp is None:
                    px.append(0)
                else:
                    px.append(2 + lamp if lamp == lit else 1)
        gif.frame(px, delay=delay)
    gif.save(path)


def bouncing_ball(path):
    size = 64
    ball = 14
    palette = [(255, 255, 255), (30, 90, 200), (20, 40, 90), (200, 230, 255)]
    gif = Gif(size, size, palette)
    gif.loop()
    gif.comment("Brevanto example: 60 ms frames, transparency, disposal to previous")
    # A full first frame (the sky), then the ball as a small transparent sub-frame per step.
    gif.frame([3] * (size * size), delay=6)
    for step in range(12):
        t = step / 12
        x = int(4 + t * (size - ball - 8))
        y = int(size - ball - 2 - abs(math.sin(t * math.pi * 2)) * 40)
        px = []
        for j in range(ball):
            for i in range(ball):
                d = math.hypot(i - ball / 2 + 0.5, j - ball / 2 + 0.5)
                px.append(1 if d < ball / 2 - 1.5 else (2 if d < ball / 2 else 0))
        gif.frame(px, delay=6, left=x, top=y, width=ball, height=ball, disposal=3, transparent=0)
    gif.save(path)


def still(path):
    size = 32
    palette = [(255, 255, 255), (0, 120, 200), (240, 160, 0), (20, 20, 20)]
    gif = Gif(size, size, palette)
    px = [((x // 8 + y // 8) % 2) + (2 if x == y or x == size - 1 - y else 0) for y in range(size) for x in range(size)]
    gif.frame([min(p, 3) for p in px])  # no graphic control extension: a plain still picture
    gif.save(path)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    os.makedirs(out, exist_ok=True)
    for name, make in (("spinner.gif", spinner), ("traffic-light.gif", traffic_light),
                       ("bouncing-ball.gif", bouncing_ball), ("still.gif", still)):
        path = os.path.join(out, name)
        make(path)
        print(f"{path}: {os.path.getsize(path)} bytes")


if __name__ == "__main__":
    main()
