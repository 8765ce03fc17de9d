"""vtmrt.dask on a real distributed.LocalCluster of two worker processes: chunking a
corpus of a few hundred files gives what one `vtm chunk -f json` process gives for them,
tagging and analysis what `vtm tag` and `vtm lookup` give; each worker loads its
resources once; a worker killed in the middle of a task costs nothing: the task is run
again and the output has every record once."""

from __future__ import annotations

import json
import logging
import os
import shutil
import signal
import subprocess
import tempfile
import time
from typing import Dict, List

import pytest

from conftest import TMP, VTM
from corpora import brown_dir, brown_sentences, require

dask_bag = require("dask.bag")
distributed = require("distributed")

import vtmrt  # noqa: E402
import vtmrt.dask as vd  # noqa: E402

FILES = 240  # corpus files
PARTITIONS = 12


@pytest.fixture(scope="module")
def client():
    cluster = distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                                       dashboard_address=None, silence_logs=logging.CRITICAL)
    c = distributed.Client(cluster)
    yield c
    c.close()
    cluster.close()


@pytest.fixture(scope="module")
def work():
    os.makedirs(TMP, exist_ok=True)
    folder = tempfile.mkdtemp(prefix="dask-", dir=TMP)
    yield folder
    shutil.rmtree(folder, ignore_errors=True)


