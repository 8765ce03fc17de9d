"""The per-element work of vtmrt.dask without a cluster: reading a file as `vtm chunk`
reads it (against a character-by-character reference, on every short byte sequence
over a set of pieces and on random ones), and the JSON lines write_jsonl writes for a
chunk() bag straight from the chunker against the records chunk() gives."""

from __future__ import annotations

import itertools
import json
import os
import random
import tempfile

import pytest

from conftest import TMP
from corpora import require
from english_data import SAMPLE_TEXT, need

require("dask.bag")

import vtmrt  # noqa: E402
import vtmrt.dask as vd  # noqa: E402

OPTIONS = dict(tokenizer=None, html_tags=None, classes=None, model=None, grouper=None,
               subgroups=False, case="auto", multiword=False)

# UTF-8 of ASCII, of letters in and out of code page 1252 (U+0081 is one of the five
# cp1252 holes), U+FFFD itself, and bytes that are not UTF-8 (alone, a cut sequence, an
# overlong form and a surrogate).
PIECES = [b"a", b" ", b"\n", "\u00e9".encode(), "\u20ac".encode(), "\u0101".encode(),
          "\u0081".encode(), "\U0001f600".encode(), "\ufffd".encode(), b"\xff", b"\xc3",
          b"\xe2\x82", b"\xc0\xaf", b"\xed\xa0\x80"]


def reference_read(data: bytes) -> str:
    """Each character as it is, or a space when it is U+FFFD (an invalid byte) or
    outside code page 1252."""
    out = []
    for c in data.decode("utf-8", errors="replace"):
        try:
            c.encode("cp1252")
            out.append(" " if c == "\ufffd" else c)
        except UnicodeEncodeError:
            out.append(" ")
    return "".join(out)


def test_read_text_equals_a_character_by_character_reference():
    rng = random.Random(5)
    cases = [b"".join(p) for n in range(4) for p in itertools.product(PIECES, repeat=n)]
    cases += [b"".join(rng.choice(PIECES) for _ in range(rng.randrange(5, 200)))
              for _ in range(300)]
    for data in cases:
        assert vd._decode_text(data) == reference_read(data), data
    assert len(cases) == 1 + 14 + 14 ** 2 + 14 ** 3 + 300
    # And from a file, as it is read.
    folder = tempfile.mkdtemp(prefix="read-", dir=TMP)
    path = os.path.join(folder, "t.txt")
    with open(path, "wb") as f:
        f.write(cases[-1])
    assert vd._read_text(path) == reference_read(cases[-1])
    os.unlink(path)


@pytest.fixture(scope="module")
def files():
    need("en-brown.vtm", "html-tags.txt", "english-tagger.vtm", "english-tagger.model",
         "english-chunks.vtm")
    folder = tempfile.mkdtemp(prefix="lines-", dir=TMP)
    with open(SAMPLE_TEXT, "rb") as f:
        sample = f.read()
    texts = {"sample.txt": sample,
             "a \"quoted\" \u00e9 name\\.txt": b"It rained. The old man left.\n",
             "odd.txt": b"The caf\xe9 was \xe2\x98\x83 closed.\r\nNa\xc3\xafve people\nwaited.",
             "empty.txt": b"", "blank.txt": b" \n\n \n"}
    paths = []
    for name, data in texts.items():
        paths.append(os.path.join(folder, name))
        with open(paths[-1], "wb") as f:
            f.write(data)
    return paths


def test_lines_of_chunk_equal_its_records(files):
    compared = 0
    for path in files:
        lines = vd._chunk_lines(path, True, False, OPTIONS)
        records = vd._chunk_element(path, True, False, OPTIONS)
        assert lines.endswith(b"\n") or not lines
        assert [json.loads(line) for line in lines.splitlines()] == records, path
        # The records are those of the sentences chunk() gives, with the file first.
        with vtmrt.Chunker() as chunker:
            want = [dict({"file": path}, **s.to_json())
                    for s in chunker.chunk(vd._read_text(path))]
        assert records == want and all(next(iter(r)) == "file" for r in records)
        compared += len(records)
        with open(path, encoding="utf-8", errors="replace") as f:
            text = vd._read_text(path) if "odd" in path else f.read()
        assert [json.loads(line) for line in
                vd._chunk_lines(text, False, False, OPTIONS).splitlines()] == \
            [{k: v for k, v in r.items() if k != "file"} for r in records]
    assert compared > 5, compared
    assert vd._chunk_lines(files[3], True, False, OPTIONS) == b""


def test_record_lines_are_json_lines_of_each_record():
    records = [{"word": "na\u00efve", "results": ["a\"b", "c\nd"]}, {"tokens": [], "tags": []}]
    for element in (records, records[0]):
        lines = vd._record_lines(element)
        want = element if isinstance(element, list) else [element]
        assert [json.loads(line) for line in lines.decode("utf-8").split("\n")[:-1]] == want
        assert lines.count(b"\n") == len(want) and "\u00ef".encode() in lines
