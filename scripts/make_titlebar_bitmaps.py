#!/usr/bin/env python3
"""Draws the ten title bar bitmaps: a dark band with a teal accent, the
product name, a help and a home button, each button with a hovered variant.

All bitmaps are 24 pixels high; their widths set the bar's layout, so the
name, help and home pieces keep the widths chosen here."""

import sys
from pathlib import Path

from PIL import Image, ImageDraw, ImageFont

HEIGHT = 24
SCALE = 4  # drawn large and reduced, for smooth edges

BAND_TOP = (62, 69, 84)
BAND_BOTTOM = (40, 45, 56)
HOVER_TOP = (78, 88, 108)
HOVER_BOTTOM = (54, 61, 77)
HIGHLIGHT = (96, 106, 126)
SHADOW = (24, 27, 34)
ACCENT = (52, 196, 176)
ACCENT_HOVER = (112, 232, 214)
TEXT = (226, 231, 238)
TEXT_HOVER = (255, 255, 255)
GLYPH = (200, 207, 218)

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"


def band(width, top=BAND_TOP, bottom=BAND_BOTTOM):
    """The bar's background: a vertical gradient between a light top line and a dark bottom line."""
    image = Image.new("RGB", (width * SCALE, HEIGHT * SCALE))
    draw = ImageDraw.Draw(image)
    for y in range(HEIGHT * SCALE):
        t = y / (HEIGHT * SCALE - 1)
        colour = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
        draw.line([(0, y), (width * SCALE, y)], fill=colour)
    draw.rectangle([0, 0, width * SCALE, SCALE - 1], fill=HIGHLIGHT)
    draw.rectangle([0, (HEIGHT - 1) * SCALE, width * SCALE, HEIGHT * SCALE], fill=SHADOW)
    return image, draw


def finish(image):
    return image.resize((image.width // SCALE, HEIGHT), Image.LANCZOS)


def cap():
    """End piece and separator: the band with a short groove in its middle."""
    image, draw = band(10)
    x = 5 * SCALE
    draw.rectangle([x - SCALE, 6 * SCALE, x - 1, 18 * SCALE], fill=SHADOW)
    draw.rectangle([x, 6 * SCALE, x + SCALE - 1, 18 * SCALE], fill=HIGHLIGHT)
    return finish(image)


def slash(mirror):
    """Left or right end of the centre band: a slanted accent stroke."""
    image, draw = band(12)
    s = SCALE
    points = [(3 * s, 21 * s), (6 * s, 21 * s), (10 * s, 3 * s), (7 * s, 3 * s)]
    if mirror:
        points = [(12 * s - x, y) for x, y in points]
    draw.polygon(points, fill=ACCENT)
    return finish(image)


def name(hovered):
    width = 92
    image, draw = band(width, *((HOVER_TOP, HOVER_BOTTOM) if hovered else (BAND_TOP, BAND_BOTTOM)))
    font = ImageFont.truetype(FONT, 13 * SCALE)
    draw.rectangle([2 * SCALE, 5 * SCALE, 5 * SCALE - 1, 19 * SCALE], fill=ACCENT_HOVER if hovered else ACCENT)
    draw.text((10 * SCALE, 12 * SCALE), "Tessaline", font=font, anchor="lm", fill=TEXT_HOVER if hovered else TEXT)
    return finish(image)


def help_button(hovered):
    image, draw = band(24, *((HOVER_TOP, HOVER_BOTTOM) if hovered else (BAND_TOP, BAND_BOTTOM)))
    s = SCALE
    box = [4 * s, 4 * s, 20 * s, 20 * s]
    if hovered:
        draw.ellipse(box, fill=ACCENT_HOVER)
        colour = SHADOW
    else:
        draw.ellipse(box, outline=GLYPH, width=int(1.5 * s))
        colour = GLYPH
    font = ImageFont.truetype(FONT, 12 * s)
    draw.text((12 * s, 12.5 * s), "?", font=font, anchor="mm", fill=colour)
    return finish(image)


def home_button(hovered):
    image, draw = band(24, *((HOVER_TOP, HOVER_BOTTOM) if hovered else (BAND_TOP, BAND_BOTTOM)))
    s = SCALE
    colour = ACCENT_HOVER if hovered else GLYPH
    # Roof, then the walls with a door cut out of them.
    draw.polygon([(12 * s, 4 * s), (21 * s, 12 * s), (3 * s, 12 * s)], fill=colour)
    draw.rectangle([6 * s, 11 * s, 18 * s, 19 * s], fill=colour)
    door = HOVER_BOTTOM if hovered else BAND_BOTTOM
    draw.rectangle([10.5 * s, 14 * s, 13.5 * s, 19 * s], fill=door)
    return finish(image)


def centre():
    image, _ = band(16)
    return finish(image)


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else "res/gui")
    folder.mkdir(parents=True, exist_ok=True)
    pieces = {
        "t_cntr.tif": centre(),
        "t_caps.tif": cap(),
        "name_a.tif": name(False),
        "name_b.tif": name(True),
        "t_left.tif": slash(False),
        "help_a.tif": help_button(False),
        "help_b.tif": help_button(True),
        "home_a.tif": home_button(False),
        "home_b.tif": home_button(True),
        "t_rght.tif": slash(True),
    }
    for file, image in pieces.items():
        assert image.height == HEIGHT
        image.save(folder / file, format="TIFF", compression="tiff_lzw")
        print(f"{folder / file}: {image.width} x {image.height}")


if __name__ == "__main__":
    main()
