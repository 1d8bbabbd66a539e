"""Characters cut from the 1,000 real plate crops of tools/glyphgen/plates.

Each crop is brought into the rectified 384 x 116 frame and straightened the
way the template generator does it; the blue format's layout (centres and
character width, a small shift and scale) is fitted to the columns of its
binary plane, the text band to its rows, and every position is cut as a
character box of the fitted layout. Cuts between the characters, and beside
the first and last, make examples of the class "no character".

Every fifth crop in name order (counting the readable crops with valid names,
as the template generator's loader does) is held out: the scene generator
draws its letters and digits from those, so the network never trains on them.
"""

import os

import numpy as np
from PIL import Image

import canvas as cv
import classes

PLATE_W, PLATE_H = 384, 116
CENTRES = [30, 81, 152, 203, 254, 305, 356]  # the blue format's character centres
CHAR_W, CHAR_H = 40, 80
HELD_OUT_EVERY = 5

MAX_TILT, MAX_SLANT, SHEAR_STEP = 240, 400, 20  # per mille
LOCAL_RADIUS, LOCAL_MARGIN = 20, 6
MAX_ROW_RUN, MAX_COLUMN_RUN = 52, 100  # longer runs are plate frame
GAP_PENALTY = 4  # mass between the cells counts against a fit this many times
MIN_INSIDE_SHARE = 0.6  # of the binary mass inside the fitted cells
MIN_BAND, MAX_BAND = 56, 104  # rows of a believable text band


def luma(rgb):
    r, g, b = (rgb[..., i].astype(np.int64) for i in range(3))
    return ((b * 7209 + g * 38666 + r * 19661) >> 16).astype(np.float64)


