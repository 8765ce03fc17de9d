#!/usr/bin/python3
"""NLTK's TnT tagger (trigram) on the Brown split, for bench/tag_peers.sh.

Trains once on TRAIN (one sentence per line, word/tag tokens), then for each BEAM
SENTENCES pair tags the first SENTENCES sentences of TEST (same form) keeping BEAM
histories (TnT's N; NLTK's default is 1000) and prints one line of key=value figures:
the beam, sentences and tokens tagged, the tagging's CPU and wall seconds (training
excluded), the training's CPU seconds and the accuracy on the tagged part.
Usage: tnt_tag.py TRAIN TEST BEAM SENTENCES [BEAM SENTENCES ...]
"""
import sys
import time

from nltk.tag import tnt


def read(path):
    sentences = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            tokens = [tuple(token.rsplit("/", 1)) for token in line.split()]
            if tokens:
                sentences.append(tokens)
    return sentences


def main():
    train = read(sys.argv[1])
    test = read(sys.argv[2])
    runs = [(int(b), int(s)) for b, s in zip(sys.argv[3::2], sys.argv[4::2])]
    cpu0 = time.process_time()
    tagger = tnt.TnT()
    tagger.train(train)
    train_cpu = time.process_time() - cpu0
    for beam, limit in runs:
        part = test[:limit]
        tagger._N = beam  # the beam width TnT() takes as N
        words = [[w for w, _ in s] for s in part]
        cpu0, wall0 = time.process_time(), time.perf_counter()
        tagged = tagger.tagdata(words)
        cpu, wall = time.process_time() - cpu0, time.perf_counter() - wall0
        tokens = sum(len(s) for s in part)
        right = sum(g[1] == o[1] for gs, os_ in zip(part, tagged) for g, o in zip(gs, os_))
        print(f"beam={beam} sentences={len(part)} tokens={tokens} cpu={cpu:.3f} "
              f"wall={wall:.3f} train_cpu={train_cpu:.1f} "
              f"accuracy={100.0 * right / tokens:.2f}", flush=True)


if __name__ == "__main__":
    main()
