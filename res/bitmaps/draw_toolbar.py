#!/usr/bin/env python3
"""Draws the desktop app's toolbar bitmaps and icons, byte for byte the same on
every run, with the Python standard library only.

Outputs (into the folder of this script, or --out DIR):
  bitmap131.bmp  480x48, 24 bits, the ten toolbar images in colour
  bitmap130.bmp  480x48, 24 bits, the same images in greys, for disabled buttons
  bitmap128.bmp  480x48, 16 colours, the same images reduced
  icon128.png    64x64 RGBA, the application icon
  icon129.png    64x64 RGBA, the document icon

Each image is a list of layers, a layer a signed-distance shape (negative
inside) with a fill and an optional outline drawn just inside its edge. Pixels
are 4x4 supersampled. A bitmap's background is its mask colour, and its first
stored pixel (bottom-left, the rows being stored bottom-up) is background.
"""

import argparse
import math
import os
import struct
import zlib

SIZE = 48
COUNT = 10
SUB = 4  # samples per pixel along each axis

MASK_COLOUR = (212, 208, 200)
MASK_DISABLED = (206, 206, 206)

# --- signed distance shapes (screen coordinates, y down) ---------------------


def clamp(v, lo, hi):
    return lo if v < lo else hi if v > hi else v


def circle(cx, cy, r):
    def sd(x, y):
        dx, dy = x - cx, y - cy
        return math.sqrt(dx * dx + dy * dy) - r
    return sd


def box(x0, y0, x1, y1, r=0.0):
    cx, cy, hw, hh = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2, (y1 - y0) / 2

    def sd(x, y):
        qx = abs(x - cx) - (hw - r)
        qy = abs(y - cy) - (hh - r)
        ox, oy = max(qx, 0.0), max(qy, 0.0)
        return math.sqrt(ox * ox + oy * oy) + min(max(qx, qy), 0.0) - r
    return sd


