"""Chunking, tagging and analysis of corpora on Dask: over a dask.bag of texts or of file
paths, on one machine or a cluster, with JSON lines written per partition.

    import dask.bag as db
    from distributed import Client
    import vtmrt.dask

    client = Client("scheduler-host:8786")            # or Client() on this machine
    paths = db.from_sequence(sorted(glob.glob("corpus/*.txt")), npartitions=64)
    chunks = vtmrt.dask.chunk(paths, files=True)      # one list of records per file
    vtmrt.dask.write_jsonl(chunks, "out/")            # out/part-00000.jsonl ...

Each function mirrors a `vtm` command and gives its JSON records (`-f json`):

- chunk(bag): running text (or HTML with html=True) -> for each element, the list of its
  sentences' records {"sentence": n, "groups": [...]} (`vtm chunk`), numbered from 1 in
  each text or file;
- tag(bag): tokenized sentences (lists of words; in files, one sentence per line, tokens
  separated by single spaces) -> {"tokens": [...], "tags": [...]} (`vtm tag`);
- analyze(bag): words (in files, one per line) -> {"word": w, "results": [...]}
  (`vtm lookup`).

Records made from files begin with "file": the path. A word or sentence the library
refuses gets an "error" record instead of failing the task. The transducers, tagger and
grouper are loaded once per worker process, at its first task, and kept for the later
ones (loaded() tells what a process has loaded); keyword options choose other files.

write_jsonl() writes one file per partition, named from the partition's index, through a
temporary file renamed into place when complete: a task that dies and is run again never
leaves a partial or doubled file, and the leftovers of dead attempts are removed when the
whole computation has ended.

Needs Dask (Debian's python3-dask; python3-distributed for a cluster); import this module
explicitly. Tested by python/tests/test_dask.py.
"""

from __future__ import annotations

import codecs
import collections
import functools
import glob
import io
import json
import os
import threading
import uuid
from typing import Any, Callable, Dict, Iterable, List, NamedTuple, Optional, Tuple

import dask.bag as db
from dask.base import tokenize
from dask.core import quote
from dask.highlevelgraph import HighLevelGraph

import vtmrt

__all__ = ["chunk", "tag", "analyze", "write_jsonl", "Written", "loaded"]

Record = Dict[str, Any]

# The loaded resources of this process, by kind and options; shared by the worker's
# threads (the vtmrt objects take a work buffer per call).
_lock = threading.RLock()
_resources: Dict[Tuple[Any, ...], Any] = {}
_loads: collections.Counter = collections.Counter()


def loaded() -> Dict[str, int]:
    """How many times this process has loaded each kind of resource ("chunker", "tagger",
    "transducer"); on a worker, client.run(vtmrt.dask.loaded) asks every worker."""
    with _lock:
        return dict(_loads)


def _resource(kind: str, options: Dict[str, Any], make: Callable[[], Any]) -> Any:
    key = (kind,) + tuple(sorted(options.items()))
    with _lock:
        found = _resources.get(key)
        if found is None:
            found = make()
            _resources[key] = found
            _loads[kind] += 1
        return found


_TAGGER_OPTIONS = ("classes", "model", "case", "multiword")


def _tagger(options: Dict[str, Any]) -> "vtmrt.Tagger":
    return _resource("tagger", options, lambda: vtmrt.Tagger(
        options.get("classes"), options.get("model"), case=options.get("case", "auto"),
        multiword=options.get("multiword", False)))


def _chunker(options: Dict[str, Any]) -> "vtmrt.Chunker":
    def make() -> "vtmrt.Chunker":
        # The tagger is the one tag() uses with the same options.
        tagger = _tagger({k: options.get(k) for k in _TAGGER_OPTIONS})
        tokenizer = vtmrt.Tokenizer(options.get("tokenizer"), html_tags=options.get("html_tags"))
        grouper = vtmrt.Grouper(options.get("grouper"))
        return vtmrt.Chunker(tokenizer, tagger, grouper,
                             subgroups=options.get("subgroups", False))
    return _resource("chunker", options, make)


def _transducer(options: Dict[str, Any]) -> "vtmrt.Transducer":
    return _resource("transducer", options, lambda: vtmrt.Transducer(options.get("path")))


