#!/usr/bin/env python3
"""Compares two PNG screenshots with a small tolerance (standard library only).

Usage: png_compare.py ACTUAL EXPECTED [MAX_DIFFERING_FRACTION]
A pixel differs when one of its channels is off by more than 24. Exit status 0 when the
images have the same size and at most the given fraction (default 0.002) of pixels differ,
1 otherwise (with a line saying how they differ), 2 when a file is not a readable PNG.
"""
import struct
import sys
import zlib


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("%s: not a PNG file" % path)
    pos, idat, header = 8, b"", None
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    if header is None:
        raise ValueError("%s: no header" % path)
    width, height, depth, colour, _, _, interlace = header
    channels = {0: 1, 2: 3, 4: 2, 6: 4}.get(colour)
    if depth != 8 or channels is None or interlace != 0:
        raise ValueError("%s: only 8-bit grey, RGB and RGBA without interlacing are read" % path)
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, prev, pos = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[pos], bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = prev[i]
            c = prev[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line
    # Everything as RGB.
    pixels = []
    for line in rows:
        for x in range(width):
            px = line[x * channels:(x + 1) * channels]
            pixels.append((px[0], px[0], px[0]) if channels <= 2 else tuple(px[:3]))
    return width, height, pixels


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    allowed = float(sys.argv[3]) if len(sys.argv) == 4 else 0.002
    try:
        actual = read_png(sys.argv[1])
        expected = read_png(sys.argv[2])
    except (OSError, ValueError, zlib.error) as e:
        print(e)
        return 2
    if actual[:2] != expected[:2]:
        print("size %dx%d, expected %dx%d" % (actual[0], actual[1], expected[0], expected[1]))
        return 1
    differing = sum(1 for p, q in zip(actual[2], expected[2]) if max(abs(a - b) for a, b in zip(p, q)) > 24)
    fraction = differing / max(1, len(actual[2]))
    if fraction > allowed:
        print("%d pixels (%.2f%%) differ" % (differing, fraction * 100))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
