#!/usr/bin/env python3
"""Draws the demo's sprites and backgrounds as PNG files (standard library only).

Run from anywhere: python3 examples/demo/art/make_art.py
Every picture is computed from shapes (signed distances for smooth edges, gradients and a
soft highlight), so the output is the same on every machine.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(HERE)


def write_png(path, width, height, pixels):
    """pixels: list of rows, each a list of (r, g, b, a) with components 0..255."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter: none
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(png)


def clamp01(v):
    return 0.0 if v < 0 else 1.0 if v > 1 else v


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def hexrgb(text):
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


def rounded_box_distance(px, py, x0, y0, x1, y1, radius):
    """Signed distance from (px, py) to the rounded rectangle (negative inside)."""
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius
    qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def to_pixel(rgb, alpha):
    return tuple(int(round(max(0.0, min(255.0, c)))) for c in rgb) + (int(round(clamp01(alpha) * 255)),)


def over(dst, src, alpha):
    """Blends colour src over dst (both rgb tuples) with the given alpha."""
    return mix(dst, src, clamp01(alpha))


def glossy_block(width, height, radius, top, bottom, edge):
    """A rounded block: vertical gradient, darker rim, a glossy band and a top highlight."""
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            px, py = x + 0.5, y + 0.5
            d = rounded_box_distance(px, py, 0, 0, width, height, radius)
            cover = clamp01(0.5 - d)
            if cover <= 0:
                row.append((0, 0, 0, 0))
                continue
            t = py / height
            colour = mix(top, bottom, t)
            # A soft glossy band across the upper half.
            band = math.exp(-((t - 0.28) / 0.16) ** 2) * 0.35
            colour = over(colour, (255, 255, 255), band)
            # Light top edge and shaded bottom edge just inside the rim.
            inner = -d
            if inner < 2.2:
                rim = 1 - inner / 2.2
                if t < 0.5:
                    colour = over(colour, (255, 255, 255), 0.45 * rim)
                else:
                    colour = over(colour, edge, 0.7 * rim)
            row.append(to_pixel(colour, cover))
        rows.append(row)
    return rows


def ball(size):
    rows = []
    c = size / 2
    r = size / 2 - 0.5
    light = (c - r * 0.4, c - r * 0.45)
    for y in range(size):
        row = []
        for x in range(size):
            px, py = x + 0.5, y + 0.5
            d = math.hypot(px - c, py - c) - r
            cover = clamp01(0.5 - d)
            if cover <= 0:
                row.append((0, 0, 0, 0))
                continue
            # Lit from the upper left: bright spot fading to a cool blue-grey rim.
            k = clamp01(math.hypot(px - light[0], py - light[1]) / (r * 1.6))
            colour = mix((255, 255, 255), (120, 150, 205), k ** 1.3)
            row.append(to_pixel(colour, cover))
        rows.append(row)
    return rows


def solid(width, height, rgb):
    return [[rgb + (255,) for _ in range(width)] for _ in range(height)]


class Lcg:
    """Small deterministic generator, so the star field is the same everywhere."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return self.state / 0x7FFFFFFF


def sky(width, height, top, bottom, seed, stars):
    canvas = []
    for y in range(height):
        t = y / (height - 1)
        colour = mix(top, bottom, t)
        canvas.append([list(colour) for _ in range(width)])
    rnd = Lcg(seed)
    for _ in range(stars):
        sx, sy = rnd.next() * width, rnd.next() * height
        bright = 0.25 + 0.75 * rnd.next() ** 3
        size = 0.7 + 1.1 * rnd.next() ** 4
        for yy in range(int(sy - 3), int(sy + 4)):
            for xx in range(int(sx - 3), int(sx + 4)):
                if 0 <= xx < width and 0 <= yy < height:
                    glow = math.exp(-((xx + 0.5 - sx) ** 2 + (yy + 0.5 - sy) ** 2) / (size * size))
                    p = canvas[yy][xx]
                    for i, tint in enumerate((225, 235, 255)):
                        p[i] = p[i] + (tint - p[i]) * clamp01(glow * bright)
    return canvas


def vignette(canvas, strength):
    height, width = len(canvas), len(canvas[0])
    for y in range(height):
        for x in range(width):
            dx = (x + 0.5) / width - 0.5
            dy = (y + 0.5) / height - 0.5
            k = 1 - strength * clamp01((dx * dx + dy * dy) * 2.2)
            p = canvas[y][x]
            p[0] *= k
            p[1] *= k
            p[2] *= k


def metal(canvas, x0, y0, x1, y1):
    """A bevelled metal bar filling the rectangle [x0, x1) x [y0, y1)."""
    horizontal = (x1 - x0) > (y1 - y0)
    for y in range(y0, y1):
        for x in range(x0, x1):
            across = (y - y0 + 0.5) / (y1 - y0) if horizontal else (x - x0 + 0.5) / (x1 - x0)
            shade = 0.5 + 0.5 * math.cos((across - 0.3) * math.pi)
            colour = mix((26, 32, 62), (112, 132, 186), shade ** 1.5)
            edge = min(x - x0, x1 - 1 - x, y - y0, y1 - 1 - y)
            if edge == 0:
                colour = mix(colour, (15, 20, 40), 0.7)
            canvas[y][x] = list(colour)


def frame_canvas(canvas):
    return [[to_pixel(p, 1.0) for p in row] for row in canvas]


def main():
    sprites = os.path.join(PROJECT, "sprites")
    backgrounds = os.path.join(PROJECT, "backgrounds")

    write_png(os.path.join(sprites, "paddle.png"), 96, 18,
              glossy_block(96, 18, 9, hexrgb("8fe9ff"), hexrgb("1c6fae"), hexrgb("0b3158")))
    write_png(os.path.join(sprites, "ball.png"), 16, 16, ball(16))
    bricks = [("ff6b6b", "b3202a", "5c0d12"),   # red
              ("ffb25e", "c4641a", "5e2c08"),   # orange
              ("ffe66b", "c9a51c", "5f4a08"),   # yellow
              ("8af07a", "2f9a3a", "0f4a16"),   # green
              ("6fc6ff", "1f68c4", "0b2a5e"),   # blue
              ("c79bff", "6b3bc4", "2e165e")]   # violet
    for i, (top, bottom, edge) in enumerate(bricks):
        write_png(os.path.join(sprites, "brick_%d.png" % i), 56, 20,
                  glossy_block(56, 20, 5, hexrgb(top), hexrgb(bottom), hexrgb(edge)))
    write_png(os.path.join(sprites, "wall.png"), 16, 16, solid(16, 16, (90, 104, 150)))

    # Play field: night sky, a dark bar for the score line and a metal frame.
    play = sky(640, 480, (22, 32, 78), (6, 9, 28), 7, 140)
    vignette(play, 0.35)
    for y in range(32):
        for x in range(640):
            play[y][x] = list(mix((10, 14, 34), (4, 6, 18), y / 31))
    metal(play, 0, 32, 640, 48)
    metal(play, 0, 48, 16, 480)
    metal(play, 624, 48, 640, 480)
    write_png(os.path.join(backgrounds, "play.png"), 640, 480, frame_canvas(play))

    title = sky(640, 480, (30, 22, 80), (5, 8, 30), 11, 260)
    vignette(title, 0.45)
    write_png(os.path.join(backgrounds, "title.png"), 640, 480, frame_canvas(title))


if __name__ == "__main__":
    main()
