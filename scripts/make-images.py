#!/usr/bin/python3
"""Draws the product's images into resources/.

The PNG and GIF files it writes are kept in the repository, so the build never
needs this script. To change an image, edit its function here and regenerate:

    apt-get install python3-pil fonts-dejavu-core fonts-wqy-microhei
    /usr/bin/python3 scripts/make-images.py

Everything is drawn at four times its size and scaled down, which gives
anti-aliased edges. State images sit side by side in one file, one cell each:

    img/close.png, img/hide.png   42x30 cells: normal, hot, pushed
    img1/nav_*.png                150x72 cells: normal, hot, selected
    img/shadow2.png               64x64, nine-grid with 25-pixel corners
                                  (the window covers 25..39 in both axes)

Images with text or thin lines also get a double-size twin, name@2x.png,
drawn from the same shapes at twice the density; the toolkit draws it on
displays scaled above 100 %. The animations get one too, name@2x.gif, with
the same frames and delays, drawn from 150 % on; its frames after the first
hold only the pixels that change (the rest transparent over the frame
before), which keeps it a fraction of four times the plain file's size. The
shadow and the icons have none: the toolkit scales the first, and the icons
carry their sizes.

It also writes the programs' icons, app/Vantoro.ico and app/dumper.ico, with
16, 32, 48 and 256 pixel images (the small ones as bitmaps, which every
Windows reads; 256 as PNG). They are compiled into the executables, not packed
into the layout archives.
"""

import io
import math
import os
import struct
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

S = 4  # supersampling factor
D = 1  # density: 2 while drawing the @2x twins (S is then doubled too)
ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")
LATIN_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
CJK = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"

WHITE = (255, 255, 255)
BAND = (0x23, 0x8E, 0xF9)      # the main window's top band
TITLE = (0x00, 0x82, 0xF9)     # title bars of the secondary windows
DEEP = (0x16, 0x68, 0xD8)
NAVY = (0x1E, 0x3A, 0x66)
PALE = (0xEE, 0xF6, 0xFF)      # backdrop discs of the animations
MIST = (0xD9, 0xE9, 0xFB)
ORANGE = (0xFF, 0xA6, 0x2B)
GREEN = (0x2B, 0xC4, 0x8A)
RED = (0xFF, 0x5A, 0x6E)
YELLOW = (0xFF, 0xC9, 0x3C)


def font(path, size):
    return ImageFont.truetype(path, int(round(size * S)))


