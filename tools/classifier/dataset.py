"""All training and validation canvases in one place.

Sources: the real plate crops not held out (tools/glyphgen/plates), the real
character crops of easypr-chars, and rendered glyphs. Validation: the
held-out fifth of the plate crops (whole plates the network never sees), and
about a tenth of the easypr groups of near-duplicates; an easypr crop that
lies within the near-duplicate limit of a validation crop is kept out of
training as well, so no validation crop has a near twin in training.
"""

import hashlib
import os

import numpy as np

import canvas as cv
import easypr
import fonts
import plates

HERE = os.path.dirname(os.path.abspath(__file__))
PLATES_DIR = os.path.join(HERE, "..", "glyphgen", "plates")
EASYPR_TAR = os.path.join(HERE, "easypr-chars", "easypr-chars.tar")
VALIDATION_SHARE = 10  # percent of the easypr groups

SOURCES = ["plate", "easypr-grey", "easypr-binary", "font"]


def in_validation(group):
    digest = hashlib.sha256(group.encode("utf-8")).digest()
    return digest[0] * 100 // 256 < VALIDATION_SHARE


def split_easypr(samples):
    """Training and validation samples by group, with training crops too
    close to any validation crop of their class and kind left out."""
    validation = [s for s in samples if in_validation(s[2])]
    training = []
    by_set = {}
    for s in validation:
        by_set.setdefault(s[2].rsplit(":", 1)[0], []).append(s[3])
    for s in samples:
        if in_validation(s[2]):
            continue
        near = by_set.get(s[2].rsplit(":", 1)[0])
        if near is not None and np.abs(np.stack(near) - s[3]).mean(1).min() < s[4]:
            continue
        training.append(s)
    return training, validation, len(samples) - len(training) - len(validation)


def pack(samples, source):
    return (np.stack([s[0] for s in samples]).astype(np.uint8),
            np.array([s[1] for s in samples], np.int64),
            np.full(len(samples), SOURCES.index(source), np.int64),
            [s[2] for s in samples])


def join(parts):
    canvases = np.concatenate([p[0] for p in parts])
    labels = np.concatenate([p[1] for p in parts])
    sources = np.concatenate([p[2] for p in parts])
    groups = sum((p[3] for p in parts), [])
    return dict(canvases=canvases, labels=labels, sources=sources, groups=np.array(groups))


def build(log=print):
    plate_training, plate_validation, skipped = plates.load(PLATES_DIR)
    log("plate crops: %d training cuts, %d held-out cuts, %d crops without a fitting layout"
        % (len(plate_training), len(plate_validation), skipped))
    crops = easypr.load(EASYPR_TAR)
    grey = [s for s in crops if "province-grey" in s[2]]
    binary = [s for s in crops if "binary" in s[2]]
    grey_training, grey_validation, grey_dropped = split_easypr(grey)
    binary_training, binary_validation, binary_dropped = split_easypr(binary)
    log("easypr crops: %d grey (%d validation, %d near twins dropped), %d binary "
        "(%d validation, %d dropped)" % (len(grey), len(grey_validation), grey_dropped,
                                         len(binary), len(binary_validation), binary_dropped))
    rendered = fonts.render()
    log("rendered glyphs: %d" % len(rendered))
    training = join([pack(plate_training, "plate"), pack(grey_training, "easypr-grey"),
                     pack(binary_training, "easypr-binary"), pack(rendered, "font")])
    validation = join([pack(plate_validation, "plate"), pack(grey_validation, "easypr-grey"),
                       pack(binary_validation, "easypr-binary")])
    return training, validation


def source_key():
    """A digest of what the canvases are made from: the code that makes them
    and the names and sizes of the source files."""
    digest = hashlib.sha256()
    for module in ("canvas.py", "plates.py", "easypr.py", "fonts.py", "dataset.py", "classes.py"):
        with open(os.path.join(HERE, module), "rb") as f:
            digest.update(f.read())
    for name in sorted(os.listdir(PLATES_DIR)):
        digest.update(name.encode("utf-8"))
    digest.update(str(os.path.getsize(EASYPR_TAR)).encode())
    return digest.hexdigest()


def load(cache, log=print):
    """The data set, from `cache` (an .npz) when it holds canvases made from
    the present sources, else built and written there."""
    key = source_key()
    if cache and os.path.exists(cache):
        stored = np.load(cache)
        if "key" in stored.files and str(stored["key"]) == key:
            part = lambda prefix: {k[len(prefix):]: stored[k] for k in stored.files
                                   if k.startswith(prefix)}
            return part("training_"), part("validation_")
    training, validation = build(log)
    if cache:
        os.makedirs(os.path.dirname(os.path.abspath(cache)), exist_ok=True)
        arrays = {"training_" + k: v for k, v in training.items()}
        arrays.update({"validation_" + k: v for k, v in validation.items()})
        np.savez(cache, key=np.array(key), **arrays)
    return training, validation
