"""Exceptions of the vtmrt package: one hierarchy under :class:`Error`.

Every failure the library reports as a negative code becomes an instance of the
:class:`Error` subclass of that code's family, carrying the code (``.code``) and the
library's own message for it (``.message``). Failures found at the Python edge (a
character Windows-1252 cannot hold, a NUL inside a word, an argument of the wrong
type, a closed object) use the same classes and the library code that fits them best.
The families also derive from the built-in exception a Python user would expect
(``OSError``, ``MemoryError``, ``ValueError``, ``TypeError``), so existing handlers
keep working.

Tested by python/tests/test_errors.py.
"""

from __future__ import annotations

from typing import Dict, Optional, Type

__all__ = [
    "Error",
    "FileError",
    "NoMemoryError",
    "ArgumentError",
    "ArgumentTypeError",
    "ClosedError",
    "TextError",
    "EncodingError",
    "UnsupportedError",
    "CapacityError",
    "DictionaryError",
    "TokenizerError",
    "TaggerError",
    "InternalError",
    "TextWarning",
    "error_class",
]


class Error(Exception):
    """Base of every vtmrt exception.

    Attributes:
        code: the library's error code (a negative integer, ``VTM_ERR_*``).
        message: the library's message for that code.
        detail: what the binding adds (the word, the file, the position), or None.
    """

    code: int
    message: str
    detail: Optional[str]

    def __init__(self, code: int, message: str, detail: Optional[str] = None) -> None:
        super().__init__(code, message, detail)
        self.code = code
        self.message = message
        self.detail = detail

    def __str__(self) -> str:
        text = f"{self.message} (code {self.code})"
        return f"{self.detail}: {text}" if self.detail else text


class FileError(Error, OSError):
    """A file could not be opened or read, or is not a valid transducer or model."""


class NoMemoryError(Error, MemoryError):
    """The library could not allocate memory."""


class ArgumentError(Error, ValueError):
    """An argument was out of range or not an object the library accepts."""


class ArgumentTypeError(ArgumentError, TypeError):
    """An argument was of the wrong Python type (None or a non-str where text goes)."""


class ClosedError(ArgumentError):
    """An object was used after close() (or after the object it depends on was closed)."""


class TextError(Error, ValueError):
    """Text the library cannot take: NUL inside a word, an unclosed tag, a bad token."""


class EncodingError(TextError, UnicodeError):
    """Text holds a character that Windows-1252 cannot hold, or is not valid Unicode."""


class UnsupportedError(Error):
    """The transducer does not offer the function an operation needs."""


class CapacityError(Error):
    """A result or an intermediate string outgrew the largest buffer the binding uses."""


class DictionaryError(Error):
    """A client dictionary or its entry file was rejected."""


class TokenizerError(Error):
    """Tokenizing failed."""


class TaggerError(Error):
    """Tagging failed, or a tagger model does not fit its transducer."""


class InternalError(Error):
    """The library reported an internal fault."""


class TextWarning(UserWarning):
    """Part of a text was left out: a token too long to tokenize, a piece the tokenizer
    transducer cannot read, or a sentence cut at the tagger's limits."""


# Library codes by family (include/vtmrt.h). Codes not listed are InternalError.
_FAMILIES: Dict[Type[Error], tuple] = {
    FileError: (-1, -2, -29, -46),
    NoMemoryError: (-3,),
    ArgumentError: (-5, -8, -28),
    TextError: (-10, -14),
    UnsupportedError: (-4, -11),
    CapacityError: (-12, -13, -19, -20, -21, -22, -23, -24, -26),
    DictionaryError: (-6, -27),
    TokenizerError: (-15, -16, -49, -50),
    TaggerError: (-17, -18, -25),
}
_BY_CODE: Dict[int, Type[Error]] = {
    code: cls for cls, codes in _FAMILIES.items() for code in codes
}


def error_class(code: int) -> Type[Error]:
    """The exception class of a library error code."""
    return _BY_CODE.get(code, InternalError)


def _make(code: int, message: str, detail: Optional[str], kind: Optional[str]) -> Error:
    # Called by the extension module: `kind` names a class of this module for failures
    # found at the Python edge, None chooses the class by the code.
    cls = globals()[kind] if kind else error_class(code)
    return cls(code, message, detail)
