#!/usr/bin/env python3
"""Turns hyperfine JSON exports into Markdown tables.
Usage: summarize.py rate WORDS RESULT.json...   words per second of every command, and
                                                 the ratio to the fastest non-vtm command
       summarize.py time RESULT.json...          median and min wall time in ms
Commands are named after their tool (hyperfine -n)."""
import json
import statistics
import sys


def results(paths):
    for path in paths:
        yield from json.load(open(path))["results"]


def rate(words, paths):
    rows = [(r["command"], words / statistics.median(r["times"]), words / max(r["times"]),
             statistics.median(r["times"])) for r in results(paths)]
    peers = [r for r in rows if not r[0].startswith("vtm")]
    fastest = max(peers, key=lambda r: r[1]) if peers else None
    print("| tool | words/s median | words/s min | median time | vs fastest peer |")
    print("|---|---:|---:|---:|---:|")
    for name, med, low, t in sorted(rows, key=lambda r: -r[1]):
        ratio = f"{med / fastest[1]:.2f}x" if fastest else "-"
        print(f"| {name} | {med / 1e6:.3f} M | {low / 1e6:.3f} M | {t * 1000:.1f} ms | {ratio} |")


def time(paths):
    print("| tool | median | min |")
    print("|---|---:|---:|")
    for r in sorted(results(paths), key=lambda r: statistics.median(r["times"])):
        print(f"| {r['command']} | {statistics.median(r['times']) * 1000:.2f} ms | "
              f"{min(r['times']) * 1000:.2f} ms |")


if sys.argv[1] == "rate":
    rate(int(sys.argv[2]), sys.argv[3:])
else:
    time(sys.argv[2:])
