"""Compares two 8-bit RGBA or RGB PNG files: sizes must match, channels may differ by TOLERANCE,
and at most MISMATCHES pixels may differ by more.
Usage: compare_png.py ACTUAL EXPECTED TOLERANCE MISMATCHES"""
import struct
import sys
import zlib


def read_png(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit(path + ": not a PNG file")
    pos, idat = 8, b""
    width = height = channels = 0
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or colour not in (2, 6) or interlace:
                raise SystemExit(path + ": only 8-bit RGB or RGBA without interlacing is compared")
            channels = 4 if colour == 6 else 3
        elif kind == b"IDAT":
            idat += body
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, prev = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
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
    pixels = [tuple(row[x * channels:x * channels + 3]) for row in rows for x in range(width)]
    return width, height, pixels


def main():
    actual, expected, tolerance, allowed = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    wa, ha, pa = read_png(actual)
    we, he, pe = read_png(expected)
    if (wa, ha) != (we, he):
        print("size %dx%d, expected %dx%d" % (wa, ha, we, he))
        return 1
    bad = [i for i, (p, q) in enumerate(zip(pa, pe)) if max(abs(u - v) for u, v in zip(p, q)) > tolerance]
    if len(bad) > allowed:
        i = bad[0]
        print("%d pixels differ; first at (%d, %d): %s, expected %s" % (len(bad), i % wa, i // wa, pa[i], pe[i]))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
