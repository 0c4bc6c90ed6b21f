#!/usr/bin/env python3
"""Draws the program's icon and writes it as a Windows .ico file.

The picture is a sealed love letter: a cream envelope seen from the back,
its flap closed by a red heart. Three images are written, 16x16, 32x32 and
48x48 pixels, each with 16 colours (4 bits per pixel, a 16-entry palette, an
XOR bitmap and an AND mask), which is what the executable's icon group holds.

The 32x32 and 48x48 images are drawn from the same shapes at their own size,
not scaled from one another, so that both stay crisp: every pixel takes the
colour of the topmost shape that covers its centre, with outlines measured in
pixels of that image. At 16x16 shapes drawn that way lose the heart's cleft,
so that image is laid out pixel by pixel instead.

Usage: make_icon.py [OUTPUT]   (default: app.ico beside this script)
Only the standard library is used; the output is the same on every run.
"""

import math
import os
import struct
import sys

SIZES = (16, 32, 48)

# The 16-entry palette (red, green, blue). Index 0 stands under the
# transparent pixels, which the AND mask hides.
PALETTE = [
    (0, 0, 0),          # 0 transparent
    (96, 66, 48),       # 1 envelope outline
    (255, 249, 232),    # 2 envelope paper
    (238, 222, 186),    # 3 flap, in the paper's shade
    (122, 8, 26),       # 4 heart outline
    (222, 32, 52),      # 5 heart
    (166, 16, 36),      # 6 heart, shaded side
    (255, 150, 162),    # 7 heart, lit side
    (255, 255, 255),    # 8 gleam
    (200, 180, 150),    # 9 paper edge shadow
    (128, 128, 128),    # 10..15 unused
    (192, 192, 192),
    (0, 0, 128),
    (0, 128, 0),
    (128, 0, 0),
    (64, 64, 64),
]

TRANSPARENT = 0
ENVELOPE_LINE, PAPER, FLAP = 1, 2, 3
HEART_LINE, HEART, HEART_SHADE, HEART_LIGHT, GLEAM = 4, 5, 6, 7, 8
PAPER_SHADOW = 9


# Shapes, in unit coordinates: x to the right, y downwards, the icon's square
# from (0, 0) to (1, 1). Every function gives a signed distance: negative
# inside the shape, positive outside.

def rounded_box(px, py, cx, cy, hw, hh, r):
    qx = abs(px - cx) - (hw - r)
    qy = abs(py - cy) - (hh - r)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def segment(px, py, ax, ay, bx, by):
    abx, aby = bx - ax, by - ay
    t = ((px - ax) * abx + (py - ay) * aby) / (abx * abx + aby * aby)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(px - (ax + t * abx), py - (ay + t * aby))


def heart(px, py, cx, tip_y, scale):
    """A heart whose point is at (cx, tip_y); it is 1.21 * scale wide and
    1.10 * scale tall and stands upright above its point."""
    x = abs(px - cx) / scale
    y = (tip_y - py) / scale
    if x + y > 1.0:
        d = math.hypot(x - 0.25, y - 0.75) - math.sqrt(2.0) / 4.0
    else:
        m = 0.5 * max(x + y, 0.0)
        d = math.sqrt(min(x * x + (y - 1.0) ** 2, (x - m) ** 2 + (y - m) ** 2))
        d *= 1.0 if x > y else -1.0
    return d * scale


# The letter's geometry.
ENV_CX, ENV_CY, ENV_HW, ENV_HH, ENV_R = 0.5, 0.55, 0.46, 0.32, 0.06
ENV_TOP = ENV_CY - ENV_HH
FLAP_TIP_Y = 0.60
HEART_CX, HEART_TIP_Y, HEART_SCALE = 0.5, 0.93, 0.47


