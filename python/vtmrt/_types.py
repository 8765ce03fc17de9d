"""Plain result records of the vtmrt package. Tested with the operations that make them
(python/tests/test_grouper.py, test_tokenizer.py, test_chunk.py)."""

from __future__ import annotations

import enum
import json
from typing import Any, Dict, List, NamedTuple, Optional, Tuple


class Group(NamedTuple):
    """One phrase found by Grouper.group: its label (such as "np"), the index of its
    first token and the number of tokens it spans (-1: never closed)."""

    label: str
    first: int
    count: int


class TokenClass(enum.IntFlag):
    """Class bits of a Token. A token of mixed characters has none (0)."""

    WORD = 0x001  #: a run of word characters
    PUNCT = 0x002  #: punctuation or symbol
    CLOSING = 0x004  #: punctuation that closes or trails
    OPENING = 0x008  #: punctuation that opens or leads
    SENTENCE_END = 0x010  #: sentence-final mark, or an HTML tag that ends a sentence
    LINE_BREAK = 0x020  #: whitespace holding a line break
    TAG_KEPT = 0x040  #: an HTML tag that is kept
    MARKUP = 0x080  #: another tag, a comment, an unfinished tag or an inhibited element
    PARAGRAPH = 0x100  #: a paragraph break (whitespace or an HTML paragraph tag)


class Token(NamedTuple):
    """One token found by Tokenizer.tokenize.

    text: the normalized form when the tokenizer gives one, else the text of the span;
    start, end: the span as indices of the tokenized str (text[start:end]);
    classes: its TokenClass bits; normalized: the normalized form, or None.
    """

    text: str
    start: int
    end: int
    classes: TokenClass
    normalized: Optional[str]


class ChunkedSentence:
    """One sentence found by Chunker.chunk / vtmrt.chunk.

    tokens: [(word, tag), ...] (tag "" for a token the tagger left blank, and for every
    token of a sentence that could not be tagged); groups: its phrases as Group records
    (first and count index `tokens`); error: why the sentence has no tags or groups, or
    None. to_json() gives the object `vtm chunk -f json` writes for the sentence.
    """

    __slots__ = ("tokens", "groups", "error", "_json")

    tokens: List[Tuple[str, str]]
    groups: List[Group]
    error: Optional[str]

    def __init__(self, tokens: List[Tuple[str, str]], groups: List[Group], json_line: bytes,
                 error: Optional[str] = None) -> None:
        self.tokens = tokens
        self.groups = groups
        self.error = error
        self._json = json_line

    def to_json(self) -> Dict[str, Any]:
        """The sentence as `vtm chunk -f json` writes it: {"sentence": number,
        ["error": text,] "groups": [{"label", "first", "count", "text"}, ...]}."""
        return json.loads(self._json)

    def __eq__(self, other: object) -> bool:
        if not isinstance(other, ChunkedSentence):
            return NotImplemented
        return (self.tokens, self.groups, self.error, self._json) == (
            other.tokens, other.groups, other.error, other._json)

    def __repr__(self) -> str:
        words = " ".join(w for w, _ in self.tokens[:8])
        more = " ..." if len(self.tokens) > 8 else ""
        return (f"<ChunkedSentence {len(self.tokens)} tokens, {len(self.groups)} groups: "
                f"{words!r}{more}>")

    def __reduce__(self):
        return (ChunkedSentence, (self.tokens, self.groups, self._json, self.error))
