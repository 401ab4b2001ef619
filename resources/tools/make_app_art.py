#!/usr/bin/python3
"""Regenerates the pictures of the splash window and the main window: the splash
picture, the two header pictures, the six side-menu icons, the mascot, the six
tray frames and the application icon (SVG and PNG sizes).

Needs Debian's python3-pil, fonts-dejavu-core and fonts-noto-cjk. Run it from
anywhere: resources/tools/make_app_art.py. Writes into resources/auxiliary and
resources/app next to this folder.

Every picture shares one emblem: an epicentre dot with the rings of its waves.
"""

import math
import os
import subprocess

from PIL import Image, ImageChops, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
AUX_OUT = os.path.join(HERE, "..", "auxiliary")
APP_OUT = os.path.join(HERE, "..", "app")
SS = 4  # drawn at 4x and reduced, for smooth edges

NAVY = (20, 34, 68)
DEEP = (28, 58, 112)
BLUE = (38, 98, 178)
SKY = (120, 178, 236)
ORANGE = (246, 128, 38)
WHITE = (255, 255, 255)
FRAME = (236, 241, 248)
PURE_RED = (255, 0, 0)


def font(pattern, size):
    out = subprocess.run(["fc-match", "-f", "%{file}\n%{index}", pattern], check=True, capture_output=True,
                         text=True).stdout.split("\n")
    return ImageFont.truetype(out[0], size, index=int(out[1] or 0))


def latin_bold(size):
    return font("DejaVu Sans:bold", size)


def japanese(size, weight="medium"):
    return font("Noto Sans CJK JP:" + weight, size)


def reduce(img, size):
    return img.resize(size, Image.LANCZOS)


def vertical_gradient(size, top, bottom):
    w, h = size
    grad = Image.new("RGB", (1, h))
    for y in range(h):
        t = y / max(h - 1, 1)
        grad.putpixel((0, y), tuple(round(a + (b - a) * t) for a, b in zip(top, bottom)))
    return grad.resize((w, h))


def radial_gradient(size, centre, radius, inner, outer):
    w, h = size
    img = Image.new("RGB", size)
    px = img.load()
    cx, cy = centre
    for y in range(h):
        for x in range(w):
            t = min(math.hypot(x - cx, y - cy) / radius, 1.0)
            px[x, y] = tuple(round(a + (b - a) * t) for a, b in zip(inner, outer))
    return img


def ellipse(draw, cx, cy, r, **kw):
    draw.ellipse((cx - r, cy - r, cx + r, cy + r), **kw)


def ring(draw, cx, cy, r, width, fill):
    draw.ellipse((cx - r, cy - r, cx + r, cy + r), outline=fill, width=max(1, round(width)))


def rounded_tile(size, radius, colour_top, colour_bottom):
    """An RGBA tile of size (at the drawing scale) with a vertical gradient."""
    tile = vertical_gradient((size, size), colour_top, colour_bottom).convert("RGBA")
    mask = Image.new("L", (size, size), 0)
    ImageDraw.Draw(mask).rounded_rectangle((0, 0, size - 1, size - 1), radius=radius, fill=255)
    tile.putalpha(mask)
    return tile


def emblem(draw, cx, cy, unit, rings=3, ring_colour=WHITE, dot=ORANGE, alphas=(235, 160, 95)):
    """Epicentre dot and its wave rings; unit is the outer ring's radius."""
    radii = [0.45, 0.72, 1.0][3 - rings:]
    for r, a in zip(radii, alphas[3 - rings:] if rings < 3 else alphas):
        ring(draw, cx, cy, r * unit, 0.11 * unit, ring_colour + (a,))
    ellipse(draw, cx, cy, 0.2 * unit, fill=dot + (255,))


def seismogram(width, mid, amplitude, start, end, seed_shape=(0.08, 0.2, 0.55, 1.0, 0.8, 0.5, 0.3, 0.18, 0.1),
               wiggle=1.1):
    """Points of a seismogram trace: quiet, a burst whose envelope follows
    seed_shape between start and end, quiet again."""
    pts = []
    steps = 240
    for i in range(steps + 1):
        x = width * i / steps
        if start <= x <= end:
            t = (x - start) / (end - start)
            k = t * (len(seed_shape) - 1)
            j = min(int(k), len(seed_shape) - 2)
            env = seed_shape[j] + (seed_shape[j + 1] - seed_shape[j]) * (k - j)
            y = mid - amplitude * env * math.sin(i * wiggle) * (0.75 + 0.25 * math.sin(i * 0.37))
        else:
            y = mid
        pts.append((x, y))
    return pts


