"""Results built in C++ (tokens, (word, tag) pairs, groups, sentences, analyses): the
garbage collector's state is the caller's again after every call, the records behave as
those made in Python (fields, equality, pickling), what is taken off the collector's
list can hold no cycle, while a cycle a caller makes through a result is still found, and
first calls from many threads at once get the same records."""

from __future__ import annotations

import gc
import pickle
import subprocess
import sys
import weakref

import pytest

import vtmrt
from english_data import need

TEXT = ("The old man left the house. He smiled at Dr. Smith's dog (a big one), "
        "and they walked to the park.\n\nIt rained.")
DATA = ("en-brown.vtm", "html-tags.txt", "english-tagger.vtm", "english-tagger.model",
        "english-chunks.vtm")


@pytest.fixture(scope="module")
def parts():
    need(*DATA)
    with vtmrt.Tokenizer() as tok, vtmrt.Tagger() as tagger, vtmrt.Chunker() as chunker:
        yield tok, tagger, chunker


def calls(parts):
    tok, tagger, chunker = parts
    words = [t.text for t in tok.sentences(TEXT)[0]]
    return {
        "chunk": lambda: chunker.chunk(TEXT),
        "tokenize": lambda: tok.tokenize(TEXT),
        "sentences": lambda: tok.sentences(TEXT),
        "tag_sents": lambda: tagger.tag_sents([words, words[:3]]),
        "tag": lambda: tagger.tag(words),
    }


def test_collector_state_is_the_callers_after_every_call(parts):
    checked = 0
    was = gc.isenabled()
    try:
        for name, call in calls(parts).items():
            for enabled in (True, False):
                (gc.enable if enabled else gc.disable)()
                assert call(), name
                assert gc.isenabled() is enabled, name
                checked += 1
        # A call refused before any result is built leaves it alone too.
        gc.enable()
        with pytest.raises(vtmrt.TextError):
            parts[2].chunk("a\0b")
        assert gc.isenabled()
    finally:
        (gc.enable if was else gc.disable)()
    assert checked == 10


def test_records_behave_as_those_made_in_python(parts):
    tok, _, chunker = parts
    sentences = chunker.chunk(TEXT)
    assert len(sentences) == 3
    groups = [g for s in sentences for g in s.groups]
    assert groups and all(type(g) is vtmrt.Group for g in groups)
    for g in groups:
        made = vtmrt.Group(g.label, g.first, g.count)
        assert g == made and hash(g) == hash(made) and g._asdict() == made._asdict()
        assert (g.label, g.first, g.count) == tuple(g) and repr(g) == repr(made)
        assert pickle.loads(pickle.dumps(g)) == g
    for s in sentences:
        assert type(s) is vtmrt.ChunkedSentence and s.error is None
        assert all(type(p) is tuple and len(p) == 2 for p in s.tokens)
        again = vtmrt.ChunkedSentence(s.tokens, s.groups, s._json, s.error)
        assert again == s and pickle.loads(pickle.dumps(s)) == s
        assert s.to_json()["groups"] and len(s.to_json()["groups"]) == len(s.groups)
    tokens = tok.tokenize(TEXT)
    assert all(type(t) is vtmrt.Token and type(t.classes) is vtmrt.TokenClass for t in tokens)
    for t in tokens:
        made = vtmrt.Token(t.text, t.start, t.end, t.classes, t.normalized)
        assert t == made and repr(t) == repr(made) and pickle.loads(pickle.dumps(t)) == t
        assert TEXT[t.start:t.end] == t.text or t.normalized is not None


def test_only_acyclic_records_leave_the_collectors_list(parts):
    _, tagger, chunker = parts
    s = chunker.chunk(TEXT)[0]
    assert not any(gc.is_tracked(p) for p in s.tokens)
    assert not any(gc.is_tracked(g) for g in s.groups)
    assert gc.is_tracked(s) and gc.is_tracked(s.tokens) and gc.is_tracked(s.groups)

    class Marker:
        pass

    # A cycle through a returned sentence and its list is found and freed.
    marker = Marker()
    gone = weakref.ref(marker)
    s.tokens.append((s, marker))
    del s, marker
    gc.collect()
    assert gone() is None

    # A word of a str subclass may hold a reference back: its pair stays on the list.
    class Word(str):
        pass

    word, marker = Word("man"), Marker()
    gone = weakref.ref(marker)
    tagged = tagger.tag_sents([["the", word]])
    assert gc.is_tracked(tagged[0][1]) and not gc.is_tracked(tagged[0][0])
    word.back, word.marker = tagged, marker
    del word, marker, tagged
    gc.collect()
    assert gone() is None


FIRST_CALLS = """
import sys, threading, vtmrt
tok, grp = vtmrt.Tokenizer(), vtmrt.Grouper()
chunker = vtmrt.Chunker(tok, None, grp)
calls = [lambda: chunker.chunk(sys.argv[1])[0].groups, lambda: grp.group(["at", "jj", "nn"]),
         lambda: [t.classes for t in tok.tokenize(sys.argv[1])]]
start, got = threading.Barrier(12), []
def run(k):
    start.wait()
    got.append((k % 3, repr(calls[k % 3]())))
threads = [threading.Thread(target=run, args=(k,)) for k in range(12)]
for t in threads: t.start()
for t in threads: t.join()
assert len(got) == 12 and all(r == repr(calls[k]()) for k, r in got), got
print(len(got))
"""


def test_first_calls_from_many_threads_at_once():
    """The record classes are looked up at the first call; twelve threads making their
    first calls together (three kinds of record) all get what one thread gets after."""
    need(*DATA)
    for _ in range(3):
        done = subprocess.run([sys.executable, "-c", FIRST_CALLS, TEXT], capture_output=True,
                              text=True, timeout=120)
        assert done.returncode == 0 and done.stdout.strip() == "12", done.stderr
