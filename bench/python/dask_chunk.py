"""Chunking a corpus with vtmrt.dask on a LocalCluster of two worker processes against
one Python process doing the same (the same JSON lines, per file group), on the peers'
10 MB English text cut into files at line ends. The cluster is run three times: as Dask
sets up its workers by default, without the MALLOC_TRIM_THRESHOLD_ its nanny sets (with
which glibc hands freed memory back at once and a worker takes ten times the page
faults), and with write_jsonl(durable=False), which writes its files as the single
process does, without an fsync before each rename.
Prints wall and CPU seconds (the workers' CPU from their own rusage), the ratio of wall
times and, since on a busy machine wall time says little, the speed-up two idle cores
would give by CPU time: one process's CPU over the busiest worker's. The single process
runs in a fresh process of its own, as each worker is, once before the clusters and once
after them; the speed-ups are taken against the mean of the two.

Usage (from the repository root, after a release build with the Python package):
    PYTHONPATH=build/release/python /usr/bin/python3 bench/python/dask_chunk.py \
        [TEXT] [FILES] [PARTITIONS]
TEXT defaults to $PEERS_OUT/data/text10mb.txt (the peers' make_data.sh), FILES to 200,
PARTITIONS to 32. Results: bench/README.md.
"""

from __future__ import annotations

import json
import logging
import os
import resource
import shutil
import sys
import tempfile
import time


def cut(text_path: str, files: int, folder: str) -> list:
    """The text in `files` pieces of about equal size, cut at paragraph breaks where
    there are any near the cut, else at line ends."""
    with open(text_path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    size = sum(len(line) + 1 for line in lines) // files + 1
    paths, piece, filled = [], [], 0
    for line in lines:
        piece.append(line)
        filled += len(line) + 1
        if filled >= size and (line == "" or filled >= size * 1.2):
            paths.append(write_piece(folder, len(paths), piece))
            piece, filled = [], 0
    if piece:
        paths.append(write_piece(folder, len(paths), piece))
    return paths


def write_piece(folder: str, number: int, lines: list) -> str:
    path = os.path.join(folder, f"piece-{number:04d}.txt")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    return path


def page_faults() -> int:
    """Minor page faults of this process so far (memory the kernel had to map in)."""
    return resource.getrusage(resource.RUSAGE_SELF).ru_minflt


def cpu_seconds() -> float:
    r = resource.getrusage(resource.RUSAGE_SELF)
    return r.ru_utime + r.ru_stime


def one_process(paths: list, out: str, partitions: int) -> tuple:
    """Chunks every file and writes the same JSON lines as vtmrt.dask does (with its own
    function for a file's lines) in one fresh process, as each Dask worker is: vtmrt is
    imported before the clock, the chunker loaded inside the timed run. Returns (wall,
    CPU, sentences, page faults)."""
    import multiprocessing
    context = multiprocessing.get_context("spawn")
    with context.Pool(1) as pool:
        os.sync()  # see on_dask
        return pool.apply(_one_process_run, (paths, out, partitions))


def _one_process_run(paths: list, out: str, partitions: int) -> tuple:
    import vtmrt.dask as vd
    options = dict(tokenizer=None, html_tags=None, classes=None, model=None, grouper=None,
                   subgroups=False, case="auto", multiword=False)
    wall, cpu, faults = time.perf_counter(), cpu_seconds(), page_faults()
    sentences = 0
    per_part = (len(paths) + partitions - 1) // partitions
    for k in range(0, len(paths), per_part):
        with open(os.path.join(out, f"part-{k // per_part:05d}.jsonl"), "wb") as f:
            for path in paths[k:k + per_part]:
                sentences += vd._write_chunk_lines(path, f, True, False, options)
    return time.perf_counter() - wall, cpu_seconds() - cpu, sentences, page_faults() - faults


def _import_vtmrt() -> bool:
    import vtmrt.dask  # noqa: F401
    return True


def count_tokens(paths: list) -> int:
    """The sentence tokens of the files (outside the timed runs)."""
    import vtmrt
    import vtmrt.dask as vd
    with vtmrt.Chunker() as chunker:
        return sum(len(s.tokens) for p in paths for s in chunker.chunk(vd._read_text(p)))


def on_dask(paths: list, out: str, partitions: int, trim: bool, durable: bool) -> tuple:
    """The same on a fresh LocalCluster of two single-threaded worker processes (started,
    with vtmrt imported, before the clock starts; the workers load the chunker inside the
    timed run); returns
    (wall, [CPU of each worker], records written, loads per worker, busy_times()).
    trim: with the MALLOC_TRIM_THRESHOLD_ that Dask's nanny sets in its workers by
    default (64 KiB), else with glibc's own adaptive thresholds. durable: write_jsonl's
    fsync of each partition before its rename."""
    import dask
    import dask.bag as db
    import distributed
    import vtmrt.dask as vd
    environ = dict(dask.config.get("distributed.nanny.pre-spawn-environ"))
    if not trim:
        # The nanny sets these in its own process (this one) before it starts a worker,
        # which inherits them: an earlier cluster's are removed too.
        environ.pop("MALLOC_TRIM_THRESHOLD_", None)
        os.environ.pop("MALLOC_TRIM_THRESHOLD_", None)
    with dask.config.set({"distributed.nanny.pre-spawn-environ": environ}):
        cluster = distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                                           dashboard_address=None,
                                           silence_logs=logging.CRITICAL)
    client = distributed.Client(cluster)
    try:
        client.wait_for_workers(2)
        # As in the single process: the module imported, the chunker not yet loaded.
        client.run(_import_vtmrt)
        # The earlier runs' output is written back to disk before the clock starts: else
        # the first fsync of this run (a journal commit) waits for it, and the run that
        # comes after a large unsynced write pays for that write.
        os.sync()
        before, faults = client.run(cpu_seconds), client.run(page_faults)
        # The task stream is asked of the scheduler when its block begins and ends: the
        # clock runs inside the block, around the work alone.
        with distributed.get_task_stream(client) as stream:
            wall = time.perf_counter()
            written = vd.write_jsonl(vd.chunk(db.from_sequence(paths, npartitions=partitions),
                                              files=True), out, durable=durable)
            end = time.perf_counter()
        after, faults_after = client.run(cpu_seconds), client.run(page_faults)
        cpu = [after[w] - before[w] for w in sorted(after)]
        faults = [faults_after[w] - faults[w] for w in sorted(after)]
        loads = client.run(vd.loaded)
        busy = busy_times(stream.data, sorted(after), time.time() - (end - wall))
    finally:
        client.close()
        cluster.close()
    return end - wall, cpu, sum(n for _, n in written.files), loads, busy, faults


