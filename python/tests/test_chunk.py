"""Chunker and vtmrt.chunk: every sentence's to_json() equals the object of
`vtm chunk -f json` and chunk_json() its lines, its words are those of
`vtm tokenize --sentences` and its tags those of `vtm tag`, on the samples, on running
Brown text and on random texts, with and without subgroups; sentence numbering; threads; bad input; object life."""

from __future__ import annotations

import json
import random
import subprocess
import threading

import pytest

import vtmrt
from conftest import VTM, assert_rejects_bad_text, in_threads, ticks_during
from english_data import SAMPLE_HTML, SAMPLE_TEXT, brown_sentences, need

DATA = ("en-brown.vtm", "html-tags.txt", "english-tagger.vtm", "english-tagger.model",
        "english-chunks.vtm")


@pytest.fixture(scope="module")
def chunker():
    need(*DATA)
    with vtmrt.Chunker() as c:
        yield c


def run_vtm(args, text):
    return subprocess.run([VTM, *args], input=text.encode("utf-8"), capture_output=True,
                          check=True).stdout.decode("utf-8").splitlines()


@pytest.fixture(scope="module")
def texts():
    with open(SAMPLE_TEXT, encoding="utf-8") as f:
        sample = f.read()
    sentences = brown_sentences(500)
    brown = "\n\n".join(" ".join(" ".join(s) for s in sentences[k:k + 4])
                        for k in range(0, len(sentences), 4))
    rng = random.Random(3)
    words = ["the", "old", "man", "saw", "a", "dog", "in", "the", "park", "and", "she",
             "ran", "quickly", "to", "John's", "house", "Dr.", "U.S.", "3", "big", "very"]
    marks = [".", ",", "!", "?", ";", "(", ")", "\"", "\n", "\n\n"]
    rand = " ".join(rng.choice(words) if rng.random() < 0.8 else rng.choice(marks)
                    for _ in range(6000))
    return [sample, brown, rand]


def compare(chunker, text, html=False, *options):
    """Asserts that chunk(text) matches the commands; returns the sentences compared."""
    got = chunker.chunk(text, html)
    flags = ["--html"] if html else []
    written = run_vtm(["chunk", "-f", "json", *flags, *options], text)
    expected = [json.loads(line) for line in written]
    assert [s.to_json() for s in got] == expected
    # chunk_json gives the command's lines byte for byte.
    assert chunker.chunk_json(text, html).decode("utf-8").split("\n") == written + [""]
    lines = run_vtm(["tokenize", "--sentences", *flags], text)
    assert [" ".join(w for w, _ in s.tokens) for s in got] == lines
    tags = [json.loads(line)["tags"] for line in run_vtm(["tag", "--output", "json"],
                                                         "\n".join(lines) + "\n")]
    assert [[t for _, t in s.tokens] for s in got] == tags
    for s in got:
        assert s.groups == [vtmrt.Group(g["label"], g["first"], g["count"])
                            for g in s.to_json()["groups"]]
    return len(got)


def test_chunk_equals_vtm_chunk(chunker, texts):
    compared = sum(compare(chunker, t) for t in texts)
    assert compared > 900
    with open(SAMPLE_HTML, encoding="utf-8") as f:
        assert compare(chunker, f.read(), True) > 3


def test_subgroups_equal_vtm_chunk(texts):
    need(*DATA)
    with vtmrt.Chunker(subgroups=True, sort=True) as c:
        assert compare(c, texts[1], False, "--subgroups", "--sort") > 100


def test_module_chunk_numbering_and_parts(chunker, texts):
    text = texts[0]
    default = vtmrt.chunk(text)
    assert default == chunker.chunk(text)
    assert [s.to_json()["sentence"] for s in default] == list(range(1, len(default) + 1))
    later = chunker.chunk(text, first_sentence=41)
    assert [s.to_json()["sentence"] for s in later] == list(range(41, 41 + len(default)))
    assert [s.tokens for s in later] == [s.tokens for s in default]
    assert chunker.chunk("") == [] and chunker.chunk("   \n\n ") == []
    with vtmrt.Tokenizer() as tok, vtmrt.Tagger() as tag, vtmrt.Grouper() as grp:
        with vtmrt.Chunker(tok, tag, grp) as own:
            assert own.chunk(text) == default
        assert not tok.closed and not tag.closed and not grp.closed
    s = default[0]
    assert s.error is None and all(isinstance(g, vtmrt.Group) for g in s.groups)
    assert "ChunkedSentence" in repr(s)


def test_threads_share_a_chunker(chunker, texts):
    serial = chunker.chunk(texts[1])
    results = in_threads(4, lambda k: vtmrt.chunk(texts[1]) if k % 2 else chunker.chunk(texts[1]))
    assert len(results) == 4 and all(r == serial for r in results.values())


def test_long_sentence_is_cut_with_a_warning(chunker):
    text = "word " * 100_050
    with pytest.warns(vtmrt.TextWarning, match="cut"):
        got = chunker.chunk(text)
    assert [len(s.tokens) for s in got] == [100_000, 50]
    with pytest.warns(vtmrt.TextWarning, match="cut"):
        assert chunker.chunk_json(text).count(b"\n") == 2


