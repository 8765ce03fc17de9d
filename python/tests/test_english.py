"""The bundled English transducer: analyze, analyze_many, stem and generate give exactly
what the `vtm` command prints for the same words (its JSON output), on a few thousand
words drawn from the lexicon by completion, their capitalised and reversed forms, and
the words of the demo's sample text."""

from __future__ import annotations

import json
import os
import random
import re
import subprocess

import pytest

import vtmrt
from conftest import VTM

SAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "data", "sample-en.txt")


def vtm_json(path, command, words, *options):
    run = subprocess.run([VTM, command, "-t", path, "--format", "json", *options],
                         input="".join(w + "\n" for w in words), capture_output=True,
                         text=True, encoding="utf-8", check=True)
    records = [json.loads(line) for line in run.stdout.splitlines()]
    assert [r["word"] for r in records] == list(words)
    return [r["results"] for r in records]


@pytest.fixture(scope="module")
def words(english_path):
    rng = random.Random(20)
    found = []
    with vtmrt.Transducer(english_path) as en:
        for _ in range(120):
            prefix = "".join(rng.choice("abcdefghilmnoprstw") for _ in range(2))
            for k, word in enumerate(en.complete(prefix, max=14)):
                if k == 40:
                    break
                found.append(word)
    text = open(SAMPLE, encoding="utf-8").read()
    found += re.findall(r"[^\W\d_]+(?:'[a-z]+)?", text)
    found = list(dict.fromkeys(w for w in found if "[" not in w and "]" not in w))
    found += [w.capitalize() for w in found[:1000]] + [w[::-1] for w in found[:1000]]
    assert len(found) >= 3000
    return list(dict.fromkeys(found))


def test_analyze_equals_vtm_lookup(english_path, words):
    expected = vtm_json(english_path, "lookup", words)
    with vtmrt.Transducer(english_path) as en:
        assert [en.analyze(w) for w in words] == expected
        assert en.analyze_many(words) == expected
    known = sum(1 for r in expected if r)
    assert len(words) >= 3000 and known > len(words) // 3, (len(words), known)


def test_stem_and_generate_equal_vtm(english_path, words):
    stems = vtm_json(english_path, "lookup", words, "--mode", "stem")
    with vtmrt.Transducer(english_path) as en:
        assert [en.stem(w) for w in words] == stems
        analyses = sorted({a for w in words[:1500] for a in en.analyze(w)})
        assert len(analyses) > 1000
        assert [en.generate(a) for a in analyses] == vtm_json(english_path, "generate", analyses)


def test_default_path_is_the_bundled_file(english_path):
    with vtmrt.Transducer() as en:
        assert en.path == english_path
        assert en.analyze("houses") == ["house[n][pl]", "house[vblex][pri][p3][sg]"]
        assert vtmrt.Capability.EXPANSION in vtmrt.Capability(en.capabilities)
