#!/usr/bin/env python3
"""Draws the About rollout's banner: resources/banner.bmp, 160 x 56 pixels,
24 bits per pixel, bottom-up rows, no compression.

Run from anywhere: python3 resources/make_banner.py
The picture: a dark blue gradient, three overlapping translucent swatches on
the left (a small layer stack) and the title "Tessary" in a 5 x 7 pixel font
drawn at twice its size, with a thin underline.
"""
import os
import struct

WIDTH, HEIGHT = 160, 56

# 5 x 7 glyphs, one string per row, '#' is ink.
GLYPHS = {
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    "s": [".....", ".....", ".####", "#....", ".###.", "....#", "####."],
    "a": [".....", ".....", ".###.", "....#", ".####", "#...#", ".####"],
    "r": [".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."],
    "y": [".....", ".....", "#...#", "#...#", ".####", "....#", ".###."],
}


def blend(dst, src, alpha):
    return tuple(int(round(d * (1.0 - alpha) + s * alpha)) for d, s in zip(dst, src))


def draw():
    px = [[(0, 0, 0)] * WIDTH for _ in range(HEIGHT)]
    # Background: vertical gradient from deep blue to near black.
    for y in range(HEIGHT):
        t = y / (HEIGHT - 1)
        row = blend((28, 44, 92), (10, 14, 30), t)
        for x in range(WIDTH):
            px[y][x] = row
    # Three layered swatches, each translucent over the ones below.
    swatches = [
        ((8, 8, 30, 30), (220, 60, 50), 0.85),
        ((18, 16, 30, 30), (250, 200, 40), 0.70),
        ((28, 24, 26, 26), (60, 170, 230), 0.60),
    ]
    for (x0, y0, w, h), colour, alpha in swatches:
        for y in range(y0, min(HEIGHT, y0 + h)):
            for x in range(x0, min(WIDTH, x0 + w)):
                px[y][x] = blend(px[y][x], colour, alpha)
        # a light outline so each layer reads as a sheet
        for x in range(x0, x0 + w):
            for y in (y0, y0 + h - 1):
                px[y][x] = blend(px[y][x], (255, 255, 255), 0.5)
        for y in range(y0, y0 + h):
            for x in (x0, x0 + w - 1):
                px[y][x] = blend(px[y][x], (255, 255, 255), 0.5)
    # Title, scale 2, with a one-pixel shadow.
    text, scale = "Tessary", 2
    x0, y0 = 66, 14
    for shadow, colour in ((1, (0, 0, 0)), (0, (240, 240, 250))):
        cx = x0 + shadow
        for ch in text:
            for gy, line in enumerate(GLYPHS[ch]):
                for gx, cell in enumerate(line):
                    if cell == "#":
                        for dy in range(scale):
                            for dx in range(scale):
                                px[y0 + shadow + gy * scale + dy][cx + gx * scale + dx] = colour
            cx += 6 * scale
    # Underline in the swatch colours.
    for i, colour in enumerate(((220, 60, 50), (250, 200, 40), (60, 170, 230))):
        for x in range(x0 + i * 28, x0 + i * 28 + 26):
            px[y0 + 7 * scale + 4][x] = colour
            px[y0 + 7 * scale + 5][x] = colour
    return px


def write_bmp(path, px):
    row_size = (WIDTH * 3 + 3) // 4 * 4
    image_size = row_size * HEIGHT
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + image_size, 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, image_size, 2835, 2835, 0, 0)
    data = bytearray()
    for y in range(HEIGHT - 1, -1, -1):  # bottom-up
        for r, g, b in px[y]:
            data += bytes((b, g, r))
        data += b"\0" * (row_size - WIDTH * 3)
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(header + info + bytes(data))
    os.replace(tmp, path)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    write_bmp(os.path.join(here, "banner.bmp"), draw())
