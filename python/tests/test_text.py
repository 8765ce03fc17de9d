"""Text at the edge: every Windows-1252 character goes in and comes back unchanged, every
code point outside it raises EncodingError at its index, NUL raises TextError; swept
exhaustively over the Basic Multilingual Plane against Python's own cp1252 codec."""

from __future__ import annotations

import pytest

import vtmrt
from conftest import build

def cp1252_byte(ch: str):
    """Reference: the cp1252 byte of a character, or None (Python's codec: the five
    bytes cp1252 leaves undefined have no character either)."""
    try:
        return ch.encode("cp1252")[0]
    except UnicodeEncodeError:
        return None


def storable(ch: str) -> bool:
    # AT&T text cannot carry tab, newline or space as plain symbols, and brackets open
    # tags: those are left out of the lexicon (they still convert).
    return cp1252_byte(ch) is not None and ord(ch) > 0x20 and ch not in "[]"


@pytest.fixture(scope="module")
def every_character():
    chars = [chr(c) for c in range(1, 0x2200) if storable(chr(c))]
    entries = [("x" + ch, ch + "[c]") for ch in chars]
    return chars, build(entries, "chars", "analysis")


def test_every_code_point_of_the_bmp(every_character):
    chars, path = every_character
    accepted = rejected = 0
    with vtmrt.Transducer(path) as t:
        for c in range(1, 0x10000):
            ch = chr(c)
            if 0xD800 <= c < 0xE000:
                continue  # lone surrogates: below
            if cp1252_byte(ch) is None:
                with pytest.raises(vtmrt.EncodingError) as e:
                    t.analyze("x" + ch)
                assert e.value.code == -10 and "index 1" in str(e.value)
                rejected += 1
            elif storable(ch):
                assert t.analyze("x" + ch) == [ch + "[c]"], hex(c)
                assert t.generate(ch + "[c]") == ["x" + ch], hex(c)
                accepted += 1
    # Bytes 0x21-0xFF less "[", "]" and the five undefined ones.
    assert accepted == len(chars) == 223 - 2 - 5
    assert accepted + rejected > 60000


def test_surrogates_nul_and_astral_characters(every_character):
    _, path = every_character
    with vtmrt.Transducer(path) as t:
        for text in ("x\udc80", "\ud800", "\U0001F600", "xé\U00010000"):
            with pytest.raises(vtmrt.EncodingError):
                t.analyze(text)
        for text in ("x\0", "\0", "xa\0b"):
            with pytest.raises(vtmrt.TextError) as e:
                t.analyze(text)
            assert f"index {text.index(chr(0))}" in str(e.value)
        with pytest.raises(vtmrt.TextError):
            t.analyze_many(["xa", "x\0"])
        with pytest.raises(vtmrt.EncodingError) as e:
            t.analyze_many(["xa", "xb", "x\u0100"])
        assert "words[2]" in str(e.value)