def busy_times(stream: list, workers: list, started: float) -> list:
    """For each worker, from Dask's task stream: the partitions it wrote, the seconds it
    spent in tasks, and when (seconds from the start) its first task began and its last
    ended: idle time shows as the gap between busy and last - first, or as an early
    last."""
    out = []
    for worker in workers:
        spans = [(s["start"] - started, s["stop"] - started) for t in stream
                 if t["worker"] == worker for s in t["startstops"] if s["action"] == "compute"]
        written = sum(1 for t in stream if t["worker"] == worker
                      and str(t["key"]).startswith("('vtmrt-write-jsonl-"))
        if spans:
            out.append((written, sum(b - a for a, b in spans), min(a for a, _ in spans),
                        max(b for _, b in spans)))
        else:
            out.append((0, 0.0, 0.0, 0.0))
    return out


def main() -> None:
    default = os.path.join(os.environ.get("PEERS_OUT", "/tmp/vtm-peers"), "data", "text10mb.txt")
    text = sys.argv[1] if len(sys.argv) > 1 else default
    files = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    # 32 partitions: the last one a worker runs while the other has none left is 1/16 of
    # its share.
    partitions = int(sys.argv[3]) if len(sys.argv) > 3 else 32
    if not os.path.isfile(text):
        sys.exit(f"dask_chunk: no {text} (run the peers' make_data.sh)")
    work = tempfile.mkdtemp(prefix="vtm-dask-bench-")
    try:
        folder = os.path.join(work, "in")
        os.makedirs(folder)
        paths = cut(text, files, folder)
        os.makedirs(os.path.join(work, "one"))
        tokens = count_tokens(paths)
        wall1, cpu1, sentences, faults1 = one_process(paths, os.path.join(work, "one"), partitions)
        runs = [("Dask, 2 workers", True, True), ("Dask, 2 workers, no trim", False, True),
                ("Dask, 2 workers, durable=False", True, False)]
        dask_runs = [on_dask(paths, os.path.join(work, f"dask{k}"), partitions, trim, durable)
                     for k, (_, trim, durable) in enumerate(runs)]
        # The machine's speed drifts from minute to minute: the single process runs again
        # after the clusters, and the speed-ups are taken against the mean of its runs.
        wall1b, cpu1b, _, _ = one_process(paths, os.path.join(work, "one"), partitions)
        for _, _, lines, _, _, _ in dask_runs:
            if lines != sentences:
                sys.exit(f"dask_chunk: {lines} records on Dask, {sentences} in one process")
        print(f"text: {text}, {os.path.getsize(text)} bytes in {len(paths)} files, "
              f"{partitions} partitions, {sentences} sentences, {tokens} tokens")
        print(f"load average: {os.getloadavg()[0]:.1f}; "
              f"{time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}")
        print(f"{'run':<28} {'wall s':>8} {'CPU s':>8} {'tok/s wall':>12}")
        print(f"{'one process':<28} {wall1:8.2f} {cpu1:8.2f} {tokens / wall1:12.0f}   "
              f"({faults1} page faults)")
        print(f"{'one process, again after':<28} {wall1b:8.2f} {cpu1b:8.2f} "
              f"{tokens / wall1b:12.0f}")
        wall1, cpu1 = (wall1 + wall1b) / 2, (cpu1 + cpu1b) / 2
        for (name, _, _), (wall2, cpu2, _, loads, busy, faults) in zip(runs, dask_runs):
            print(f"{name:<28} {wall2:8.2f} {sum(cpu2):8.2f} {tokens / wall2:12.0f}   "
                  "(workers: " + ", ".join(f"{c:.2f}" for c in cpu2) + " s CPU, "
                  + ", ".join(str(f) for f in faults) + " page faults)")
            for k, (written, seconds, first, last) in enumerate(busy):
                print(f"    worker {k}: {written} partitions written, {seconds:.2f} s in tasks, "
                      f"from {first:.2f} s to {last:.2f} s of {wall2:.2f} s")
            print(f"    chunker loads per worker: {sorted(loads.values(), key=str)}")
        for (name, _, _), (wall2, cpu2, _, _, _, _) in zip(runs, dask_runs):
            print(f"speed-up of {name}: by wall time {wall1 / wall2:.2f}; on two otherwise "
                  f"idle cores, estimated from CPU (one process / busiest worker): "
                  f"{cpu1 / max(cpu2):.2f}")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
