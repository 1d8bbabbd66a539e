#!/usr/bin/env python3
"""Draws the desktop program's icons as PNG files beside this script.

The toolbar buttons are 16 x 15 pixel drawings (a red 车 for opening a picture,
three red dots for the batch button); the application icon is a blue plate with
a white 车, 32 x 32. Run once after changing a drawing; the PNGs are committed.
"""
import os
import struct
import zlib

RED = (204, 0, 0, 255)
BLUE = (0, 64, 170, 255)
WHITE = (255, 255, 255, 255)
CLEAR = (0, 0, 0, 0)

CHE = [  # 车, 16 x 15
    "................",
    ".....##.........",
    ".##############.",
    "....##..........",
    "...##....##.....",
    "..##.....##.....",
    ".############...",
    ".........##.....",
    ".........##.....",
    ".##############.",
    ".........##.....",
    ".........##.....",
    ".........##.....",
    ".........##.....",
    "................",
]

DOTS = [  # three dots, 16 x 15
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
    ".###..###..###..",
    ".###..###..###..",
    ".###..###..###..",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
]


def png(path, rows):
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\x00" + bytes(c for pixel in row for c in pixel) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def paint(art, ink):
    return [[ink if c == "#" else CLEAR for c in line] for line in art]


def application_icon():
    size = 32
    rows = [[CLEAR] * size for _ in range(size)]
    for y in range(4, 28):  # the plate: blue with a white rim
        for x in range(1, 31):
            rim = y in (4, 27) or x in (1, 30)
            rows[y][x] = WHITE if rim else BLUE
    for y, line in enumerate(CHE[1:14]):  # the character, drawn at 1 x 1.5 scale
        for x, c in enumerate(line):
            if c == "#":
                for dy in range((3 * y) // 2, (3 * (y + 1)) // 2):
                    rows[7 + dy][8 + x] = WHITE
    return rows


here = os.path.dirname(os.path.abspath(__file__))
png(os.path.join(here, "icons", "open.png"), paint(CHE, RED))
png(os.path.join(here, "icons", "batch.png"), paint(DOTS, RED))
png(os.path.join(here, "icons", "kavro.png"), application_icon())
