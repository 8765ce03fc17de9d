"""vtmrt.nltk: the chunk parser and tagger used where NLTK expects its own, against
NLTK's RegexpParser on the same grammar and gold-tagged Brown sentences (ChunkScore,
tree2conlltags, accuracy); the tree building against a reference on random groups."""

from __future__ import annotations

import os
import random
import subprocess

import pytest

from corpora import brown_sentences, brown_test_names, require
from conftest import VTM

nltk = require("nltk")
from nltk.chunk import RegexpParser  # noqa: E402
from nltk.chunk.api import ChunkParserI  # noqa: E402
from nltk.chunk.util import ChunkScore, tree2conlltags  # noqa: E402
from nltk.tag.api import TaggerI  # noqa: E402
from nltk.tree import Tree  # noqa: E402

import vtmrt  # noqa: E402
import vtmrt.nltk as vn  # noqa: E402

DATA = os.path.join(os.path.dirname(__file__), "..", "..", "data", "en")


# --- groups_to_tree against a reference on random nested groups -------------------------

def random_groups(rng: random.Random, n: int):
    """Random groups over n tokens that nest or are disjoint (some empty, some with the
    same span as their parent), in a random order."""
    groups = []

    def fill(lo: int, hi: int, depth: int) -> None:
        i = lo
        while i < hi and depth < 4:
            if rng.random() < 0.4:
                j = rng.randint(i, hi)
                groups.append(vtmrt.Group(rng.choice(["np", "pp", "vp", "nom"]), i, j - i))
                fill(i, j, depth + 1)
                i = max(j, i + 1)
            else:
                i += 1

    fill(0, n, 0)
    if rng.random() < 0.2:
        groups.append(vtmrt.Group("np", rng.randint(0, n), -1))  # never closed
    rng.shuffle(groups)
    return groups


def spans(tree: Tree):
    """(label, first, count, parent) of every subtree in pre-order, walking the leaves;
    parent is the enclosing subtree's (label, first, count) or None."""
    out = []
    parents = []

    def walk(node: Tree, first: int, parent) -> int:
        i = first
        for child in node:
            if isinstance(child, Tree):
                slot = len(out)
                out.append(None)
                parents.append(parent)
                count = walk(child, i, slot)
                out[slot] = (child.label(), i, count)
                i += count
            else:
                i += 1
        return i - first

    walk(tree, 0, None)
    return [span + (None if p is None else out[p],) for span, p in zip(out, parents)]


def reference_parents(groups):
    """For each group (in the given order, outer ones first where spans are equal), the
    innermost group holding it: a non-empty group holds the tokens first..first+count-1
    and the empty places first..first+count-1 before them."""
    parents = []
    for k, g in enumerate(groups):
        best = None
        for j, h in enumerate(groups):
            if j == k or h.count == 0:
                continue
            if g.count == 0:
                holds = h.first <= g.first < h.first + h.count
            else:
                holds = h.first <= g.first and g.first + g.count <= h.first + h.count
                if (h.first, h.count) == (g.first, g.count):
                    holds = j < k
            if holds and (best is None or h.count < best[1].count or
                          (h.count == best[1].count and j > best[0])):
                best = (j, h)
        parents.append(None if best is None else tuple(best[1]))
    return parents


def test_groups_to_tree_matches_the_reference_on_random_groups():
    rng = random.Random(7)
    compared = 0
    for case in range(3000):
        n = rng.randint(0, 9)
        tokens = [(f"w{i}", f"t{i}") for i in range(n)]
        groups = random_groups(rng, n)
        labels = None if case % 3 else {"np", "pp"}
        tree = vn.groups_to_tree(tokens, groups, labels=labels)
        assert tree.label() == "S" and tree.leaves() == tokens
        kept = [g for g in groups if g.count >= 0 and (labels is None or g.label in labels)]
        order = sorted(kept, key=lambda g: (g.first, -g.count))  # stable: outer first
        want = [tuple(g) + (p,) for g, p in zip(order, reference_parents(order))]
        got = spans(tree)
        # Pre-order of the tree is the order of first token, longer (outer) first.
        assert got == want, (tokens, groups)
        compared += 1
    assert compared == 3000


def test_groups_to_tree_refuses_groups_outside_or_crossing():
    tokens = [("a", "at"), ("b", "nn"), ("c", "vbd")]
    with pytest.raises(ValueError):
        vn.groups_to_tree(tokens, [vtmrt.Group("np", 2, 2)])
    with pytest.raises(ValueError):
        vn.groups_to_tree(tokens, [vtmrt.Group("np", 0, 2), vtmrt.Group("vp", 1, 2)])
    tree = vn.groups_to_tree(tokens, [vtmrt.Group("np", 0, 2)], relabel={"np": "NP"}, root="R")
    assert tree == Tree("R", [Tree("NP", [("a", "at"), ("b", "nn")]), ("c", "vbd")])


# --- ChunkParser where NLTK expects a chunk parser ----------------------------------------

@pytest.fixture(scope="module")
def gold():
    """Gold-tagged Brown test sentences and NLTK's RegexpParser trees over them, with the
    grammar the bundled grouper is compiled from."""
    sentences = brown_sentences(brown_test_names(6))
    with open(os.path.join(DATA, "chunks.grammar"), encoding="utf-8") as f:
        parser = RegexpParser(f.read())
    return sentences, [parser.parse(s) for s in sentences]


def flatten_to(tree: Tree, keep: set) -> Tree:
    """NLTK's tree with only the subtrees labelled in `keep`, the others dissolved."""
    children = []
    for child in tree:
        if isinstance(child, Tree):
            inner = flatten_to(child, keep)
            children.extend([inner] if child.label() in keep else list(inner))
        else:
            children.append(child)
    return Tree(tree.label(), children)