# ---------------------------------------------------------------- splash

def make_splash():
    W, H = 279, 286
    S = SS
    circle = (139.5, 116.0, 110.0)  # centre x, centre y, radius
    plate = (6.0, 178.0, 273.0, 280.0, 20.0)  # left, top, right, bottom, corner radius
    border = 3.0

    def shape_mask(inset):
        m = Image.new("L", (W * S, H * S), 0)
        d = ImageDraw.Draw(m)
        cx, cy, r = circle
        r -= inset
        d.ellipse(((cx - r) * S, (cy - r) * S, (cx + r) * S, (cy + r) * S), fill=255)
        l, t, rr, b, rad = plate
        d.rounded_rectangle(((l + inset) * S, (t + inset) * S, (rr - inset) * S, (b - inset) * S),
                            radius=(rad - inset) * S, fill=255)
        return m

    def plate_mask(inset):
        m = Image.new("L", (W * S, H * S), 0)
        l, t, rr, b, rad = plate
        ImageDraw.Draw(m).rounded_rectangle(((l + inset) * S, (t + inset) * S, (rr - inset) * S, (b - inset) * S),
                                            radius=(rad - inset) * S, fill=255)
        return m

    def circle_mask(inset):
        m = Image.new("L", (W * S, H * S), 0)
        cx, cy, r = circle
        r -= inset
        ImageDraw.Draw(m).ellipse(((cx - r) * S, (cy - r) * S, (cx + r) * S, (cy + r) * S), fill=255)
        return m

    # Circle: deep blue sky around the epicentre, the wave rings and a trace.
    cx, cy, r = circle
    disc = radial_gradient((W, H), (cx, cy - 10), r * 1.05, (56, 128, 210), NAVY).convert("RGBA")
    deco = Image.new("RGBA", (W * S, H * S), (0, 0, 0, 0))
    d = ImageDraw.Draw(deco)
    ex, ey = cx * S, (cy - 6) * S
    for k, (rad, alpha) in enumerate([(26, 230), (46, 170), (68, 115), (92, 60)]):
        ring(d, ex, ey, rad * S, (3.2 - 0.5 * k) * S, WHITE + (alpha,))
    ellipse(d, ex, ey, 13 * S, fill=(255, 255, 255, 70))
    ellipse(d, ex, ey, 9 * S, fill=ORANGE + (255,))
    trace = [(x * S, y * S) for x, y in seismogram(W, cy + 52, 16, 70, 215)]
    d.line(trace, fill=(255, 214, 120, 230), width=int(1.6 * S), joint="curve")
    disc.alpha_composite(reduce(deco, (W, H)))

    # Plate: the product name and what it is.
    plate_img = vertical_gradient((W, H), (24, 42, 82), NAVY).convert("RGBA")
    text = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    t = ImageDraw.Draw(text)
    name_font = latin_bold(38)
    left, right = "Ulmaro", " X"
    wl = t.textlength(left, font=name_font)
    wr = t.textlength(right, font=name_font)
    x0 = (W - (wl + wr)) / 2
    t.text((x0, 188), left, font=name_font, fill=WHITE)
    t.text((x0 + wl, 188), right, font=name_font, fill=ORANGE)
    sub_font = japanese(13, "medium")
    sub = "緊急地震速報 受信ソフトウェア"
    t.text(((W - t.textlength(sub, font=sub_font)) / 2, 240), sub, font=sub_font, fill=(196, 214, 240))
    t.line((48, 233, W - 48, 233), fill=(90, 120, 170), width=1)
    plate_img.alpha_composite(text)

    img = Image.new("RGBA", (W, H), FRAME + (255,))
    img.paste(disc, (0, 0), reduce(circle_mask(border), (W, H)))
    img.paste(Image.new("RGBA", (W, H), FRAME + (255,)), (0, 0), reduce(plate_mask(0), (W, H)))
    img.paste(plate_img, (0, 0), reduce(plate_mask(border), (W, H)))

    # Hard outline: a pixel is either the picture or pure red, never a blend,
    # so the cut-out window has no reddish fringe.
    outline = reduce(shape_mask(0), (W, H)).point(lambda v: 255 if v >= 128 else 0)
    out = Image.new("RGB", (W, H), PURE_RED)
    out.paste(img.convert("RGB"), (0, 0), outline)
    # Nothing inside may be the cut-out colour.
    px = out.load()
    ox = outline.load()
    for y in range(H):
        for x in range(W):
            if ox[x, y] and px[x, y] == PURE_RED:
                px[x, y] = (254, 0, 0)
    out.save(os.path.join(AUX_OUT, "BMP_SPLASH1.png"), optimize=True)


