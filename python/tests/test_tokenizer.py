"""Tokenizer: tokens and sentences equal those of `vtm tokenize` (JSON and --sentences)
on every text of up to three characters over a small alphabet, on random texts, on the
samples and on running Brown text, with str offsets mapped to the command's UTF-8
offsets; bad input; object life."""

from __future__ import annotations

import itertools
import json
import os
import random
import subprocess
import tempfile
from typing import List, Tuple

import pytest

import vtmrt
from conftest import TMP, VTM, assert_rejects_bad_text, in_threads
from english_data import SAMPLE_HTML, SAMPLE_TEXT, brown_sentences, need

NAMES = ["word", "punct", "closing", "opening", "sentence-end", "line-break", "tag-kept",
         "markup", "paragraph"]


@pytest.fixture(scope="module")
def tokenizer():
    need("en-brown.vtm", "html-tags.txt")
    with vtmrt.Tokenizer() as t:
        yield t


def write_texts(texts: List[str]) -> List[str]:
    folder = tempfile.mkdtemp(prefix="tok", dir=TMP)
    paths = []
    for k, text in enumerate(texts):
        path = os.path.join(folder, f"{k:05d}.txt")
        with open(path, "w", encoding="utf-8", newline="") as f:
            f.write(text)
        paths.append(path)
    return paths


def classes_of(bits: int) -> List[str]:
    return [n for k, n in enumerate(NAMES) if bits & (1 << k)] or ["mixed"]


def as_vtm(text: str, token: vtmrt.Token) -> Tuple:
    """A Token as `vtm tokenize --format json` writes it (UTF-8 offsets)."""
    start = len(text[:token.start].encode("utf-8"))
    length = len(text[token.start:token.end].encode("utf-8"))
    return (start, length, classes_of(token.classes), text[token.start:token.end],
            token.normalized)


def vtm_tokens(texts: List[str], html: bool) -> List[Tuple]:
    """`vtm tokenize --format json` over every text (one file each, one process)."""
    run = subprocess.run([VTM, "tokenize", "--format", "json", *(["--html"] if html else []),
                          *write_texts(texts)], capture_output=True, check=True)
    records = [json.loads(line) for line in run.stdout.decode("utf-8").splitlines()]
    return [(r["offset"], r["length"], r["classes"], r["text"], r.get("norm")) for r in records]


def vtm_sentences(texts: List[str], html: bool) -> List[str]:
    run = subprocess.run([VTM, "tokenize", "--sentences", *(["--html"] if html else []),
                          *write_texts(texts)], capture_output=True, check=True)
    return run.stdout.decode("utf-8").splitlines()


def compare(tokenizer, texts: List[str], html: bool = False) -> int:
    """Asserts that tokens and sentences of every text equal the command's; returns the
    number of tokens compared."""
    got = [as_vtm(text, t) for text in texts for t in tokenizer.tokenize(text, html)]
    assert got == vtm_tokens(texts, html)
    sentences = [" ".join(t.text for t in s) for text in texts
                 for s in tokenizer.sentences(text, html)]
    assert sentences == vtm_sentences(texts, html)
    for text in texts:
        for t in tokenizer.tokenize(text, html):
            assert t.text == (t.normalized if t.normalized is not None
                              else text[t.start:t.end])
    return len(got)


def test_every_short_text_tokenizes_as_vtm_tokenize(tokenizer):
    alphabet = ["a", "B", ".", " ", "\n", "é", "'", "(", "1"]
    texts = ["".join(p) for n in (1, 2, 3) for p in itertools.product(alphabet, repeat=n)]
    assert len(texts) == 9 + 81 + 729
    assert compare(tokenizer, texts) > 1500


