#!/usr/bin/python3
# Draws the wizard's artwork (skin images and the application icon) and the images the Windows tests
# load, so that every picture in the repository can be rebuilt from this one file.
#
#   scripts/make_skin.py                     regenerate resources/skin/*.png, resources/Setup.ico and
#                                            tests/win/data/*.png, then check them
#   scripts/make_skin.py --preview out.png   also compose the window the way the program does
#
# Needs Debian's python3-pil and fonts-dejavu-core (hence the system interpreter in the first line:
# a python3 from elsewhere on PATH may lack PIL). Output is reproducible: every random texture comes from
# a fixed seed and the PNGs carry no metadata chunks (no time stamp, no resolution, no text).
#
# The program flattens each image onto opaque white before drawing it (alpha only decides the blend with
# white), and draws the images over one another without blending. So every picture below that lies on
# top of another carries the colour of what is under it as an opaque background, and everything meant
# to look "transparent" ends up white on screen.

import argparse
import math
import os
import random
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SKIN_DIR = os.path.join(ROOT, "resources", "skin")
ICON_PATH = os.path.join(ROOT, "resources", "Setup.ico")
TEST_DATA_DIR = os.path.join(ROOT, "tests", "win", "data")
FONT_DIR = "/usr/share/fonts/truetype/dejavu"

# The panels' fill. The controls placed over the panels take their colour from the title image's
# top-left pixel, so both must be exactly this colour for the controls to disappear into the panels.
PANEL = (236, 236, 235)
PANEL_BORDER = (193, 200, 210)
SHADOW = (24, 44, 72)
ACCENT = (47, 108, 172)
ACCENT_DARK = (26, 66, 120)
TEXT_DARK = (27, 62, 110)
TEXT_SOFT = (86, 100, 120)
HEART_TOP = (86, 154, 220)
HEART_BOTTOM = (30, 86, 152)

PRODUCT_DESCRIPTION = "Комплекс суточного мониторирования электрокардиограмм"
PRODUCT_NAME = "ТЕССАРО - ХОЛТЕР"

# Window geometry the artwork is drawn for: the main image is drawn at MAIN_ORIGIN, and the two
# controls sit at these window rectangles (left, top, width, height).
CLIENT = (972, 583)
MAIN_ORIGIN = (-3, 95)
LOGO_ORIGIN = (17, 15)
TITLE_TOP = 20
INFO_BOX = (16, 110, 282, 441)
PAGES_BOX = (320, 110, 619, 441)
PANEL_MARGIN = 6     # panel visible around each control
PANEL_RADIUS = 10

SS = 4               # supersampling factor for anti-aliased shapes


def font(name, size):
    path = os.path.join(FONT_DIR, name)
    if not os.path.exists(path):
        sys.exit(f"make_skin: {path} is missing; install the Debian package fonts-dejavu-core")
    return ImageFont.truetype(path, size)


def save_png(img, path):
    # A fresh Image carries no info dictionary, so PIL writes only IHDR, IDAT and IEND (plus PLTE/tRNS
    # for palette images, which we never make).
    os.makedirs(os.path.dirname(path), exist_ok=True)
    img.info.clear()
    img.save(path, format="PNG", optimize=True)


# ---------------------------------------------------------------------------------------------- shapes

def rounded_mask(size, box, radius):
    """Anti-aliased coverage mask (mode L) of a rounded rectangle; box is inclusive pixel edges."""
    w, h = size
    big = Image.new("L", (w * SS, h * SS), 0)
    x0, y0, x1, y1 = box
    ImageDraw.Draw(big).rounded_rectangle(
        (x0 * SS, y0 * SS, (x1 + 1) * SS - 1, (y1 + 1) * SS - 1), radius * SS, fill=255)
    return big.reduce(SS)


def solid(size, rgb, mask):
    layer = Image.new("RGBA", size, rgb + (0,))
    layer.putalpha(mask)
    return layer


def scaled(mask, factor):
    return mask.point(lambda v: int(round(v * factor)))


def shifted(mask, dx, dy):
    out = Image.new("L", mask.size, 0)
    out.paste(mask, (dx, dy))
    return out


