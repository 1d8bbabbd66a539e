"""Turns canvases into network inputs the way a cut of a real rectified plate
looks: strokes thickened or thinned, blurred, seen at 12 to 32 pixels of
character height and scaled back, the cut shifted, scaled, rotated and
sheared, contrast lowered, lit by a gradient, noisy, JPEG-compressed. Also
makes extra examples of "no character": two halves of neighbouring
characters, a cut that misses the text band, and plain or striped ground.

The input geometry (INPUT_W x INPUT_H, the character box INPUT_BOX_W x
INPUT_BOX_H in the middle, per-input standardisation) is the one the engine's
cut sampler reproduces; export.py writes it into the generated source.
"""

import io
import math

import numpy as np
import torch
import torch.nn.functional as F
from PIL import Image

import canvas as cv
import classes

INPUT_W, INPUT_H = 20, 40
INPUT_BOX_W, INPUT_BOX_H = 16, 32
STD_FLOOR = 8.0 / 255  # a flat cut is not stretched into pure noise

# Character heights the cut is seen at before it is scaled back to the input.
SEEN_HEIGHTS = [12, 14, 16, 20, 24, 28, 32]
PITCH = 51.0 / 40.0  # centre distance of neighbouring characters, in character widths


def standardise(x):
    mean = x.mean((2, 3), keepdim=True)
    std = x.std((2, 3), unbiased=False, keepdim=True).clamp_min(STD_FLOOR)
    return (x - mean) / std


def box_grid(size_w, size_h, transform, shift):
    """Sampling grid (for grid_sample, align_corners=False) that maps an
    output of size_w x size_h showing the input's view onto the canvas, with
    the box-unit transform (B x 2 x 2) and shift (B x 2) applied. Box units:
    the character box's height is 1."""
    u = (torch.arange(size_w, dtype=torch.float32) + 0.5) / size_w * INPUT_W - INPUT_W / 2
    v = (torch.arange(size_h, dtype=torch.float32) + 0.5) / size_h * INPUT_H - INPUT_H / 2
    grid_v, grid_u = torch.meshgrid(v / INPUT_BOX_H, u / INPUT_BOX_H, indexing="ij")
    points = torch.stack([grid_u, grid_v], -1).reshape(1, -1, 2)  # 1 x P x 2
    mapped = points @ transform.transpose(1, 2) + shift[:, None, :]  # B x P x 2
    px = cv.CENTRE_X + mapped[..., 0] * cv.BOX_H
    py = cv.CENTRE_Y + mapped[..., 1] * cv.BOX_H
    grid = torch.stack([2 * px / cv.CANVAS_W - 1, 2 * py / cv.CANVAS_H - 1], -1)
    return grid.reshape(-1, size_h, size_w, 2)


def gaussian_blur(x, sigma):
    """Per-sample Gaussian blur (sigma in pixels, B values)."""
    radius = 3
    offsets = torch.arange(-radius, radius + 1, dtype=torch.float32)
    s = sigma.clamp_min(1e-3)[:, None]
    kernel = torch.exp(-0.5 * (offsets[None, :] / s) ** 2)
    kernel = kernel / kernel.sum(1, keepdim=True)
    b, _, h, w = x.shape
    flat = x.reshape(1, b, h, w)
    flat = F.conv2d(F.pad(flat, (radius, radius, 0, 0), mode="replicate"),
                    kernel[:, None, None, :], groups=b)
    flat = F.conv2d(F.pad(flat, (0, 0, radius, radius), mode="replicate"),
                    kernel[:, None, :, None], groups=b)
    return flat.reshape(b, 1, h, w)


def thicken(x, amount):
    """amount > 0 moves strokes toward their dilation, < 0 toward erosion."""
    dilated = F.max_pool2d(x, 3, 1, 1)
    eroded = -F.max_pool2d(-x, 3, 1, 1)
    a = amount[:, None, None, None]
    return torch.where(a > 0, x + a * (dilated - x), x + (-a) * (eroded - x))


def jpeg(x, quality, chosen):
    out = x.clone()
    for i in torch.nonzero(chosen).flatten().tolist():
        image = Image.fromarray((x[i, 0].clamp(0, 1) * 255).round().byte().numpy())
        buffer = io.BytesIO()
        image.save(buffer, "JPEG", quality=int(quality[i]))
        decoded = np.asarray(Image.open(io.BytesIO(buffer.getvalue())), np.float32)
        out[i, 0] = torch.from_numpy(decoded / 255)
    return out


