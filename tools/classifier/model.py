"""The character network: three 3 x 3 convolutions with batch norm and ReLU,
each followed by a 2 x 2 max-pool, then a dense hidden layer and the dense
output layer over every class. The engine runs the same layers with the
batch norm folded into the convolutions (export.py)."""

import torch
import torch.nn as nn

import augment
import classes

CHANNELS = (8, 24, 48)
HIDDEN = 96


class CharNet(nn.Module):
    def __init__(self, channels=CHANNELS, hidden=HIDDEN):
        super().__init__()
        layers = []
        previous = 1
        for c in channels:
            layers += [nn.Conv2d(previous, c, 3, padding=1, bias=False), nn.BatchNorm2d(c),
                       nn.ReLU(), nn.MaxPool2d(2)]
            previous = c
        self.features = nn.Sequential(*layers)
        cells = (augment.INPUT_W >> len(channels)) * (augment.INPUT_H >> len(channels))
        self.hidden = nn.Linear(previous * cells, hidden)
        self.dropout = nn.Dropout(0.2)
        self.output = nn.Linear(hidden, classes.CLASS_COUNT)

    def forward(self, x):
        x = self.features(x).flatten(1)
        return self.output(self.dropout(torch.relu(self.hidden(x))))


def cost(channels=CHANNELS, hidden=HIDDEN):
    """(parameters, multiply-adds) of one forward pass."""
    w, h = augment.INPUT_W, augment.INPUT_H
    params = macs = 0
    previous = 1
    for c in channels:
        params += previous * c * 9 + c
        macs += w * h * previous * c * 9
        w, h, previous = w // 2, h // 2, c
    flat = previous * w * h
    params += flat * hidden + hidden + hidden * classes.CLASS_COUNT + classes.CLASS_COUNT
    macs += flat * hidden + hidden * classes.CLASS_COUNT
    return params, macs
