#!/usr/bin/env python3
"""Draws the wizard's pictures as the resource compiler takes them: the program icon, the picture
on the left of the pages and the file list's six 16x16 row icons (white is transparent there).
The same motifs as the Qt wizard draws at run time: a shield with a tick, a globe, an arrow into a
tray, discs with a tick or a cross, a sheet of paper with a tick.

Usage: make_artwork.py OUTPUT_FOLDER   (writes zelupdate.ico, picture.bmp, row_icons.bmp)
"""
import math
import struct
import sys
from pathlib import Path

SAMPLES = 4  # per axis, for smooth edges


class Canvas:
    def __init__(self, width, height, colour):
        self.width, self.height = width, height
        self.pixels = [[tuple(colour) + (255,) for _ in range(width)] for _ in range(height)]

    def paint(self, inside, colour, alpha=1.0):
        """Blends `colour` over every pixel in proportion to the share of its samples inside."""
        for y in range(self.height):
            for x in range(self.width):
                hits = sum(inside(x + (i + 0.5) / SAMPLES, y + (j + 0.5) / SAMPLES)
                           for i in range(SAMPLES) for j in range(SAMPLES))
                if hits:
                    share = alpha * hits / SAMPLES ** 2
                    old = self.pixels[y][x]
                    mixed = tuple(round(o * (1 - share) + c * share) for o, c in zip(old[:3], colour))
                    self.pixels[y][x] = mixed + (max(old[3], round(255 * share)),)


def polygon(points):
    def inside(x, y):
        result = False
        for (x1, y1), (x2, y2) in zip(points, points[1:] + points[:1]):
            if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
                result = not result
        return result
    return inside


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, rx, ry, width):
    def inside(x, y):
        d = math.hypot((x - cx) / rx, (y - cy) / ry) if rx and ry else 2
        return abs(d - 1) * min(rx, ry) <= width / 2
    return inside


