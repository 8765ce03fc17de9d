#!/usr/bin/env python3
"""Running-text tokens of the Brown corpus (NLTK form, word/tag), one per line, in corpus
order: the first N tokens (N "all": every token) go to TOKENS, and their distinct forms
(byte order) to DISTINCT.
Usage: corpus_tokens.py BROWN_DIR N TOKENS DISTINCT"""
import os
import re
import sys

brown, count, tokens_path, distinct_path = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4]
count = sys.maxsize if count == "all" else int(count)
tokens = []
for name in sorted(f for f in os.listdir(brown) if re.fullmatch(r"c[a-r]\d\d", f)):
    with open(os.path.join(brown, name), encoding="utf-8") as text:
        for line in text:
            tokens.extend(t.rsplit("/", 1)[0] for t in line.split())
    if len(tokens) >= count:
        break
if len(tokens) < count and count != sys.maxsize:
    sys.exit(f"corpus_tokens.py: the corpus has only {len(tokens)} tokens")
tokens = tokens[:count]
with open(tokens_path, "w", encoding="utf-8") as out:
    out.write("\n".join(tokens) + "\n")
with open(distinct_path, "w", encoding="utf-8") as out:
    out.write("\n".join(sorted(set(tokens), key=lambda s: s.encode())) + "\n")
