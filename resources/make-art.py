#!/usr/bin/env python3
"""Regenerate the tool's artwork into this folder.

    python3 resources/make-art.py

Everything is drawn here from scratch. Icons and the cursor are written byte by
byte so their formats are exact; the JPEGs are rendered to raw RGB and encoded
by ImageMagick 6 (/usr/bin/convert). Python standard library only, and no
randomness or timestamps, so each run gives the same files.
"""

import math
import os
import struct
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
CONVERT = "/usr/bin/convert"  # a plain `convert` on PATH may be a stand-in


# --------------------------------------------------------------------------
# Shapes as predicates inside(x, y) in pixel units: pixel (i, j) covers
# [i, i+1) x [j, j+1), so its centre is (i + 0.5, j + 0.5).

def segment(ax, ay, bx, by, r):
    """A stroke of half-width r with round caps."""
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy

    def inside(x, y):
        t = 0.0 if ll == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / ll))
        ex, ey = x - (ax + t * dx), y - (ay + t * dy)
        return ex * ex + ey * ey <= r * r
    return inside


def bar(cx, cy, angle_deg, half_len, half_w):
    """A rectangle centred on (cx, cy), turned by angle_deg; square ends."""
    c, s = math.cos(math.radians(angle_deg)), math.sin(math.radians(angle_deg))

    def inside(x, y):
        dx, dy = x - cx, y - cy
        return abs(dx * c + dy * s) <= half_len and abs(-dx * s + dy * c) <= half_w
    return inside


def union(*shapes):
    return lambda x, y: any(f(x, y) for f in shapes)


def coverage(inside, w, h, ss=4, bbox=None):
    """Fraction of each pixel inside the shape, from ss x ss samples."""
    x0, y0, x1, y1 = bbox or (0, 0, w, h)
    x0, y0 = max(0, int(x0)), max(0, int(y0))
    x1, y1 = min(w, int(math.ceil(x1))), min(h, int(math.ceil(y1)))
    offs = [(k + 0.5) / ss for k in range(ss)]
    cov = [[0.0] * w for _ in range(h)]
    for j in range(y0, y1):
        for i in range(x0, x1):
            n = sum(1 for oy in offs for ox in offs if inside(i + ox, j + oy))
            cov[j][i] = n / (ss * ss)
    return cov


class Canvas:
    """An RGB image of floats, painted with anti-aliased shapes."""

    def __init__(self, w, h, rgb=(255, 255, 255)):
        self.w, self.h = w, h
        self.px = [[list(rgb) for _ in range(w)] for _ in range(h)]

    def paint(self, inside, rgb, bbox=None, alpha=1.0, ss=4):
        cov = coverage(inside, self.w, self.h, ss, bbox)
        for j in range(self.h):
            for i in range(self.w):
                a = cov[j][i] * alpha
                if a:
                    p = self.px[j][i]
                    for k in range(3):
                        p[k] += (rgb[k] - p[k]) * a

    def save_jpeg(self, name):
        data = bytearray(b"P6 %d %d 255\n" % (self.w, self.h))
        for row in self.px:
            for p in row:
                data += bytes(max(0, min(255, int(round(v)))) for v in p)
        # -strip keeps dates and profiles out; 1x1 sampling keeps thin coloured lines sharp.
        subprocess.run([CONVERT, "ppm:-", "-strip", "-quality", "92",
                        "-sampling-factor", "1x1", "jpg:" + os.path.join(HERE, name)],
                       input=bytes(data), check=True)