def test_chunk_parser_gives_regexp_parser_trees_and_a_perfect_chunk_score(english_path, gold):
    sentences, trees = gold
    parser = vn.ChunkParser(relabel=str.upper)
    assert isinstance(parser, ChunkParserI)
    compared = 0
    for sentence, want in zip(sentences, trees):
        assert parser.parse(sentence) == want, sentence
        compared += 1
    assert compared == len(sentences) > 500
    # NLTK's own evaluation of a chunker, per label and over all of them.
    for label in ("NP", "PP", "VP"):
        score = ChunkParser_accuracy(parser, trees, label)
        assert (score.precision(), score.recall(), score.f_measure()) == (1.0, 1.0, 1.0)
        assert len(score.correct()) == len(score.guessed()) > 500
    score = parser.accuracy(trees)
    assert isinstance(score, ChunkScore) and score.accuracy() == 1.0
    assert score.f_measure() == 1.0


def ChunkParser_accuracy(parser, trees, label):
    score = ChunkScore(chunk_label=label)
    for tree in trees:
        score.score(tree, parser.parse(tree.leaves()))
    return score


def test_chunk_parser_np_chunks_for_conll_tags(english_path, gold):
    sentences, trees = gold
    parser = vn.ChunkParser(labels={"np"}, relabel=str.upper)
    compared = 0
    for sentence, tree in zip(sentences, trees):
        got = tree2conlltags(parser.parse(sentence))
        assert got == tree2conlltags(flatten_to(tree, {"NP"}))
        assert [(w, t) for w, t, _ in got] == sentence
        compared += 1
    assert compared == len(sentences)
    # The nested trees are what NLTK's CoNLL conversion refuses; the flat ones it takes.
    nested = next(t for t in trees if any(isinstance(c, Tree) and c.label() == "PP" for c in t))
    with pytest.raises(ValueError):
        tree2conlltags(vn.ChunkParser().parse(nested.leaves()))


def test_chunk_parser_subgroups_refine_noun_phrases_only(english_path, gold):
    sentences, _ = gold
    plain = vn.ChunkParser()
    deep = vn.ChunkParser(subgroups=True)
    outer = vn.ChunkParser(subgroups=True, labels={"np", "pp", "vp"})
    inner_groups = 0
    for sentence in sentences[:400]:
        tree = deep.parse(sentence)
        assert outer.parse(sentence) == plain.parse(sentence)
        for sub in tree.subtrees(lambda t: t.label() in ("adjp", "nom")):
            inner_groups += 1
        for parent in tree.subtrees():
            for child in parent:
                if isinstance(child, Tree) and child.label() in ("adjp", "nom"):
                    assert parent.label() in ("np", "adjp", "nom"), tree
    assert inner_groups > 100


def test_chunk_parser_bad_input(english_path):
    parser = vn.ChunkParser()
    assert parser.parse([]) == Tree("S", [])
    assert parser.parse([["the", "at"], ["dog", "nn"]]) == Tree(
        "S", [Tree("np", [("the", "at"), ("dog", "nn")])])
    for bad in (["the"], [("the", "at", "x")], [None], 5):
        with pytest.raises(TypeError):
            parser.parse(bad)
    with pytest.raises(vtmrt.Error):
        parser.parse([("the", "at\u0100")])
    with pytest.raises(vtmrt.Error):
        vn.ChunkParser(os.path.join(DATA, "chunks.grammar"))


# --- Tagger where NLTK expects a tagger -----------------------------------------------------

def vtm_tag_accuracy(sentences) -> float:
    """The share of gold tags `vtm tag` gives, from its own output."""
    text = "".join(" ".join(w for w, _ in s) + "\n" for s in sentences)
    out = subprocess.run([VTM, "tag", "--output", "tsv"], input=text, capture_output=True,
                         text=True, check=True).stdout
    got = [line.split("\t")[1] for line in out.splitlines() if line]
    want = [t for s in sentences for w, t in s if w]
    assert len(got) == len(want)
    return sum(g == w for g, w in zip(got, want)) / len(want)


@pytest.fixture(scope="module")
def tagger():
    if not hasattr(vtmrt, "Tagger"):
        pytest.fail("vtmrt.Tagger is missing")
    return vn.Tagger()


def test_tagger_accuracy_as_nltk_scores_it(english_path, tagger):
    sentences = brown_sentences(brown_test_names(4))
    assert isinstance(tagger, TaggerI)
    accuracy = tagger.accuracy(sentences)
    assert accuracy == pytest.approx(vtm_tag_accuracy(sentences), abs=1e-12)
    assert accuracy > 0.93
    assert tagger.evaluate(sentences[:50]) == tagger.accuracy(sentences[:50])
    # One sentence at a time gives what one call for all gives.
    words = [[w for w, _ in s] for s in sentences[:200]]
    assert [tagger.tag(iter(s)) for s in words] == tagger.tag_sents(iter(words))
    matrix = tagger.confusion(sentences[:100])
    assert matrix["nn", "nn"] > 0


def test_tagger_with_nltk_chunking(english_path, tagger, gold):
    sentences, _ = gold
    parser = vn.ChunkParser()
    tagged = tagger.tag_sents([w for w, _ in s] for s in sentences[:100])
    trees = [parser.parse(s) for s in tagged]
    assert [t.leaves() for t in trees] == tagged
    assert sum(1 for t in trees for _ in t.subtrees(lambda s: s.label() == "np")) > 100
