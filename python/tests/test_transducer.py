"""Transducer: analysis, stemming, generation and batch analysis against a reference
reading of random lexicons compiled by `vtm build`; object life (close, with, repr,
properties)."""

from __future__ import annotations

import os
import random

import pytest

import vtmrt
from conftest import analyses, build, random_lexicon, random_word


@pytest.fixture(scope="module", params=[1, 2, 3])
def lexicon(request):
    entries = random_lexicon(request.param, 400)
    return entries, build(entries, f"lex{request.param}")


def test_analyze_generate_stem_match_the_reference(lexicon):
    entries, path = lexicon
    ref = analyses(entries)
    rng = random.Random(9)
    unknown = {random_word(rng, "abcdeéñßxyz") for _ in range(300)} - set(ref)
    compared = 0
    with vtmrt.Transducer(path) as t:
        for word, expected in ref.items():
            assert sorted(t.analyze(word)) == sorted(expected), word
            compared += 1
        for word in unknown:
            assert t.analyze(word) == [], word
            compared += 1
        # Generation inverts analysis: the surfaces of every analysis.
        surfaces = {}
        for surface, analysis in entries:
            surfaces.setdefault(analysis, set()).add(surface)
        for analysis, expected in surfaces.items():
            assert sorted(t.generate(analysis)) == sorted(expected), analysis
            compared += 1
        # The stemming function here is the same lexicon: stems are its analyses.
        for word, expected in list(ref.items())[:100]:
            assert sorted(t.stem(word)) == sorted(expected), word
    assert compared >= len(ref) + len(unknown) + len(surfaces) > 500


def test_analyze_many_equals_analyze_per_word(lexicon):
    entries, path = lexicon
    rng = random.Random(4)
    words = [rng.choice(entries)[0] if rng.random() < 0.7 else random_word(rng, "abcxyzé")
             for _ in range(3000)]
    with vtmrt.Transducer(path) as t:
        batch = t.analyze_many(words)
        assert batch == [t.analyze(w) for w in words]
        assert len(batch) == 3000
        # Repeated words get lists of their own.
        again = t.analyze_many(words)
        first = {}
        for k, w in enumerate(words):
            if w in first and again[k]:
                assert again[k] is not again[first[w]]
                again[k].append("changed")
                assert again[first[w]] == t.analyze(w)
                break
            first.setdefault(w, k)
        else:
            pytest.fail("no repeated known word in the batch")
        assert t.analyze_many(iter(words[:10])) == batch[:10]  # any iterable
        assert t.analyze_many([]) == []


def test_many_results_outgrow_the_frame_buffer(tmp_path):
    # 600 analyses of one word, about 12 KB of results: more than the first buffer.
    entries = [("w", f"lemma{k:04d}[n]") for k in range(600)]
    path = build(entries, "wide")
    with vtmrt.Transducer(path) as t:
        assert sorted(t.analyze("w")) == sorted(a for _, a in entries)
        assert sorted(t.analyze_many(["w", "w"])[1]) == sorted(a for _, a in entries)


def test_long_word_and_megabyte_strings():
    word = "ab" * 300
    path = build([(word, "long[n]"), ("a", "a[n]")], "longword")
    with vtmrt.Transducer(path) as t:
        assert t.analyze(word) == ["long[n]"]
        assert t.analyze("a" * (4 << 20)) == []  # a 4 MB word: no result, no crash
        assert t.analyze_many(["a", "b" * (1 << 20), "a"]) == [["a[n]"], [], ["a[n]"]]


def test_close_and_context_manager():
    path = build([("cat", "cat[n]")], "close")
    t = vtmrt.Transducer(path)
    assert not t.closed and t.path == path
    assert repr(t) == f"<vtmrt.Transducer {path!r}>"
    t.close()
    t.close()  # idempotent
    assert t.closed and "closed" in repr(t)
    for call in (lambda: t.analyze("cat"), lambda: t.generate("cat[n]"), lambda: t.stem("cat"),
                 lambda: t.analyze_many(["cat"]), lambda: t.complete("c"),
                 lambda: t.capabilities, lambda: t.copyright):
        with pytest.raises(vtmrt.ClosedError):
            call()
    with vtmrt.Transducer(path) as u:
        assert u.analyze("cat") == ["cat[n]"]
    assert u.closed


def test_properties_and_path_types(tmp_path):
    path = build([("cat", "cat[n]")], "props", "analysis", "expansion")
    import pathlib
    for p in (path, os.fsencode(path), pathlib.Path(path)):
        with vtmrt.Transducer(p) as t:
            assert t.path == path
            caps = vtmrt.Capability(t.capabilities)
            assert caps == (vtmrt.Capability.ANALYSIS | vtmrt.Capability.LOOKUP
                            | vtmrt.Capability.EXPANSION)
            assert t.version == "1.0" and t.creation_date == 1767225600
    with vtmrt.Transducer(path) as t, pytest.raises(vtmrt.UnsupportedError) as e:
        t.stem("cat")  # no stemming function in this file
    assert e.value.code == -11


def test_help_reads_well():
    doc = vtmrt.Transducer.__doc__
    assert "bundled English" in doc and "ClosedError" in doc
    for name in ("analyze", "stem", "generate", "analyze_many", "complete", "close"):
        assert getattr(vtmrt.Transducer, name).__doc__.strip(), name