class Mask:
    """An 8-bit coverage mask at S times the size; coordinates in final pixels.
    Drawing with ink 255 adds to the shape, ink 0 cuts it away."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.im = Image.new("L", (w * S, h * S), 0)
        self.d = ImageDraw.Draw(self.im)

    @staticmethod
    def _p(points):
        return [(x * S, y * S) for x, y in points]

    def circle(self, cx, cy, r, ink=255):
        self.ellipse(cx, cy, r, r, ink)

    def ellipse(self, cx, cy, rx, ry, ink=255):
        self.d.ellipse([(cx - rx) * S, (cy - ry) * S, (cx + rx) * S, (cy + ry) * S], fill=ink)

    def rect(self, x0, y0, x1, y1, r=0, ink=255):
        box = [x0 * S, y0 * S, x1 * S, y1 * S]
        if r > 0:
            self.d.rounded_rectangle(box, radius=r * S, fill=ink)
        else:
            self.d.rectangle(box, fill=ink)

    def poly(self, points, ink=255):
        self.d.polygon(self._p(points), fill=ink)

    def line(self, points, width, ink=255):
        """A polyline with round joints and caps."""
        pts = self._p(points)
        self.d.line(pts, fill=ink, width=int(round(width * S)), joint="curve")
        for x, y in points:
            self.circle(x, y, width / 2, ink)

    def arc(self, cx, cy, r, start, end, width, ink=255):
        """An arc of the circle's centre line, angles in degrees clockwise from 3 o'clock."""
        w = width * S
        box = [(cx - r) * S - w / 2, (cy - r) * S - w / 2, (cx + r) * S + w / 2, (cy + r) * S + w / 2]
        self.d.arc(box, start, end, fill=ink, width=int(round(w)))
        for a in (start, end):
            t = math.radians(a)
            self.circle(cx + r * math.cos(t), cy + r * math.sin(t), width / 2, ink)

    def text(self, x, y, s, fnt, anchor="mm", ink=255):
        self.d.text((x * S, y * S), s, font=fnt, fill=ink, anchor=anchor)

    def scaled(self, alpha):
        return self.im.point(lambda v: int(v * alpha + 0.5))


class Canvas:
    def __init__(self, w, h, bg=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.im = Image.new("RGBA", (w * S, h * S), bg)

    def mask(self):
        return Mask(self.w, self.h)

    def paint(self, mask, color, alpha=1.0):
        """Lays colour over the canvas where the mask covers it."""
        layer = Image.new("RGBA", self.im.size, tuple(color[:3]) + (0,))
        layer.putalpha(mask.scaled(alpha) if isinstance(mask, Mask) else mask)
        self.im.alpha_composite(layer)

    def paint_gradient(self, mask, top, bottom):
        """Lays a vertical gradient over the canvas where the mask covers it."""
        ramp = Image.linear_gradient("L").resize(self.im.size, Image.Resampling.BILINEAR)
        layer = Image.composite(Image.new("RGBA", self.im.size, tuple(bottom) + (255,)),
                                Image.new("RGBA", self.im.size, tuple(top) + (255,)), ramp)
        layer.putalpha(mask.im)
        self.im.alpha_composite(layer)

    def layer(self, other, angle=0.0, pivot=None, dx=0.0, dy=0.0):
        """Lays another canvas of the same size over this one, turned by angle degrees
        (counter-clockwise) about pivot and moved by dx, dy."""
        im = other.im
        if angle or dx or dy:
            centre = (pivot[0] * S, pivot[1] * S) if pivot else None
            im = im.rotate(angle, resample=Image.Resampling.BICUBIC, center=centre,
                           translate=(dx * S, dy * S))
        self.im.alpha_composite(im)

    def result(self):
        # Premultiplied, so transparent pixels do not bleed their colour into edges.
        small = self.im.convert("RGBa").resize((self.w * D, self.h * D), Image.Resampling.LANCZOS)
        return small.convert("RGBA")


def save_png(image, relative):
    path = os.path.join(ROOT, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    image.save(path, optimize=True)
    print(relative, image.size)


KEEP = 255  # the palette index left free: "as the frame before" in a frame of changes


def changes_only(indexed):
    """Each frame after the first as the pixels that differ from the frame
    before, the rest KEEP (transparent, laid over the frame before)."""
    frames = [indexed[0]]
    for before, now in zip(indexed, indexed[1:]):
        a = Image.frombytes("L", now.size, before.tobytes())
        b = Image.frombytes("L", now.size, now.tobytes())
        changed = ImageChops.difference(a, b).point(lambda v: 255 if v else 0)
        delta = Image.composite(b, Image.new("L", now.size, KEEP), changed)
        frame = Image.frombytes("P", now.size, delta.tobytes())
        frame.putpalette(now.getpalette())
        frames.append(frame)
    return frames


def save_gif(frames, relative, duration, deltas=False):
    """Writes an endless animation; one shared palette keeps still areas steady."""
    path = os.path.join(ROOT, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    rgb = [f.convert("RGB") for f in frames]
    w, h = rgb[0].size
    sheet = Image.new("RGB", (w, h * len(rgb)))
    for i, f in enumerate(rgb):
        sheet.paste(f, (0, i * h))
    palette = sheet.quantize(colors=KEEP, method=Image.Quantize.MEDIANCUT)
    indexed = [f.quantize(palette=palette, dither=Image.Dither.NONE) for f in rgb]
    extra = {}
    if deltas:
        indexed = changes_only(indexed)
        extra = dict(transparency=KEEP, disposal=1)
    indexed[0].save(path, save_all=True, append_images=indexed[1:], duration=duration,
                    loop=0, optimize=False, **extra)
    print(relative, (w, h), len(frames), "frames")


def side_by_side(cells):
    w, h = cells[0].size
    sheet = Image.new("RGBA", (w * len(cells), h), (0, 0, 0, 0))
    for i, c in enumerate(cells):
        sheet.alpha_composite(c, (i * w, 0))
    return sheet


def bezier(a, b, c, d, steps=24):
    """Points along a cubic curve from a to d."""
    out = []
    for i in range(steps + 1):
        t = i / steps
        u = 1 - t
        out.append(tuple(u ** 3 * a[j] + 3 * u * u * t * b[j] + 3 * u * t * t * c[j] + t ** 3 * d[j]
                         for j in range(2)))
    return out


def ease(t):
    return 0.5 - 0.5 * math.cos(math.pi * t)


# ---------------------------------------------------------------------------
# Glyphs: flat shapes in a 32x32 box at (x, y), scaled by k.

def glyph_puzzle(m, x, y, k=1.0, ink=255):
    p = lambda u, v: (x + u * k, y + v * k)
    m.rect(*p(4.5, 10), *p(24.5, 30), r=2.5 * k, ink=ink)
    m.circle(*p(14.5, 7.2), 4.3 * k, ink)
    m.rect(*p(12, 8), *p(17, 11), ink=ink)
    m.circle(*p(27.3, 20), 4.3 * k, ink)
    m.rect(*p(24, 17.5), *p(27, 22.5), ink=ink)
    if ink:
        m.circle(*p(4.5, 20), 3.6 * k, 0)
        m.circle(*p(14.5, 30), 3.6 * k, 0)


def gear_points(cx, cy, r_out, r_in, teeth, turn_deg):
    pts = []
    step = 2 * math.pi / teeth
    for i in range(teeth):
        a = math.radians(turn_deg) + i * step
        for da, r in ((-0.30, r_in), (-0.17, r_out), (0.17, r_out), (0.30, r_in), (0.5, r_in)):
            t = a + da * step
            pts.append((cx + r * math.cos(t), cy + r * math.sin(t)))
    return pts


def glyph_gear(m, cx, cy, r, teeth, turn=0.0, hole=0.38, ink=255):
    m.poly(gear_points(cx, cy, r, r * 0.78, teeth, turn), ink)
    m.circle(cx, cy, r * 0.74, ink)
    m.circle(cx, cy, r * hole, 0)


def sparkle(m, cx, cy, r, ink=255):
    """A four-pointed star."""
    w = r * 0.28
    m.poly([(cx, cy - r), (cx + w, cy - w), (cx + r, cy), (cx + w, cy + w),
            (cx, cy + r), (cx - w, cy + w), (cx - r, cy), (cx - w, cy - w)], ink)


def glyph_drive(m, x, y, k=1.0):
    p = lambda u, v: (x + u * k, y + v * k)
    m.rect(*p(2, 12), *p(26, 29), r=4 * k)
    m.rect(*p(6, 22.6), *p(16, 24.6), r=1 * k, ink=0)
    m.circle(*p(21.5, 23.6), 1.7 * k, 0)
    m.rect(*p(2, 18), *p(26, 19.2), ink=0)
    sparkle(m, *p(26.5, 6.5), 5.5 * k)
    sparkle(m, *p(18.5, 4.5), 2.6 * k)


def arrow_head(m, cx, cy, r, angle_deg, size, ink=255):
    """A triangle at the end of an arc of radius r, pointing along the clockwise tangent."""
    t = math.radians(angle_deg)
    px, py = cx + r * math.cos(t), cy + r * math.sin(t)
    tx, ty = -math.sin(t), math.cos(t)          # clockwise tangent
    nx, ny = math.cos(t), math.sin(t)           # outward normal
    m.poly([(px + tx * size, py + ty * size),
            (px + nx * size * 0.9 - tx * size * 0.2, py + ny * size * 0.9 - ty * size * 0.2),
            (px - nx * size * 0.9 - tx * size * 0.2, py - ny * size * 0.9 - ty * size * 0.2)], ink)


def glyph_monitor(m, x, y, k=1.0):
    p = lambda u, v: (x + u * k, y + v * k)
    m.rect(*p(2, 4), *p(30, 24), r=3 * k)
    m.rect(*p(4.6, 6.6), *p(27.4, 21.4), r=1.2 * k, ink=0)
    m.poly([p(13.5, 24), p(18.5, 24), p(19.5, 28), p(12.5, 28)])
    m.rect(*p(9, 27.4), *p(23, 29.6), r=1.1 * k)
    m.arc(*p(16, 14), 4.6 * k, 200, 470, 2.1 * k)
    arrow_head(m, *p(16, 14), 4.6 * k, 110, 3.2 * k)


def gamepad_shape(m, x, y, k=1.0, ink=255):
    p = lambda u, v: (x + u * k, y + v * k)
    m.rect(*p(3, 8), *p(29, 21), r=6.5 * k, ink=ink)
    m.ellipse(*p(8.4, 20), 5.6 * k, 7.4 * k, ink)
    m.ellipse(*p(23.6, 20), 5.6 * k, 7.4 * k, ink)
    m.ellipse(*p(16, 26.5), 5.2 * k, 4.6 * k, 0)


def glyph_gamepad(m, x, y, k=1.0):
    p = lambda u, v: (x + u * k, y + v * k)
    gamepad_shape(m, x, y, k)
    m.rect(*p(7.6, 11.2), *p(10, 18.8), r=0.6 * k, ink=0)
    m.rect(*p(5, 13.8), *p(12.6, 16.2), r=0.6 * k, ink=0)
    m.circle(*p(21.2, 16.4), 1.75 * k, 0)
    m.circle(*p(24.6, 13), 1.75 * k, 0)


# ---------------------------------------------------------------------------
# Title-bar buttons and the window shadow.

def window_button(glyph, hot, pushed):
    cells = []
    for state in range(3):
        c = Canvas(42, 30)
        bg = c.mask()
        bg.rect(0, 0, 42, 30)
        if state == 1:
            c.paint(bg, *hot)
        elif state == 2:
            c.paint(bg, *pushed)
        g = c.mask()
        glyph(g)
        c.paint(g, WHITE)
        cells.append(c.result())
    return side_by_side(cells)


def close_glyph(m):
    m.line([(16, 10), (26, 20)], 1.6)
    m.line([(26, 10), (16, 20)], 1.6)


def hide_glyph(m):
    m.line([(16, 15.5), (26, 15.5)], 1.6)


def make_shadow():
    # A large blurred panel, cut down to its corners: the middle rows and
    # columns are stretched by the toolkit, the corners are drawn as they are.
    big, edge, corner = 200, 25, 32
    alpha = Image.new("L", (big, big), 0)
    ImageDraw.Draw(alpha).rounded_rectangle([edge, edge + 2, big - edge - 1, big - edge + 1],
                                            radius=5, fill=255)
    alpha = alpha.filter(ImageFilter.GaussianBlur(7)).point(lambda v: int(v * 0.30))
    small = Image.new("L", (64, 64), 0)
    for sx, sy in ((0, 0), (1, 0), (0, 1), (1, 1)):
        box = (sx * (big - corner), sy * (big - corner), sx * (big - corner) + corner,
               sy * (big - corner) + corner)
        small.paste(alpha.crop(box), (sx * corner, sy * corner))
    hole = Image.new("L", (64, 64), 0)
    ImageDraw.Draw(hole).rounded_rectangle([25, 25, 38, 38], radius=3, fill=255)
    small.paste(0, (0, 0), hole)
    out = Image.new("RGBA", (64, 64), (16, 38, 74, 0))
    out.putalpha(small)
    return out


# ---------------------------------------------------------------------------
# The landing page: logo, feature tabs, action button.

def make_logo():
    w, h = 210, 56
    c = Canvas(w, h)
    shield = c.mask()
    right = bezier((24, 5.5), (31, 5.5), (37, 8), (41, 10)) + [(41, 25)] + \
        bezier((41, 25), (41, 38), (33, 46), (24, 51))
    shield.poly(right + [(48 - x, y) for x, y in reversed(right)])
    c.paint(shield, WHITE)
    tick = c.mask()
    tick.line([(15.5, 28), (21.5, 34), (32.5, 21.5)], 4.8)
    c.paint(tick, BAND)
    word = c.mask()
    word.text(54, 26, "Vantoro", font(LATIN_BOLD, 25), anchor="ls")
    c.paint(word, WHITE)
    sub = c.mask()
    sub.text(55, 45, "电脑修复助手 · 安全 专业", font(CJK, 12.5), anchor="ls")
    c.paint(sub, WHITE, 0.88)
    return c.result()


def make_nav(glyph, label):
    cells = []
    for state in range(3):  # normal, hot, selected
        c = Canvas(150, 72)
        chip = c.mask()
        chip.rect(4, 4, 146, 68, r=8)
        if state == 1:
            c.paint(chip, WHITE, 0.16)
        elif state == 2:
            c.paint(chip, WHITE)
        ink, alpha = (BAND, 1.0) if state == 2 else (WHITE, 0.86 if state == 0 else 1.0)
        g = c.mask()
        glyph(g, 59, 7, 1.0)
        t = c.mask()
        t.text(75, 54, label, font(CJK, 15))
        c.paint(g, ink, alpha)
        c.paint(t, ink, alpha)
        cells.append(c.result())
    return side_by_side(cells)


def make_action_button():
    c = Canvas(170, 53)
    shade = c.mask()
    shade.rect(1, 2, 169, 53, r=8)
    c.paint(shade, DEEP, 0.35)
    body = c.mask()
    body.rect(1, 0, 169, 51, r=8)
    c.paint_gradient(body, (0x3D, 0xA2, 0xFF), (0x0A, 0x78, 0xF0))
    gloss = c.mask()
    gloss.rect(3, 1.5, 167, 24, r=7)
    c.paint(gloss, WHITE, 0.10)
    return c.result()


def make_progress():
    bk = Canvas(300, 22)
    track = bk.mask()
    track.rect(0, 0, 300, 22, r=11)
    bk.paint(track, (0xE4, 0xEE, 0xFA))
    fore = Canvas(300, 22)
    bar = fore.mask()
    bar.rect(0, 0, 300, 22, r=11)
    fore.paint_gradient(bar, (0x4F, 0xB2, 0xFF), (0x00, 0x7C, 0xF2))
    shine = fore.mask()
    shine.rect(5, 2.5, 295, 9, r=3.5)
    fore.paint(shine, WHITE, 0.22)
    return bk.result(), fore.result()


def cloud(m, dx, dy, grow=0.0, ink=255):
    m.circle(dx + 33, dy + 33, 13 + grow, ink)
    m.circle(dx + 52, dy + 27, 18 + grow, ink)
    m.circle(dx + 70, dy + 36, 12 + grow, ink)
    m.rect(dx + 22 - grow, dy + 33 - grow, dx + 80 + grow, dy + 48 + grow, r=10 + grow, ink=ink)


def make_download_picture():
    c = Canvas(99, 70)
    outline = c.mask()
    cloud(outline, 0, 2, 0.0)
    c.paint(outline, BAND)
    fill = c.mask()
    cloud(fill, 0, 2, -2.6)
    c.paint(fill, (0xF2, 0xF8, 0xFF))
    # the arrow, standing out below the cloud
    gap = c.mask()
    gap.rect(43.5, 27, 57.5, 56)
    gap.poly([(37, 50), (64, 50), (50.5, 65)])
    c.paint(gap, WHITE)
    arrow = c.mask()
    arrow.rect(46.5, 29, 54.5, 53, r=1.5)
    arrow.poly([(40.5, 49), (60.5, 49), (50.5, 61)])
    c.paint_gradient(arrow, (0x3D, 0xA2, 0xFF), TITLE)
    tray = c.mask()
    tray.line([(36, 66), (65, 66)], 2.6)
    c.paint(tray, (0xBF, 0xDB, 0xFA))
    return c.result()


# ---------------------------------------------------------------------------
# The four animations: 195x210 on the white page.

GW, GH, FRAMES, DELAY = 195, 210, 24, 90


def backdrop(c):
    disc = c.mask()
    disc.circle(97.5, 100, 84)
    c.paint(disc, PALE)
    ground = c.mask()
    ground.ellipse(97.5, 182, 62, 7)
    c.paint(ground, MIST)


def dots(c, t, spots):
    """Twinkling sparkles: (x, y, size, phase)."""
    for x, y, r, phase in spots:
        glow = 0.5 + 0.5 * math.sin(2 * math.pi * (t + phase))
        m = c.mask()
        sparkle(m, x, y, r * (0.65 + 0.35 * glow))
        c.paint(m, ORANGE if r > 5 else BAND, 0.35 + 0.65 * glow)


def frame_dll(t):
    c = Canvas(GW, GH, WHITE + (255,))
    backdrop(c)
    # a program window with a missing piece
    shadow = c.mask()
    shadow.rect(36, 54, 160, 160, r=10)
    c.paint(shadow, MIST)
    card = c.mask()
    card.rect(34, 50, 158, 156, r=10)
    c.paint(card, BAND)
    body = c.mask()
    body.rect(36, 72, 156, 154, r=8)
    body.rect(36, 72, 156, 80)
    c.paint(body, WHITE)
    for i, x in enumerate((46, 54, 62)):
        d = c.mask()
        d.circle(x, 61, 2.6)
        c.paint(d, WHITE, 0.9 if i == 0 else 0.6)
    lines = c.mask()
    for y, w in ((88, 48), (100, 40), (112, 50), (124, 34), (136, 44)):
        lines.rect(46, y, 46 + w, y + 5, r=2.5)
    c.paint(lines, (0xE2, 0xEC, 0xF8))
    slot = c.mask()
    glyph_puzzle(slot, 104, 90, 1.35)
    c.paint(slot, (0xDD, 0xEA, 0xFA))
    # the piece floats down into its place and lifts again
    lift = 26 * (0.5 + 0.5 * math.cos(2 * math.pi * t))
    near = 1 - lift / 26
    hint = c.mask()
    glyph_puzzle(hint, 104, 90, 1.35)
    c.paint(hint, DEEP, 0.10 + 0.20 * near)
    piece = c.mask()
    glyph_puzzle(piece, 104 + lift * 0.35, 90 - lift, 1.35)
    c.paint(piece, ORANGE)
    shine = c.mask()
    glyph_puzzle(shine, 104 + lift * 0.35, 90 - lift, 1.35)
    glyph_puzzle(shine, 104 + lift * 0.35 + 2.2, 90 - lift + 2.2, 1.35, ink=0)
    c.paint(shine, WHITE, 0.35)
    # gears turning in step
    turn = 45 * t
    g1 = c.mask()
    glyph_gear(g1, 150, 150, 22, 8, turn, hole=0.36)
    c.paint(g1, DEEP)
    g2 = c.mask()
    glyph_gear(g2, 121.5, 170.5, 13.5, 6, -60 * t + 30, hole=0.36)
    c.paint(g2, TITLE)
    # a check badge while the piece sits in place
    if near > 0.86:
        a = (near - 0.86) / 0.14
        badge = c.mask()
        badge.circle(158, 52, 12)
        c.paint(badge, GREEN, a)
        tick = c.mask()
        tick.line([(152.5, 52.5), (156.5, 56.5), (163.5, 48)], 2.6)
        c.paint(tick, WHITE, a)
    dots(c, t, [(30, 40, 6, 0.0), (170, 96, 4, 0.35), (24, 128, 4, 0.7)])
    return c.result()


def frame_cleaner(t):
    c = Canvas(GW, GH, WHITE + (255,))
    backdrop(c)
    # junk rising out of the drive and fading away
    bits = [(70, 0.00, ORANGE, 0), (92, 0.33, RED, 1), (118, 0.66, (0x9A, 0xA8, 0xBC), 0),
            (82, 0.50, (0x9A, 0xA8, 0xBC), 1), (108, 0.16, ORANGE, 1), (130, 0.83, RED, 0)]
    for x, phase, color, shape in bits:
        u = (t + phase) % 1.0
        y = 112 - 78 * u
        drift = 7 * math.sin(2 * math.pi * (u + phase))
        fade = math.sin(math.pi * u)
        size = 4.5 - 1.5 * u
        m = c.mask()
        if shape:
            m.circle(x + drift, y, size)
        else:
            m.rect(x + drift - size, y - size, x + drift + size, y + size, r=1.5)
        c.paint(m, color, 0.85 * fade)
    # the drive
    shadow = c.mask()
    shadow.rect(34, 118, 162, 178, r=12)
    c.paint(shadow, MIST)
    body = c.mask()
    body.rect(32, 112, 160, 174, r=12)
    c.paint_gradient(body, (0x3D, 0xA2, 0xFF), (0x0F, 0x6E, 0xE0))
    face = c.mask()
    face.rect(40, 120, 152, 166, r=8)
    c.paint(face, WHITE, 0.14)
    label = c.mask()
    label.text(58, 143, "C:", font(LATIN_BOLD, 19))
    c.paint(label, WHITE)
    track = c.mask()
    track.rect(78, 138, 144, 148, r=5)
    c.paint(track, WHITE, 0.35)
    used = 0.78 - 0.40 * ease(min(1.0, t / 0.45)) if t < 0.9 else 0.38 + 0.40 * ease((t - 0.9) / 0.1)
    fill = c.mask()
    fill.rect(78, 138, 78 + 66 * used, 148, r=5)
    c.paint(fill, ORANGE if used > 0.6 else GREEN)
    led = c.mask()
    led.circle(146, 160, 2.4)
    c.paint(led, GREEN, 0.5 + 0.5 * math.sin(2 * math.pi * t * 4))
    # a broom sweeping over the drive
    broom = Canvas(GW, GH)
    handle = broom.mask()
    handle.line([(120, 28), (108, 96)], 5)
    broom.paint(handle, (0xC8, 0x8A, 0x4E))
    band = broom.mask()
    band.rect(98, 92, 120, 100, r=3)
    broom.paint(band, DEEP)
    bristles = broom.mask()
    bristles.poly([(99, 99), (119, 99), (126, 124), (92, 124)])
    broom.paint(bristles, YELLOW)
    lines = broom.mask()
    for x0, x1 in ((104, 101), (109, 109), (114, 117)):
        lines.line([(x0, 102), (x1, 121)], 1.2)
    broom.paint(lines, ORANGE)
    swing = 14 * math.sin(2 * math.pi * t * 2)
    c.layer(broom, swing, pivot=(120, 28))
    dots(c, t, [(152, 64, 7, 0.1), (44, 76, 5, 0.55), (166, 100, 4, 0.8)])
    return c.result()


def frame_reinstall(t):
    c = Canvas(GW, GH, WHITE + (255,))
    backdrop(c)
    shadow = c.mask()
    shadow.rect(30, 56, 168, 150, r=10)
    c.paint(shadow, MIST)
    frame = c.mask()
    frame.rect(28, 50, 166, 144, r=10)
    c.paint(frame, NAVY)
    screen = c.mask()
    screen.rect(35, 57, 159, 134, r=5)
    c.paint_gradient(screen, (0x4A, 0xAA, 0xFF), (0x0B, 0x70, 0xE6))
    neck = c.mask()
    neck.poly([(87, 144), (109, 144), (113, 164), (83, 164)])
    c.paint(neck, (0x2E, 0x50, 0x86))
    base = c.mask()
    base.rect(66, 162, 130, 172, r=5)
    c.paint(base, NAVY)
    # two arrows chasing round
    spin = 180 * t
    arrows = c.mask()
    for k in (0, 180):
        a0 = spin + k + 20
        arrows.arc(97, 90, 21, a0, a0 + 125, 5)
        arrow_head(arrows, 97, 90, 21, a0 + 125, 8.5)
    c.paint(arrows, WHITE)
    win = c.mask()
    win.rect(87, 81, 107, 99, r=2.5)
    c.paint(win, WHITE)
    bar = c.mask()
    bar.rect(89, 86, 105, 97, r=1)
    c.paint(bar, TITLE)
    # a moving stripe in the install bar
    bar = c.mask()
    bar.rect(58, 121, 136, 126, r=2.5)
    c.paint(bar, WHITE, 0.3)
    run = c.mask()
    x = 58 + (78 + 28) * t - 28
    run.rect(max(58, x), 121, min(136, x + 28), 126, r=2.5)
    if min(136, x + 28) - max(58, x) > 3:
        c.paint(run, WHITE)
    dots(c, t, [(170, 40, 7, 0.25), (22, 70, 5, 0.6), (174, 150, 4, 0.9)])
    return c.result()


def frame_directx(t):
    c = Canvas(GW, GH, WHITE + (255,))
    backdrop(c)
    # components drifting in
    for x, phase, color in ((42, 0.0, ORANGE), (122, 0.5, GREEN), (84, 0.25, TITLE)):
        u = (t + phase) % 1.0
        y = 36 + 10 * math.sin(2 * math.pi * u)
        m = c.mask()
        m.rect(x - 7, y - 7, x + 7, y + 7, r=3)
        c.paint(m, color, 0.85)
        hl = c.mask()
        hl.rect(x - 4, y - 4, x + 1, y + 1, r=1.5)
        c.paint(hl, WHITE, 0.5)
    pad = Canvas(GW, GH)
    shape = pad.mask()
    gamepad_shape(shape, 30, 58, 4.2)
    pad.paint_gradient(shape, (0x3D, 0x64, 0xA0), NAVY)
    k, ox, oy = 4.2, 30, 58
    p = lambda u, v: (ox + u * k, oy + v * k)
    cross = pad.mask()
    cross.rect(*p(7.7, 11.4), *p(9.9, 18.6), r=2)
    cross.rect(*p(5.2, 13.9), *p(12.4, 16.1), r=2)
    pad.paint(cross, WHITE, 0.9)
    for i, (u, v, color) in enumerate(((24.6, 12.2, GREEN), (27.2, 14.8, RED), (22, 14.8, YELLOW),
                                       (24.6, 17.4, TITLE))):
        lit = max(0.0, math.cos(2 * math.pi * (t - i / 4))) ** 3
        b = pad.mask()
        b.circle(*p(u, v), 1.15 * k)
        pad.paint(b, color, 0.55 + 0.45 * lit)
        glow = pad.mask()
        glow.circle(*p(u, v), 1.15 * k * (1.0 + 0.6 * lit))
        pad.paint(glow, color, 0.25 * lit)
    sticks = pad.mask()
    sticks.circle(*p(12.5, 21.5), 2.2 * k)
    sticks.circle(*p(19.5, 21.5), 2.2 * k)
    pad.paint(sticks, (0x15, 0x2A, 0x4D))
    tops = pad.mask()
    tops.circle(*p(12.5, 21.5), 1.4 * k)
    tops.circle(*p(19.5, 21.5), 1.4 * k)
    pad.paint(tops, (0x5A, 0x7E, 0xB8))
    c.layer(pad, 5 * math.sin(2 * math.pi * t), pivot=(97, 120), dy=-2 * math.cos(2 * math.pi * t))
    # the DX badge
    bob = 3 * math.sin(2 * math.pi * t + 1)
    hexa = c.mask()
    hexa.poly([(156 + 17 * math.cos(math.radians(60 * i + 30)),
                62 + bob + 17 * math.sin(math.radians(60 * i + 30))) for i in range(6)])
    c.paint(hexa, ORANGE)
    dx = c.mask()
    dx.text(156, 63 + bob, "DX", font(LATIN_BOLD, 12.5))
    c.paint(dx, WHITE)
    dots(c, t, [(26, 100, 6, 0.4), (176, 112, 4, 0.75)])
    return c.result()


# ---------------------------------------------------------------------------
# The crash report's picture: a report under a magnifier, with the fault found.

def make_report_picture():
    c = Canvas(150, 128)
    disc = c.mask()
    disc.circle(75, 64, 60)
    c.paint(disc, PALE)
    shadow = c.mask()
    shadow.rect(40, 22, 104, 110, r=7)
    c.paint(shadow, MIST)
    paper = c.mask()
    paper.rect(37, 18, 101, 106, r=7)
    c.paint(paper, WHITE)
    rim = c.mask()
    rim.rect(37, 18, 101, 106, r=7)
    rim.rect(39, 20, 99, 104, r=5.5, ink=0)
    c.paint(rim, (0xC6, 0xDD, 0xF8))
    head = c.mask()
    head.rect(46, 28, 80, 34, r=3)
    c.paint(head, TITLE)
    lines = c.mask()
    for y, w in ((44, 44), (54, 36), (64, 42), (74, 28), (84, 38)):
        lines.rect(46, y, 46 + w, y + 4.5, r=2.2)
    c.paint(lines, (0xE0, 0xEA, 0xF7))
    # magnifier over a small bug
    lens = c.mask()
    lens.circle(94, 76, 20)
    c.paint(lens, WHITE, 0.92)
    bug = c.mask()
    bug.ellipse(94, 78, 6.5, 8.5)
    bug.circle(94, 67.5, 4)
    for dy in (-3, 1.5, 6):
        bug.line([(84.5, 76 + dy), (89, 78 + dy)], 1.5)
        bug.line([(103.5, 76 + dy), (99, 78 + dy)], 1.5)
    bug.line([(91.5, 64.5), (88.5, 60.5)], 1.3)
    bug.line([(96.5, 64.5), (99.5, 60.5)], 1.3)
    c.paint(bug, RED)
    seam = c.mask()
    seam.line([(94, 71.5), (94, 85.5)], 1.1)
    c.paint(seam, WHITE, 0.8)
    ring = c.mask()
    ring.circle(94, 76, 21.5)
    ring.circle(94, 76, 17.5, 0)
    ring.line([(109.5, 91.5), (124, 106)], 7)
    c.paint(ring, NAVY)
    grip = c.mask()
    grip.line([(114, 96), (124, 106)], 7)
    c.paint(grip, ORANGE)
    return c.result()

# ---------------------------------------------------------------------------
# The programs' icons: the logo's shield on a rounded tile.

ICON_SIZES = (16, 32, 48, 256)


def make_icon(size, top, bottom, mark):
    """One image of an icon, drawn on a 48-unit grid scaled to size pixels.
    Small sizes get a bolder shield so that it still reads at 16 pixels."""
    k = size / 48.0
    c = Canvas(size, size)
    tile = c.mask()
    inset = 1.0 if size > 16 else 0.0
    tile.rect(inset * k, inset * k, (48 - inset) * k, (48 - inset) * k, r=10 * k)
    c.paint_gradient(tile, top, bottom)
    shield = c.mask()
    half = 17.0 if size > 16 else 19.0
    top_y, bottom_y = (8.0, 41.0) if size > 16 else (5.5, 43.5)
    right = bezier((24, top_y), (24 + half * 0.45, top_y), (24 + half * 0.8, top_y + 2.5),
                   (24 + half, top_y + 4.5)) + [(24 + half, top_y + 17)] + \
        bezier((24 + half, top_y + 17), (24 + half, top_y + 27), (24 + half * 0.5, bottom_y - 3), (24, bottom_y))
    outline = right + [(48 - x, y) for x, y in reversed(right)]
    shield.poly([(x * k, y * k) for x, y in outline])
    c.paint(shield, WHITE)
    mark(c, k, size, top)
    return c.result()


def tick_mark(c, k, size, color):
    tick = c.mask()
    width = 5.2 if size > 16 else 7.0
    tick.line([(15.5 * k, 25 * k), (21.5 * k, 31 * k), (32.5 * k, 18.5 * k)], width * k)
    c.paint(tick, color)


def exclamation_mark(c, k, size, color):
    m = c.mask()
    width = 5.0 if size > 16 else 6.5
    m.line([(24 * k, 14 * k), (24 * k, 24.5 * k)], width * k)
    m.circle(24 * k, 31.5 * k, width * 0.62 * k)
    c.paint(m, color)


def bmp_entry(image):
    """An icon image as a bottom-up 32-bit DIB with its (empty) AND mask."""
    w, h = image.size
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rgba = image.convert("RGBA")
    rows = []
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for x in range(w):
            r, g, b, a = rgba.getpixel((x, y))
            row += bytes((b, g, r, a))
        rows.append(bytes(row))
    mask_row = ((w + 31) // 32) * 4
    return header + b"".join(rows) + b"\0" * (mask_row * h)


def save_ico(images, relative):
    entries = []
    for image in images:
        if image.size[0] >= 256:
            buf = io.BytesIO()
            image.save(buf, format="PNG", optimize=True)
            entries.append((image.size[0], buf.getvalue()))
        else:
            entries.append((image.size[0], bmp_entry(image)))
    data = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, blob in entries:
        side = 0 if size >= 256 else size  # 0 means 256
        data += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    data += b"".join(blob for _, blob in entries)
    path = os.path.join(ROOT, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    print(relative, [size for size, _ in entries])


def sharp_images():
    """The images that get a double-size twin: (relative path, draw)."""
    images = [
        ("common/img/close.png",
         lambda: window_button(close_glyph, ((0xE8, 0x47, 0x4A), 1.0), ((0xC7, 0x35, 0x38), 1.0))),
        ("common/img/hide.png", lambda: window_button(hide_glyph, (WHITE, 0.18), ((0, 0, 0), 0.14))),
        ("common/img/prog_bk.png", lambda: make_progress()[0]),
        ("common/img/prog_fore.png", lambda: make_progress()[1]),
        ("fixer/img1/logo.png", make_logo),
    ]
    for name, glyph, label in (("nav_dll", glyph_puzzle, "DLL修复"),
                               ("nav_c", glyph_drive, "C盘瘦身"),
                               ("nav_xt", glyph_monitor, "系统重装"),
                               ("nav_directx", glyph_gamepad, "DirectX修复")):
        images.append(("fixer/img1/%s.png" % name, lambda g=glyph, t=label: make_nav(g, t)))
    images += [
        ("fixer/img1/btn1.png", make_action_button),
        ("fixer/img/download_outline.png", make_download_picture),
        ("dumper/img/report.png", make_report_picture),
    ]
    return images


def twin_name(relative):
    stem, ext = os.path.splitext(relative)
    return stem + "@2x" + ext


def main():
    global S, D
    images = sharp_images()
    for relative, draw in images:
        save_png(draw(), relative)
    S, D = S * 2, 2
    for relative, draw in images:
        save_png(draw(), twin_name(relative))
    S, D = S // 2, 1
    save_png(make_shadow(), "common/img/shadow2.png")
    animations = (("dll", frame_dll), ("ccleaner", frame_cleaner),
                  ("reinstall", frame_reinstall), ("directx", frame_directx))
    for name, draw in animations:
        save_gif([draw(i / FRAMES) for i in range(FRAMES)], "fixer/img1/%s.gif" % name, DELAY)
    S, D = S * 2, 2
    for name, draw in animations:
        save_gif([draw(i / FRAMES) for i in range(FRAMES)], "fixer/img1/%s@2x.gif" % name, DELAY, deltas=True)
    S, D = S // 2, 1

    save_ico([make_icon(n, BAND, DEEP, tick_mark) for n in ICON_SIZES], "app/Vantoro.ico")
    save_ico([make_icon(n, ORANGE, (0xE8, 0x5A, 0x2A), exclamation_mark) for n in ICON_SIZES], "app/dumper.ico")


if __name__ == "__main__":
    sys.exit(main())