PIECES = ["the", "The", "old", "man", "Dr.", "U.S.", "e.g.", "3.14", "1,000", "$5", "don't",
          "O'Neil", "well-known", ".", ",", "!", "?", "...", ";", ":", "\"", "'", "(", ")",
          "“", "”", "‘", "’", "—", "–", "€", "café", "naïve", "Æsop", "\xa0", " ", " ", " ",
          "  ", "\n", "\n\n", "\t", "\r\n", "-", "--", "&", "<b>", "</b>", "<p>", "<!-- x -->",
          "&amp;", "A.", "Mr", "Mrs.", "a.m.", "I'm", "N.Y.", "1960s", "'60s", "½", "§"]


def random_texts(seed: int, count: int) -> List[str]:
    rng = random.Random(seed)
    return ["".join(rng.choice(PIECES) + (" " if rng.random() < 0.5 else "")
                    for _ in range(rng.randint(1, 60))) for _ in range(count)]


@pytest.mark.parametrize("html", [False, True])
def test_random_texts_tokenize_as_vtm_tokenize(tokenizer, html):
    texts = random_texts(5 + html, 250)
    assert compare(tokenizer, texts, html) > 5000


def test_samples_and_brown_text_tokenize_as_vtm_tokenize(tokenizer):
    with open(SAMPLE_TEXT, encoding="utf-8") as f:
        sample = f.read()
    with open(SAMPLE_HTML, encoding="utf-8") as f:
        page = f.read()
    assert compare(tokenizer, [page], html=True) > 50
    # Running text: Brown sentences joined, a paragraph break after every fifth.
    sentences = brown_sentences(600)
    paragraphs = [" ".join(" ".join(s) for s in sentences[k:k + 5])
                  for k in range(0, len(sentences), 5)]
    assert compare(tokenizer, [sample, "\n\n".join(paragraphs)]) > 10000


def test_offsets_index_the_str(tokenizer):
    text = "Café “au lait” costs €3.\n\nNaïve? Yes."
    tokens = tokenizer.tokenize(text)
    words = [t for t in tokens if t.classes & vtmrt.TokenClass.WORD]
    assert [text[t.start:t.end] for t in words] == [t.text for t in words]
    assert isinstance(tokens[0].classes, vtmrt.TokenClass)
    assert any(t.classes & vtmrt.TokenClass.PARAGRAPH for t in tokens)
    assert [[t.text for t in s] for s in tokenizer.sentences(text)][-1] == ["Yes", "."]
    assert tokenizer.tokenize("") == [] and tokenizer.sentences("") == []


def test_megabyte_text_and_threads(tokenizer):
    text = " ".join(random_texts(9, 4000))
    assert len(text) > 200_000
    serial = tokenizer.tokenize(text)
    results = in_threads(3, lambda k: tokenizer.tokenize(text))
    assert len(results) == 3 and all(r == serial for r in results.values())
    big = "word " * 250_000
    assert len(tokenizer.tokenize(big)) == 250_000


def test_bad_input(tokenizer):
    assert_rejects_bad_text(tokenizer.tokenize)
    assert_rejects_bad_text(tokenizer.sentences)
    assert_rejects_bad_text(lambda text: tokenizer.tokenize(text, True))
    with pytest.raises(vtmrt.FileError):
        vtmrt.Tokenizer(os.path.join(TMP, "no-such.vtm"))
    with pytest.raises(vtmrt.FileError):
        vtmrt.Tokenizer(html_tags=os.path.join(TMP, "no-such-tags.txt"))
    with pytest.raises(TypeError):
        vtmrt.Tokenizer(3)
    with pytest.raises(vtmrt.UnsupportedError):
        vtmrt.Tokenizer(vtmrt.default_transducer())  # no tokenizing function


def test_closed_tokenizer_raises():
    need("en-brown.vtm", "html-tags.txt")
    t = vtmrt.Tokenizer()
    assert not t.closed and t.path.endswith("en-brown.vtm")
    t.close()
    t.close()
    assert t.closed
    with pytest.raises(vtmrt.ClosedError):
        t.tokenize("a")
    with pytest.raises(vtmrt.ClosedError):
        t.sentences("a")