# ---------------------------------------------------------------- header

def make_header():
    H = 48
    LW, BW = 220, 374
    band = vertical_gradient((LW + BW, H), (30, 52, 98), NAVY).convert("RGBA")
    deco = Image.new("RGBA", ((LW + BW) * SS, H * SS), (0, 0, 0, 0))
    d = ImageDraw.Draw(deco)
    # Logo: the emblem and the name.
    emblem(d, 26 * SS, 24 * SS, 16 * SS)
    # Band: a faint trace and the rings of a distant wave.
    trace = [((x + LW) * SS, y * SS) for x, y in seismogram(BW, 30, 11, 150, 330) if x >= 70]
    d.line(trace, fill=(150, 190, 240, 150), width=int(1.3 * SS), joint="curve")
    for k, rad in enumerate([22, 40, 58, 76]):
        ring(d, (LW + BW - 24) * SS, 24 * SS, rad * SS, 1.6 * SS, (150, 190, 240, 110 - 22 * k))
    ellipse(d, (LW + BW - 24) * SS, 24 * SS, 5 * SS, fill=ORANGE + (150,))
    band.alpha_composite(reduce(deco, (LW + BW, H)))
    t = ImageDraw.Draw(band)
    name_font = latin_bold(21)
    wl = t.textlength("Ulmaro", font=name_font)
    t.text((52, 7), "Ulmaro", font=name_font, fill=WHITE)
    t.text((52 + wl, 7), " X", font=name_font, fill=ORANGE)
    t.text((53, 31), "緊急地震速報 受信ソフトウェア", font=japanese(10), fill=(176, 198, 232))
    band.crop((0, 0, LW, H)).convert("RGB").save(os.path.join(APP_OUT, "PNG_HEADER_LOGO.png"), optimize=True)
    band.crop((LW, 0, LW + BW, H)).convert("RGB").save(os.path.join(APP_OUT, "PNG_HEADER_BAND.png"), optimize=True)


# ---------------------------------------------------------------- side menu

def glyph_home(d, s, c):
    d.polygon([(24 * s, 9 * s), (40 * s, 23 * s), (8 * s, 23 * s)], fill=c)
    d.rectangle((13 * s, 22 * s, 35 * s, 38 * s), fill=c)
    d.rectangle((31 * s, 11 * s, 35 * s, 19 * s), fill=c)


def glyph_home_cut(d, s, c):
    d.rounded_rectangle((21 * s, 28 * s, 27 * s, 38 * s), radius=1 * s, fill=c)


def glyph_gear(d, s, c):
    cx = cy = 24 * s
    for k in range(8):
        a = k * math.pi / 4
        ca, sa = math.cos(a), math.sin(a)
        hw, r0, r1 = 3.4 * s, 9 * s, 15.5 * s
        pts = [(cx + ca * r0 - sa * hw, cy + sa * r0 + ca * hw), (cx + ca * r1 - sa * hw, cy + sa * r1 + ca * hw),
               (cx + ca * r1 + sa * hw, cy + sa * r1 - ca * hw), (cx + ca * r0 + sa * hw, cy + sa * r0 - ca * hw)]
        d.polygon(pts, fill=c)
    ellipse(d, cx, cy, 12 * s, fill=c)


def glyph_gear_cut(d, s, c):
    ellipse(d, 24 * s, 24 * s, 5 * s, fill=c)