def _as_spaces(error: UnicodeError) -> Tuple[str, int]:
    if not isinstance(error, UnicodeEncodeError):
        raise error
    return " " * (error.end - error.start), error.end


# Characters the code page cannot hold become spaces, a run at a time (a text of running
# English has a few such runs).
codecs.register_error("vtmrt.dask.space", _as_spaces)


def _decode_text(data: bytes) -> str:
    """Running text as `vtm chunk` reads it: UTF-8, with invalid bytes and characters
    outside code page 1252 read as spaces."""
    text = data.decode("utf-8", errors="replace").replace("\ufffd", " ")
    return text.encode("cp1252", errors="vtmrt.dask.space").decode("cp1252")


def _read_text(path: str) -> str:
    """A file of running text as `vtm chunk` reads it (see _decode_text)."""
    with open(path, "rb") as f:
        return _decode_text(f.read())


def _read_lines(path: str) -> List[Tuple[str, Optional[str]]]:
    """A file's lines without their LF (nor a CR before it), each with None or, for a line
    that is not UTF-8, why (the line then has U+FFFD in place of the bad bytes)."""
    with open(path, "rb") as f:
        raw = f.read().split(b"\n")
    if raw and raw[-1] == b"":
        raw.pop()
    lines: List[Tuple[str, Optional[str]]] = []
    for line in raw:
        if line.endswith(b"\r"):
            line = line[:-1]
        try:
            lines.append((line.decode("utf-8"), None))
        except UnicodeDecodeError as e:
            lines.append((line.decode("utf-8", errors="replace"),
                          f"invalid UTF-8 at byte {e.start}"))
    return lines


def _with_file(path: str, records: List[Record]) -> List[Record]:
    return [dict({"file": path}, **r) for r in records]


def _chunk_text(text: str, chunker: "vtmrt.Chunker", html: bool) -> List[Record]:
    return [json.loads(line) for line in chunker.chunk_json(text, html).splitlines()]


def _write_chunk_lines(element: str, out: Any, files: bool, html: bool,
                       options: Dict[str, Any]) -> int:
    """Writes what _chunk_element gives for `element` to the binary file `out` as its JSON
    lines (UTF-8, each ended by LF), made by the chunker itself: no Python object per
    sentence, group or token, and no copy of the whole output. Returns the lines written."""
    chunker = _chunker(options)
    if not files:
        return chunker.write_json(out, element, html)
    # "file" goes first, as in _with_file's records.
    fields = b'"file":' + json.dumps(element, ensure_ascii=False).encode("utf-8")
    return chunker.write_json(out, _read_text(element), html, fields=fields)


def _chunk_lines(element: str, files: bool, html: bool, options: Dict[str, Any]) -> bytes:
    """The lines _write_chunk_lines writes, as bytes."""
    out = io.BytesIO()
    _write_chunk_lines(element, out, files, html, options)
    return out.getvalue()


def _chunk_element(element: str, files: bool, html: bool, options: Dict[str, Any]):
    chunker = _chunker(options)
    if files:
        return _with_file(element, _chunk_text(_read_text(element), chunker, html))
    return _chunk_text(element, chunker, html)


def _tag_sentences(sentences: List[List[str]], tagger: "vtmrt.Tagger") -> List[Record]:
    try:
        tagged = tagger.tag_sents(sentences)
    except vtmrt.Error:
        # One sentence is refused: tag them one by one to give the others their tags.
        return [_tag_one(s, tagger) for s in sentences]
    return [{"tokens": [w for w, _ in t], "tags": [tag for _, tag in t]} for t in tagged]


def _tag_one(sentence: List[str], tagger: "vtmrt.Tagger") -> Record:
    try:
        tagged = tagger.tag(sentence)
    except vtmrt.Error as e:
        return {"tokens": list(sentence), "tags": [], "error": str(e)}
    return {"tokens": [w for w, _ in tagged], "tags": [tag for _, tag in tagged]}


def _tag_element(element: Any, files: bool, options: Dict[str, Any]):
    tagger = _tagger(options)
    if not files:
        if isinstance(element, str):  # a line as `vtm tag` reads it
            element = element.split(" ") if element else []
        return _tag_one(list(element), tagger)
    lines = _read_lines(element)
    good = [line.split(" ") if line else [] for line, error in lines if error is None]
    tagged = iter(_tag_sentences(good, tagger))
    return _with_file(element, [
        next(tagged) if error is None else {"tokens": [], "tags": [], "error": error}
        for _, error in lines])


