"""Every training picture is first brought onto a canvas of one geometry.

A canvas is CANVAS_W x CANVAS_H grey pixels, characters bright on a dark
ground, with the character's box (the plate face's 45 x 90 mm cell) at
BOX_W x BOX_H in the middle. Around the box it keeps what the source shows
(a neighbour's edge, the plate frame), so that augmentation can move the cut
as a loose cut on a real plate does.
"""

import numpy as np

BOX_W, BOX_H = 20, 40
CANVAS_W, CANVAS_H = 48, 60
CENTRE_X, CENTRE_Y = CANVAS_W / 2, CANVAS_H / 2


def sample_bilinear(image, xs, ys):
    """Bilinear samples of `image` at the float positions (pixel centres at
    integers); positions outside read the nearest edge pixel."""
    h, w = image.shape
    xs = np.clip(xs, 0, w - 1)
    ys = np.clip(ys, 0, h - 1)
    x0 = np.floor(xs).astype(np.int64)
    y0 = np.floor(ys).astype(np.int64)
    x1 = np.minimum(x0 + 1, w - 1)
    y1 = np.minimum(y0 + 1, h - 1)
    fx = xs - x0
    fy = ys - y0
    top = image[y0, x0] * (1 - fx) + image[y0, x1] * fx
    bottom = image[y1, x0] * (1 - fx) + image[y1, x1] * fx
    return top * (1 - fy) + bottom * fy


def to_canvas(image, centre_x, top, bottom, aspect=1.0, fill=None):
    """The canvas of a character whose box in `image` (float grey, bright
    strokes) spans rows top..bottom (edges, not pixel centres) and is centred
    at column `centre_x`. `aspect` > 1 widens the source (for crops that were
    squeezed sideways). Outside the source the canvas reads `fill`, or the
    edge pixels when `fill` is None."""
    scale = (bottom - top) / BOX_H  # source pixels per canvas pixel, vertically
    u = np.arange(CANVAS_W) + 0.5 - CENTRE_X
    v = np.arange(CANVAS_H) + 0.5 - CENTRE_Y
    xs = centre_x + u * scale / aspect - 0.5
    ys = (top + bottom) / 2 + v * scale - 0.5
    grid_x, grid_y = np.meshgrid(xs, ys)
    canvas = sample_bilinear(image, grid_x, grid_y)
    if fill is not None:
        h, w = image.shape
        outside = (grid_x < -0.5) | (grid_x > w - 0.5) | (grid_y < -0.5) | (grid_y > h - 0.5)
        canvas[outside] = fill
    return canvas


def as_bytes(canvas):
    return np.clip(np.rint(canvas), 0, 255).astype(np.uint8)