def draw_panel(canvas, box, radius, shadow_blur, shadow_alpha, shadow_dy):
    """Light rounded panel with a 1-px border and a soft drop shadow, composed onto an RGBA canvas."""
    size = canvas.size
    outer = rounded_mask(size, box, radius)
    x0, y0, x1, y1 = box
    inner = rounded_mask(size, (x0 + 1, y0 + 1, x1 - 1, y1 - 1), radius - 1)
    shadow = shifted(outer, 0, shadow_dy).filter(ImageFilter.GaussianBlur(shadow_blur))
    canvas.alpha_composite(solid(size, SHADOW, scaled(shadow, shadow_alpha)))
    canvas.alpha_composite(solid(size, PANEL_BORDER, outer))
    canvas.alpha_composite(solid(size, PANEL, inner))
    return inner


# ------------------------------------------------------------------------------------------ the images

def make_background():
    """128x128 RGB tile: a quiet, slightly blue paper grain that repeats without seams."""
    n = 128
    rng = random.Random(20240611)

    def periodic_noise(blur):
        # Blurring a 3x3 tiling and keeping the centre makes the noise wrap around at the edges.
        tile = Image.new("L", (n, n))
        tile.putdata([int(rng.random() * 255) for _ in range(n * n)])
        big = Image.new("L", (3 * n, 3 * n))
        for ty in range(3):
            for tx in range(3):
                big.paste(tile, (tx * n, ty * n))
        big = big.filter(ImageFilter.GaussianBlur(blur))
        return list(big.crop((n, n, 2 * n, 2 * n)).getdata())

    def normalised(values):
        lo, hi = min(values), max(values)
        return [(v - lo) / max(1, hi - lo) - 0.5 for v in values]

    grain = normalised(periodic_noise(0.7))
    cloud = normalised(periodic_noise(9))
    base = (245, 246, 248)
    pixels = []
    for g, c in zip(grain, cloud):
        d = 4 * g + 5 * c
        pixels.append(tuple(max(0, min(255, int(round(b + d)))) for b in base))
    img = Image.new("RGB", (n, n))
    img.putdata(pixels)
    return img


def control_panel_box(control):
    """Panel rectangle (inclusive, in the main image's coordinates) around a control's window rect."""
    left, top, width, height = control
    x0 = left - MAIN_ORIGIN[0]
    y0 = top - MAIN_ORIGIN[1]
    return (x0 - PANEL_MARGIN, y0 - PANEL_MARGIN,
            x0 + width - 1 + PANEL_MARGIN, y0 + height - 1 + PANEL_MARGIN)


def make_main():
    """958x472 RGBA: the two panels under the information box and the pages, transparent around."""
    size = (958, 472)
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    for control in (INFO_BOX, PAGES_BOX):
        draw_panel(img, control_panel_box(control), PANEL_RADIUS,
                   shadow_blur=3.0, shadow_alpha=0.30, shadow_dy=2)
    return img


