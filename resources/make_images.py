#!/usr/bin/python3
"""Regenerates the alert map's small images: the two marks, the intensity
numerals, the countdown digits and the two signs.

Needs Debian's python3-pil, fonts-dejavu-core and fonts-noto-cjk. Run it from
anywhere: resources/make_images.py [OUTPUT_DIR]. The numerals take their colours
from the intensity-scale table in src/defines/VeskDefines.cpp, so a change of a
class colour there is picked up by a rerun.
"""

import os
import re
import subprocess
import sys

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = sys.argv[1] if len(sys.argv) > 1 else HERE
SUPER = 4  # marks are drawn at 4x and reduced, for smooth inner edges

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)


def font_file(pattern):
    """Path and face index of the installed font fontconfig picks for pattern."""
    out = subprocess.run(["fc-match", "-f", "%{file}\n%{index}", pattern], check=True, capture_output=True,
                         text=True).stdout.split("\n")
    return out[0], int(out[1] or 0)


def load_font(pattern, size):
    path, index = font_file(pattern)
    return ImageFont.truetype(path, size, index=index)


def class_colours():
    """(red, green, blue) of the ten intensity classes, in table order."""
    source = os.path.join(HERE, "..", "src", "defines", "VeskDefines.cpp")
    with open(source, encoding="utf-8") as f:
        text = f.read()
    rows = re.findall(r'\{[0-9.]+, \d+, u"[^"]*", u"[^"]*", (\d+), (\d+), (\d+)\}', text)
    if len(rows) != 10:
        sys.exit("make_images: the intensity-scale table was not found in VeskDefines.cpp")
    return [tuple(int(v) for v in row) for row in rows]


def save(image, name):
    image.save(os.path.join(OUT, name), optimize=True)


def keyed_bitmap(draw_func, size, name):
    """A 24-bit mark on pure white, which the program treats as transparent.

    Drawn at 4x on a transparent canvas and reduced; a pixel belongs to the
    mark when it is at least half covered, so no light fringe blends with the
    white key colour."""
    w, h = size
    big = Image.new("RGBA", (w * SUPER, h * SUPER), (0, 0, 0, 0))
    draw_func(ImageDraw.Draw(big), SUPER)
    small = big.resize((w, h), Image.BOX)
    out = Image.new("RGB", (w, h), WHITE)
    for y in range(h):
        for x in range(w):
            r, g, b, a = small.getpixel((x, y))
            if a >= 128:
                colour = (r, g, b)
                out.putpixel((x, y), (254, 254, 254) if colour == WHITE else colour)
    save(out, name)


def draw_home(d, s):
    # A pin in the upper half whose tip, at the centre of the 24 x 48 image, marks the point.
    outline = (0, 90, 20, 255)
    fill = (40, 190, 60, 255)
    d.polygon([(4 * s, 12 * s), (12 * s, 24 * s), (20 * s, 12 * s)], fill=outline)
    d.ellipse([2 * s, 1 * s, 22 * s, 21 * s], fill=outline)
    d.polygon([(6 * s, 13 * s), (12 * s, 22 * s), (18 * s, 13 * s)], fill=fill)
    d.ellipse([int(3.5 * s), int(2.5 * s), int(20.5 * s), int(19.5 * s)], fill=fill)
    d.ellipse([8 * s, 7 * s, 16 * s, 15 * s], fill=(235, 255, 235, 255))


def draw_epicentre(d, s):
    # A red cross with a yellow outline.
    for width, colour in ((9, (255, 230, 0, 255)), (5, (220, 0, 0, 255))):
        d.line([(3 * s, 3 * s), (21 * s, 21 * s)], fill=colour, width=width * s)
        d.line([(3 * s, 21 * s), (21 * s, 3 * s)], fill=colour, width=width * s)


def glyph_image(size, text, font, fill, stroke, stroke_width, anchor_xy, anchor="mm"):
    image = Image.new("RGBA", size, (0, 0, 0, 0))
    ImageDraw.Draw(image).text(anchor_xy, text, font=font, fill=fill, stroke_width=stroke_width,
                               stroke_fill=stroke, anchor=anchor)
    return image


def main():
    os.makedirs(OUT, exist_ok=True)
    keyed_bitmap(draw_home, (24, 48), "BMP_HOMEMARK.png")
    keyed_bitmap(draw_epicentre, (24, 24), "BMP_EPICENTERMARK.png")

    latin = load_font("DejaVu Sans:bold", 60)
    digits = load_font("DejaVu Sans:bold", 68)
    cjk_suffix = load_font("Noto Sans CJK JP:bold", 34)
    cjk_sign = load_font("Noto Sans CJK JP:bold", 50)
    dark = (25, 25, 40, 255)

    # Numerals 0, 1, 2, 3, 4, 5, 5, 6, 6, 7 in the colour of the classes 0 ... 7.
    colours = class_colours()
    for index, digit in enumerate("0123455667"):
        fill = colours[index] + (255,)
        # Dark classes get a light edge so they stand out on the dark-blue board.
        r, g, b = colours[index]
        edge = dark if 0.299 * r + 0.587 * g + 0.114 * b >= 110 else (250, 250, 250, 255)
        save(glyph_image((64, 64), digit, latin, fill, edge, 3, (32, 60), anchor="ms"), f"PNG_SIS_{index}.png")
    # The suffixes sit on the numeral's baseline, to its right.
    save(glyph_image((64, 64), "強", cjk_suffix, (255, 40, 0, 255), dark, 2, (4, 60), anchor="ls"), "PNG_SIS_10.png")
    save(glyph_image((64, 64), "弱", cjk_suffix, WHITE + (255,), dark, 2, (4, 60), anchor="ls"), "PNG_SIS_11.png")
    dash = Image.new("RGBA", (64, 64), (0, 0, 0, 0))
    ImageDraw.Draw(dash).rectangle([4, 29, 59, 35], fill=WHITE + (255,), outline=dark, width=2)
    save(dash, "PNG_SIS_12.png")

    for digit in range(10):
        save(glyph_image((64, 64), str(digit), digits, WHITE + (255,), (220, 0, 0, 255), 4, (32, 32)),
             f"PNG_NUM_{digit}W.png")
        save(glyph_image((64, 64), str(digit), digits, (230, 0, 0, 255), (255, 230, 0, 255), 4, (32, 32)),
             f"PNG_NUM_{digit}R.png")

    save(glyph_image((128, 64), "予報", cjk_sign, WHITE + (255,), (10, 30, 120, 255), 3, (64, 32)), "PNG_EQSIGN_1.png")
    save(glyph_image((128, 64), "警報", cjk_sign, (255, 235, 0, 255), (90, 0, 0, 255), 3, (64, 32)), "PNG_EQSIGN_2.png")
    print(f"make_images: wrote the images to {OUT}")


if __name__ == "__main__":
    main()