def lerp(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


# --------------------------------------------------------------------------
# ICO / CUR containers. One image each: ICONDIR, one ICONDIRENTRY, then a
# BITMAPINFOHEADER whose height is doubled (XOR image + AND mask), rows bottom-up.

def rows_bits(rows, bpp):
    """Pack rows of palette indices (top-down) bottom-up, each padded to 32 bits."""
    out = bytearray()
    for row in reversed(rows):
        bits = 0
        for v in row:
            bits = (bits << bpp) | v
        nbits = len(row) * bpp
        pad = (-nbits) % 32
        out += (bits << pad).to_bytes((nbits + pad) // 8, "big")
    return bytes(out)


def icon_file(kind, w, h, bpp, palette, xor_bytes, and_rows, hotspot=(0, 0)):
    """kind 1 = icon, 2 = cursor (whose entry holds the hot spot instead of planes/bits)."""
    and_bytes = rows_bits(and_rows, 1)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, bpp, 0,
                         len(xor_bytes) + len(and_bytes), 0, 0, len(palette), 0)
    pal = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette)
    image = header + pal + xor_bytes + and_bytes
    colours = len(palette) if len(palette) < 256 else 0
    if kind == 1:
        f2, f3 = 1, bpp
    else:
        f2, f3 = hotspot
    entry = struct.pack("<BBBBHHII", w % 256, h % 256, colours, 0, f2, f3, len(image), 6 + 16)
    return struct.pack("<HHH", 0, kind, 1) + entry + image


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


# --------------------------------------------------------------------------
# app.ico: a navy J on a raised light-grey button, 32 x 32, 16 colours.