def polygon(points, r=0.0):
    """A polygon; r > 0 rounds its corners (the points are then r inside)."""
    pts = list(points)

    def sd(x, y):
        d = (x - pts[0][0]) ** 2 + (y - pts[0][1]) ** 2
        s = 1.0
        j = len(pts) - 1
        for i in range(len(pts)):
            vix, viy = pts[i]
            ex, ey = pts[j][0] - vix, pts[j][1] - viy
            wx, wy = x - vix, y - viy
            t = clamp((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.0, 1.0)
            bx, by = wx - ex * t, wy - ey * t
            d = min(d, bx * bx + by * by)
            c1, c2, c3 = y >= viy, y < pts[j][1], ex * wy > ey * wx
            if (c1 and c2 and c3) or (not c1 and not c2 and not c3):
                s = -s
            j = i
        return s * math.sqrt(d) - r
    return sd


def segment(ax, ay, bx, by, half_width):
    def sd(x, y):
        px, py, ex, ey = x - ax, y - ay, bx - ax, by - ay
        t = clamp((px * ex + py * ey) / (ex * ex + ey * ey), 0.0, 1.0)
        dx, dy = px - ex * t, py - ey * t
        return math.sqrt(dx * dx + dy * dy) - half_width
    return sd


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def subtract(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def intersect(a, b):
    return lambda x, y: max(a(x, y), b(x, y))


def direction(degrees):
    """Unit vector of an angle counted anticlockwise on screen (y down)."""
    table = {0: (1.0, 0.0), 90: (0.0, -1.0), 180: (-1.0, 0.0), 270: (0.0, 1.0)}
    if degrees % 360 in table:
        return table[degrees % 360]
    a = math.radians(degrees)
    return (math.cos(a), -math.sin(a))


def wedge(cx, cy, start, end):
    """The angles from start anticlockwise to end (less than 180 degrees apart)."""
    d1, d2 = direction(start), direction(end)

    def sd(x, y):
        px, py = x - cx, y - cy
        # Anticlockwise on screen is a negative cross product (y points down).
        return max(d1[0] * py - d1[1] * px, px * d2[1] - py * d2[0])
    return sd


def ring(cx, cy, radius, half_width):
    return lambda x, y: abs(math.sqrt((x - cx) ** 2 + (y - cy) ** 2) - radius) - half_width


def arc(cx, cy, radius, half_width, gap_from, gap_to):
    """A ring without the wedge from gap_from anticlockwise to gap_to."""
    return subtract(ring(cx, cy, radius, half_width), wedge(cx, cy, gap_from, gap_to))


def arc_piece(cx, cy, radius, half_width, start, end):
    """The part of a ring from start anticlockwise to end."""
    return intersect(ring(cx, cy, radius, half_width), wedge(cx, cy, start, end))


def rotated(shape, cx, cy, cos_a, sin_a):
    """The shape turned about (cx, cy) by the angle with this cosine and sine."""
    def sd(x, y):
        dx, dy = x - cx, y - cy
        return shape(cx + dx * cos_a + dy * sin_a, cy - dx * sin_a + dy * cos_a)
    return sd


def moved(shape, ox, oy, scale=1.0):
    """The shape drawn at offset (ox, oy), scaled about the origin."""
    return lambda x, y: shape((x - ox) / scale, (y - oy) / scale) * scale


# --- paints -----------------------------------------------------------------


def shade(colour, amount):
    return tuple(clamp(round(c + (255 - c) * amount), 0, 255) if amount > 0
                 else clamp(round(c * (1 + amount)), 0, 255) for c in colour)


class Layer:
    def __init__(self, shape, fill, outline=None, width=1.6, light=0.35, top=4, bottom=44):
        self.shape = shape
        self.fill = fill
        self.outline = outline
        self.width = width
        self.light = light  # how much lighter the fill is at the top
        self.top, self.bottom = top, bottom

    def colour(self, y, on_outline, flat=False):
        if on_outline:
            return self.outline
        if flat:
            return self.fill
        t = clamp((y - self.top) / (self.bottom - self.top), 0.0, 1.0)
        return shade(self.fill, self.light * (1.0 - t))


GREEN, GREEN_DARK = (40, 160, 50), (20, 95, 35)
RED, RED_DARK = (210, 45, 40), (125, 20, 20)
BLUE, BLUE_DARK = (45, 110, 205), (20, 55, 125)
INK = (35, 35, 40)
WHITE = (255, 255, 255)


def start_image():
    return [Layer(polygon([(15, 9), (38, 24), (15, 39)], r=2.5), GREEN, GREEN_DARK, 2.0)]


def stop_image():
    return [Layer(box(9, 9, 39, 39, 5), RED, RED_DARK, 2.0)]


def modify_image():
    # Drawn along the u axis (the pencil's length) and turned by 45 degrees.
    h = math.sqrt(0.5)
    turn = lambda s: rotated(s, 24, 24, h, -h)
    body = turn(box(15, 19, 35, 29))
    ferrule = turn(box(35, 19, 39, 29))
    eraser = turn(box(38, 19, 45, 29, 2.5))
    wood = turn(polygon([(15, 19), (15, 29), (3, 24)]))
    lead = turn(polygon([(7.5, 21.7), (7.5, 26.3), (3, 24)]))
    line = box(6, 41, 26, 43)
    return [
        Layer(line, (90, 90, 100), None),
        Layer(body, (245, 185, 35), (120, 80, 10), 1.4),
        Layer(ferrule, (175, 178, 190), (80, 80, 95), 1.4),
        Layer(eraser, (235, 115, 140), (130, 45, 65), 1.4),
        Layer(wood, (240, 210, 160), (120, 80, 10), 1.4),
        Layer(lead, (55, 55, 60), None),
    ]


def restore_image():
    cx, cy, radius, half = 24, 25, 13, 3.2
    ring = arc(cx, cy, radius, half, 95, 165)
    nx, ny = direction(95)  # where the arc ends, seen from the centre
    px, py = cx + radius * nx, cy + radius * ny
    tx, ty = ny, -nx  # the way the arc runs there: anticlockwise
    head = polygon([(px + nx * 8.5, py + ny * 8.5), (px - nx * 8.5, py - ny * 8.5),
                    (px + tx * 9.5, py + ty * 9.5)], r=0.8)
    return [Layer(union(ring, head), BLUE, BLUE_DARK, 1.6)]


def update_image():
    pins = []
    for y in (21, 26, 31, 36):
        pins.append(box(4, y - 1.3, 10, y + 1.3, 0.6))
        pins.append(box(30, y - 1.3, 36, y + 1.3, 0.6))
    return [
        Layer(union(*pins), (190, 190, 198), (85, 85, 95), 1.0, light=0.0),
        Layer(box(8, 17, 32, 41, 2.5), (70, 75, 88), (25, 25, 32), 1.6),
        Layer(circle(13, 22, 1.8), (150, 155, 168), None),
        Layer(union(box(32, 16, 40, 30, 1), polygon([(26, 17), (46, 17), (36, 4)], r=0.8)),
              GREEN, GREEN_DARK, 1.6),
    ]


def select_file_image():
    back = polygon([(5, 11), (18, 11), (22, 15), (42, 15), (42, 39), (5, 39)], r=1.0)
    paper = box(11, 13, 37, 30, 0.5)
    front = polygon([(10, 21), (46, 21), (40, 40), (4, 40)], r=1.0)
    return [
        Layer(back, (215, 160, 45), (135, 90, 15), 1.5),
        Layer(paper, WHITE, (140, 140, 150), 1.0, light=0.0),
        Layer(union(box(14, 17, 33, 18.5), box(14, 20, 30, 21.5)), (150, 150, 160), None),
        Layer(front, (245, 200, 85), (135, 90, 15), 1.5),
    ]


def log_image():
    screen = box(4, 8, 44, 41, 3)
    title = intersect(screen, box(0, 0, 48, 14.5))
    text = (90, 225, 110)
    return [
        Layer(screen, (35, 40, 50), (15, 15, 20), 1.6, light=0.0),
        Layer(title, (120, 135, 160), (15, 15, 20), 1.0),
        Layer(union(segment(10, 19.5, 14, 22.5, 1.2), segment(14, 22.5, 10, 25.5, 1.2)), text,
              None),
        Layer(box(17, 21.5, 34, 23.8, 1.1), text, None),
        Layer(box(9, 28, 38, 30.3, 1.1), text, None),
        Layer(box(9, 34, 26, 36.3, 1.1), text, None),
        Layer(box(29, 32.5, 33, 37), WHITE, None, light=0.0),
    ]


def options_image():
    h = math.sqrt(0.5)
    tooth = box(20.5, 3.5, 27.5, 14, 1.2)
    turns = [(1.0, 0.0), (h, h), (0.0, 1.0), (-h, h)]
    teeth = []
    for c, s in turns:
        teeth.append(rotated(tooth, 24, 24, c, s))
        teeth.append(rotated(tooth, 24, 24, -c, -s))
    gear = subtract(union(circle(24, 24, 14.5), *teeth), circle(24, 24, 6))
    return [Layer(gear, (105, 125, 150), (40, 50, 68), 1.6)]


def about_image():
    return [
        Layer(circle(24, 24, 19.5), BLUE, BLUE_DARK, 1.8),
        Layer(union(circle(24, 14.5, 3.2), box(21, 20, 27, 35, 1.2), box(18.5, 32, 29.5, 35, 0.8),
                    box(18.5, 20, 24, 23, 0.8)), WHITE, None, light=0.0),
    ]


def exit_image():
    doorway = box(7, 5, 29, 43)
    door = polygon([(7, 5), (21, 9), (21, 46), (7, 43)])
    arrow = union(box(22, 20.5, 37, 27.5, 0.8), polygon([(35, 14.5), (46, 24), (35, 33.5)], r=0.8))
    return [
        Layer(doorway, (60, 45, 35), (40, 28, 20), 1.5, light=0.0),
        Layer(door, (175, 115, 60), (85, 50, 20), 1.5),
        Layer(circle(17.5, 27, 1.6), (245, 205, 80), None),
        Layer(arrow, GREEN, GREEN_DARK, 1.6),
    ]


IMAGES = [start_image, stop_image, modify_image, restore_image, update_image, select_file_image,
          log_image, options_image, about_image, exit_image]


def dtu_layers(ox, oy, s):
    """The terminal of the application icon, scaled by s from a 64-unit square."""
    m = lambda shape: moved(shape, ox, oy, s)
    top, bottom = oy + 24 * s, oy + 58 * s
    return [
        Layer(m(segment(46, 28, 46, 12, 2.2)), (70, 70, 80), (30, 30, 35), 1.0 * s, light=0.0),
        Layer(m(circle(46, 11, 3.2)), (210, 50, 45), (110, 20, 20), 1.0 * s, light=0.0),
        Layer(m(union(arc_piece(46, 11, 7.5, 1.4, 320, 40), arc_piece(46, 11, 7.5, 1.4, 140, 220),
                      arc_piece(46, 11, 12.5, 1.4, 325, 35),
                      arc_piece(46, 11, 12.5, 1.4, 145, 215))), (45, 110, 205), None),
        Layer(m(box(6, 26, 58, 56, 5)), (60, 95, 150), (20, 40, 75), 2.0 * s, 0.4, top, bottom),
        Layer(m(box(10, 30, 54, 36, 2)), (110, 145, 195), None),
        Layer(m(circle(16, 46, 3.5)), (90, 230, 110), (20, 95, 35), 1.0 * s),
        Layer(m(circle(27, 46, 3.5)), (250, 190, 60), (130, 90, 10), 1.0 * s),
        Layer(m(box(36, 41, 50, 51, 1.5)), (35, 40, 50), (15, 15, 20), 1.0 * s, light=0.0),
    ]


def app_icon():
    return dtu_layers(0, 0, 1.0)


def document_icon():
    page = polygon([(12, 3), (42, 3), (54, 15), (54, 61), (12, 61)], r=0.5)
    fold = polygon([(42, 3), (42, 15), (54, 15)], r=0.3)
    return [Layer(page, WHITE, (110, 110, 120), 1.5, light=0.0, top=0, bottom=64),
            Layer(fold, (215, 215, 225), (110, 110, 120), 1.2, light=0.0)] + \
        dtu_layers(16, 24, 0.55)


# --- rendering ----------------------------------------------------------------


def paint_ids(layers, width, height):
    """For each pixel, the (layer, on-outline) paint of each sample, or None."""
    offsets = [(i + 0.5) / SUB for i in range(SUB)]
    rows = []
    for py in range(height):
        row = []
        for px in range(width):
            samples = []
            for oy in offsets:
                for ox in offsets:
                    x, y = px + ox, py + oy
                    paint = None
                    for index, layer in enumerate(layers):
                        d = layer.shape(x, y)
                        if d < 0:
                            paint = (index, layer.outline is not None and d > -layer.width)
                    samples.append(paint)
            row.append(samples)
        rows.append(row)
    return rows


def resolve(layers, paints, py, background, recolour=lambda c: c):
    """One pixel's colour from its samples: the paints averaged over the background."""
    total = [0, 0, 0]
    for paint in paints:
        colour = background if paint is None else recolour(
            layers[paint[0]].colour(py + 0.5, paint[1]))
        for k in range(3):
            total[k] += colour[k]
    return tuple((t * 2 + len(paints)) // (2 * len(paints)) for t in total)


def coverage(paints):
    return sum(p is not None for p in paints) / len(paints)


def grey(colour):
    lum = 0.299 * colour[0] + 0.587 * colour[1] + 0.114 * colour[2]
    g = round(100 + 0.35 * lum)
    return (g, g, g)


VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
       (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
SILVER = 7


def nearest_vga(colour):
    """Index of the nearest of the 16 colours other than silver, the mask."""
    best, best_d = 0, None
    for i, c in enumerate(VGA):
        if i == SILVER:
            continue
        d = sum((a - b) ** 2 for a, b in zip(colour, c))
        if best_d is None or d < best_d:
            best, best_d = i, d
    return best


def render_strip():
    """The three toolbar bitmaps as rows of pixels, top row first."""
    width = SIZE * COUNT
    colour = [[None] * width for _ in range(SIZE)]
    disabled = [[None] * width for _ in range(SIZE)]
    reduced = [[SILVER] * width for _ in range(SIZE)]
    for n, make in enumerate(IMAGES):
        layers = make()
        paints = paint_ids(layers, SIZE, SIZE)
        for y in range(SIZE):
            for x in range(SIZE):
                p = paints[y][x]
                c = resolve(layers, p, y, MASK_COLOUR)
                colour[y][n * SIZE + x] = c
                disabled[y][n * SIZE + x] = resolve(layers, p, y, MASK_DISABLED, grey)
                if coverage(p) >= 0.5:
                    # The paint most samples show, without its shading: 16 colours
                    # have no room for gradients.
                    paint = max(set(q for q in p if q is not None), key=p.count)
                    flat = layers[paint[0]].colour(y + 0.5, paint[1], flat=True)
                    reduced[y][n * SIZE + x] = nearest_vga(flat)
                # Only background may carry the mask colour, or it would show through.
                if coverage(p) > 0:
                    assert c != MASK_COLOUR and disabled[y][n * SIZE + x] != MASK_DISABLED
    return colour, disabled, reduced


def render_icon(layers, size=64):
    paints = paint_ids(layers, size, size)
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            p = paints[y][x]
            covered = [q for q in p if q is not None]
            if not covered:
                row.append((0, 0, 0, 0))
                continue
            rgb = resolve(layers, covered, y, (0, 0, 0))
            row.append(rgb + ((len(covered) * 255 * 2 + len(p)) // (2 * len(p)),))
        pixels.append(row)
    return pixels


# --- files ----------------------------------------------------------------------


def bmp_bytes(rows, bits, palette=None):
    height, width = len(rows), len(rows[0])
    stride = ((width * bits + 31) // 32) * 4
    data = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        if bits == 24:
            for r, g, b in row:
                line += bytes((b, g, r))
        else:
            for i in range(0, width, 2):
                line.append((row[i] << 4) | row[i + 1])
        line += bytes(stride - len(line))
        data += line
    colours = len(palette) if palette else 0
    offset = 14 + 40 + 4 * colours
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(data), 2835, 2835,
                       colours, 0)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in (palette or []))
    return header + info + table + bytes(data)


def png_bytes(rows):
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, payload):
        return (struct.pack(">I", len(payload)) + kind + payload +
                struct.pack(">I", zlib.crc32(kind + payload) & 0xFFFFFFFF))

    # Stored (uncompressed) deflate blocks: the same bytes with any zlib.
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 0)) + chunk(b"IEND", b""))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", default=os.path.dirname(os.path.abspath(__file__)))
    out = parser.parse_args().out
    os.makedirs(out, exist_ok=True)
    colour, disabled, reduced = render_strip()
    files = {
        "bitmap131.bmp": bmp_bytes(colour, 24),
        "bitmap130.bmp": bmp_bytes(disabled, 24),
        "bitmap128.bmp": bmp_bytes(reduced, 4, VGA),
        "icon128.png": png_bytes(render_icon(app_icon())),
        "icon129.png": png_bytes(render_icon(document_icon())),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
