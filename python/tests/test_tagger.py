"""Tagger: tags equal those of `vtm tag` on real Brown sentences (every case mode, one
and batch calls); threads sharing a Tagger; bad input; object life."""

from __future__ import annotations

import json
import os
import subprocess

import pytest

import vtmrt
from conftest import TMP, VTM, in_threads
from english_data import brown_sentences, need


@pytest.fixture(scope="module")
def sentences():
    return brown_sentences(400)


@pytest.fixture(scope="module")
def tagger():
    need("english-tagger.vtm", "english-tagger.model")
    with vtmrt.Tagger() as t:
        yield t


def vtm_tag(sentences, *options):
    text = "".join(" ".join(s) + "\n" for s in sentences)
    run = subprocess.run([VTM, "tag", "--output", "json", *options], input=text.encode("utf-8"),
                         capture_output=True, check=True)
    records = [json.loads(line) for line in run.stdout.decode("utf-8").splitlines()]
    assert len(records) == len(sentences)
    return [list(zip(r["tokens"], r["tags"])) for r in records]


@pytest.mark.parametrize("case", ["auto", "exact", "lower", "upper"])
def test_tags_equal_vtm_tag_on_brown_sentences(sentences, case):
    need("english-tagger.vtm", "english-tagger.model")
    expected = vtm_tag(sentences, "--case", case)
    with vtmrt.Tagger(case=case) as t:
        batch = t.tag_sents(sentences)
        one_by_one = [t.tag(s) for s in sentences[:50]]
    assert len(sentences) == 400
    assert batch == expected
    assert one_by_one == expected[:50]
    assert sum(len(s) for s in batch) > 7000


def test_multiword_and_blank_tokens(tagger, sentences):
    need("english-tagger.vtm", "english-tagger.model")
    with vtmrt.Tagger(multiword=True) as t:
        assert t.tag_sents(sentences[:100]) == vtm_tag(sentences[:100], "--multiword")
    tagged = tagger.tag(["The", "", "man", "left", "."])
    assert tagged[1] == ("", "") and tagged[0][1] and tagged[2][1]
    assert tagger.tag([]) == [] and tagger.tag_sents([]) == []
    assert "nn" in tagger.tags and "at" in tagger.tags


def test_threads_share_a_tagger(tagger, sentences):
    serial = tagger.tag_sents(sentences)
    results = in_threads(4, lambda k: tagger.tag_sents(sentences) if k % 2
                         else [tagger.tag(s) for s in sentences])
    assert len(results) == 4 and all(r == serial for r in results.values())


def test_bad_input(tagger):
    for bad in (None, "a sentence", b"bytes", 5, [None], ["ok", 3], [b"x"]):
        with pytest.raises(TypeError):
            tagger.tag(bad)
    with pytest.raises(TypeError):
        tagger.tag_sents([["a"], None])
    with pytest.raises(TypeError):
        tagger.tag_sents("not a list")
    with pytest.raises(vtmrt.EncodingError):
        tagger.tag(["Greek", "αβγ"])
    with pytest.raises(vtmrt.EncodingError):
        tagger.tag(["\udc80"])
    with pytest.raises(vtmrt.TextError):
        tagger.tag(["a\0b"])
    with pytest.raises(vtmrt.CapacityError):
        tagger.tag(["word"] * 100001)
    with pytest.raises(vtmrt.CapacityError):
        tagger.tag(["x" * 1_000_001])
    assert len(tagger.tag(["word"] * 50000)) == 50000
    with pytest.raises(ValueError):
        vtmrt.Tagger(case="sideways")
    with pytest.raises(vtmrt.ArgumentError):
        vtmrt.Tagger(classes=os.path.join(TMP, "only-one.vtm"))
    with pytest.raises(vtmrt.FileError):
        vtmrt.Tagger(os.path.join(TMP, "no.vtm"), os.path.join(TMP, "no.model"))
    with pytest.raises(vtmrt.Error):
        vtmrt.Tagger(vtmrt.default_transducer(), vtmrt.default_data("english-tagger.model"))


def test_closed_tagger_raises():
    need("english-tagger.vtm", "english-tagger.model")
    t = vtmrt.Tagger()
    t.close()
    t.close()
    assert t.closed
    for call in (lambda: t.tag(["a"]), lambda: t.tag_sents([["a"]]), lambda: t.tags):
        with pytest.raises(vtmrt.ClosedError):
            call()