VGA16 = [(0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
         (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
         (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
         (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF)]
BLACK, NAVY, SILVER, GREY, WHITE = 0, 4, 7, 8, 15

LETTER_J = """
...###########
...###########
...###########
........#####.
........#####.
........#####.
........#####.
........#####.
........#####.
........#####.
........#####.
#####...#####.
#####...#####.
#####...#####.
#####...#####.
.#####.#####..
.###########..
..#########...
....#####.....
"""


def make_app_ico():
    n = 32
    img = [[SILVER] * n for _ in range(n)]
    # Raised bevel: two light rings top/left, grey then black bottom/right.
    for y in range(n):
        for x in range(n):
            d_tl, d_br = min(x, y), min(n - 1 - x, n - 1 - y)
            if d_br == 0:
                img[y][x] = BLACK
            elif d_tl == 0:
                img[y][x] = WHITE
            elif d_br == 1:
                img[y][x] = GREY
            elif d_tl == 1:
                img[y][x] = WHITE
    letter = LETTER_J.strip("\n").split("\n")
    lh, lw = len(letter), len(letter[0])
    shadow = 2
    ox, oy = (n - lw - shadow) // 2, (n - lh - shadow) // 2

    def in_j(x, y):
        return 0 <= y < lh and 0 <= x < lw and letter[y][x] == "#"
    # Shadow first, so the letter covers most of it.
    for y in range(lh):
        for x in range(lw):
            if in_j(x, y):
                img[oy + y + shadow][ox + x + shadow] = GREY
    # The letter, with a one-pixel white highlight along edges facing the light.
    for y in range(lh):
        for x in range(lw):
            if in_j(x, y):
                lit = not in_j(x - 1, y) or not in_j(x, y - 1)
                img[oy + y][ox + x] = WHITE if lit else NAVY
    xor = rows_bits(img, 4)
    opaque = [[0] * n for _ in range(n)]
    write("app.ico", icon_file(1, n, n, 4, VGA16, xor, opaque))


# --------------------------------------------------------------------------
# section.jpg: a two-cell box girder, nodes marked, origin in red.

def make_section():
    w, h = 231, 62
    cx = w / 2  # the section is symmetric about this line

    def mirror(pts):
        return [(2 * cx - x, y) for x, y in reversed(pts)]

    top, tip, wing, bottom = 5.5, 12.5, 19.5, 56.5  # outer heights
    deck_in, bot_in = 13.5, 50.5                       # inner (cell) heights
    web_t, mid_t, haunch = 8.0, 8.0, 5.0

    def outer_web(y):  # outer face of the left web, leaning in towards the bottom
        return 52.5 + (y - wing) * (12.0 / (bottom - wing))
    # Outline, clockwise from the top of the left wing tip.
    outline = ([(8.5, top), (w - 8.5, top), (w - 8.5, tip), (2 * cx - outer_web(wing), wing),
                (2 * cx - outer_web(bottom), bottom), (outer_web(bottom), bottom),
                (outer_web(wing), wing), (8.5, tip)])
    # Left cell, with haunches in its top corners; the right cell is its mirror.
    in_x = lambda y: outer_web(y) + web_t
    mid_l = cx - mid_t / 2
    left_cell = [(in_x(deck_in + haunch), deck_in + haunch), (in_x(deck_in + haunch) + haunch, deck_in),
                 (mid_l - haunch, deck_in), (mid_l, deck_in + haunch),
                 (mid_l, bot_in), (in_x(bot_in), bot_in)]
    right_cell = mirror(left_cell)

    c = Canvas(w, h)
    ink = (35, 35, 40)
    for poly in (outline, left_cell, right_cell):
        for (ax, ay), (bx, by) in zip(poly, poly[1:] + poly[:1]):
            bb = (min(ax, bx) - 2, min(ay, by) - 2, max(ax, bx) + 2, max(ay, by) + 2)
            c.paint(segment(ax, ay, bx, by, 0.6), ink, bb)

    def cross(x, y, arm, rgb):
        shape = union(segment(x - arm, y - arm, x + arm, y + arm, 0.55),
                      segment(x - arm, y + arm, x + arm, y - arm, 0.55))
        c.paint(shape, rgb, (x - arm - 1, y - arm - 1, x + arm + 1, y + arm + 1))
    origin = (outer_web(bottom), bottom)  # lower left corner of the section
    for x, y in outline + left_cell + right_cell:
        if (x, y) != origin:
            cross(x, y, 1.6, (20, 70, 230))
    cross(*origin, 2.6, (225, 20, 20))
    c.save_jpeg("section.jpg")


# --------------------------------------------------------------------------
# key.ico: a gold key with a soft grey drop shadow, 32 x 32 BGRA + AND mask.

def key_shape():
    """The key drawn lying flat (bow at the origin, teeth down), turned 45 degrees."""
    cx, cy = 8.0, 8.0
    u = (math.sqrt(0.5), math.sqrt(0.5))     # along the shaft: towards lower right
    v = (-math.sqrt(0.5), math.sqrt(0.5))    # teeth side: towards lower left
    parts = [lambda x, y: 2.6 ** 2 < x * x + y * y <= 6.8 ** 2,  # ring with a hole
             lambda x, y: 5.5 <= x <= 8.0 and abs(y) <= 2.9,       # collar
             lambda x, y: 6.0 <= x <= 23.0 and abs(y) <= 1.9,      # shaft
             # the bit: one block with a notch cut from its lower edge
             lambda x, y: 15.5 <= x <= 23.0 and 0 <= y <= 5.6
             and not (17.8 <= x <= 20.0 and y >= 3.0)]

    def inside(px, py):
        dx, dy = px - cx, py - cy
        lx, ly = dx * u[0] + dy * u[1], dx * v[0] + dy * v[1]
        return any(p(lx, ly) for p in parts)
    return inside


def make_key_ico():
    n = 32
    key = coverage(key_shape(), n, n, ss=6)
    at = lambda m, x, y: m[y][x] if 0 <= x < n and 0 <= y < n else 0.0
    # Shadow: the key shape moved down-right and softened by a 3 x 3 box blur.
    moved = [[at(key, x - 2, y - 2) for x in range(n)] for y in range(n)]
    shadow = [[sum(at(moved, x + i, y + j) for i in (-1, 0, 1) for j in (-1, 0, 1)) / 9
               for x in range(n)] for y in range(n)]
    light, deep = (255, 222, 96), (200, 140, 18)
    rim, shine, shade = (130, 88, 8), (255, 246, 190), (150, 100, 10)
    rgba = []
    for y in range(n):
        row = []
        for x in range(n):
            ka = key[y][x]
            col = lerp(light, deep, (x + y) / (2 * n - 2))
            if ka < 0.999:
                col = rim                      # soft edge reads as a dark outline
            elif at(key, x - 1, y - 1) < 0.5:
                col = shine                    # edge facing the light
            elif at(key, x + 1, y + 1) < 0.5:
                col = shade                    # edge turned away from it
            sa = shadow[y][x] * 0.65
            a = ka + sa * (1 - ka)
            if a < 1 / 255:
                row.append((0, 0, 0, 0))
                continue
            grey = (96, 96, 96)
            rgb = [(col[k] * ka + grey[k] * sa * (1 - ka)) / a for k in range(3)]
            row.append(tuple(int(round(v)) for v in rgb) + (int(round(a * 255)),))
        rgba.append(row)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(rgba) for r, g, b, a in row)
    mask = [[1 if p[3] == 0 else 0 for p in row] for row in rgba]
    write("key.ico", icon_file(1, n, n, 32, [], xor, mask))


# --------------------------------------------------------------------------
# hand.cur: the link-hand pointer, 32 x 32 monochrome, hot spot on the fingertip.
# '#' black, 'o' white, '.' transparent (screen shows through).

HAND = """
.....###
....#ooo#
....#ooo#
....#ooo#
....#ooo#
....#ooo#
....#ooo###
....#ooo#oo###
....#ooo#oo#oo##
....#ooo#oo#oo#o#
.##.#ooo#oo#oo#oo#
#oo##ooooooooo#oo#
#ooo#ooooooooooooo#
.#oo#ooooooooooooo#
.#oooooooooooooooo#
..#ooooooooooooooo#
..#ooooooooooooooo#
...#oooooooooooooo#
...#ooooooooooooo#
....#oooooooooooo#
....#oooooooooooo#
....##############
"""
HAND_HOTSPOT = (6, 0)


def make_hand_cur():
    n = 32
    grid = [r.ljust(n, ".") for r in HAND.strip("\n").split("\n")]
    grid += ["." * n] * (n - len(grid))
    assert grid[HAND_HOTSPOT[1]][HAND_HOTSPOT[0]] == "#", "hot spot must be on the fingertip"
    # Palette 0 black, 1 white. Transparent = AND 1 with XOR 0.
    xor = [[1 if ch == "o" else 0 for ch in row] for row in grid]
    mask = [[1 if ch == "." else 0 for ch in row] for row in grid]
    write("hand.cur", icon_file(2, n, n, 1, [(0, 0, 0), (255, 255, 255)],
                                rows_bits(xor, 1), mask, HAND_HOTSPOT))


# --------------------------------------------------------------------------
# close.jpg / minimise.jpg: 128 x 128 button faces with a bold white glyph.

def button_face(base):
    """A raised square: vertical gradient, light top/left bevel, dark bottom/right."""
    n, bevel = 128, 6
    c = Canvas(n, n)
    top, bottom = lerp(base, (255, 255, 255), 0.30), lerp(base, (0, 0, 0), 0.25)
    hi, lo = lerp(base, (255, 255, 255), 0.55), lerp(base, (0, 0, 0), 0.50)
    for y in range(n):
        for x in range(n):
            d_tl, d_br = min(x, y), min(n - 1 - x, n - 1 - y)
            if min(d_tl, d_br) == 0:
                col = lerp(base, (0, 0, 0), 0.65)          # thin frame
            elif d_tl < bevel and d_tl <= d_br:
                col = hi
            elif d_br < bevel:
                col = lo
            else:
                col = lerp(top, bottom, y / (n - 1))
            c.px[y][x] = list(col)
    return c


def glyph(c, shape):
    # A faint shadow under the glyph lifts it off the face.
    c.paint(lambda x, y: shape(x - 3, y - 3), (0, 0, 0), alpha=0.30)
    c.paint(shape, (255, 255, 255))


def make_close():
    c = button_face((205, 40, 35))
    glyph(c, union(bar(64, 64, 45, 34, 9), bar(64, 64, -45, 34, 9)))
    c.save_jpeg("close.jpg")


def make_minimise():
    c = button_face((40, 90, 200))
    glyph(c, bar(64, 80, 0, 32, 9))
    c.save_jpeg("minimise.jpg")


if __name__ == "__main__":
    make_app_ico()
    make_section()
    make_key_ico()
    make_hand_cur()
    make_close()
    make_minimise()
