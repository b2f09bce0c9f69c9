#!/usr/bin/env python3
"""Writes the seed corpus of one fuzz target into a folder.

Usage: make_seeds.py TARGET OUTDIR

Seeds are small files made here (every depth, compression and layout the readers know, plus a
few hostile headers) and, for the GIF targets, the sample GIFs of ../shared/testdata/gif when
that folder exists. Nothing is downloaded and nothing here is committed as a binary.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
TESTDATA = os.path.normpath(os.path.join(HERE, "..", "..", "shared", "testdata", "gif"))
MAX_SEED = 128 * 1024

# Extensions the load-and-save target picks by its first byte; keep in step with fuzz_load_save.cpp.
LOAD_SAVE_EXTENSIONS = ["bmp", "jpg", "gif", "tga", "tif", "png", "ico", "pcx"]


# ---------------------------------------------------------------- GIF
def lzw_fixed(indices, min_code_size):
    """GIF LZW data that never lets the code width grow: a clear code every few literals."""
    m = max(2, min_code_size)
    clear, eoi, width = 1 << m, (1 << m) + 1, m + 1
    per_clear = (1 << m) - 2
    bits, nbits, out = 0, 0, bytearray()

    def emit(code):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8

    for i, k in enumerate(indices):
        if i % per_clear == 0:
            emit(clear)
        emit(k)
    emit(eoi)
    if nbits:
        out.append(bits & 0xFF)
    return m, bytes(out)


def sub_blocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out += bytes([len(chunk)]) + chunk
    return bytes(out) + b"\x00"


def palette(n):
    return b"".join(bytes([(i * 85) & 255, (i * 51) & 255, (255 - i * 37) & 255]) for i in range(n))


def gce(delay=10, disposal=0, transparent=None):
    packed = (disposal & 7) << 2 | (1 if transparent is not None else 0)
    return b"\x21\xF9\x04" + bytes([packed]) + struct.pack("<H", delay) + \
        bytes([transparent or 0]) + b"\x00"


def image(left, top, w, h, indices, bits=2, local=None, interlaced=False):
    packed = 0
    if local is not None:
        packed |= 0x80 | (bits - 1)
    if interlaced:
        packed |= 0x40
    m, data = lzw_fixed(indices, bits)
    out = b"\x2C" + struct.pack("<HHHH", left, top, w, h) + bytes([packed])
    if local is not None:
        out += local
    return out + bytes([m]) + sub_blocks(data)


def gif(screen_w, screen_h, blocks, bits=2, gct=True, version=b"89a"):
    packed = (0x80 | 0x70 | (bits - 1)) if gct else 0
    out = b"GIF" + version + struct.pack("<HH", screen_w, screen_h) + bytes([packed, 0, 0])
    if gct:
        out += palette(1 << bits)
    return out + b"".join(blocks) + b"\x3B"


def netscape(loops):
    return b"\x21\xFF\x0BNETSCAPE2.0\x03\x01" + struct.pack("<H", loops) + b"\x00"


def gif_seeds():
    px = lambda w, h, f=lambda x, y: (x + y) & 3: [f(x, y) for y in range(h) for x in range(w)]
    seeds = {
        "one-frame.gif": gif(4, 4, [gce(10), image(0, 0, 4, 4, px(4, 4))]),
        "no-gce.gif": gif(4, 4, [image(0, 0, 4, 4, px(4, 4)), gce(20), image(1, 1, 2, 2, px(2, 2))]),
        "three-frames-loop.gif": gif(6, 5, [netscape(0), b"\x21\xFE\x05hello\x00",
                                            gce(10, 1), image(0, 0, 6, 5, px(6, 5)),
                                            gce(10, 2, transparent=1), image(2, 1, 3, 3, px(3, 3)),
                                            gce(50, 3, transparent=0), image(1, 1, 4, 4, px(4, 4))]),
        "interlaced-local.gif": gif(8, 9, [gce(5), image(0, 0, 8, 9, px(8, 9, lambda x, y: y & 7),
                                                          bits=3, local=palette(8), interlaced=True)]),
        "plain-text.gif": gif(8, 8, [gce(10), b"\x21\x01\x0C" + bytes(12) + b"\x03abc\x00",
                                     gce(10), image(0, 0, 8, 8, px(8, 8))]),
        "offscreen-frame.gif": gif(4, 4, [gce(10), image(2, 2, 6, 6, px(6, 6)),
                                          gce(10), image(0, 0, 4, 4, px(4, 4))]),
        "zero-screen.gif": gif(0, 0, [gce(10), image(3, 2, 5, 4, px(5, 4))]),
        "no-gct.gif": gif(3, 3, [image(0, 0, 3, 3, px(3, 3), bits=2, local=palette(4))], gct=False),
        "gif87a.gif": gif(3, 2, [image(0, 0, 3, 2, px(3, 2))], version=b"87a"),
        # A large logical screen with one tiny frame, and a frame claiming a huge rectangle.
        "huge-screen.gif": gif(65535, 65535, [gce(10), image(0, 0, 1, 1, [1])]),
        "huge-frame.gif": gif(2, 2, [gce(10), image(0, 0, 65535, 65535, [1, 2, 3])]),
        "truncated.gif": gif(4, 4, [gce(10), image(0, 0, 4, 4, px(4, 4))])[:-9],
        "many-frames.gif": gif(2, 2, [gce(1) + image(0, 0, 1, 1, [i & 3]) for i in range(200)]),
    }
    # An LZW stream of nothing but repeats of one code run: expands far beyond its size.
    seeds["lzw-runaway.gif"] = gif(64, 64, [gce(10), b"\x2C" + struct.pack("<HHHH", 0, 0, 64, 64) +
                                            b"\x00\x02" + sub_blocks(bytes([0x4C, 0x01]) * 300)])
    return seeds


# ---------------------------------------------------------------- BMP
def bmp(w, h, bits, compression=0, masks=None, pixels=None, info_size=40, palette_entries=None,
        offset=None):
    stride = ((w * bits + 31) // 32) * 4
    if pixels is None:
        pixels = bytes((i * 7 + 3) & 255 for i in range(stride * abs(h)))
    colours = b""
    if bits <= 8:
        n = palette_entries if palette_entries is not None else (1 << bits)
        colours = b"".join(bytes([i * 3 & 255, i * 5 & 255, i * 11 & 255, 0]) for i in range(n))
    elif compression == 3:
        colours = struct.pack("<III", *(masks or (0xF800, 0x07E0, 0x001F)))
    header = struct.pack("<IiiHHIIiiII", info_size, w, h, 1, bits, compression, 0, 2835, 2835, 0, 0)
    header += bytes(info_size - 40)
    data_offset = offset if offset is not None else 14 + len(header) + len(colours)
    body = header + colours + pixels
    return b"BM" + struct.pack("<IHHI", 14 + len(body), 0, 0, data_offset) + body


def bmp_seeds():
    seeds = {}
    for bits in (1, 4, 8, 16, 24, 32):
        seeds[f"plain-{bits}.bmp"] = bmp(5, 3, bits)
    seeds["bitfields-565.bmp"] = bmp(3, 2, 16, 3)
    seeds["bitfields-555.bmp"] = bmp(3, 2, 16, 3, (0x7C00, 0x03E0, 0x001F))
    seeds["v5-header.bmp"] = bmp(2, 2, 24, info_size=124)
    seeds["short-palette.bmp"] = bmp(4, 4, 8, palette_entries=2)
    seeds["short-pixels.bmp"] = bmp(16, 16, 24)[:80]
    seeds["top-down.bmp"] = bmp(2, -2, 24)
    seeds["rle8.bmp"] = bmp(2, 2, 8, compression=1)
    seeds["huge.bmp"] = bmp(16384, 16385, 32, pixels=b"\x01" * 64)
    seeds["strip.bmp"] = bmp(10, 63498, 24, pixels=b"\x02" * 64)
    seeds["offset-past-end.bmp"] = bmp(2, 2, 24, offset=0x7FFFFFFF)
    return seeds


# ---------------------------------------------------------------- TGA
def tga(w, h, depth, image_type, pixels, cmap=None, entry_size=24, first=0, descriptor=0x20,
        image_id=b"seed"):
    cmap_type = 1 if cmap is not None else 0
    cmap_len = len(cmap) // (entry_size // 8) if cmap is not None else 0
    header = struct.pack("<BBBHHBHHHHBB", len(image_id), cmap_type, image_type, first, cmap_len,
                         entry_size if cmap is not None else 0, 0, 0, w, h, depth, descriptor)
    return header + image_id + (cmap or b"") + pixels


def rle(pixels, bpp):
    """Alternating raw and run packets over a pixel byte string."""
    out, n, i, toggle = bytearray(), len(pixels) // bpp, 0, False
    while i < n:
        count = min(3, n - i)
        if toggle:
            out += bytes([0x80 | (count - 1)]) + pixels[i * bpp:(i + 1) * bpp]
        else:
            out += bytes([count - 1]) + pixels[i * bpp:(i + count) * bpp]
        i += count
        toggle = not toggle
    return bytes(out)


def tga_seeds():
    seeds = {}
    w, h = 5, 3
    for depth in (8, 15, 16, 24, 32):
        bpp = (depth + 7) // 8
        pix = bytes((i * 13 + 1) & 255 for i in range(w * h * bpp))
        seeds[f"true-{depth}.tga"] = tga(w, h, depth, 3 if depth == 8 else 2, pix)
        seeds[f"rle-{depth}.tga"] = tga(w, h, depth, 11 if depth == 8 else 10, rle(pix, bpp))
    pix8 = bytes(i % 7 for i in range(w * h))
    cmap = palette(7)
    seeds["mapped.tga"] = tga(w, h, 8, 1, pix8, cmap)
    seeds["mapped-bottom-up.tga"] = tga(w, h, 8, 1, pix8, cmap, descriptor=0)
    seeds["mapped-rle.tga"] = tga(w, h, 8, 9, rle(pix8, 1), cmap)
    seeds["mapped-32bit-entries.tga"] = tga(w, h, 8, 1, pix8, bytes(range(28)), entry_size=32)
    seeds["mapped-offset.tga"] = tga(w, h, 8, 1, pix8, cmap, first=250)
    seeds["long-run.tga"] = tga(w, h, 24, 10, b"\xFF\x01\x02\x03" * 2)
    seeds["truncated.tga"] = tga(w, h, 24, 2, bytes(10))
    seeds["huge.tga"] = tga(65535, 65535, 32, 10, b"\xFF\x01\x02\x03\x04")
    return seeds


# ---------------------------------------------------------------- PNG, ICO
def png(w, h, rgba=True):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    bpp = 4 if rgba else 3
    raw = b"".join(b"\x00" + bytes((x * 40 + y * 9 + c * 70) & 255 for x in range(w) for c in range(bpp))
                   for y in range(h))
    ihdr = struct.pack(">IIBBBBB", w, h, 8, 6 if rgba else 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw)) + \
        chunk(b"IEND", b"")


def ico_bmp_entry(w, h, bits):
    stride = ((w * bits + 31) // 32) * 4
    mask_stride = ((w + 31) // 32) * 4
    colours = b""
    if bits <= 8:
        colours = b"".join(bytes([i * 3 & 255, i * 5 & 255, i * 11 & 255, 0]) for i in range(1 << bits))
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bits, 0, 0, 0, 0, 0, 0)
    xor = bytes((i * 29 + 5) & 255 for i in range(stride * h))
    mask = bytes([0x55] * (mask_stride * h))
    return header + colours + xor + mask


def ico(entries, kind=1):
    """entries: list of (width, height, bits, data)."""
    out = struct.pack("<HHH", 0, kind, len(entries))
    offset = 6 + 16 * len(entries)
    directory, blobs = b"", b""
    for w, h, bits, data in entries:
        directory += struct.pack("<BBBBHHII", w & 255, h & 255, 0, 0, 1, bits, len(data), offset)
        blobs += data
        offset += len(data)
    return out + directory + blobs


def ico_seeds():
    return {
        "bmp-32.ico": ico([(4, 4, 32, ico_bmp_entry(4, 4, 32))]),
        "bmp-8.ico": ico([(3, 2, 8, ico_bmp_entry(3, 2, 8))]),
        "bmp-4-1.ico": ico([(5, 3, 4, ico_bmp_entry(5, 3, 4)), (2, 2, 1, ico_bmp_entry(2, 2, 1))]),
        "bmp-24.ico": ico([(3, 3, 24, ico_bmp_entry(3, 3, 24))]),
        "png.ico": ico([(3, 3, 32, png(3, 3))]),
        "png-256.ico": ico([(0, 0, 32, png(2, 2, rgba=False))]),
        "mixed.ico": ico([(2, 2, 32, ico_bmp_entry(2, 2, 32)), (3, 3, 32, png(3, 3))]),
        "cursor.cur": ico([(2, 2, 32, ico_bmp_entry(2, 2, 32))], kind=2),
        "bad-offset.ico": ico([(2, 2, 32, ico_bmp_entry(2, 2, 32))])[:30] + b"\xFF" * 8,
        "huge-entry.ico": ico([(0, 0, 32, struct.pack("<IiiHHIIiiII", 40, 65535, 131070, 1, 32,
                                                      0, 0, 0, 0, 0, 0))]),
    }


def magick_seeds(folder):
    """JPEG and TIFF seeds through ImageMagick when it is installed (none otherwise)."""
    seeds = {}
    convert = shutil.which("convert")
    if not convert:
        return seeds
    for name, args in {
        "rgb.jpg": ["-size", "6x5", "gradient:red-blue", "-quality", "80"],
        "grey.jpg": ["-size", "5x3", "gradient:", "-colorspace", "Gray"],
        "rgb.tif": ["-size", "4x3", "gradient:green-yellow"],
        "pages.tif": ["-size", "3x2", "xc:red", "xc:blue"],
        "alpha.tif": ["-size", "3x3", "xc:none", "-fill", "red", "-draw", "point 1,1"],
        "grey-16.png": ["-size", "3x3", "gradient:", "-depth", "16", "-colorspace", "Gray"],
        "palette.png": ["-size", "4x4", "xc:red", "-type", "Palette"],
    }.items():
        path = os.path.join(folder, name)
        try:
            subprocess.run([convert, *args, path], check=True, capture_output=True, timeout=30)
            with open(path, "rb") as f:
                seeds[name] = f.read()
        except (subprocess.SubprocessError, OSError):
            pass
    return seeds


def shared_gifs():
    seeds = {}
    for sub in ("valid", "malformed"):
        folder = os.path.join(TESTDATA, sub)
        if not os.path.isdir(folder):
            continue
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            if os.path.isfile(path) and os.path.getsize(path) <= MAX_SEED:
                with open(path, "rb") as f:
                    seeds[f"{sub}-{name}"] = f.read()
    return seeds


def load_save_seeds():
    seeds = {}
    ext_index = {e: i for i, e in enumerate(LOAD_SAVE_EXTENSIONS)}
    with tempfile.TemporaryDirectory() as tmp:
        groups = [bmp_seeds(), tga_seeds(), ico_seeds(), gif_seeds(), magick_seeds(tmp),
                  {"rgba.png": png(4, 3), "rgb.png": png(3, 5, rgba=False)}]
    for group in groups:
        for name, data in group.items():
            ext = name.rsplit(".", 1)[1]
            ext = {"cur": "ico"}.get(ext, ext)
            seeds[name] = bytes([ext_index[ext]]) + data
    # A few of the shared GIFs too, small ones only (the GIF target has them all).
    for name, data in sorted(shared_gifs().items()):
        if name.startswith("valid-") and len(data) <= 4096:
            seeds[name] = bytes([ext_index["gif"]]) + data
    seeds["unknown.pcx"] = bytes([ext_index["pcx"]]) + b"\x0A\x05\x01\x08"
    return seeds


def swf_seeds():
    """Inputs of fuzz_swf_build: name bit, stage, source, rate, slots, picture mask, pictures."""
    def seed(stage_w, stage_h, src_w, src_h, rate, slots, mask, pictures):
        head = struct.pack(">BHHHHHBI", 1, stage_w + 20, stage_h + 20, src_w + 2, src_h + 2,
                           rate + 1000, slots + 4, mask)
        return head + b"".join(bytes([len(p) - 1]) + p for p in pictures)
    jpeg = b"\xFF\xD8\xFF\xE0\x00\x10JFIF\x00" + bytes(20) + b"\xFF\xD9"
    return {
        "small.bin": seed(32, 24, 32, 24, 10, 3, 0b101, [jpeg]),
        "scaled.bin": seed(1638, 1, 1, 1638, 255, 2, 0b11, [jpeg, b"\x00"]),
        "huge-source.bin": seed(100, 100, 65533, 65533, 12, 1, 1, [jpeg]),
        "no-pictures.bin": seed(10, 10, 10, 10, 1, 5, 0, []),
    }


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    target, outdir = sys.argv[1], sys.argv[2]
    makers = {
        "fuzz_bmp": bmp_seeds,
        "fuzz_tga": tga_seeds,
        "fuzz_ico": ico_seeds,
        "fuzz_gif": lambda: {**gif_seeds(), **shared_gifs()},
        "fuzz_load_save": load_save_seeds,
        "fuzz_swf_build": swf_seeds,
    }
    if target not in makers:
        print(f"make_seeds.py: no seeds for {target}", file=sys.stderr)
        return 2
    os.makedirs(outdir, exist_ok=True)
    seeds = makers[target]()
    for name, data in seeds.items():
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(data)
    print(f"make_seeds.py: {len(seeds)} seeds for {target} in {outdir}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
