#!/usr/bin/env python3
"""Draws the dialogs' icons, 32x32 with alpha: 145 (file replace: a page with
a swap arrow), 146 (folder replace: a folder with a swap arrow) and 3 (open
in folder: an open folder with a page).  Usage: make_dialog_icons.py [dir]"""
import os
import struct
import sys

SIZE = 32
OUTLINE = (40, 40, 40)
PAGE = (250, 250, 250)
LINES = (150, 160, 190)
FOLDER = (240, 200, 80)
FOLDER_DARK = (200, 150, 40)
ARROW = (30, 140, 60)


class Canvas:
    def __init__(self):
        self.px = [[None] * SIZE for _ in range(SIZE)]

    def rect(self, x0, y0, x1, y1, fill, outline=OUTLINE):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = x in (x0, x1) or y in (y0, y1)
                self.px[y][x] = outline if edge and outline else fill

    def page(self, x0, y0, x1, y1):
        self.rect(x0, y0, x1, y1, PAGE)
        fold = 5
        for i in range(fold):  # the dog-ear
            for x in range(x1 - fold + 1 + i, x1 + 1):
                self.px[y0 + i][x] = None
            self.px[y0 + i][x1 - fold + i] = OUTLINE
        for x in range(x1 - fold, x1 + 1):
            self.px[y0 + fold][x] = OUTLINE
        for y in range(y0 + 8, y1 - 2, 3):
            for x in range(x0 + 3, x1 - 2):
                self.px[y][x] = LINES

    def folder(self, x0, y0, x1, y1):
        self.rect(x0, y0, x0 + 10, y0 + 4, FOLDER_DARK)  # tab
        self.rect(x0, y0 + 3, x1, y1, FOLDER)

    def arrow(self, x0, y, length, right=True):
        for i in range(length):
            for t in (-1, 0, 1):
                self.px[y + t][x0 + i] = ARROW
        tip = x0 + length - 1 if right else x0
        for i in range(5):  # the head narrows to its point at the tip
            for t in range(-i, i + 1):
                x = tip - i if right else tip + i
                self.px[y + t][x] = ARROW

    def ico(self):
        xor = b""
        mask_rows = []
        for row in reversed(self.px):  # bottom-up
            bits = 0
            for x, c in enumerate(row):
                if c is None:
                    xor += b"\0\0\0\0"
                    bits |= 1 << (31 - x)
                else:
                    xor += struct.pack("<BBBB", c[2], c[1], c[0], 255)
            mask_rows.append(struct.pack(">I", bits))
        header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + 4 * SIZE, 0, 0, 0, 0)
        image = header + xor + b"".join(mask_rows)
        return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 22) + image


def file_replace():
    c = Canvas()
    c.page(4, 2, 22, 28)
    c.arrow(14, 22, 16)
    return c


def folder_replace():
    c = Canvas()
    c.folder(2, 6, 26, 26)
    c.arrow(14, 22, 16)
    return c


def open_in_folder():
    c = Canvas()
    c.folder(2, 8, 29, 29)
    c.page(10, 2, 24, 22)
    return c


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    for name, canvas in (("file_replace.ico", file_replace()), ("folder_replace.ico", folder_replace()),
                         ("open_in_folder.ico", open_in_folder())):
        with open(os.path.join(out, name), "wb") as f:
            f.write(canvas.ico())
