"""vtmrt: morphological analysis, generation and completion with compiled lexical
transducers, from Python.

    import vtmrt
    with vtmrt.Transducer() as en:          # the bundled English transducer
        en.analyze("houses")                 # ['house[n][pl]']
        en.analyze_many(["the", "cats"])     # one list per word
        en.generate("house[n][pl]")          # ['houses']
        for word in en.complete("hous", max=7):
            print(word)
    with vtmrt.Grouper() as chunks:          # the bundled English grouper (Brown tags)
        chunks.group(["at", "jj", "nn", "vbd"])  # [Group(label='np', first=0, count=3)]
    vtmrt.Tokenizer().tokenize("Dr. Smith left.")   # Token(text, start, end, classes, normalized)
    vtmrt.Tagger().tag(["The", "man", "left"])      # [('The', 'at'), ('man', 'nn'), ...]
    for sentence in vtmrt.chunk("The old man left. He smiled."):
        sentence.tokens, sentence.groups, sentence.to_json()

Text is str in and out (Windows-1252 inside the library). Failures raise
subclasses of vtmrt.Error (see vtmrt.errors). Walks release the GIL. Every object may
be shared by threads: Tokenizer, Tagger and Chunker give each running call a library
tokenizer or tagger buffer of its own.
"""

from __future__ import annotations

import enum
import threading
from typing import List, Optional

from ._types import ChunkedSentence, Group, Token, TokenClass
from ._vtmrt import (
    Chunker,
    Completion,
    Grouper,
    Tagger,
    Tokenizer,
    Transducer,
    error_message,
    library_version,
)
from . import errors
from .errors import (
    ArgumentError,
    ArgumentTypeError,
    CapacityError,
    ClosedError,
    DictionaryError,
    EncodingError,
    Error,
    FileError,
    InternalError,
    NoMemoryError,
    TaggerError,
    TextError,
    TextWarning,
    TokenizerError,
    UnsupportedError,
)
from ._data import default_data, default_transducer

__all__ = [
    "Transducer",
    "Completion",
    "Grouper",
    "Group",
    "Tokenizer",
    "Token",
    "TokenClass",
    "Tagger",
    "Chunker",
    "ChunkedSentence",
    "chunk",
    "Capability",
    "library_version",
    "error_message",
    "default_transducer",
    "default_data",
] + [name for name in errors.__all__ if name != "error_class"]


class Capability(enum.IntFlag):
    """Bits of Transducer.capabilities: which functions the transducer offers.

    Analysis (function 12) sets ANALYSIS and LOOKUP; stemming (27) sets STEMMING and
    INVERSION; tagging needs both tagger functions (60 and 61).
    """

    ANALYSIS = 0x001
    STEMMING = 0x002
    TOKENIZING = 0x004
    LOOKUP = 0x008
    TAGGING = 0x010
    INVERSION = 0x040
    EXPANSION = 0x080
    GROUPING = 0x100


_default_chunker: Optional[Chunker] = None
_default_lock = threading.Lock()


def chunk(text: str, html: bool = False) -> List[ChunkedSentence]:
    """Chunker().chunk(text, html) with one Chunker on the bundled English data, made at
    the first call and shared by every thread (each call tags with a buffer of its own)."""
    global _default_chunker
    chunker = _default_chunker
    if chunker is None:
        with _default_lock:
            if _default_chunker is None:
                _default_chunker = Chunker()
            chunker = _default_chunker
    return chunker.chunk(text, html)