def _analyze_words(words: List[str], transducer: "vtmrt.Transducer") -> List[Record]:
    try:
        results = transducer.analyze_many(words)
    except vtmrt.Error:
        return [_analyze_one(w, transducer) for w in words]
    return [{"word": w, "results": list(r)} for w, r in zip(words, results)]


def _analyze_one(word: str, transducer: "vtmrt.Transducer") -> Record:
    try:
        return {"word": word, "results": list(transducer.analyze(word))}
    except vtmrt.Error as e:
        return {"word": word, "results": [], "error": str(e)}


def _analyze_element(element: Any, files: bool, options: Dict[str, Any]):
    transducer = _transducer(options)
    if not files:
        return _analyze_one(element, transducer)
    lines = _read_lines(element)
    analyzed = iter(_analyze_words([w for w, error in lines if error is None], transducer))
    return _with_file(element, [
        next(analyzed) if error is None else {"word": w, "results": [], "error": error}
        for w, error in lines])


def chunk(bag: db.Bag, *, files: bool = False, html: bool = False, subgroups: bool = False,
          tokenizer: Optional[str] = None, html_tags: Optional[str] = None,
          classes: Optional[str] = None, model: Optional[str] = None,
          grouper: Optional[str] = None, case: str = "auto",
          multiword: bool = False) -> db.Bag:
    """For each text (or file path, with files=True) of `bag`, the list of its sentences'
    records as `vtm chunk -f json` writes them, numbered from 1 in each element.

    html: the texts are HTML; subgroups: also the groups inside noun phrases; tokenizer,
    html_tags, classes and model (the tagger's), grouper: files other than the bundled
    English ones; case, multiword: as for `vtm chunk`. Nothing runs until the bag is
    computed (or written with write_jsonl)."""
    options = dict(tokenizer=tokenizer, html_tags=html_tags, classes=classes, model=model,
                   grouper=grouper, subgroups=subgroups, case=case, multiword=multiword)
    chunks = bag.map(_chunk_element, files=files, html=html, options=options)
    # How write_jsonl makes this bag's lines straight from `bag`, on the worker that reads
    # the element. A bag made from this one by another operation does not have it.
    chunks._vtmrt_lines = (bag, functools.partial(_write_chunk_lines, files=files, html=html,
                                                  options=options))
    return chunks


def tag(bag: db.Bag, *, files: bool = False, classes: Optional[str] = None,
        model: Optional[str] = None, case: str = "auto", multiword: bool = False) -> db.Bag:
    """For each tokenized sentence of `bag` (a list of words, or a str of words separated
    by single spaces), its record as `vtm tag --output json` writes it; with files=True,
    for each file path (one sentence per line, tokens separated by single spaces; a blank
    line is an empty sentence), the list of its sentences' records."""
    options = dict(classes=classes, model=model, case=case, multiword=multiword)
    return bag.map(_tag_element, files=files, options=options)


def analyze(bag: db.Bag, *, files: bool = False, path: Optional[str] = None) -> db.Bag:
    """For each word of `bag`, its record as `vtm lookup --format json` writes it (the
    analyses under "results"); with files=True, for each file path (one word per line),
    the list of its words' records. path: a transducer other than the bundled English
    one."""
    return bag.map(_analyze_element, files=files, options=dict(path=path))


class Written(NamedTuple):
    """What write_jsonl did: the files written with their line counts, in partition
    order, and how many partial files of dead attempts it removed."""

    files: List[Tuple[str, int]]
    leftovers_removed: int


def _record_lines(element: Any) -> bytes:
    """The JSON lines of an element: a record, or a list of records."""
    records = element if isinstance(element, list) else [element]
    return "".join(json.dumps(r, ensure_ascii=False, separators=(",", ":")) + "\n"
                   for r in records).encode("utf-8")


def _write_record_lines(element: Any, out: Any) -> int:
    data = _record_lines(element)
    out.write(data)
    return data.count(b"\n")


