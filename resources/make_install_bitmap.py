#!/usr/bin/env python3
"""Draws the toolbar image of the installation command (bitmap 149): a setup
box with a disk and an arrow, 16x16, 16 colours.  Pure red is the colour the
view maps to the button face, so it marks the transparent pixels."""
import struct
import sys

PALETTE = [
    (0, 0, 0),        # 0 black outline
    (255, 0, 0),      # 1 transparent
    (128, 96, 32),    # 2 box dark
    (200, 160, 80),   # 3 box light
    (0, 128, 0),      # 4 arrow
    (0, 0, 160),      # 5 disk
    (192, 192, 192),  # 6 disk label
    (255, 255, 255),  # 7 highlight
] + [(0, 0, 0)] * 8

# Top row first; '.' transparent.
ROWS = [
    "......4.........",
    ".....444........",
    "....44444.......",
    "......4.........",
    "......4.........",
    "..000000000000..",
    "..033333333330..",
    "..032222222230..",
    "..032555555230..",
    "..032566665230..",
    "..032566665230..",
    "..032555555230..",
    "..032555555230..",
    "..032222222230..",
    "..033333333330..",
    "..000000000000..",
]
CODES = {".": 1, "0": 0, "2": 2, "3": 3, "4": 4, "5": 5, "6": 6, "7": 7}


def bitmap():
    width, height = 16, 16
    pixels = b""
    for row in reversed(ROWS):  # bottom-up
        codes = [CODES[c] for c in row]
        pixels += bytes((codes[i] << 4) | codes[i + 1] for i in range(0, width, 2))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(pixels), 2835, 2835, 16, 0)
    offset = 14 + len(header) + len(palette)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return file_header + header + palette + pixels


if __name__ == "__main__":
    with open(sys.argv[1] if len(sys.argv) > 1 else "install.bmp", "wb") as out:
        out.write(bitmap())
