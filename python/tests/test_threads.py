"""Threads: one Transducer shared by several threads gives each the single-threaded
results; walks release the GIL (another thread runs during a batch); closing while
other threads walk gives results or ClosedError, never a crash; one Completion advanced
from several threads yields every word exactly once."""

from __future__ import annotations

import random
import threading
from collections import Counter

import vtmrt
from conftest import build, random_lexicon, random_word, ticks_during


def test_shared_transducer_gives_each_thread_the_serial_results():
    entries = random_lexicon(31, 800)
    rng = random.Random(2)
    words = [rng.choice(entries)[0] if rng.random() < 0.8 else random_word(rng, "abcé")
             for _ in range(4000)]
    with vtmrt.Transducer(build(entries, "threads")) as t:
        serial = [t.analyze(w) for w in words]
        results = {}

        def work(k):
            if k % 2:
                results[k] = t.analyze_many(words)
            else:
                results[k] = [t.analyze(w) for w in words]

        threads = [threading.Thread(target=work, args=(k,)) for k in range(6)]
        for th in threads:
            th.start()
        for th in threads:
            th.join()
    assert len(results) == 6
    for k, got in results.items():
        assert got == serial, k


def test_batch_releases_the_gil():
    entries = random_lexicon(32, 300)
    words = [s for s, _ in entries] * 400  # a batch of about 150,000 words
    with vtmrt.Transducer(build(entries, "gil")) as t:
        during = ticks_during(lambda: t.analyze_many(words[:10]), lambda: t.analyze_many(words))
    assert during > 1000


def test_close_while_other_threads_walk():
    entries = random_lexicon(33, 500)
    words = [s for s, _ in entries]
    for round_ in range(5):
        t = vtmrt.Transducer(build(entries, f"closing{round_}"))
        outcomes = Counter()
        started = threading.Barrier(4)

        def work():
            started.wait()
            try:
                for _ in range(200):
                    assert isinstance(t.analyze_many(words), list)
                    for w in words[:50]:
                        t.analyze(w)
                    next(t.complete(""))
                outcomes["finished"] += 1
            except vtmrt.ClosedError:
                outcomes["closed"] += 1

        threads = [threading.Thread(target=work) for _ in range(3)]
        for th in threads:
            th.start()
        started.wait()
        t.close()
        for th in threads:
            th.join()
        assert sum(outcomes.values()) == 3


def test_one_completion_shared_by_threads():
    entries = random_lexicon(34, 3000)
    with vtmrt.Transducer(build(entries, "sharedcomplete", "analysis", "expansion")) as t:
        it = t.complete("")
        seen = []
        lock = threading.Lock()

        def drain():
            mine = list(it)
            with lock:
                seen.extend(mine)

        threads = [threading.Thread(target=drain) for _ in range(4)]
        for th in threads:
            th.start()
        for th in threads:
            th.join()
        assert Counter(seen) == Counter(s for s, _ in entries)
        assert len(seen) > 3000