def map_to_frame(source, tilt=0, slant=0):
    """The source resampled into the frame, sheared by tilt (rows per 1000
    columns) and slant (columns per 1000 rows), pixel centres aligned."""
    h, w = source.shape
    y, x = np.mgrid[0:PLATE_H, 0:PLATE_W].astype(np.float64)
    xv = x + slant * (y - PLATE_H // 2) / 1000
    yv = y + tilt * (xv - PLATE_W // 2) / 1000
    xs = (2 * xv + 1) * w / (2 * PLATE_W) - 0.5
    ys = (2 * yv + 1) * h / (2 * PLATE_H) - 0.5
    return cv.sample_bilinear(source, xs, ys)


def box_sums(image, radius):
    """Sum and pixel count of the (2 radius + 1)^2 box around every pixel,
    clipped to the image."""
    h, w = image.shape
    table = np.zeros((h + 1, w + 1))
    table[1:, 1:] = image.cumsum(0).cumsum(1)
    ys = np.arange(h)
    xs = np.arange(w)
    y0 = np.clip(ys - radius, 0, h)[:, None]
    y1 = np.clip(ys + radius + 1, 0, h)[:, None]
    x0 = np.clip(xs - radius, 0, w)[None, :]
    x1 = np.clip(xs + radius + 1, 0, w)[None, :]
    total = table[y1, x1] - table[y0, x1] - table[y1, x0] + table[y0, x0]
    return total, (y1 - y0) * (x1 - x0)


def clear_long_runs(plane, limit):
    """Clears every horizontal run of foreground longer than `limit`."""
    out = plane.copy()
    padded = np.zeros((plane.shape[0], plane.shape[1] + 2), np.int8)
    padded[:, 1:-1] = plane != 0
    rows, columns = np.nonzero(np.diff(padded, axis=1))
    for row, start, end in zip(rows[::2], columns[::2], columns[1::2]):
        if end - start > limit:
            out[row, start:end] = 0
    return out


def binary_plate(frame):
    """Local threshold, a 3 x 3 majority filter, and no plate frame."""
    total, count = box_sums(frame, LOCAL_RADIUS)
    plane = (frame >= total / count + LOCAL_MARGIN).astype(np.float64)
    neighbours, _ = box_sums(plane, 1)
    plane = (neighbours >= 5).astype(np.uint8)
    plane = clear_long_runs(plane, MAX_ROW_RUN)
    return clear_long_runs(plane.T, MAX_COLUMN_RUN).T


def step_energy(profile):
    return float(np.sum(np.diff(profile) ** 2))


def sheared_profile(binary, shear, along_rows):
    ys, xs = np.nonzero(binary)
    if along_rows:
        lines = ys - np.trunc(shear * (xs - PLATE_W // 2) / 1000).astype(np.int64)
        size = PLATE_H
    else:
        lines = xs - np.trunc(shear * (ys - PLATE_H // 2) / 1000).astype(np.int64)
        size = PLATE_W
    lines = lines[(lines >= 0) & (lines < size)]
    return np.bincount(lines, minlength=size).astype(np.float64)


def sharpest_shear(binary, limit, along_rows):
    best, best_energy = 0, step_energy(sheared_profile(binary, 0, along_rows))
    for magnitude in range(SHEAR_STEP, limit + 1, SHEAR_STEP):
        for shear in (-magnitude, magnitude):
            energy = step_energy(sheared_profile(binary, shear, along_rows))
            if energy > best_energy:
                best, best_energy = shear, energy
    return best


def straightened(photo):
    tilt = sharpest_shear(binary_plate(map_to_frame(photo)), MAX_TILT, True)
    slant = sharpest_shear(binary_plate(map_to_frame(photo, tilt)), MAX_SLANT, False)
    return map_to_frame(photo, tilt, slant)


def fit_layout(binary):
    """Shift and scale of the blue layout about the plate's middle that put
    the binary mass inside the character cells and none in the gaps between
    them (positions 1..6 count; the province character often falls apart).
    Returns (centres, character width, share of the mass inside the cells)."""
    cumulative = np.concatenate(([0.0], np.cumsum(binary.sum(0))))
    shifts = np.arange(-30, 31)
    best = (None, 0.0, 0.0, -np.inf)

    def mass(a, b):
        a = np.clip(np.rint(a), 0, PLATE_W).astype(np.int64)
        b = np.clip(np.rint(b), 0, PLATE_W).astype(np.int64)
        return np.maximum(cumulative[b] - cumulative[a], 0)

    for scale in np.arange(0.88, 1.121, 0.02):
        width = CHAR_W * scale
        centres = [PLATE_W / 2 + (c - PLATE_W / 2) * scale + shifts for c in CENTRES]
        inside = sum(mass(c - width / 2, c + width / 2) for c in centres[1:])
        gaps = sum(mass(a + width / 2, b - width / 2) for a, b in zip(centres, centres[1:]))
        score = inside - GAP_PENALTY * gaps
        i = int(score.argmax())
        if score[i] > best[3]:
            best = ([float(c[i]) for c in centres], width,
                    float(inside[i]) / max(cumulative[-1], 1.0), score[i])
    return best[:3]


def text_band(binary, centres, width):
    """The longest run of rows well covered inside cells 1..6."""
    rows = np.zeros(PLATE_H)
    for c in centres[1:]:
        a = int(max(0, round(c - width / 2)))
        b = int(min(PLATE_W, round(c + width / 2)))
        rows += binary[:, a:b].sum(1)
    on = rows > 0.15 * rows.max()
    best, start = (0, 0), None
    for y in range(PLATE_H + 1):
        if y < PLATE_H and on[y]:
            start = y if start is None else start
        elif start is not None:
            if y - start > best[1] - best[0]:
                best = (start, y)
            start = None
    return best


def plate_names(directory):
    """The crops' names in the template generator's order with the plate
    index it gives them: readable crops whose name is a 7-character plate
    text of known characters."""
    names = sorted(n for n in os.listdir(directory) if n.endswith(".jpg"))
    index = 0
    for name in names:
        text = name[:-4]
        if len(text) != 7 or any(c not in classes.INDEX for c in text):
            continue
        yield name, text, index
        index += 1


def is_held_out(index):
    return index % HELD_OUT_EVERY == 0


def cut_plate(path, text):
    """Canvases of the seven characters and of the cuts between them, or
    None when the layout does not fit the crop well."""
    photo = luma(np.asarray(Image.open(path).convert("RGB")))
    frame = straightened(photo)
    binary = binary_plate(frame)
    centres, width, share = fit_layout(binary)
    top, bottom = text_band(binary, centres, width)
    if share < MIN_INSIDE_SHARE or not MIN_BAND <= bottom - top <= MAX_BAND:
        return None
    aspect = (bottom - top) * cv.BOX_W / (cv.BOX_H * width)  # the fitted box fills the canvas box
    characters = [(cv.to_canvas(frame, c, top, bottom, aspect), classes.INDEX[ch])
                  for c, ch in zip(centres, text)]
    pitch = centres[2] - centres[1]
    between = [(a + b) / 2 for a, b in zip(centres, centres[1:])]
    beside = [centres[0] - pitch, centres[-1] + pitch]
    junk = [cv.to_canvas(frame, c, top, bottom, aspect) for c in between + beside]
    return characters, junk


def load(directory):
    """Samples of the crops not held out, and of the held-out ones (for
    validation only): lists of (canvas bytes, class, group)."""
    training, held_out = [], []
    skipped = 0
    for name, text, index in plate_names(directory):
        cut = cut_plate(os.path.join(directory, name), text)
        if cut is None:
            skipped += 1
            continue
        characters, junk = cut
        target = held_out if is_held_out(index) else training
        group = "plate:" + text  # the same plate photographed twice is one group
        target.extend((cv.as_bytes(c), label, group) for c, label in characters)
        target.extend((cv.as_bytes(c), classes.JUNK, group) for c in junk)
    return training, held_out, skipped