def stroke(points, width):
    def inside(x, y):
        for (x1, y1), (x2, y2) in zip(points, points[1:]):
            dx, dy = x2 - x1, y2 - y1
            t = max(0, min(1, ((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy)))
            if math.hypot(x - x1 - t * dx, y - y1 - t * dy) <= width / 2:
                return True
        return False
    return inside


def box(left, top, right, bottom):
    return lambda x, y: left <= x <= right and top <= y <= bottom


def shield(left, top, width, height):
    cx = left + width / 2
    outline = []
    for i in range(21):  # the curved lower half, from the right shoulder to the tip and back up
        t = i / 20
        outline.append((cx + width / 2 * math.cos(t * math.pi / 2),
                        top + height * 0.18 + height * 0.82 * math.sin(t * math.pi / 2) ** 1.6))
    right = outline
    left_side = [(2 * cx - x, y) for x, y in reversed(right)]
    return polygon([(cx, top)] + right + left_side[1:])


def tick(left, top, size):
    return [(left + size * 0.27, top + size * 0.55), (left + size * 0.45, top + size * 0.73),
            (left + size * 0.75, top + size * 0.35)]


def program_icon(size):
    canvas = Canvas(size, size, (0, 0, 0))
    canvas.pixels = [[(0, 0, 0, 0)] * size for _ in range(size)]
    canvas.paint(shield(size * 0.1, size * 0.05, size * 0.8, size * 0.9), (10, 50, 110))
    canvas.paint(shield(size * 0.16, size * 0.1, size * 0.68, size * 0.8), (30, 110, 220))
    canvas.paint(stroke(tick(size * 0.12, size * 0.12, size * 0.8), size / 8), (255, 255, 255))
    return canvas


def side_picture(width, height):
    canvas = Canvas(width, height, (0, 0, 0))
    for y in range(height):
        t = y / max(1, height - 1)
        row = tuple(round(a + (b - a) * t) for a, b in zip((18, 62, 128), (60, 140, 220)))
        canvas.pixels[y] = [row + (255,)] * width
    r, cx, cy = width * 0.36, width / 2, height * 0.62
    for k in (1.0, 0.7, 0.35):  # a globe: updates come from mirrors around the world
        canvas.paint(ring(cx, cy, r * k, r, 1), (255, 255, 255), 0.35)
    for k in (-0.5, 0.0, 0.5):
        half = r * math.sqrt(1 - k * k)
        canvas.paint(stroke([(cx - half, cy + r * k), (cx + half, cy + r * k)], 1), (255, 255, 255), 0.35)
    s = width * 0.5
    left, top = width / 2 - s / 2, height * 0.12
    canvas.paint(shield(left - 2, top - 2, s + 4, s * 1.15 + 4), (220, 235, 255))
    canvas.paint(shield(left, top, s, s * 1.15), (30, 110, 220))
    canvas.paint(stroke(tick(left, top, s), s / 9), (255, 255, 255))
    return canvas


def row_icons():
    canvas = Canvas(96, 16, (255, 255, 255))
    for phase in (0, 1):  # an arrow into a tray, two pixels lower in the second phase
        x, shift = phase * 16, phase * 2
        canvas.paint(box(x + 1, 11, x + 15, 15), (40, 40, 40))
        canvas.paint(box(x + 2, 12, x + 14, 14), (200, 200, 200))
        arrow = [(6, 1), (10, 1), (10, 5), (13, 5), (8, 10), (3, 5), (6, 5)]
        canvas.paint(polygon([(x + a, b + shift) for a, b in arrow]), (30, 110, 220) if phase else (90, 160, 240))
    for index, fill, cross in ((2, (20, 150, 70), False), (4, (210, 40, 40), True)):
        x = index * 16
        canvas.paint(disc(x + 8, 8, 7), tuple(c * 2 // 3 for c in fill))
        canvas.paint(disc(x + 8, 8, 6), fill)
        marks = ([[(x + 5.5, 5.5), (x + 10.5, 10.5)], [(x + 10.5, 5.5), (x + 5.5, 10.5)]] if cross
                 else [[(x + 4.5, 8.5), (x + 7, 11), (x + 11.5, 5)]])
        for mark in marks:
            canvas.paint(stroke(mark, 2), (250, 250, 250))
    x = 48  # a sheet of paper with a tick: the installed copy is current
    canvas.paint(box(x + 2, 0, x + 13, 15), (90, 90, 90))
    canvas.paint(box(x + 3, 1, x + 12, 14), (250, 250, 250))
    for y in (4, 6, 8):
        canvas.paint(box(x + 4, y, x + 10, y + 0.9), (150, 150, 150))
    canvas.paint(stroke([(x + 6, 11), (x + 8.5, 13.5), (x + 14.5, 7)], 2), (0, 140, 60))
    return canvas


def bmp(canvas):
    """A 24-bit bottom-up Windows bitmap."""
    stride = (canvas.width * 3 + 3) & ~3
    rows = b"".join(bytes(c for px in row for c in (px[2], px[1], px[0])).ljust(stride, b"\0")
                    for row in reversed(canvas.pixels))
    header = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(header) + len(rows), 0, 0, 14 + len(header)) + header + rows


def ico(canvases):
    """An icon file with one 32-bit image (colour plus alpha, and the AND mask) per canvas."""
    images = []
    for canvas in canvases:
        size = canvas.width
        colour = b"".join(bytes(c for px in row for c in (px[2], px[1], px[0], px[3]))
                          for row in reversed(canvas.pixels))
        mask_stride = ((size + 31) // 32) * 4
        mask = b"".join(
            bytes(sum(0x80 >> (x % 8) for x in range(byte * 8, min(size, byte * 8 + 8)) if row[x][3] == 0)
                  for byte in range(mask_stride)) for row in reversed(canvas.pixels))
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
        images.append((size, header + colour + mask))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, data in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, data in images)


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    (out / "zelupdate.ico").write_bytes(ico([program_icon(32), program_icon(16)]))
    (out / "picture.bmp").write_bytes(bmp(side_picture(117, 229)))
    (out / "row_icons.bmp").write_bytes(bmp(row_icons()))


if __name__ == "__main__":
    main()
