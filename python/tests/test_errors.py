"""The exception hierarchy: every error code of the C header has a family class with the
library's message; files that cannot be loaded, damaged files and bad arguments raise
vtmrt.Error subclasses, never crash the interpreter."""

from __future__ import annotations

import os
import random
import re

import pytest

import vtmrt
from vtmrt import errors
from conftest import TMP, build, random_lexicon

HEADER = os.path.join(os.path.dirname(__file__), "..", "..", "include", "vtmrt.h")


def header_codes():
    text = open(HEADER, encoding="utf-8").read()
    return {name: int(value) for name, value in
            re.findall(r"#define (VTM_(?:ERR_)?[A-Z_0-9]+) \((-\d+)\)", text)}


def test_every_header_code_has_a_class_and_the_library_message():
    codes = header_codes()
    assert len(codes) >= 35
    for name, code in codes.items():
        cls = errors.error_class(code)
        assert issubclass(cls, vtmrt.Error), name
        e = errors._make(code, vtmrt.error_message(code), None, None)
        assert type(e) is cls and e.code == code
        assert e.message == vtmrt.error_message(code) and e.message
        assert str(e) == f"{e.message} (code {code})"
    expected = {"VTM_ERR_FILE_OPEN": vtmrt.FileError, "VTM_ERR_NO_MEMORY": vtmrt.NoMemoryError,
                "VTM_ERR_INVALID_NUMBER": vtmrt.ArgumentError,
                "VTM_ERR_CHAR_NOT_IN_ALPHABET": vtmrt.TextError,
                "VTM_ERR_INVALID_FUNCTION": vtmrt.UnsupportedError,
                "VTM_ERR_OUTPUT_TOO_LONG": vtmrt.CapacityError,
                "VTM_ERR_UNKNOWN_CLASS": vtmrt.TaggerError,
                "VTM_ERR_UNRECOGNIZED_TOKEN": vtmrt.TokenizerError,
                "VTM_ERR_DICT_ENTRY_BEFORE_TAG": vtmrt.DictionaryError,
                "VTM_ERR_WALK_INTERNAL": vtmrt.InternalError}
    for name, cls in expected.items():
        assert errors.error_class(codes[name]) is cls, name


def test_families_are_also_the_builtin_exceptions():
    assert issubclass(vtmrt.FileError, OSError)
    assert issubclass(vtmrt.NoMemoryError, MemoryError)
    assert issubclass(vtmrt.ArgumentTypeError, TypeError)
    assert issubclass(vtmrt.ClosedError, ValueError)
    assert issubclass(vtmrt.EncodingError, UnicodeError)
    assert issubclass(vtmrt.EncodingError, vtmrt.TextError)


def test_files_that_cannot_be_loaded(tmp_path):
    with pytest.raises(vtmrt.FileError) as e:
        vtmrt.Transducer(str(tmp_path / "missing.vtm"))
    assert e.value.code == -1 and "missing.vtm" in str(e.value)
    with pytest.raises(vtmrt.FileError):
        vtmrt.Transducer(str(tmp_path))  # a directory
    short = tmp_path / "short.vtm"
    short.write_bytes(b"\0" * 40)
    with pytest.raises(vtmrt.FileError) as e:
        vtmrt.Transducer(short)
    assert e.value.code == -2
    with pytest.raises(vtmrt.ArgumentError):
        vtmrt.Transducer("a\0b")
    for bad in (3, 2.5, ["x"], object()):
        with pytest.raises(vtmrt.ArgumentTypeError):
            vtmrt.Transducer(bad)


def test_damaged_files_raise_or_load_but_never_crash():
    path = build(random_lexicon(21, 200), "damage")
    good = open(path, "rb").read()
    rng = random.Random(17)
    raised = loaded = 0
    for k in range(300):
        data = bytearray(good)
        if k % 3 == 0:
            data = data[: rng.randrange(len(data))]
        else:
            for _ in range(rng.randint(1, 20)):
                data[rng.randrange(92 if k % 3 == 1 else len(data))] = rng.randrange(256)
        damaged = os.path.join(TMP, "damaged.vtm")
        with open(damaged, "wb") as f:
            f.write(bytes(data))
        try:
            t = vtmrt.Transducer(damaged)
        except vtmrt.Error:
            raised += 1
            continue
        loaded += 1
        with t:
            for word in ("a", "abc", "é", ""):
                try:
                    assert isinstance(t.analyze(word), list)
                    assert isinstance(list(t.complete(word[:1], max=12)), list)
                except vtmrt.Error:
                    pass
    assert raised + loaded == 300 and raised > 0


def test_none_and_non_str_words():
    path = build([("cat", "cat[n]")], "types")
    with vtmrt.Transducer(path) as t:
        for bad in (None, 1, b"cat", ["cat"], 3.0):
            for call in (t.analyze, t.stem, t.generate):
                with pytest.raises(vtmrt.ArgumentTypeError):
                    call(bad)
            with pytest.raises(vtmrt.ArgumentTypeError) as e:
                t.analyze_many(["cat", bad])
            assert "words[1]" in str(e.value)
        with pytest.raises(TypeError):
            t.analyze_many(None)  # not iterable
        with pytest.raises(TypeError):
            t.analyze()
