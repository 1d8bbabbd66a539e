"""Characters rendered from installed fonts, for what the real crops lack:
the rare provinces and 学 警 渣 (a bold Hei face, Noto Sans CJK Bold, in its
regional variants, whose shapes differ slightly), and the letters and digits
of the green new-energy plates (DejaVu Sans, condensed, bold), drawn the way
the plate face is: a character fills its box's height; Chinese characters
and any too wide one are squeezed to the box's width.
"""

import numpy as np
from PIL import Image, ImageDraw, ImageFont

import canvas as cv
import classes

NOTO_BOLD = "/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc"
NOTO_FACES = [0, 2, 3, 4]  # JP, SC, TC, HK
DEJAVU = "/usr/share/fonts/truetype/dejavu/"
LATIN_FACES = ["DejaVuSansCondensed-Bold.ttf", "DejaVuSans-Bold.ttf", "DejaVuSansMono-Bold.ttf"]
RENDER_SIZE = 160  # pixels per em while rendering
SUPERSAMPLE = 4  # the canvas is drawn this many times larger, then averaged down


def glyph(font, text):
    """The glyph's ink, tightly cropped, as floats 0..255."""
    image = Image.new("L", (RENDER_SIZE * 2, RENDER_SIZE * 2), 0)
    ImageDraw.Draw(image).text((RENDER_SIZE // 2, RENDER_SIZE // 2), text, fill=255, font=font)
    ink = np.asarray(image, np.float64)
    rows = np.flatnonzero(ink.max(1) > 0)
    cols = np.flatnonzero(ink.max(0) > 0)
    return ink[rows[0]:rows[-1] + 1, cols[0]:cols[-1] + 1]


def on_canvas(ink, squeeze):
    """The glyph scaled into the character box of a canvas: its height fills
    the box; its width keeps the glyph's proportions unless `squeeze` or the
    glyph is too wide, when it fills the box's width."""
    h, w = ink.shape
    box_w, box_h = cv.BOX_W * SUPERSAMPLE, cv.BOX_H * SUPERSAMPLE
    width = box_w if squeeze else min(box_w, round(w * box_h / h))
    scaled = np.asarray(Image.fromarray(ink.astype(np.uint8)).resize(
        (max(1, width), box_h), Image.LANCZOS), np.float64)
    big = np.zeros((cv.CANVAS_H * SUPERSAMPLE, cv.CANVAS_W * SUPERSAMPLE))
    x0 = (big.shape[1] - width) // 2
    y0 = (big.shape[0] - box_h) // 2
    big[y0:y0 + box_h, x0:x0 + width] = scaled
    return big.reshape(cv.CANVAS_H, SUPERSAMPLE, cv.CANVAS_W, SUPERSAMPLE).mean((1, 3))


def render():
    """(canvas bytes, class, group) of every rendered character."""
    samples = []
    chinese = classes.PROVINCES + classes.SPECIALS
    for index in NOTO_FACES:
        font = ImageFont.truetype(NOTO_BOLD, RENDER_SIZE, index=index)
        for c in chinese:
            samples.append((cv.as_bytes(on_canvas(glyph(font, c), True)), classes.INDEX[c],
                            "font:noto%d:%s" % (index, c)))
    for name in LATIN_FACES:
        font = ImageFont.truetype(DEJAVU + name, RENDER_SIZE)
        for c in classes.DIGITS + classes.LETTERS:
            samples.append((cv.as_bytes(on_canvas(glyph(font, c), False)), classes.INDEX[c],
                            "font:%s:%s" % (name, c)))
    return samples
