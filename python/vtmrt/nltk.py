"""NLTK interfaces: the library's tagger and grouper where NLTK code expects its own.

    import vtmrt.nltk
    tagger = vtmrt.nltk.Tagger()             # nltk.tag.api.TaggerI
    tagger.tag(["The", "old", "man", "sat"])  # [('The', 'at'), ('old', 'jj'), ...]
    tagger.accuracy(gold_sentences)           # as for any NLTK tagger
    chunker = vtmrt.nltk.ChunkParser()        # nltk.chunk.api.ChunkParserI
    chunker.parse(tagger.tag(words))          # Tree('S', [Tree('np', [...]), ...])
    chunker.accuracy(gold_trees)              # an nltk.chunk.util.ChunkScore

The tags are those of the bundled English data (the Brown tag set, simplified: lower
case, no "-tl"/"-hl"/"-nc"), the group labels those of the grammar the grouper was
compiled from ("np", "pp", "vp"; with subgroups also "adjp", "nom"). Groups become
subtrees nested as the grouper nests them (a "pp" holds its "np"), like the trees of
NLTK's RegexpParser on the same grammar; `labels` keeps some labels only (with
labels=["np"] the trees are flat, as nltk.chunk.util.tree2conlltags wants them) and
`relabel` renames them (relabel=str.upper gives NLTK's "NP").

Needs NLTK (Debian's python3-nltk); import this module explicitly. Tested by
python/tests/test_nltk.py.
"""

from __future__ import annotations

from typing import Callable, Collection, Iterable, List, Mapping, Optional, Sequence, Tuple, Union

from nltk.chunk.api import ChunkParserI
from nltk.tag.api import TaggerI
from nltk.tree import Tree

import vtmrt

__all__ = ["Tagger", "ChunkParser", "groups_to_tree"]

TaggedToken = Tuple[str, str]
Relabel = Union[Callable[[str], str], Mapping[str, str], None]


class Tagger(TaggerI):
    """An NLTK tagger (nltk.tag.api.TaggerI) over vtmrt.Tagger.

    Tagger(tagger=None, **options): `tagger` is a vtmrt.Tagger to use; without it one is
    made with vtmrt.Tagger(**options) (default: the bundled English tagger). tag() takes
    one sentence's words, tag_sents() many (one call into the library for all of them);
    NLTK's accuracy(), evaluate(), confusion(), precision() and recall() work as for
    NLTK's own taggers.
    """

    def __init__(self, tagger: Optional["vtmrt.Tagger"] = None, **options: object) -> None:
        if tagger is not None and options:
            raise TypeError("give either a vtmrt.Tagger or options for a new one, not both")
        self._tagger = tagger if tagger is not None else vtmrt.Tagger(**options)

    @property
    def tagger(self) -> "vtmrt.Tagger":
        """The vtmrt.Tagger that does the work."""
        return self._tagger

    def tag(self, tokens: Iterable[str]) -> List[TaggedToken]:
        """The words of one sentence with their tags: [(word, tag), ...]."""
        return list(self._tagger.tag(list(tokens)))

    def tag_sents(self, sentences: Iterable[Iterable[str]]) -> List[List[TaggedToken]]:
        """tag() of every sentence (any iterable of word sequences, such as the
        generator NLTK's accuracy() passes)."""
        return [list(s) for s in self._tagger.tag_sents([list(s) for s in sentences])]


def _label_map(relabel: Relabel) -> Callable[[str], str]:
    if relabel is None:
        return lambda label: label
    if callable(relabel):
        return relabel
    table = dict(relabel)
    return lambda label: table.get(label, label)


def groups_to_tree(tokens: Sequence[object], groups: Iterable["vtmrt.Group"], *,
                   labels: Optional[Collection[str]] = None, relabel: Relabel = None,
                   root: str = "S") -> Tree:
    """An nltk.Tree over `tokens` (its leaves, in order) with one subtree per group
    (objects with label, first and count, such as vtmrt.Group).

    Groups nest or are disjoint; where two cover the same tokens the earlier one in
    `groups` is the outer one; an empty group (count 0) is an empty subtree. Groups never
    closed (count -1) are left out, as are groups whose label is not in `labels` (when
    given), their tokens staying in the enclosing tree. ValueError for a group outside the
    tokens or crossing another.
    """
    rename = _label_map(relabel)
    n = len(tokens)
    kept = [g for g in groups if g.count >= 0 and (labels is None or g.label in labels)]
    for g in kept:
        if g.first < 0 or g.first + g.count > n:
            raise ValueError(f"group {g!r} lies outside the {n} tokens")
    # Outer groups first: by first token, then longer first; stable for equal spans.
    kept.sort(key=lambda g: (g.first, -g.count))
    top = Tree(root, [])
    open_trees: List[Tuple[Tree, int]] = [(top, n)]  # open trees and their end tokens
    k = 0
    for i in range(n + 1):
        while len(open_trees) > 1 and open_trees[-1][1] <= i:
            open_trees.pop()
        while k < len(kept) and kept[k].first == i:
            g = kept[k]
            k += 1
            if g.first + g.count > open_trees[-1][1]:
                raise ValueError(f"group {g!r} crosses the end of an enclosing group")
            subtree = Tree(rename(g.label), [])
            open_trees[-1][0].append(subtree)
            if g.count > 0:
                open_trees.append((subtree, g.first + g.count))
        if i < n:
            open_trees[-1][0].append(tokens[i])
    return top


class ChunkParser(ChunkParserI):
    """An NLTK chunk parser (nltk.chunk.api.ChunkParserI) over vtmrt.Grouper.

    ChunkParser(grouper=None, subgroups=False, labels=None, relabel=None, root="S"):
    `grouper` is a vtmrt.Grouper, a grouper file's path or None for the bundled English
    grouper; `subgroups` also groups inside noun phrases; `labels`, `relabel` and `root`
    shape the trees as in groups_to_tree(). parse() takes [(word, tag), ...] and returns
    an nltk.Tree whose leaves are those pairs; NLTK's accuracy() and evaluate() give an
    nltk.chunk.util.ChunkScore.
    """

    def __init__(self, grouper: Union["vtmrt.Grouper", str, None] = None, *,
                 subgroups: bool = False, labels: Optional[Collection[str]] = None,
                 relabel: Relabel = None, root: str = "S") -> None:
        self._grouper = grouper if isinstance(grouper, vtmrt.Grouper) else vtmrt.Grouper(grouper)
        self._subgroups = subgroups
        self._labels = None if labels is None else frozenset(labels)
        self._relabel = relabel
        self._root = root

    @property
    def grouper(self) -> "vtmrt.Grouper":
        """The vtmrt.Grouper that does the work."""
        return self._grouper

    def parse(self, tokens: Iterable[TaggedToken]) -> Tree:
        """The chunk tree of one tagged sentence."""
        tagged = []
        for token in tokens:
            if not isinstance(token, (tuple, list)) or len(token) != 2:
                raise TypeError(f"a tagged token is a (word, tag) pair, not {token!r}")
            tagged.append((token[0], token[1]))
        groups = self._grouper.group([tag for _, tag in tagged], subgroups=self._subgroups)
        return groups_to_tree(tagged, groups, labels=self._labels, relabel=self._relabel,
                              root=self._root)
