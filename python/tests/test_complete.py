"""Transducer.complete: the paged continuation against a reference filter of the
lexicon's words (prefix, skip count, length limits), over result lists far larger than
one page, words longer than the first buffers, and objects closed mid-iteration."""

from __future__ import annotations

import random
from collections import Counter

import pytest

import vtmrt
from conftest import build, random_lexicon


def reference(words, fragment, skip=0, lo=0, hi=None):
    """Words holding `fragment` after exactly `skip` characters, lo <= len < hi. An
    empty fragment is matched before any symbol is read: every word, whatever the skip."""
    if not fragment:
        skip = 0
    return Counter(w for w in words
                   if w[skip:skip + len(fragment)] == fragment and len(w) >= skip + len(fragment)
                   and len(w) >= lo and (hi is None or len(w) < hi))


@pytest.fixture(scope="module")
def lexicon():
    # About 6,000 entries: the empty fragment lists more than 16 KB of words (pages).
    entries = random_lexicon(11, 5000, "abcdeéñ")
    return [s for s, _ in entries], build(entries, "complete", "analysis", "expansion")


def test_complete_matches_the_reference(lexicon):
    words, path = lexicon
    rng = random.Random(5)
    cases = [("", 0, 0, None), ("", 0, 3, 6), ("a", 0, 0, None), ("é", 0, 0, None)]
    for _ in range(150):
        w = rng.choice(words)
        skip = rng.randint(0, 2) if rng.random() < 0.4 else 0
        frag = w[skip:skip + rng.randint(0, 3)]
        lo = rng.choice([0, 0, 2, 4])
        hi = rng.choice([None, None, 5, 8])
        cases.append((frag, skip, lo, hi))
    compared = 0
    with vtmrt.Transducer(path) as t:
        for frag, skip, lo, hi in cases:
            got = Counter(t.complete(frag, skip=skip, min=lo, max=hi))
            assert got == reference(words, frag, skip, lo, hi), (frag, skip, lo, hi)
            compared += 1
    assert compared == 154
    # The first case really paged: more words than one page can hold.
    assert sum(len(w.encode("cp1252")) + 1 for w in words) > 16384


def test_long_words_restart_with_larger_buffers():
    # Words of 600 to 3,000 characters outgrow the first coded-output area (512 codes):
    # the expansion restarts with larger buffers and must neither lose nor repeat words.
    rng = random.Random(3)
    words = ["".join(rng.choice("ab") for _ in range(rng.randint(600, 3000))) for _ in range(40)]
    words += ["a", "b", "ab"]
    path = build([(w, "x[n]") for w in words], "longcomplete", "analysis", "expansion")
    with vtmrt.Transducer(path) as t:
        assert Counter(t.complete("")) == Counter(words)
        assert Counter(t.complete("a", max=1000)) == reference(words, "a", hi=1000)


def test_iterator_protocol_and_closing(lexicon):
    words, path = lexicon
    t = vtmrt.Transducer(path)
    it = t.complete("a")
    assert iter(it) is it
    first = next(it)
    assert first.startswith("a")
    it.close()
    with pytest.raises(vtmrt.ClosedError):
        next(it)
    with t.complete("") as c:
        next(c)
    with pytest.raises(vtmrt.ClosedError):
        next(c)
    # The transducer closed under a running iterator: ClosedError, no crash.
    it = t.complete("")
    next(it)
    t.close()
    with pytest.raises(vtmrt.ClosedError):
        for _ in it:
            pass
    with pytest.raises(vtmrt.ClosedError):
        t.complete("a")


def test_bad_arguments(lexicon):
    _, path = lexicon
    with vtmrt.Transducer(path) as t:
        for kwargs in ({"skip": -1}, {"min": -2}, {"max": -1}, {"max": 2**40}):
            with pytest.raises(vtmrt.ArgumentError):
                t.complete("a", **kwargs)
        for kwargs in ({"skip": "1"}, {"min": 1.5}, {"max": True}):
            with pytest.raises(vtmrt.ArgumentTypeError):
                t.complete("a", **kwargs)
        with pytest.raises(vtmrt.ArgumentTypeError):
            t.complete(None)
        with pytest.raises(vtmrt.EncodingError):
            t.complete("日")
        assert list(t.complete("a", min=5, max=5)) == []
        # A character outside the alphabet: no word holds it (as analyze gives []).
        assert list(t.complete("zzz")) == [] and list(t.complete("az", skip=1)) == []
    no_expansion = build([("cat", "cat[n]")], "noexp", "analysis")
    with vtmrt.Transducer(no_expansion) as t, pytest.raises(vtmrt.UnsupportedError):
        next(t.complete("c"))
