#!/usr/bin/env python3
"""Draws the program's two pointer images and writes them as Windows icon resources:

    HAND-M.CUR  the hand shown over command buttons: a cursor (type 2) whose hotspot is the tip of
                the pointing finger
    drag.ico    the image shown while a list entry is dragged: a document with an up and a down arrow

Both are 32 by 32 pixels, 32-bit BGRA with the AND mask, drawn from simple shapes (capsules, rounded
rectangles, triangles) with 4 x 4 supersampling for soft edges.

    tools/make-pointers.py [OUTPUT_FOLDER]     (default: data/ next to this script's folder)
"""

import math
import os
import struct
import sys

SIZE = 32
SUB = 4  # samples per pixel along each axis


# ---- Shapes as signed distances (negative inside) -------------------------------------------------

def capsule(ax, ay, bx, by, r):
    def d(x, y):
        px, py = x - ax, y - ay
        vx, vy = bx - ax, by - ay
        t = max(0.0, min(1.0, (px * vx + py * vy) / (vx * vx + vy * vy)))
        return math.hypot(px - vx * t, py - vy * t) - r
    return d


def rounded_rect(x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def d(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r
    return d


def polygon(points):
    """Convex polygon, points in clockwise order on screen (y down)."""
    edges = []
    n = len(points)
    for i in range(n):
        (x0, y0), (x1, y1) = points[i], points[(i + 1) % n]
        length = math.hypot(x1 - x0, y1 - y0)
        edges.append((x0, y0, (y1 - y0) / length, -(x1 - x0) / length))

    def d(x, y):
        return max((x - x0) * nx + (y - y0) * ny for x0, y0, nx, ny in edges)
    return d


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


# ---- Rendering --------------------------------------------------------------------------------------

class Layer:
    def __init__(self, shape, fill, outline=(0, 0, 0, 255), width=1.0, outline_where=None):
        self.shape = shape
        self.fill = fill
        self.outline = outline
        self.width = width
        self.outline_where = outline_where  # limits the outline to where this returns True


def render(layers):
    """Rows of (r, g, b, a), top row first."""
    rows = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SUB):
                for sx in range(SUB):
                    x = px + (sx + 0.5) / SUB
                    y = py + (sy + 0.5) / SUB
                    colour = None
                    for layer in layers:
                        d = layer.shape(x, y)
                        half = layer.width / 2
                        if d > half:
                            continue
                        on_edge = d >= -half and (layer.outline_where is None or layer.outline_where(x, y))
                        if on_edge:
                            colour = layer.outline
                        elif d < 0:
                            colour = layer.fill
                    if colour:
                        a = colour[3] / 255
                        acc[0] += colour[0] * a
                        acc[1] += colour[1] * a
                        acc[2] += colour[2] * a
                        acc[3] += a
            n = SUB * SUB
            alpha = acc[3] / n
            if alpha <= 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(acc[i] / acc[3]) for i in range(3)) + (round(alpha * 255),))
        rows.append(row)
    return rows


# ---- The two pictures -------------------------------------------------------------------------------

WHITE = (255, 255, 255, 255)
BLACK = (0, 0, 0, 255)
HAND_HOTSPOT = (10, 1)  # the tip of the index finger


def hand():
    index = capsule(10.5, 3.6, 10.5, 17.0, 2.6)
    middle = capsule(15.6, 11.4, 15.6, 18.0, 2.5)
    ring = capsule(20.4, 12.8, 20.4, 19.0, 2.4)
    little = capsule(24.8, 14.8, 24.8, 20.0, 2.2)
    fingers = union(index, middle, ring, little)
    palm = rounded_rect(7.9, 15.5, 27.1, 30.5, 4.5)
    thumb = capsule(9.5, 23.0, 4.2, 17.2, 2.6)
    layers = [Layer(f, WHITE, BLACK, 1.2) for f in (little, ring, middle, index)]
    # The palm joins the fingers without a seam: its edge is drawn only outside them.
    layers.append(Layer(palm, WHITE, BLACK, 1.2, outline_where=lambda x, y: fingers(x, y) > 0.6))
    layers.append(Layer(thumb, WHITE, BLACK, 1.2, outline_where=lambda x, y: palm(x, y) > -0.6 or x < 8.6))
    # Knuckle creases.
    for cx in (13.1, 18.0, 22.6):
        layers.append(Layer(capsule(cx, 16.2, cx, 18.6, 0.01), BLACK, BLACK, 0.9))
    # A soft shadow to the lower right makes the hand readable on white.
    shadow = Layer(lambda x, y: union(fingers, palm, thumb)(x - 1.2, y - 1.2), (0, 0, 0, 70), (0, 0, 0, 70), 0.0)
    return render([shadow] + layers)


def drag_document():
    page = polygon([(4.5, 3.5), (17.5, 3.5), (22.5, 8.5), (22.5, 28.5), (4.5, 28.5)])
    fold = polygon([(17.5, 3.5), (22.5, 8.5), (17.5, 8.5)])
    text_lines = [rounded_rect(7.5, y, 19.5 if i % 3 else 16.5, y + 1.6, 0.8)
                  for i, y in enumerate((11.0, 14.5, 18.0, 21.5, 25.0))]
    blue = (37, 99, 200, 255)
    dark_blue = (15, 45, 110, 255)
    shaft = rounded_rect(24.6, 8.0, 28.4, 24.0, 0.5)
    up = polygon([(26.5, 1.0), (31.5, 9.0), (21.5, 9.0)])
    down = polygon([(21.5, 23.0), (31.5, 23.0), (26.5, 31.0)])
    arrow = union(shaft, up, down)
    layers = [
        Layer(page, (252, 252, 250, 255), (90, 90, 90, 255), 1.0),
        Layer(fold, (220, 224, 230, 255), (90, 90, 90, 255), 1.0),
    ]
    layers += [Layer(t, (150, 165, 185, 255), (150, 165, 185, 255), 0.0) for t in text_lines]
    layers.append(Layer(arrow, blue, dark_blue, 1.0))
    return render(layers)


# ---- Icon resource files ----------------------------------------------------------------------------

def bitmap(rows):
    """BITMAPINFOHEADER, BGRA pixels bottom-up, AND mask bottom-up (1 = transparent)."""
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, SIZE * SIZE * 4 + SIZE * 4, 0, 0, 0, 0)
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
        bits = 0
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits |= 1 << (SIZE - 1 - x)
        mask += struct.pack(">I", bits)
    return header + bytes(pixels) + bytes(mask)


def resource(kind, rows, hotspot=(0, 0)):
    """An icon (kind 1) or cursor (kind 2) resource holding one image."""
    image = bitmap(rows)
    directory = struct.pack("<HHH", 0, kind, 1)
    if kind == 2:
        field1, field2 = hotspot
    else:
        field1, field2 = 1, 32  # colour planes, bits per pixel
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, field1, field2, len(image), 6 + 16)
    return directory + entry + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "data")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "HAND-M.CUR"), "wb") as f:
        f.write(resource(2, hand(), HAND_HOTSPOT))
    with open(os.path.join(folder, "drag.ico"), "wb") as f:
        f.write(resource(1, drag_document()))
    print("HAND-M.CUR (hotspot %d,%d) and drag.ico written to %s" % (HAND_HOTSPOT + (folder,)))


if __name__ == "__main__":
    main()