def glyph_globe(d, s, c):
    w = int(2.6 * s)
    ring(d, 24 * s, 24 * s, 15 * s, w, c)
    d.ellipse((17 * s, 9 * s, 31 * s, 39 * s), outline=c, width=w)
    d.line((24 * s, 9 * s, 24 * s, 39 * s), fill=c, width=w)
    d.line((9 * s, 24 * s, 39 * s, 24 * s), fill=c, width=w)
    d.arc((11 * s, 2 * s, 37 * s, 20 * s), 35, 145, fill=c, width=w)
    d.arc((11 * s, 28 * s, 37 * s, 46 * s), 215, 325, fill=c, width=w)


def glyph_clock(d, s, c):
    w = 3 * s
    cx = cy = 24 * s
    r = 15 * s
    # open on the left; the arrow at the upper end turns back, anticlockwise
    d.arc((cx - r, cy - r, cx + r, cy + r), 210, 510, fill=c, width=int(w))
    a = math.radians(210)
    px, py = cx + r * math.cos(a), cy + r * math.sin(a)
    tx, ty = math.sin(a), -math.cos(a)  # direction of decreasing angle
    nx, ny = math.cos(a), math.sin(a)
    d.polygon([(px + tx * 7 * s, py + ty * 7 * s), (px + nx * 6 * s - tx * 1 * s, py + ny * 6 * s - ty * 1 * s),
               (px - nx * 6 * s - tx * 1 * s, py - ny * 6 * s - ty * 1 * s)], fill=c)
    d.line((cx, 15 * s, cx, cy), fill=c, width=int(w))
    d.line((cx, cy, 31 * s, 28 * s), fill=c, width=int(w))
    ellipse(d, cx, cy, 2.4 * s, fill=c)


def glyph_trace(d, s, c):
    """A seismogram: quiet, a sharp burst, dying away."""
    amps = [0, 0, 1.5, -3, 6, -12, 14, -11, 8, -5.5, 3.5, -2, 1, 0, 0]
    step = 36 / (len(amps) - 1)
    pts = [((6 + k * step) * s, (24 - a) * s) for k, a in enumerate(amps)]
    d.line(pts, fill=c, width=int(2.8 * s), joint="curve")
    for x, y in (pts[0], pts[-1]):
        ellipse(d, x, y, 1.4 * s, fill=c)


def glyph_info(d, s, c):
    ring(d, 24 * s, 24 * s, 15 * s, 2.8 * s, c)
    ellipse(d, 24 * s, 16.5 * s, 2.6 * s, fill=c)
    d.rounded_rectangle((21.6 * s, 21 * s, 26.4 * s, 33 * s), radius=1.2 * s, fill=c)


MENU = [
    ("HOME", ((74, 142, 232), (40, 96, 190)), glyph_home, glyph_home_cut),
    ("CONFIG", ((118, 134, 158), (76, 90, 114)), glyph_gear, glyph_gear_cut),
    ("NETCONFIG", ((48, 180, 166), (22, 128, 120)), glyph_globe, None),
    ("HISTORY", ((150, 118, 222), (104, 78, 176)), glyph_clock, None),
    ("TRAINING", ((250, 152, 66), (214, 98, 30)), glyph_trace, None),
    ("ABOUT", ((64, 176, 232), (30, 126, 196)), glyph_info, None),
]


def make_menu_icons():
    size = 48 * SS
    for name, (top, bottom), glyph, cut in MENU:
        tile = rounded_tile(size, 11 * SS, top, bottom)
        # a soft highlight on the upper half
        shine = Image.new("RGBA", (size, size), (0, 0, 0, 0))
        ImageDraw.Draw(shine).ellipse((-size * 0.3, -size * 0.95, size * 1.3, size * 0.45), fill=(255, 255, 255, 34))
        tile.alpha_composite(Image.composite(shine, Image.new("RGBA", (size, size)), tile.getchannel("A")))
        g = Image.new("L", (size, size), 0)
        gd = ImageDraw.Draw(g)
        glyph(gd, SS, 255)
        if cut:
            cut(gd, SS, 0)
        white = Image.new("RGBA", (size, size), WHITE + (255,))
        tile.paste(white, (0, 0), g)
        reduce(tile, (48, 48)).save(os.path.join(APP_OUT, f"PNG_MENU_{name}.png"), optimize=True)


# ---------------------------------------------------------------- mascot

