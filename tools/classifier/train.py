"""Trains the character network and writes it as generated C++ source.

    /usr/bin/python3 tools/classifier/train.py --out data/generated [--cache FILE]

Fixed seeds, two threads, deterministic algorithms: the same repository
gives the same weights on the same machine. Prints the validation accuracy
by source and kind of character; the validation crops are whole groups
(the held-out plates, groups of near-duplicate easypr crops).
"""

import argparse
import os
import sys
import time

import numpy as np
import torch
import torch.nn.functional as F

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import augment  # noqa: E402
import classes  # noqa: E402
import dataset  # noqa: E402
import export  # noqa: E402
import model  # noqa: E402

SEED = 19
BATCH = 256
JUNK_SHARE = 0.06  # of each batch, made up on the fly; the plates give more junk
# How much of a class's draws each source gets, where the class has it.
SOURCE_WEIGHT = {"plate": 1.0, "easypr-grey": 1.0, "easypr-binary": 0.5, "font": 0.25}
JUNK_CLASS_WEIGHT = 3.0  # the junk class is drawn as often as this many characters


def sample_weights(labels, sources):
    """Draw weights: every character class equally often, within a class the
    sources by SOURCE_WEIGHT, within a source every sample equally."""
    weights = np.zeros(len(labels))
    for label in np.unique(labels):
        in_class = labels == label
        present = [s for s in range(len(dataset.SOURCES)) if np.any(in_class & (sources == s))]
        total = sum(SOURCE_WEIGHT[dataset.SOURCES[s]] for s in present)
        for s in present:
            chosen = in_class & (sources == s)
            share = SOURCE_WEIGHT[dataset.SOURCES[s]] / total
            weights[chosen] = share / chosen.sum()
        if label == classes.JUNK:
            weights[in_class] *= JUNK_CLASS_WEIGHT
    return weights / weights.sum()


def masked_predictions(logits, labels):
    """Predictions among the classes of the label's kind (letters and digits,
    or Chinese characters) plus junk, as the engine masks a position."""
    chinese = torch.tensor([classes.is_chinese(i) for i in range(classes.CLASS_COUNT)])
    wanted_chinese = torch.tensor([classes.is_chinese(int(l)) for l in labels])
    allowed = chinese[None, :] == wanted_chinese[:, None]
    allowed[:, classes.JUNK] = True
    return logits.masked_fill(~allowed, -1e9).argmax(1)


def evaluate(net, data, log):
    net.eval()
    labels = torch.from_numpy(data["labels"])
    logits = []
    with torch.no_grad():
        for start in range(0, len(labels), 1024):
            logits.append(net(augment.plain_inputs(data["canvases"][start:start + 1024])))
    logits = torch.cat(logits)
    plain = logits.argmax(1) == labels
    masked = masked_predictions(logits, labels) == labels
    chinese = torch.tensor([classes.is_chinese(int(l)) for l in labels])
    junk = labels == classes.JUNK
    groups = data["groups"]
    results = {}
    for s, source in enumerate(dataset.SOURCES):
        in_source = torch.from_numpy(data["sources"] == s)
        for kind, chosen in (("letters/digits", ~chinese & ~junk), ("Chinese", chinese),
                             ("junk", junk)):
            chosen = chosen & in_source
            n = int(chosen.sum())
            if n == 0:
                continue
            group_count = len(set(groups[chosen.numpy()]))
            rate = float(masked[chosen].float().mean()) * 100
            results[(source, kind)] = rate
            log("  %-14s %-15s %5d crops %5d groups: masked %5.1f %%, all classes %5.1f %%"
                % (source, kind, n, group_count, rate, float(plain[chosen].float().mean()) * 100))
    return results


def train(net, training, validation, epochs, per_epoch, log):
    generator = torch.Generator().manual_seed(SEED)
    augmenter = augment.Augmenter(generator)
    weights = torch.from_numpy(sample_weights(training["labels"], training["sources"]))
    optimiser = torch.optim.AdamW(net.parameters(), lr=3e-3, weight_decay=1e-4)
    steps = epochs * (per_epoch // BATCH)
    schedule = torch.optim.lr_scheduler.OneCycleLR(optimiser, max_lr=3e-3, total_steps=steps,
                                                   pct_start=0.15)
    junk_count = int(BATCH * JUNK_SHARE)
    for epoch in range(epochs):
        net.train()
        start = time.time()
        total_loss = 0.0
        for _ in range(per_epoch // BATCH):
            chosen = torch.multinomial(weights, BATCH - junk_count, True, generator=generator)
            canvases = training["canvases"][chosen.numpy()]
            character_canvases = canvases[training["labels"][chosen.numpy()] != classes.JUNK]
            canvases = np.concatenate([canvases, augmenter.junk(character_canvases, junk_count)])
            labels = np.concatenate([training["labels"][chosen.numpy()],
                                     np.full(junk_count, classes.JUNK)])
            inputs = augmenter(canvases)
            loss = F.cross_entropy(net(inputs), torch.from_numpy(labels), label_smoothing=0.05)
            optimiser.zero_grad()
            loss.backward()
            optimiser.step()
            schedule.step()
            total_loss += float(loss)
        log("epoch %d: loss %.3f, %.0f s" % (epoch + 1, total_loss / (per_epoch // BATCH),
                                            time.time() - start))
    log("validation (whole groups held out; masked = among the position's kind of character):")
    return evaluate(net, validation, log)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", required=True, help="folder of the generated sources")
    parser.add_argument("--reference", required=True,
                        help="header of the reference outputs for the forward-pass test")
    parser.add_argument("--cache", help="an .npz that keeps the prepared canvases between runs")
    parser.add_argument("--epochs", type=int, default=30)
    parser.add_argument("--per-epoch", type=int, default=16384)
    parser.add_argument("--channels", default=",".join(map(str, model.CHANNELS)))
    parser.add_argument("--hidden", type=int, default=model.HIDDEN)
    args = parser.parse_args()

    torch.manual_seed(SEED)
    np.random.seed(SEED)
    torch.set_num_threads(2)
    torch.use_deterministic_algorithms(True)
    log = lambda text: print(text, flush=True)

    training, validation = dataset.load(args.cache, log)
    log("training canvases: %d, validation canvases: %d"
        % (len(training["labels"]), len(validation["labels"])))
    channels = tuple(int(c) for c in args.channels.split(","))
    params, macs = model.cost(channels, args.hidden)
    log("network: channels %s, hidden %d: %d parameters, %d multiply-adds"
        % (channels, args.hidden, params, macs))
    net = model.CharNet(channels, args.hidden)
    train(net, training, validation, args.epochs, args.per_epoch, log)
    export.write(net.eval(), args.out, args.reference, log)


if __name__ == "__main__":
    main()
