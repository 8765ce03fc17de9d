"""Shared fixtures of the Python package tests: small transducers compiled from AT&T
text by the project's own `vtm build` (the command named by $VTM_COMMAND), so every
test runs the real compiler, library and binding."""

from __future__ import annotations

import os
import random
import re
import subprocess
import tempfile
from typing import Dict, Iterable, List, Sequence, Tuple

import pytest

VTM = os.environ.get("VTM_COMMAND", "vtm")
TMP = os.environ.get("VTM_TEST_TMPDIR") or tempfile.gettempdir()

Entry = Tuple[str, str]  # (surface word, analysis such as "cat[n][pl]")


def symbols(analysis: str) -> List[str]:
    """The symbols of an analysis: one per character, one per [tag]."""
    return [s for s in re.findall(r"\[[^\]]*\]|.", analysis, re.S)]


def att_text(entries: Iterable[Entry]) -> str:
    """An AT&T transducer with one path per entry: surface on the input side, the
    analysis on the output side, the shorter side padded with epsilons."""
    lines = []
    state = 1
    finals = []
    for surface, analysis in entries:
        ins = [c for c in surface]
        outs = [("<" + s[1:-1] + ">") if s.startswith("[") and len(s) > 1 else s
                for s in symbols(analysis)]
        n = max(len(ins), len(outs))
        ins += ["@0@"] * (n - len(ins))
        outs += ["@0@"] * (n - len(outs))
        src = 0
        for k in range(n):
            dst = state
            state += 1
            lines.append(f"{src}\t{dst}\t{ins[k]}\t{outs[k]}")
            src = dst
        finals.append(src)
    lines += [str(f) for f in sorted(set(finals))]
    return "\n".join(lines) + "\n"


def build(entries: Sequence[Entry], name: str, *functions: str) -> str:
    """Compiles the entries with `vtm build` for the given functions (default analysis,
    generation, stemming and expansion) and returns the file's path."""
    os.makedirs(TMP, exist_ok=True)
    fd, att = tempfile.mkstemp(prefix=name, suffix=".att", dir=TMP)
    with os.fdopen(fd, "w", encoding="utf-8") as f:
        f.write(att_text(entries))
    out = att[:-4] + ".vtm"
    args = [VTM, "build", "-q", "--date", "2026-01-01", "-o", out]
    for fn in functions or ("analysis", "generation", "stemming", "expansion"):
        args += [f"--{fn}", att]
    subprocess.run(args, check=True)
    return out


def random_word(rng: random.Random, alphabet: str, lo: int = 1, hi: int = 8) -> str:
    return "".join(rng.choice(alphabet) for _ in range(rng.randint(lo, hi)))


def random_lexicon(seed: int, count: int, alphabet: str = "abcdeéñß") -> List[Entry]:
    """Random entries; some surfaces get two analyses, some analyses two surfaces."""
    rng = random.Random(seed)
    tags = ["[n]", "[v]", "[adj]", "[pl]", "[sg]", "[p3]"]
    entries: List[Entry] = []
    for _ in range(count):
        surface = random_word(rng, alphabet)
        lemma = surface[: rng.randint(1, len(surface))]
        entries.append((surface, lemma + "".join(rng.sample(tags, rng.randint(1, 2)))))
        if rng.random() < 0.2:
            entries.append((surface, lemma + "[v]"))
        if rng.random() < 0.1:
            entries.append((surface + rng.choice(alphabet), entries[-1][1]))
    return entries


def analyses(entries: Iterable[Entry]) -> Dict[str, List[str]]:
    """Reference: the distinct analyses of each surface word."""
    d: Dict[str, List[str]] = {}
    for surface, analysis in entries:
        if analysis not in d.setdefault(surface, []):
            d[surface].append(analysis)
    return d


@pytest.fixture(scope="session")
def english_path() -> str:
    """The bundled English transducer; skipped when it is not built, unless
    $VTM_REQUIRE_ENGLISH is set (the CI stage sets it), where its absence fails."""
    import vtmrt
    try:
        return vtmrt.default_transducer()
    except vtmrt.FileError as e:
        if os.environ.get("VTM_REQUIRE_ENGLISH"):
            pytest.fail(f"the English transducer is required: {e}")
        pytest.skip(f"no English transducer: {e}")


def in_threads(count: int, work) -> Dict[int, object]:
    """Runs work(k) for k in range(count), each on a thread of its own, and returns the
    results by k (a thread that raised has none)."""
    import threading
    results: Dict[int, object] = {}

    def run(k: int) -> None:
        results[k] = work(k)

    threads = [threading.Thread(target=run, args=(k,)) for k in range(count)]
    for th in threads:
        th.start()
    for th in threads:
        th.join()
    return results


def ticks_during(warm, call) -> int:
    """How far a counting thread gets while call() runs (after warm() has run with the
    counter going): with the GIL held all along the count could not move."""
    import threading
    ticks = 0
    running = True

    def count() -> None:
        nonlocal ticks
        while running:
            ticks += 1

    th = threading.Thread(target=count)
    th.start()
    try:
        warm()
        before = ticks
        call()
        return ticks - before
    finally:
        running = False
        th.join()


def assert_rejects_bad_text(call) -> None:
    """call(text) raises TypeError for what is not str, EncodingError for characters
    that Windows-1252 cannot hold and for lone surrogates, and TextError for NUL."""
    import vtmrt
    for bad in (None, b"bytes", 5, ["list"]):
        with pytest.raises(TypeError):
            call(bad)
    for bad in ("Greek αβγ.", "lone \ud800 surrogate", "lone \udfff."):
        with pytest.raises(vtmrt.EncodingError):
            call(bad)
    with pytest.raises(vtmrt.TextError):
        call("a\0b")