def draw(size):
    """Returns the rows (top first) of palette indices of one image."""
    if size == 16:
        return draw_small()
    px_unit = 1.0 / size
    # Outline widths in pixels of this image, a little wider on the larger one.
    env_line = (1.0 if size < 48 else 1.5) * px_unit
    heart_line = (1.5 if size < 48 else 2.0) * px_unit
    flap_line = (0.5 if size < 48 else 0.75) * px_unit

    rows = []
    for j in range(size):
        row = []
        for i in range(size):
            x = (i + 0.5) * px_unit
            y = (j + 0.5) * px_unit
            colour = TRANSPARENT

            d_env = rounded_box(x, y, ENV_CX, ENV_CY, ENV_HW, ENV_HH, ENV_R)
            if d_env <= 0.0:
                colour = PAPER
                # The closed flap: the triangle from the top corners down to
                # its tip, a shade darker than the paper, with its two edges.
                left_edge = segment(x, y, ENV_CX - ENV_HW, ENV_TOP, ENV_CX, FLAP_TIP_Y)
                right_edge = segment(x, y, ENV_CX + ENV_HW, ENV_TOP, ENV_CX, FLAP_TIP_Y)
                half = ENV_HW
                depth = FLAP_TIP_Y - ENV_TOP
                in_flap = y - ENV_TOP <= depth * (1.0 - abs(x - ENV_CX) / half)
                if in_flap:
                    colour = FLAP
                if min(left_edge, right_edge) <= flap_line:
                    colour = ENVELOPE_LINE
                # A seam of shadow along the paper's bottom edge.
                if -d_env <= env_line + px_unit and y > ENV_CY + ENV_HH * 0.5:
                    colour = PAPER_SHADOW
                if -d_env <= env_line:
                    colour = ENVELOPE_LINE

            d_heart = heart(x, y, HEART_CX, HEART_TIP_Y, HEART_SCALE)
            if d_heart <= 0.0:
                colour = HEART
                # Light from the upper left: the lower right of the heart is
                # shaded, a crescent on the upper left lobe is lit.
                shade = heart(x + 2.5 * heart_line, y + 2.5 * heart_line,
                              HEART_CX, HEART_TIP_Y, HEART_SCALE)
                lower = y > HEART_TIP_Y - 0.7 * HEART_SCALE
                if shade > 0.0 and lower:
                    colour = HEART_SHADE
                lobe_x = HEART_CX - 0.25 * HEART_SCALE
                lobe_y = HEART_TIP_Y - 0.80 * HEART_SCALE
                glint = math.hypot((x - lobe_x) / 1.2, y - lobe_y)
                if glint <= 0.09 * HEART_SCALE + 0.5 * px_unit:
                    colour = GLEAM
                elif glint <= 0.22 * HEART_SCALE:
                    colour = HEART_LIGHT
                if -d_heart <= heart_line:
                    colour = HEART_LINE
            row.append(colour)
        rows.append(row)
    return rows


# The 16x16 image, one letter per pixel: the envelope first, then the heart
# laid over it ("." in the heart lets the envelope show through).
SMALL_ENVELOPE = [
    "................",
    "................",
    ".oooooooooooooo.",
    "ooffffffffffffoo",
    "opoffffffffffopo",
    "oppoffffffffoppo",
    "opppoffffffopppo",
    "oppppoffffoppppo",
    "opppppoffopppppo",
    "oppppppooppppppo",
    "oppppppppppppppo",
    "oppppppppppppppo",
    ".oooooooooooooo.",
    "................",
    "................",
    "................",
]
SMALL_HEART = [  # placed at column 3, row 6
    ".hhh..hhh.",
    "hrrrhhrrrh",
    "hrwrrrrrrh",
    "hrrrrrrrsh",
    "hrrrrrrrsh",
    ".hrrrrrsh.",
    "..hrrrsh..",
    "...hrsh...",
    "....hh....",
]
SMALL_COLOURS = {
    ".": TRANSPARENT, "o": ENVELOPE_LINE, "p": PAPER, "f": FLAP,
    "h": HEART_LINE, "r": HEART, "s": HEART_SHADE, "w": GLEAM,
}


def draw_small():
    rows = [[SMALL_COLOURS[c] for c in line] for line in SMALL_ENVELOPE]
    for j, line in enumerate(SMALL_HEART):
        for i, c in enumerate(line):
            if c != ".":
                rows[6 + j][3 + i] = SMALL_COLOURS[c]
    return rows


def dib(rows):
    """One icon image: BITMAPINFOHEADER, palette, XOR bitmap, AND mask."""
    size = len(rows)
    xor_stride = (size * 4 + 31) // 32 * 4
    and_stride = (size + 31) // 32 * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for i, index in enumerate(row):
            line[i // 2] |= index << (4 if i % 2 == 0 else 0)
            if index == TRANSPARENT:
                bits[i // 8] |= 0x80 >> (i % 8)
        xor += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def ico(images):
    """An .ico file from (size, image bytes) pairs."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    data = b""
    for size, image in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, 1, 4,
                               len(image), offset + len(data))
        data += image
    return out + entries + data


def main(argv):
    if len(argv) > 2:
        sys.stderr.write("usage: make_icon.py [OUTPUT]\n")
        return 2
    out = argv[1] if len(argv) == 2 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "app.ico")
    assert len(PALETTE) == 16
    data = ico([(size, dib(draw(size))) for size in SIZES])
    with open(out, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