def make_title_bar_pieces():
    """Left end, right end and middle slice of the title bar, cut from one bar drawn in one go so
    that they join without a seam at any width."""
    piece_w, h, w = 22, 100, 160
    bar = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    # Rows 15..85 under the logo and the title stay plain panel colour: both images carry that colour
    # as their background. The main image covers rows 95..99, so nothing below row 94 is seen.
    top, bottom, side = 3, 90, 6
    inner = draw_panel(bar, (side, top, w - 1 - side, bottom), 9,
                       shadow_blur=1.6, shadow_alpha=0.32, shadow_dy=2)
    # A light line under the top border, and a blue accent line along the bottom.
    rows = Image.new("L", (w, h), 0)
    ImageDraw.Draw(rows).line((0, top + 1, w, top + 1), fill=150)
    bar.alpha_composite(solid((w, h), (252, 252, 252), ImageChops.multiply(rows, inner)))
    rows = Image.new("L", (w, h), 0)
    ImageDraw.Draw(rows).rectangle((0, bottom - 3, w, bottom - 2), fill=255)
    bar.alpha_composite(solid((w, h), ACCENT, ImageChops.multiply(rows, inner)))
    rows = Image.new("L", (w, h), 0)
    ImageDraw.Draw(rows).line((0, bottom - 1, w, bottom - 1), fill=255)
    bar.alpha_composite(solid((w, h), (214, 224, 236), ImageChops.multiply(rows, inner)))

    left = bar.crop((0, 0, piece_w, h))
    right = bar.crop((w - piece_w, 0, w, h))
    middle = bar.crop((w // 2, 0, w // 2 + 1, h))
    # Every column from the end of the left piece to the start of the right one must equal the slice.
    for x in range(piece_w, w - piece_w):
        if list(bar.crop((x, 0, x + 1, h)).getdata()) != list(middle.getdata()):
            sys.exit(f"make_skin: title bar column {x} differs from the middle slice")
    return left, right, middle


def heart_polygon(cx, cy, scale, steps=240):
    points = []
    for i in range(steps):
        t = 2 * math.pi * i / steps
        x = 16 * math.sin(t) ** 3
        y = 13 * math.cos(t) - 5 * math.cos(2 * t) - 2 * math.cos(3 * t) - math.cos(4 * t)
        points.append((cx + x * scale, cy - y * scale))
    return points


def ecg_trace(x0, x1, baseline, amp):
    """Points of one stylised heartbeat (P, QRS, T) between x0 and x1."""
    shape = [(0.00, 0), (0.20, 0), (0.25, 0.12), (0.30, 0), (0.37, 0), (0.41, -0.22), (0.47, 1.0),
             (0.53, -0.55), (0.58, 0), (0.66, 0), (0.72, 0.22), (0.80, 0), (1.00, 0)]
    return [(x0 + (x1 - x0) * fx, baseline - amp * fy) for fx, fy in shape]


def draw_heart_mark(size, background, trace_width, pad):
    """The maker's mark: a blue heart crossed by an ECG trace, white on the heart and dark blue beyond.
    Drawn large and reduced, so it is smooth at any size; background None gives a transparent one."""
    w, h = size
    k = 8
    W, H = w * k, h * k
    heart = Image.new("L", (W, H), 0)
    # The curve spans 32 x ~29 units; fit it in the box less the padding.
    scale = min((W - 2 * pad * k) / 33.0, (H - 2 * pad * k) / 30.0)
    ImageDraw.Draw(heart).polygon(heart_polygon(W / 2, H / 2 + 0.5 * scale, scale), fill=255)
    gradient = Image.new("RGB", (1, H))
    for y in range(H):
        t = y / (H - 1)
        gradient.putpixel((0, y), tuple(int(round(a + (b - a) * t)) for a, b in zip(HEART_TOP, HEART_BOTTOM)))
    gradient = gradient.resize((W, H))

    trace = Image.new("L", (W, H), 0)
    pts = ecg_trace(pad * k * 0.2, W - pad * k * 0.2, H * 0.55, H * 0.30)
    ImageDraw.Draw(trace).line(pts, fill=255, width=max(1, int(round(trace_width * k))), joint="curve")
    inside = ImageChops.multiply(trace, heart)
    outside = ImageChops.subtract(trace, heart)

    if background is None:
        img = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    else:
        img = Image.new("RGBA", (W, H), background + (255,))
    img.alpha_composite(Image.merge("RGBA", (*gradient.split(), heart)))
    img.alpha_composite(solid((W, H), (255, 255, 255), inside))
    img.alpha_composite(solid((W, H), ACCENT_DARK, outside))
    # PIL reduces RGBA images premultiplied, so the edges keep their colour.
    return img.reduce(k)


def make_logo():
    """72x70 RGBA logo on the title bar's colour (it is drawn opaque over the bar)."""
    return draw_heart_mark((72, 70), PANEL, trace_width=3.2, pad=4)


def make_title():
    """500x66 RGBA: the product description above the product name, on the panel colour."""
    size = (500, 66)
    img = Image.new("RGBA", size, PANEL + (255,))
    d = ImageDraw.Draw(img)

    small = font("DejaVuSans.ttf", 13)
    d.text((size[0] / 2, 3), PRODUCT_DESCRIPTION, font=small, fill=TEXT_SOFT, anchor="mt")

    # Large capitals with a little tracking, centred as a whole.
    big = font("DejaVuSans-Bold.ttf", 36)
    tracking = 3
    widths = [big.getlength(ch) for ch in PRODUCT_NAME]
    total = sum(widths) + tracking * (len(PRODUCT_NAME) - 1)
    if total > size[0] - 8:
        sys.exit("make_skin: the product name does not fit the title image")
    x = (size[0] - total) / 2
    baseline = 58
    for ch, cw in zip(PRODUCT_NAME, widths):
        d.text((x, baseline), ch, font=big, fill=TEXT_DARK, anchor="ls")
        x += cw + tracking
    # A short accent rule between the two lines, clear of the small line's descenders.
    d.line((size[0] / 2 - 70, 23, size[0] / 2 + 70, 23), fill=ACCENT + (255,), width=1)
    return img


def make_icon_images():
    # Small sizes get a thicker trace and less padding so the mark stays legible.
    return [draw_heart_mark((16, 16), None, trace_width=2.0, pad=0),
            draw_heart_mark((32, 32), None, trace_width=2.6, pad=1),
            draw_heart_mark((48, 48), None, trace_width=3.2, pad=1)]


def make_test_alpha():
    img = Image.new("RGBA", (2, 1))
    img.putdata([(0, 0, 255, 128), (255, 0, 0, 0)])
    return img


def make_test_title():
    # Only the top-left pixel is (10,20,30); the other corners differ from it and from one another, so
    # reading a bottom-up bitmap the wrong way round, or the wrong pixel, gives a different colour.
    img = Image.new("RGBA", (4, 4), (200, 210, 220, 255))
    img.putpixel((0, 0), (10, 20, 30, 255))
    img.putpixel((3, 0), (90, 60, 30, 255))
    img.putpixel((0, 3), (40, 50, 60, 255))
    img.putpixel((3, 3), (120, 130, 140, 255))
    return img


# -------------------------------------------------------------------------------------------- preview

def flatten(img):
    """What the program makes of a PNG: blended onto opaque white."""
    white = Image.new("RGBA", img.size, (255, 255, 255, 255))
    white.alpha_composite(img.convert("RGBA"))
    return white.convert("RGB")


def compose_window(skin):
    w, h = CLIENT
    out = Image.new("RGB", CLIENT)
    tile = flatten(skin["BACKGROUND"])
    for y in range(0, h + 1, 128):
        for x in range(0, w + 1, 128):
            out.paste(tile, (x, y))
    left, right, mid = (flatten(skin[n]) for n in ("TITLE_PNL_L", "TITLE_PNL_R", "TITLE_PNL_M"))
    out.paste(left, (0, 0))
    xr = w - right.width
    out.paste(right, (xr, 0))
    for x in range(left.width, xr):
        out.paste(mid, (x, 0))
    out.paste(flatten(skin["LOGO"]), (left.width - 5, 15))
    out.paste(flatten(skin["TITLE"]), ((w - skin["TITLE"].width) // 2, TITLE_TOP))
    out.paste(flatten(skin["MAIN"]), MAIN_ORIGIN)
    colour = skin["TITLE"].getpixel((0, 0))[:3]
    d = ImageDraw.Draw(out)
    for l, t, cw, ch in (INFO_BOX, PAGES_BOX):
        d.rectangle((l, t, l + cw - 1, t + ch - 1), fill=colour)
    return out


# ------------------------------------------------------------------------------------------- checking

EXPECTED = {
    "BACKGROUND": ((128, 128), "RGB"),
    "MAIN": ((958, 472), "RGBA"),
    "LOGO": ((72, 70), "RGBA"),
    "TITLE_PNL_L": ((22, 100), "RGBA"),
    "TITLE_PNL_R": ((22, 100), "RGBA"),
    "TITLE_PNL_M": ((1, 100), "RGBA"),
    "TITLE": ((500, 66), "RGBA"),
}


def check(skin_dir, test_dir, icon_path):
    problems = []
    loaded = {}
    for name, (size, mode) in EXPECTED.items():
        with Image.open(os.path.join(skin_dir, name + ".png")) as img:
            img.load()
            if img.size != size or img.mode != mode:
                problems.append(f"{name}: {img.size} {img.mode}, expected {size} {mode}")
            if set(img.info) - {"transparency"}:
                problems.append(f"{name}: carries metadata {sorted(img.info)}")
            loaded[name] = img.copy()

    if loaded["TITLE"].getpixel((0, 0)) != PANEL + (255,):
        problems.append(f"TITLE top-left pixel is {loaded['TITLE'].getpixel((0, 0))}")

    main = loaded["MAIN"]
    for control in (INFO_BOX, PAGES_BOX):
        left, top, width, height = control
        x0, y0 = left - MAIN_ORIGIN[0], top - MAIN_ORIGIN[1]
        colours = set(main.crop((x0, y0, x0 + width, y0 + height)).getdata())
        if colours != {PANEL + (255,)}:
            problems.append(f"MAIN under the control at {control[:2]} is not plain panel colour")
    w, h = main.size
    edge = [main.getpixel((x, y))[3] for x in range(w) for y in (0, h - 1)] + \
           [main.getpixel((x, y))[3] for y in range(h) for x in (0, w - 1)]
    if any(edge):
        problems.append("MAIN is not transparent along its edges")

    # The logo and the title are drawn over the title bar; their backgrounds must match it.
    mid = loaded["TITLE_PNL_M"]
    for y in range(LOGO_ORIGIN[1], TITLE_TOP + 66):
        if mid.getpixel((0, y)) != PANEL + (255,):
            problems.append(f"title bar row {y} is not panel colour under the logo and title")
            break
    for x in range(LOGO_ORIGIN[0], 22):
        for y in range(LOGO_ORIGIN[1], LOGO_ORIGIN[1] + 70):
            if loaded["TITLE_PNL_L"].getpixel((x, y)) != PANEL + (255,):
                problems.append(f"left title bar piece at ({x},{y}) is not panel colour under the logo")
                break

    with Image.open(os.path.join(test_dir, "test_alpha.png")) as img:
        if img.mode != "RGBA" or list(img.getdata()) != [(0, 0, 255, 128), (255, 0, 0, 0)]:
            problems.append("test_alpha.png has the wrong pixels")
    with Image.open(os.path.join(test_dir, "test_title.png")) as img:
        if img.mode != "RGBA" or img.size != (4, 4) or img.getpixel((0, 0)) != (10, 20, 30, 255):
            problems.append("test_title.png has the wrong top-left pixel")

    with Image.open(icon_path) as ico:
        sizes = sorted(ico.info.get("sizes", []))
        if sizes != [(16, 16), (32, 32), (48, 48)]:
            problems.append(f"Setup.ico holds {sizes}")

    return problems, loaded


def main():
    parser = argparse.ArgumentParser(description="Draws the skin images, the icon and the test images.")
    parser.add_argument("--preview", help="also write the composed window to this PNG file")
    args = parser.parse_args()

    skin = {"BACKGROUND": make_background(), "MAIN": make_main(), "LOGO": make_logo(),
            "TITLE": make_title()}
    skin["TITLE_PNL_L"], skin["TITLE_PNL_R"], skin["TITLE_PNL_M"] = make_title_bar_pieces()
    for name, img in skin.items():
        save_png(img, os.path.join(SKIN_DIR, name + ".png"))

    icons = make_icon_images()
    icons[-1].save(ICON_PATH, format="ICO", sizes=[i.size for i in icons],
                   append_images=icons[:-1], bitmap_format="bmp")

    save_png(make_test_alpha(), os.path.join(TEST_DATA_DIR, "test_alpha.png"))
    save_png(make_test_title(), os.path.join(TEST_DATA_DIR, "test_title.png"))

    problems, loaded = check(SKIN_DIR, TEST_DATA_DIR, ICON_PATH)
    if args.preview:
        compose_window(loaded).save(args.preview)
    if problems:
        for p in problems:
            print("make_skin:", p, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