class Augmenter:
    def __init__(self, generator):
        self.g = generator

    def uniform(self, n, low, high):
        return low + (high - low) * torch.rand(n, generator=self.g)

    def normal(self, n, std, limit):
        return (torch.randn(n, generator=self.g) * std).clamp(-limit, limit)

    def chance(self, n, p):
        return torch.rand(n, generator=self.g) < p

    def geometry(self, n):
        scale = torch.exp(self.uniform(n, -0.12, 0.12))
        aspect = torch.exp(self.uniform(n, -0.1, 0.1))
        angle = self.uniform(n, -4, 4) * math.pi / 180
        shear = self.uniform(n, -0.15, 0.15)
        cos, sin = torch.cos(angle), torch.sin(angle)
        rotation = torch.stack([torch.stack([cos, -sin], -1), torch.stack([sin, cos], -1)], -2)
        shearing = torch.zeros(n, 2, 2)
        shearing[:, 0, 0] = 1
        shearing[:, 0, 1] = shear
        shearing[:, 1, 1] = 1
        scaling = torch.zeros(n, 2, 2)
        scaling[:, 0, 0] = scale * aspect
        scaling[:, 1, 1] = scale / aspect
        transform = rotation @ shearing @ scaling
        shift = torch.stack([self.normal(n, 0.03, 0.08), self.normal(n, 0.03, 0.08)], -1)
        return transform, shift

    def photometric(self, x):
        n = x.shape[0]
        low = self.uniform(n, 0.0, 0.45)
        high = (low + self.uniform(n, 0.2, 0.55)).clamp(max=1.0)
        x = low[:, None, None, None] + (high - low)[:, None, None, None] * x
        _, _, h, w = x.shape
        yy, xx = torch.meshgrid(torch.linspace(-1, 1, h), torch.linspace(-1, 1, w), indexing="ij")
        phi = self.uniform(n, 0, 2 * math.pi)
        slope = self.uniform(n, -0.25, 0.25) * self.chance(n, 0.5)
        ramp = torch.cos(phi)[:, None, None] * xx + torch.sin(phi)[:, None, None] * yy
        x = x + (slope[:, None, None] * ramp)[:, None]
        x = x + torch.randn(x.shape, generator=self.g) * self.uniform(n, 0, 0.05)[:, None, None, None]
        x = x.clamp(0, 1)
        return jpeg(x, self.uniform(n, 20, 90), self.chance(n, 0.3))

    def __call__(self, canvases):
        """Network inputs (B x 1 x INPUT_H x INPUT_W) from canvases (B x H x W bytes)."""
        x = torch.from_numpy(canvases).float()[:, None] / 255
        n = x.shape[0]
        x = thicken(x, self.uniform(n, -0.8, 0.8) * self.chance(n, 0.5))
        seen = torch.tensor(SEEN_HEIGHTS)[torch.randint(len(SEEN_HEIGHTS), (n,), generator=self.g)]
        # Blur of the camera, plus what keeps the view at `seen` free of aliasing.
        shrink = cv.BOX_H / seen.float()
        sigma = torch.sqrt((0.45 * shrink) ** 2 + self.uniform(n, 0, 1.0) ** 2)
        x = gaussian_blur(x, sigma)
        transform, shift = self.geometry(n)
        out = torch.empty(n, 1, INPUT_H, INPUT_W)
        for height in SEEN_HEIGHTS:
            chosen = torch.nonzero(seen == height).flatten()
            if len(chosen) == 0:
                continue
            size_h = max(4, round(INPUT_H * height / INPUT_BOX_H))
            size_w = max(2, round(INPUT_W * height / INPUT_BOX_H))
            if height >= INPUT_BOX_H:
                size_h, size_w = INPUT_H, INPUT_W
            grid = box_grid(size_w, size_h, transform[chosen], shift[chosen])
            view = F.grid_sample(x[chosen], grid, mode="bilinear", padding_mode="border",
                                 align_corners=False)
            view = self.photometric(view)
            out[chosen] = F.interpolate(view, size=(INPUT_H, INPUT_W), mode="bilinear",
                                        align_corners=False)
        return standardise(out)

    def junk(self, canvases, n):
        """n canvases holding no single character, made from `canvases`."""
        count = canvases.shape[0]
        pick = lambda: canvases[torch.randint(count, (n,), generator=self.g).numpy()]
        half = int(round(PITCH * cv.BOX_W / 2))
        kind = torch.randint(3, (n,), generator=self.g).numpy()
        left = np.roll(pick(), -half, axis=2)
        right = np.roll(pick(), half, axis=2)
        straddle = np.maximum(left, right)
        band = cv.BOX_H // 2 + int(self.uniform(1, 0, cv.BOX_H // 4))
        missed = np.roll(pick(), band if self.chance(1, 0.5) else -band, axis=1)
        ground = self.ground(n)
        return np.where((kind == 0)[:, None, None], straddle,
                        np.where((kind == 1)[:, None, None], missed, ground))

    def ground(self, n):
        """Plain, striped or blotched ground, as grilles, frames and signs show."""
        h, w = cv.CANVAS_H, cv.CANVAS_W
        yy, xx = torch.meshgrid(torch.arange(h).float(), torch.arange(w).float(), indexing="ij")
        # Several bars across the cut, never one bar alone: that is a "1".
        period = self.uniform(n, 3, 8)[:, None, None]
        phase = self.uniform(n, 0, 2 * math.pi)[:, None, None]
        vertical = self.chance(n, 0.5)[:, None, None]
        along = torch.where(vertical, xx, yy)
        stripes = (torch.sin(2 * math.pi * along / period + phase) > 0).float()
        stripes = stripes * self.chance(n, 0.6)[:, None, None]
        level = self.uniform(n, 0, 1)[:, None, None]
        x = level * 0.5 + stripes * self.uniform(n, 0.2, 1)[:, None, None]
        x = x + torch.randn(n, h, w, generator=self.g) * 0.1
        return (x.clamp(0, 1) * 255).byte().numpy()


def plain_inputs(canvases):
    """The canvases cut as they are (no augmentation beyond what keeps the
    view free of aliasing): how validation sees real crops."""
    x = torch.from_numpy(canvases).float()[:, None] / 255
    n = x.shape[0]
    x = gaussian_blur(x, torch.full((n,), 0.45 * cv.BOX_H / INPUT_BOX_H))
    grid = box_grid(INPUT_W, INPUT_H, torch.eye(2).expand(n, 2, 2), torch.zeros(n, 2))
    x = F.grid_sample(x, grid, mode="bilinear", padding_mode="border", align_corners=False)
    return standardise(x)