@pytest.fixture(scope="module")
def corpus(work) -> List[str]:
    """Running text made from Brown files: sentences joined into paragraphs, a quarter
    of a Brown file per corpus file, plus files with bytes that are not UTF-8, characters
    outside code page 1252, CRLF lines and none at all."""
    brown_dir()
    names = [f"c{g}{n:02d}" for g in "abcdefghj" for n in range(1, 8)][: FILES // 4]
    folder = os.path.join(work, "corpus")
    os.makedirs(folder)
    paths = []
    for name in names:
        sentences = [" ".join(w for w, _ in s) for s in brown_sentences([name])]
        quarter = (len(sentences) + 3) // 4
        for part in range(4):
            chunk = sentences[part * quarter:(part + 1) * quarter]
            paragraphs = ["\n".join(chunk[k:k + 5]) for k in range(0, len(chunk), 5)]
            path = os.path.join(folder, f"{name}-{part}.txt")
            with open(path, "w", encoding="utf-8") as f:
                f.write("\n\n".join(paragraphs) + "\n")
            paths.append(path)
    odd = {"bytes.txt": b"The caf\xe9 was closed . Na\xefve people waited .\n",
           "letters.txt": "The \u0101 river (\u2603) ran \u00e9 east .\r\nIt rained .\r\n".encode(),
           "empty.txt": b""}
    for name, data in odd.items():
        paths.append(os.path.join(folder, name))
        with open(paths[-1], "wb") as f:
            f.write(data)
    return paths


def vtm_json(args: List[str], stdin: str = "") -> List[Dict]:
    """The JSON lines of a `vtm` command (exit status 1 allowed: bad input reported)."""
    done = subprocess.run([VTM] + args, input=stdin, capture_output=True, text=True)
    assert done.returncode in (0, 1), done.stderr
    return [json.loads(line) for line in done.stdout.splitlines()]


@pytest.fixture(scope="module")
def reference(english_path, corpus) -> List[Dict]:
    """`vtm chunk -f json` over all the files in one process (sentences numbered on
    through the files)."""
    return vtm_json(["chunk", "-f", "json"] + corpus)


def read_parts(directory: str) -> List[Dict]:
    names = sorted(n for n in os.listdir(directory) if n.endswith(".jsonl"))
    assert names == [f"part-{k:05d}.jsonl" for k in range(PARTITIONS)]
    records = []
    for name in names:
        with open(os.path.join(directory, name), encoding="utf-8") as f:
            records += [json.loads(line) for line in f]
    return records


def renumbered(records: List[Dict], corpus: List[str]) -> List[Dict]:
    """The per-file records in corpus order, numbered on through the files as one `vtm
    chunk` process numbers them, without their "file"; each file's own numbers must run
    from 1."""
    by_file: Dict[str, List[Dict]] = {}
    for r in records:
        by_file.setdefault(r.pop("file"), []).append(r)
    out = []
    for path in corpus:
        mine = by_file.pop(path, [])
        assert [r["sentence"] for r in mine] == list(range(1, len(mine) + 1)), path
        for r in mine:
            out.append(dict(r, sentence=len(out) + 1))
    assert not by_file
    return out


def test_chunk_files_on_two_workers_equal_one_vtm_chunk(client, corpus, reference, work):
    paths = dask_bag.from_sequence(corpus, npartitions=PARTITIONS)
    out = os.path.join(work, "chunk")
    written = vd.write_jsonl(vd.chunk(paths, files=True), out)
    assert [os.path.basename(p) for p, _ in written.files] == sorted(os.listdir(out))
    records = read_parts(out)
    assert sum(n for _, n in written.files) == len(records)
    assert renumbered(records, corpus) == reference
    assert len(reference) > 4000, len(reference)  # sentences compared
    # Both workers worked, and each loaded the chunker (and its tagger) once for all its
    # tasks.
    loads = client.run(vd.loaded)
    assert sorted(loads.values(), key=str) == [{"chunker": 1, "tagger": 1}] * 2, loads


def test_write_jsonl_without_fsync_writes_the_same_files(client, corpus, work):
    # durable=False skips only the fsync: the same files, byte for byte, still renamed
    # into place whole, with no temporary file left.
    bag = vd.chunk(dask_bag.from_sequence(corpus[:24], npartitions=6), files=True)
    outs = {durable: os.path.join(work, f"durable-{durable}") for durable in (True, False)}
    for durable, out in outs.items():
        vd.write_jsonl(bag, out, durable=durable)
    assert sorted(os.listdir(outs[True])) == sorted(os.listdir(outs[False]))
    assert len(os.listdir(outs[False])) == 6
    for part in os.listdir(outs[True]):
        with open(os.path.join(outs[True], part), "rb") as a, \
                open(os.path.join(outs[False], part), "rb") as b:
            assert a.read() == b.read(), part


def test_chunk_texts_equal_chunk_files(client, corpus, reference):
    texts = [open(p, encoding="utf-8").read() for p in corpus[:40]]
    got = vd.chunk(dask_bag.from_sequence(texts, npartitions=4)).compute()
    assert len(got) == len(texts)
    flat = [dict(r, sentence=k + 1) for k, r in enumerate(r for rs in got for r in rs)]
    assert flat == reference[: len(flat)] and len(flat) > 500


def test_chunk_options_reach_the_workers(client, english_path, work):
    """HTML and subgroups, on the bundled samples, as `vtm chunk --html --subgroups`."""
    html = os.path.join(os.path.dirname(__file__), "..", "..", "data", "sample-en.html")
    copies = []
    for k in range(4):
        copies.append(os.path.join(work, f"page{k}.html"))
        shutil.copyfile(html, copies[-1])
    bag = dask_bag.from_sequence(copies, npartitions=2)
    got = [r for rs in vd.chunk(bag, files=True, html=True, subgroups=True).compute()
           for r in rs]
    want = vtm_json(["chunk", "--html", "--subgroups", "-f", "json"] + copies)
    assert renumbered(got, copies) == want
    labels = {g["label"] for r in want for g in r["groups"]}
    assert {"np", "nom"} <= labels and len(want) > 20, labels


def kill_once(path: str, target: str, marker: str) -> str:
    """Kills its own worker process the first time it meets the target file (the marker
    file, made just before, tells later attempts that it was met)."""
    if path == target:
        try:
            os.close(os.open(marker, os.O_CREAT | os.O_EXCL | os.O_WRONLY))
        except FileExistsError:
            return path
        os.kill(os.getpid(), signal.SIGKILL)
    return path


def test_a_worker_killed_mid_task_loses_and_doubles_nothing(client, corpus, reference, work):
    # A file in the middle of its partition, so that the partition's file has begun.
    target = corpus[len(corpus) // PARTITIONS * 5 + 7]
    marker = os.path.join(work, "killed")
    paths = dask_bag.from_sequence(corpus, npartitions=PARTITIONS)
    out = os.path.join(work, "killed-out")
    killing = paths.map(kill_once, target=target, marker=marker)
    written = vd.write_jsonl(vd.chunk(killing, files=True), out)
    assert os.path.exists(marker)  # a worker did die
    client.wait_for_workers(2, timeout=60)  # and its nanny started a new one
    # The dead attempt had begun its partition's file; the retry replaced it whole.
    assert written.leftovers_removed == 1
    assert not [n for n in os.listdir(out) if not n.startswith("part-")]
    assert renumbered(read_parts(out), corpus) == reference


@pytest.fixture(scope="module")
def line_files(work):
    """Brown sentences, one per line with a blank line among them (for `vtm tag`), and
    their words one per line with a blank line, bytes that are not UTF-8, a CRLF line
    and a character outside code page 1252 (for `vtm lookup`)."""
    folder = os.path.join(work, "lines")
    os.makedirs(folder)
    sentences = brown_sentences(["ck10", "cl10", "cm01"])
    tag_files, word_files = [], []
    for k in range(0, len(sentences), 60):
        part = [" ".join(w for w, _ in s) for s in sentences[k:k + 60]]
        tag_files.append(os.path.join(folder, f"s{k:05d}.txt"))
        with open(tag_files[-1], "w", encoding="utf-8") as f:
            f.write("\n".join(part[:30]) + "\n\n" + "\n".join(part[30:]) + "\n")
        word_files.append(os.path.join(folder, f"w{k:05d}.txt"))
        with open(word_files[-1], "wb") as f:
            f.write("\n".join(w for line in part for w in line.split(" ")).encode())
            f.write(b"\n\nna\xefve\r\nx\xc4\x81y\n")
    return tag_files, word_files


def test_tag_files_equal_vtm_tag(client, english_path, line_files):
    tag_files, _ = line_files
    bag = dask_bag.from_sequence(tag_files, npartitions=3)
    got = [r for rs in vd.tag(bag, files=True).compute() for r in rs]
    assert [r.pop("file") for r in got] == [p for p in tag_files for _ in open(p)]
    assert got == vtm_json(["tag", "--output", "json"] + tag_files)
    assert len(got) > 300  # sentences compared


def test_analyze_files_equal_vtm_lookup(client, english_path, line_files):
    _, word_files = line_files
    bag = dask_bag.from_sequence(word_files, npartitions=3)
    got = [r for rs in vd.analyze(bag, files=True).compute() for r in rs]
    want = vtm_json(["lookup", "--format", "json"] + word_files)
    assert [r.pop("file") for r in got] == [p for p in word_files for _ in open(p, "rb")]
    # Refused words: an error record each, worded by the binding.
    assert [("error" in r) for r in got] == [("error" in r) for r in want]
    assert sum("error" in r for r in got) == 2 * len(word_files)
    strip = [{k: v for k, v in r.items() if k != "error"} for r in got]
    assert strip == [{k: v for k, v in r.items() if k != "error"} for r in want]
    assert len(got) > 5000  # words compared


def test_tag_and_analyze_elements(client, english_path):
    sentences = [["The", "old", "man", "sat", "."], [], ["x\u0101y"], "The old man sat ."]
    got = vd.tag(dask_bag.from_sequence(sentences, npartitions=2)).compute()
    assert got[0] == got[3] == {"tokens": sentences[0], "tags": ["at", "jj", "nn", "vbd", "."]}
    assert got[1] == {"tokens": [], "tags": []} and "error" in got[2]
    words = ["houses", "", "x\u0101y"]
    got = vd.analyze(dask_bag.from_sequence(words, npartitions=2)).compute()
    assert got[0] == {"word": "houses", "results": vtmrt.Transducer().analyze("houses")}
    assert got[1] == {"word": "", "results": []} and "error" in got[2]


def test_write_jsonl_refusals(client, work):
    bag = dask_bag.from_sequence([{"a": 1}], npartitions=1)
    with pytest.raises(ValueError):
        vd.write_jsonl(bag, os.path.join(work, "bad"), name="same.jsonl")
    missing = dask_bag.from_sequence([os.path.join(work, "no-such-file")], npartitions=1)
    with pytest.raises(FileNotFoundError):
        vd.write_jsonl(vd.analyze(missing, files=True), os.path.join(work, "missing"))
    # The failed partition left neither its file nor a partial one.
    assert os.listdir(os.path.join(work, "missing")) == []


def test_dask_scheduler_and_dask_worker_programs(english_path, line_files, work):
    """The cluster of the README: the `dask-scheduler` and `dask-worker` programs (here
    on the loopback address), a client connecting to the scheduler."""
    _, word_files = line_files
    programs = [shutil.which("dask-scheduler"), shutil.which("dask-worker")]
    assert all(programs), "python3-distributed's programs are not on PATH"
    address = os.path.join(work, "scheduler.json")
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    started = [subprocess.Popen([programs[0], "--host", "127.0.0.1", "--port", "0",
                                 "--no-dashboard", "--scheduler-file", address], **quiet)]
    try:
        deadline = time.monotonic() + 60
        while not os.path.exists(address) and time.monotonic() < deadline:
            time.sleep(0.2)
        started.append(subprocess.Popen([programs[1], "--scheduler-file", address, "--nworkers",
                                         "2", "--nthreads", "1", "--no-dashboard"], **quiet))
        with distributed.Client(scheduler_file=address, timeout=60) as c:
            c.wait_for_workers(2, timeout=60)
            bag = dask_bag.from_sequence(word_files, npartitions=4)
            out = os.path.join(work, "cluster")
            written = vd.write_jsonl(vd.analyze(bag, files=True), out)
            assert len(written.files) == bag.npartitions
            got = [json.loads(line) for p, _ in written.files for line in open(p)]
            assert [r["results"] for r in got] == [
                r["results"] for r in vtm_json(["lookup", "--format", "json"] + word_files)]
            assert sorted(c.run(vd.loaded).values(), key=str) == [{"transducer": 1}] * 2
    finally:
        for process in reversed(started):
            process.terminate()
            try:
                process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