def test_bad_input(chunker):
    assert_rejects_bad_text(chunker.chunk)
    assert_rejects_bad_text(vtmrt.chunk)
    assert_rejects_bad_text(lambda text: chunker.chunk(text, True))
    assert_rejects_bad_text(chunker.chunk_json)
    for call in (chunker.chunk, chunker.chunk_json):
        with pytest.raises(vtmrt.ArgumentError):
            call("a", first_sentence=-1)
    with pytest.raises(TypeError):
        vtmrt.Chunker(tokenizer="en-brown.vtm")


def test_closed_parts_raise():
    need(*DATA)
    tok = vtmrt.Tokenizer()
    c = vtmrt.Chunker(tokenizer=tok)
    assert c.chunk("The man left.")
    tok.close()
    with pytest.raises(vtmrt.ClosedError, match="tokenizer"):
        c.chunk("The man left.")
    with pytest.raises(vtmrt.ClosedError, match="tokenizer"):
        c.chunk_json("The man left.")
    c.close()
    c.close()
    assert c.closed
    with pytest.raises(vtmrt.ClosedError):
        c.chunk("The man left.")
    with pytest.raises(vtmrt.ClosedError):
        c.chunk_json("The man left.")


def test_calls_release_the_gil(texts):
    need(*DATA)
    sentences = [s.split() for s in texts[1].split("\n\n")] * 20
    with vtmrt.Tagger() as tagger:
        assert ticks_during(lambda: tagger.tag(["a"]), lambda: tagger.tag_sents(sentences)) > 1000
    with vtmrt.Chunker() as c:
        assert ticks_during(lambda: c.chunk("a"), lambda: c.chunk(texts[1] * 3)) > 1000


def test_close_while_other_threads_chunk(texts):
    need(*DATA)
    text = texts[0]
    for part in ("tokenizer", "tagger", "grouper", "chunker"):
        tok, tag, grp = vtmrt.Tokenizer(), vtmrt.Tagger(), vtmrt.Grouper()
        c = vtmrt.Chunker(tok, tag, grp)
        expected = c.chunk(text)
        outcomes = []
        started = threading.Barrier(4)

        def work():
            started.wait()
            try:
                for _ in range(30):
                    assert c.chunk(text) == expected
                outcomes.append("finished")
            except vtmrt.ClosedError:
                outcomes.append("closed")

        threads = [threading.Thread(target=work) for _ in range(3)]
        for th in threads:
            th.start()
        started.wait()
        {"tokenizer": tok, "tagger": tag, "grouper": grp, "chunker": c}[part].close()
        for th in threads:
            th.join()
        assert len(outcomes) == 3
        with pytest.raises(vtmrt.ClosedError, match=part):
            c.chunk(text)
        for o in (c, tok, tag, grp):
            o.close()


class _Pieces:
    """A binary file that keeps each piece it is given and takes at most `take` bytes of
    each call (as a raw file may), or everything."""

    def __init__(self, take=None):
        self.pieces, self.take = [], take

    def write(self, data):
        taken = bytes(data if self.take is None else data[:self.take])
        self.pieces.append(taken)
        return len(taken)

    def value(self):
        return b"".join(self.pieces)


def test_write_json_writes_the_lines_of_chunk_json(chunker, texts):
    # Long and short texts in turn on one chunker, so that memory reused from a longer
    # call must never show through in a shorter one.
    order = [texts[2], texts[0], "", texts[1][:300], texts[1], "The end.", texts[2][:5000]]
    fields = [None, b'"file":"a.txt"', b'"file":"d\\u00e9j\\u00e0 vu.txt","n":3', b""]
    compared = 0
    for k, text in enumerate(order):
        want = chunker.chunk_json(text)
        field = fields[k % len(fields)]
        out = _Pieces(take=None if k % 2 else 4096)
        lines = chunker.write_json(out, text, fields=field)
        assert lines == want.count(b"\n")
        got = out.value()
        if not field:
            assert got == want
        else:
            extra = json.loads(b"{" + field + b"}")
            records = [json.loads(line) for line in got.splitlines()]
            assert records == [dict(extra, **json.loads(line)) for line in want.splitlines()]
            assert all(list(r)[:len(extra)] == list(extra) for r in records)
        # Each call's piece is small: about 32 KiB and at most one sentence's line more.
        longest = max((len(line) for line in want.splitlines()), default=0)
        assert all(len(p) <= 32 * 1024 + longest + len(field or b"") + 2 for p in out.pieces)
        compared += lines
    assert compared > 1000, compared


def test_write_json_bad_arguments(chunker, tmp_path):
    with pytest.raises(vtmrt.ArgumentTypeError):
        chunker.write_json(object(), "The man left.")
    with pytest.raises(vtmrt.ArgumentTypeError):
        chunker.write_json(_Pieces(), "The man left.", fields="\"file\":1")
    with pytest.raises(vtmrt.ArgumentError):
        chunker.write_json(_Pieces(), "The man left.", fields=b'"a":1\n')
    with pytest.raises(vtmrt.FileError):
        chunker.write_json(_Pieces(take=0), "The man left.")  # takes nothing
    with open(tmp_path / "t.jsonl", "w") as text_file, pytest.raises(TypeError):
        chunker.write_json(text_file, "The man left.")  # a text file takes no bytes

    class Failing:
        def write(self, data):
            raise OSError("disk full")

    with pytest.raises(OSError, match="disk full"):
        chunker.write_json(Failing(), "The man left.")
    assert_rejects_bad_text(lambda text: chunker.write_json(_Pieces(), text))
    # The chunker still works after every failure.
    out = _Pieces()
    assert chunker.write_json(out, "The man left.") == 1
    assert out.value() == chunker.chunk_json("The man left.")
