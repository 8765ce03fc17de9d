"""Python speed of the text chain on running English text: Tokenizer.tokenize and
.sentences, Tagger.tag_sents, vtmrt.chunk and Chunker.chunk_json, on the whole text in
one call and per line, and chunk on two threads. Prints wall and CPU (user + system) seconds and
tokens per second of both; on a shared machine the CPU figures are the comparable ones.
Characters that Windows-1252 cannot hold are replaced first (they would raise
EncodingError). Run by bench/python/run_text.sh."""

from __future__ import annotations

import gc
import os
import sys
import threading
import time

import vtmrt


def timed(name, tokens, call):
    t0, c0 = time.perf_counter(), os.times()
    result = call()
    wall = time.perf_counter() - t0
    c1 = os.times()
    cpu = (c1.user - c0.user) + (c1.system - c0.system)
    print(f"{name:40s} {wall:8.2f} {cpu:8.2f} {tokens / wall:12,.0f} {tokens / cpu:12,.0f}",
          flush=True)
    return result


def main() -> None:
    with open(sys.argv[1], encoding="utf-8", errors="replace") as f:
        text = f.read().encode("cp1252", "replace").decode("cp1252")
    # Pieces for one call each: the text's lines (paragraphs of running text).
    paragraphs = [p for p in text.split("\n") if p.strip()]
    tok, tagger = vtmrt.Tokenizer(), vtmrt.Tagger()
    sentences = tok.sentences(text)
    words = [[t.text for t in s] for s in sentences]
    count = sum(len(s) for s in words)
    print(f"text: {len(text):,} characters, {len(paragraphs):,} lines, "
          f"{len(sentences):,} sentences, {count:,} sentence tokens")
    print(f"{'call':40s} {'wall s':>8s} {'CPU s':>8s} {'tok/s wall':>12s} {'tok/s CPU':>12s}")
    all_tokens = timed("Tokenizer.tokenize, whole text", count, lambda: tok.tokenize(text))
    del all_tokens
    timed("Tokenizer.sentences, whole text", count, lambda: tok.sentences(text))
    timed("Tagger.tag_sents, every sentence", count, lambda: tagger.tag_sents(words))
    del words, sentences
    chunked = timed("vtmrt.chunk, whole text", count, lambda: vtmrt.chunk(text))
    assert sum(len(s.tokens) for s in chunked) == count
    sentence_count = len(chunked)
    # A full pass of the collector over the live result (paused during the call, it
    # walks the result later, when the program allocates): timed on its own.
    timed("  the collector's next full pass", count, gc.collect)
    del chunked
    with vtmrt.Chunker() as chunker:
        lines = timed("Chunker.chunk_json, whole text", count, lambda: chunker.chunk_json(text))
    assert lines.count(b"\n") == sentence_count
    del lines
    timed("vtmrt.chunk, per line", count,
          lambda: [vtmrt.chunk(p) for p in paragraphs])
    halves = [paragraphs[: len(paragraphs) // 2], paragraphs[len(paragraphs) // 2:]]

    def two_threads():
        threads = [threading.Thread(target=lambda h=h: [vtmrt.chunk(p) for p in h])
                   for h in halves]
        for th in threads:
            th.start()
        for th in threads:
            th.join()

    timed("vtmrt.chunk, per line, 2 threads", count, two_threads)


if __name__ == "__main__":
    main()
