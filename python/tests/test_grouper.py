"""Grouper: the bundled English grouper gives exactly what `vtm group` prints (JSON) for
random sentences of Brown tags, with and without subgroups; object life; bad input."""

from __future__ import annotations

import json
import os
import random
import subprocess
import threading

import pytest

import vtmrt
from conftest import VTM

TAGS = os.path.join(os.path.dirname(__file__), "..", "..", "data", "en", "brown.tags")


@pytest.fixture(scope="module")
def sentences():
    tags = [t.strip() for t in open(TAGS, encoding="utf-8") if t.strip()]
    common = ["at", "jj", "nn", "nns", "vbd", "in", "np", "cc", "rb", "vb", "pps", "."]
    rng = random.Random(12)
    return [[rng.choice(common) if rng.random() < 0.7 else rng.choice(tags)
             for _ in range(rng.randint(1, 25))] for _ in range(1500)]


def vtm_group(sentences, *options):
    text = "".join(json.dumps([[f"w{k}", t] for k, t in enumerate(s)]) + "\n" for s in sentences)
    run = subprocess.run([VTM, "group", "--input", "json", "--format", "json", *options],
                         input=text, capture_output=True, text=True, encoding="utf-8")
    records = [json.loads(line) for line in run.stdout.splitlines()]
    assert len(records) == len(sentences)
    return [None if "error" in r else [(g["label"], g["first"], g["count"]) for g in r["groups"]]
            for r in records]


@pytest.mark.parametrize("options", [(), ("--subgroups",), ("--subgroups", "--sort")])
def test_group_equals_vtm_group(sentences, options):
    expected = vtm_group(sentences, *options)
    compared = groups = 0
    with vtmrt.Grouper() as g:
        for tags, want in zip(sentences, expected):
            if want is None:
                with pytest.raises(vtmrt.Error):
                    g.group(tags, subgroups="--subgroups" in options, sort="--sort" in options)
                continue
            got = g.group(tags, subgroups="--subgroups" in options, sort="--sort" in options)
            assert [tuple(x) for x in got] == want, tags
            compared += 1
            groups += len(got)
    assert compared > 1000 and groups > 3000, (compared, groups)


def test_grouper_on_a_transducer_and_closing(english_chunks):
    t = vtmrt.Transducer(english_chunks)
    g = vtmrt.Grouper(t)
    assert g.group(["at", "nn"]) == [vtmrt.Group("np", 0, 2)]
    t.close()  # the grouper keeps walking the transducer it holds: ClosedError
    with pytest.raises(vtmrt.ClosedError):
        g.group(["at", "nn"])
    g.close()
    g.close()
    assert g.closed
    with pytest.raises(vtmrt.ClosedError):
        g.group(["at"])
    with pytest.raises(vtmrt.UnsupportedError):
        vtmrt.Grouper(vtmrt.default_transducer())  # no grouping function


def test_bad_tags_and_threads(english_chunks):
    with vtmrt.Grouper(english_chunks) as g:
        for bad in ([None], [3], "at", ["at\0nn"], ["日"]):
            with pytest.raises(vtmrt.Error):
                g.group(bad) if not isinstance(bad, str) else g.group([bad, 5])
        with pytest.raises(vtmrt.TextError):
            g.group(["no-such-tag"])
        assert g.group([]) == []
        sentence = ["at", "jj", "nn", "vbd", "in", "at", "nn", "."] * 50
        serial = g.group(sentence)
        results = []
        threads = [threading.Thread(target=lambda: results.append(g.group(sentence)))
                   for _ in range(4)]
        for th in threads:
            th.start()
        for th in threads:
            th.join()
        assert results == [serial] * 4 and len(serial) > 100


@pytest.fixture(scope="module")
def english_chunks():
    try:
        return vtmrt.default_data("english-chunks.vtm")
    except vtmrt.FileError as e:
        pytest.fail(f"the bundled grouper is built with vtm: {e}")
