#!/usr/bin/env python3
"""Words per second from Python on the English lexicon: vtmrt's Transducer.analyze called
per word, Transducer.analyze_many on the whole list (one thread, and the list split over
two threads), against HFST's Python module (hfst.HfstTransducer.lookup per word on the
optimized-lookup file built from the same lexicon), when it is installed. Checks first
that both give the same analysis sets for every distinct token.
Usage: bench.py ENGLISH_VTM TOKENS [HFSTOL]   (RUNS: repetitions, best is kept; default 5)"""

import os
import re
import sys
import threading
import time

import vtmrt

runs = int(os.environ.get("RUNS", "5"))
english, tokens_path = sys.argv[1], sys.argv[2]
hfstol = sys.argv[3] if len(sys.argv) > 3 else None
tokens = []
for line in open(tokens_path, encoding="utf-8"):
    word = line.rstrip("\n")
    try:
        word.encode("cp1252")
    except UnicodeEncodeError:
        continue  # vtm files hold Windows-1252 text only
    if "[" not in word and "]" not in word:  # tag brackets in lookup input
        tokens.append(word)


def best(fn):
    """Best wall time and best CPU time (of this process) over the runs: on a shared
    machine the CPU time tells the code's own cost."""
    walls, cpus = [], []
    for _ in range(runs):
        t0, c0 = time.perf_counter(), time.process_time()
        fn()
        walls.append(time.perf_counter() - t0)
        cpus.append(time.process_time() - c0)
    return min(walls), min(cpus)


def rate(times):
    wall, cpu = times
    return (f"{len(tokens) / wall:>12,.0f} words/s wall ({wall * 1000:.1f} ms), "
            f"{len(tokens) / cpu:>12,.0f} words/s of CPU ({cpu * 1000:.1f} ms)")


en = vtmrt.Transducer(english)
analyze = en.analyze
print(f"tokens: {len(tokens):,} ({len(set(tokens)):,} distinct); best of {runs} runs")
print(f"vtmrt analyze, per word:      {rate(best(lambda: [analyze(w) for w in tokens]))}")
print(f"vtmrt analyze_many:           {rate(best(lambda: en.analyze_many(tokens)))}")


def two_threads():
    half = len(tokens) // 2
    parts = [tokens[:half], tokens[half:]]
    threads = [threading.Thread(target=en.analyze_many, args=(p,)) for p in parts]
    for t in threads:
        t.start()
    for t in threads:
        t.join()


print(f"vtmrt analyze_many, 2 threads: {rate(best(two_threads))}")

if hfstol:
    try:
        import hfst
    except ImportError:
        print("hfst: the Python module is not installed (python3-hfst)")
        sys.exit(0)
    peer = hfst.HfstInputStream(hfstol).read()
    lookup = peer.lookup

    def peer_set(word):
        return sorted({re.sub(r"<([^<>]*)>", r"[\1]", a) for a, _ in lookup(word)})

    distinct = sorted(set(tokens))
    same = sum(1 for w in distinct if peer_set(w) == sorted(set(analyze(w))))
    print(f"agreement with hfst: {same:,}/{len(distinct):,} distinct tokens")
    print(f"hfst lookup, per word:         {rate(best(lambda: [lookup(w) for w in tokens]))}")