def _write_partition(elements: Iterable[Any], number: int, directory: str, name: str,
                     write_lines: Callable[[Any, Any], int],
                     durable: bool = True) -> List[Tuple[str, int]]:
    """Writes one partition's lines, element by element as they are made, through a
    temporary file of this attempt's own, renamed over the final name only when
    complete (and, when durable, on disk)."""
    final = os.path.join(directory, name.format(number))
    temporary = os.path.join(directory, f".{name.format(number)}.{uuid.uuid4().hex}.tmp")
    lines = 0
    try:
        with open(temporary, "wb") as out:
            for element in elements:
                lines += write_lines(element, out)
            out.flush()
            if durable:
                os.fsync(out.fileno())
        os.replace(temporary, final)
    except Exception:
        if os.path.exists(temporary):
            os.unlink(temporary)
        raise
    return [(final, lines)]


def _is_key(item: Any, source: db.Bag) -> bool:
    return isinstance(item, tuple) and len(item) == 2 and item[0] == source.name


def _partition_inputs(source: db.Bag) -> List[Any]:
    """What each partition's writing task takes for the partition of `source`: the
    elements themselves when the source's graph holds them as a plain list of strings
    (as db.from_sequence makes them), so that no task of their own is scheduled to hand
    them on, else the partition's key."""
    layer = source.__dask_graph__().layers.get(source.name)
    mapping = getattr(layer, "mapping", None)
    inputs: List[Any] = []
    for k in range(source.npartitions):
        part = mapping.get((source.name, k)) if isinstance(mapping, dict) else None
        plain = isinstance(part, list) and all(isinstance(e, str) for e in part)
        # quote: Dask reads a list inside a task as tasks and keys; the strings are data.
        inputs.append(quote(part) if plain else (source.name, k))
    return inputs


def write_jsonl(bag: db.Bag, directory: str, *, name: str = "part-{:05d}.jsonl",
                durable: bool = True, **compute: Any) -> Written:
    """Computes `bag` (records, or lists of records as chunk() and files=True give) and
    writes each partition's records as JSON lines to directory/name.format(index), in
    order. For a bag made by chunk() itself, the worker that reads a partition's texts
    or files writes their lines as the chunker makes them (the bytes of `vtm chunk -f
    json`, with "file" first), making no Python record and passing nothing on. Blocks until every partition is written; `compute` goes to Bag.compute (the
    current Client is used when there is one). Files of earlier runs are not removed:
    give a fresh directory. Read the output back with
    dask.bag.read_text(directory + "/part-*.jsonl").map(json.loads).

    Each partition is written to a temporary file and renamed to its name only when
    complete, so a task that dies leaves no part of a file under that name, and its retry
    writes the whole file. durable=True (the default) also makes each file reach the disk
    before its rename (fsync), so that a machine that loses power after write_jsonl has
    returned keeps every file whole; with several workers writing at once each fsync waits
    for the file system's journal, which costs some 5 % of the run on a small machine.
    durable=False leaves that to the file system."""
    if name.format(0) == name.format(1):
        raise ValueError(f"name {name!r} does not hold the partition's index")
    os.makedirs(directory, exist_ok=True)
    count = bag.npartitions
    # One task per partition that knows its index. For a bag of chunk(), the task makes
    # the lines itself from the partition of texts or paths, so that a worker reads,
    # chunks and writes its files with nothing passed on; for another bag, Dask fuses the
    # task with those that make the partition, so records are written as they come.
    source, write_lines = getattr(bag, "_vtmrt_lines", (bag, _write_record_lines))
    key = "vtmrt-write-jsonl-" + tokenize(bag, directory, name, durable)
    inputs = _partition_inputs(source)
    tasks = {(key, k): (_write_partition, inputs[k], k, directory, name, write_lines, durable)
             for k in range(count)}
    needed = [source] if any(_is_key(i, source) for i in inputs) else []
    graph = HighLevelGraph.from_collections(key, tasks, dependencies=needed)
    files = db.Bag(graph, key, count).compute(**compute)
    removed = 0
    for number in range(count):
        hidden = os.path.join(glob.escape(directory), "." + glob.escape(name.format(number)))
        for leftover in glob.glob(hidden + ".*.tmp"):
            os.unlink(leftover)
            removed += 1
    return Written(list(files), removed)