def make_mascot():
    """A catfish in a safety helmet, the traditional shaker of the ground."""
    W = H = 128
    s = SS
    img = Image.new("RGBA", (W * s, H * s), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    body = (92, 136, 196)
    body_dark = (60, 98, 156)
    belly = (214, 230, 246)
    outline = (36, 58, 100)

    def P(*v):
        return tuple(x * s for x in v)

    # tail, behind the body
    d.polygon(P(14, 70, 2, 52, 6, 78, 2, 100, 22, 86), fill=body_dark, outline=outline, width=2 * s)
    # body
    d.ellipse(P(12, 40, 118, 118), fill=body, outline=outline, width=3 * s)
    d.chord(P(28, 70, 110, 116), 0, 180, fill=belly)
    # fins
    d.pieslice(P(18, 84, 46, 112), 90, 230, fill=body_dark)
    d.pieslice(P(86, 84, 114, 112), -50, 90, fill=body_dark)
    # helmet with brim and a badge
    d.chord(P(28, 14, 102, 78), 180, 360, fill=(250, 204, 40), outline=(150, 110, 10), width=2 * s)
    d.rounded_rectangle(P(22, 44, 108, 52), radius=4 * s, fill=(236, 184, 26), outline=(150, 110, 10), width=2 * s)
    d.rectangle(P(61, 16, 69, 44), fill=(255, 222, 96))
    ellipse(d, 65 * s, 31 * s, 7 * s, fill=ORANGE + (255,))
    ring(d, 65 * s, 31 * s, 7 * s, 1.5 * s, (255, 255, 255, 255))
    # eyes
    for ex in (48, 82):
        ellipse(d, ex * s, 66 * s, 10 * s, fill=WHITE, outline=outline, width=2 * s)
        ellipse(d, (ex + 1.5) * s, 68 * s, 5.5 * s, fill=(26, 30, 44))
        ellipse(d, (ex + 3.5) * s, 65 * s, 2.2 * s, fill=WHITE)
    # cheeks
    for ex in (34, 96):
        d.ellipse(P(ex - 7, 78, ex + 7, 85), fill=(236, 150, 172))
    # smile
    d.arc(P(54, 72, 76, 92), 20, 160, fill=outline, width=int(2.6 * s))
    # whiskers
    # whiskers, reaching out past the body
    d.line([P(54, 84), P(40, 90), P(22, 93), P(9, 89), P(3, 82)], fill=outline, width=int(2.6 * s), joint="curve")
    d.line([P(76, 84), P(90, 90), P(108, 93), P(121, 89), P(126, 82)], fill=outline, width=int(2.6 * s),
           joint="curve")
    reduce(img, (W, H)).save(os.path.join(APP_OUT, "PNG_MASCOT.png"), optimize=True)


# ---------------------------------------------------------------- tray

def make_tray():
    size = 32
    S = size * SS
    states = {
        "CONNECTED": ((66, 190, 96), (30, 140, 62)),
        "WAITING": ((246, 190, 58), (212, 140, 20)),
        "DISCONNECTED": ((150, 156, 166), (104, 110, 122)),
    }
    for name, (top, bottom) in states.items():
        for frame in (1, 2):
            colours = (top, bottom)
            if name == "DISCONNECTED" and frame == 2:
                colours = ((232, 96, 80), (186, 50, 40))  # blinks red
            badge = rounded_tile(S, 8 * SS, *colours)
            layer = Image.new("RGBA", (S, S), (0, 0, 0, 0))
            d = ImageDraw.Draw(layer)
            c = S / 2
            if name == "CONNECTED":
                # the wave travels outwards: the outer ring lights in frame 2
                # the wave front travels outwards from frame 1 to frame 2
                ring(d, c, c, 8.5 * SS, 2.8 * SS, WHITE + (255 if frame == 1 else 110,))
                ring(d, c, c, 14 * SS, 2.8 * SS, WHITE + (110 if frame == 1 else 255,))
                ellipse(d, c, c, 3.8 * SS, fill=WHITE + (255,))
            elif name == "WAITING":
                for k, x in enumerate((9, 16, 23)):
                    lit = (k % 2 == 0) == (frame == 1)
                    ellipse(d, x * SS, c, 3.2 * SS, fill=WHITE + (255 if lit else 120,))
            else:
                w = int(3.4 * SS)
                d.line((10 * SS, 10 * SS, 22 * SS, 22 * SS), fill=WHITE, width=w)
                d.line((22 * SS, 10 * SS, 10 * SS, 22 * SS), fill=WHITE, width=w)
            badge.alpha_composite(layer)
            reduce(badge, (size, size)).save(os.path.join(APP_OUT, f"PNG_TRAY_{name}_{frame}.png"), optimize=True)


# ---------------------------------------------------------------- application icon

ICON_SIZES = (16, 32, 48, 64, 128, 256)

# Wave fronts spreading from an epicentre below the middle, cut by the tile.
ICON_CENTRE = (0.42, 0.6)


def icon_geometry(small):
    """The icon in a 1 x 1 square: tile corner radius, arcs (radius, stroke,
    opacity) and dot radius; small sizes keep two bolder arcs."""
    if small:
        return 0.2, [(0.32, 0.1, 1.0), (0.56, 0.1, 0.65)], 0.15
    return 0.22, [(0.25, 0.06, 1.0), (0.42, 0.06, 0.75), (0.6, 0.06, 0.5)], 0.11


def wave_arc(d, cx, cy, r, w, colour):
    """A wave front: a ring whose outer edge is at r."""
    ring(d, cx, cy, r, w, colour)


def make_icon_png(size):
    small = size <= 32
    corner, arcs, dot = icon_geometry(small)
    S = size * SS
    tile = rounded_tile(S, corner * S, (58, 132, 214), DEEP)
    layer = Image.new("RGBA", (S, S), (0, 0, 0, 0))
    d = ImageDraw.Draw(layer)
    cx, cy = ICON_CENTRE[0] * S, ICON_CENTRE[1] * S
    for r, w, a in arcs:
        wave_arc(d, cx, cy, r * S, w * S, WHITE + (round(255 * a),))
    if not small:
        ellipse(d, cx, cy, dot * S * 1.35, fill=WHITE + (255,))
    ellipse(d, cx, cy, dot * S, fill=ORANGE + (255,))
    tile.alpha_composite(Image.composite(layer, Image.new("RGBA", (S, S)), tile.getchannel("A")))
    reduce(tile, (size, size)).save(os.path.join(APP_OUT, f"ICON_APP_{size}.png"), optimize=True)


def make_icon_svg():
    corner, arcs, dot = icon_geometry(False)
    u = 256
    cx, cy = ICON_CENTRE[0] * u, ICON_CENTRE[1] * u
    parts = [
        '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">',
        '  <defs>',
        '    <linearGradient id="tile" x1="0" y1="0" x2="0" y2="1">',
        '      <stop offset="0" stop-color="#3a84d6"/>',
        '      <stop offset="1" stop-color="#1c3a70"/>',
        '    </linearGradient>',
        '    <clipPath id="clip">',
        f'      <rect width="256" height="256" rx="{corner * u:g}"/>',
        '    </clipPath>',
        '  </defs>',
        f'  <rect width="256" height="256" rx="{corner * u:g}" fill="url(#tile)"/>',
        '  <g clip-path="url(#clip)" fill="none" stroke="#ffffff">',
    ]
    for r, w, a in arcs:
        parts.append(f'    <circle cx="{cx:g}" cy="{cy:g}" r="{(r - w / 2) * u:.2f}" '
                     f'stroke-width="{w * u:.2f}" stroke-opacity="{a:g}"/>')
    parts.append('  </g>')
    parts.append(f'  <circle cx="{cx:g}" cy="{cy:g}" r="{dot * 1.35 * u:g}" fill="#ffffff"/>')
    parts.append(f'  <circle cx="{cx:g}" cy="{cy:g}" r="{dot * u:g}" fill="#f68026"/>')
    parts.append('</svg>')
    with open(os.path.join(APP_OUT, "ICON_APP.svg"), "w", encoding="utf-8") as f:
        f.write("\n".join(parts) + "\n")


def main():
    os.makedirs(AUX_OUT, exist_ok=True)
    os.makedirs(APP_OUT, exist_ok=True)
    make_splash()
    make_header()
    make_menu_icons()
    make_mascot()
    make_tray()
    for size in ICON_SIZES:
        make_icon_png(size)
    make_icon_svg()


if __name__ == "__main__":
    main()
