"""The real character crops of easypr-chars/easypr-chars.tar (see the README
beside it): grey province characters, binarised province characters, and
binarised letters and digits, each brought onto the common canvas.

Many crops are consecutive video frames of one plate. Crops of one class and
kind whose small thumbnails lie close together are joined into one group
(transitively), and validation holds out whole groups.
"""

import io
import tarfile

import numpy as np
from PIL import Image

import canvas as cv
import classes

THUMB_W, THUMB_H = 10, 16
# Mean absolute difference of standardised thumbnails below which two crops
# count as near-duplicates (about the distance at which three quarters of the
# crops have their nearest neighbour).
NEAR_DUPLICATE = {"grey": 0.25, "binary": 0.15}

# Where the character's box lies in a crop of each kind, as fractions of the
# crop: rows top..bottom, centre column, and how much wider the canvas shows
# the crop than it is (the binary province crops, squeezed into squares, show
# their characters too wide: 0.77 narrows them back to the plate's 1:2).
LAYOUT = {
    "alnum-binary": dict(top=0.0, bottom=1.0, centre=0.5, aspect=1.0),
    "province-binary": dict(top=0.0, bottom=1.0, centre=0.5, aspect=0.77),
    "province-grey": dict(top=0.04, bottom=0.96, centre=0.48, aspect=1.0),
}


def read_tar(path):
    """(kind, label, picture) of every real crop in the archive, in name
    order; the crops the list marks as likely augmented copies are left out."""
    with tarfile.open(path) as archive:
        members = {m.name: m for m in archive.getmembers() if m.isfile()}
        labels_name = next(n for n in members if n.endswith("labels.tsv"))
        root = labels_name[: -len("labels.tsv")]
        rows = archive.extractfile(members[labels_name]).read().decode("utf-8").splitlines()[1:]
        crops = []
        for row in rows:
            file, label, kind, note = (row.split("\t") + [""])[:4]
            if note == "likely_augmented" or label not in classes.INDEX:
                continue
            data = archive.extractfile(members[root + file]).read()
            picture = np.asarray(Image.open(io.BytesIO(data)).convert("L"), np.float64)
            crops.append((kind, label, picture))
    return crops


def to_canvas(kind, picture):
    h, w = picture.shape
    layout = LAYOUT[kind]
    # The binary crops show the ground as black; grey crops continue with
    # their edge pixels.
    fill = 0.0 if kind.endswith("binary") else None
    return cv.to_canvas(picture, layout["centre"] * w, layout["top"] * h, layout["bottom"] * h,
                        layout["aspect"], fill)


def thumbnail(picture):
    small = np.asarray(Image.fromarray(picture.astype(np.uint8)).resize(
        (THUMB_W, THUMB_H), Image.BILINEAR), np.float64)
    return ((small - small.mean()) / (small.std() + 1.0)).ravel()


def tolerance(kind):
    return NEAR_DUPLICATE["binary" if kind.endswith("binary") else "grey"]


def leader_groups(thumbs, limit):
    """Each crop joins the first group whose leader lies closer than `limit`,
    or leads a group of its own: groups of near-duplicates without the long
    chains that joining every close pair would make."""
    leaders, groups = [], []
    for thumb in thumbs:
        if leaders:
            distance = np.abs(np.stack([thumbs[i] for i in leaders]) - thumb).mean(1)
            nearest = int(distance.argmin())
            if distance[nearest] < limit:
                groups.append(nearest)
                continue
        groups.append(len(leaders))
        leaders.append(len(groups) - 1)
    return groups


def load(path):
    """(canvas bytes, class, group, thumbnail, near-duplicate limit) of every crop."""
    crops = read_tar(path)
    by_set = {}
    for i, (kind, label, _) in enumerate(crops):
        by_set.setdefault((kind, label), []).append(i)
    samples = []
    for (kind, label), members in sorted(by_set.items()):
        thumbs = [thumbnail(crops[i][2]) for i in members]
        groups = leader_groups(thumbs, tolerance(kind))
        for i, thumb, group in zip(members, thumbs, groups):
            samples.append((cv.as_bytes(to_canvas(kind, crops[i][2])), classes.INDEX[label],
                            "easypr:%s:%s:%d" % (kind, label, group), thumb, tolerance(kind)))
    return samples
