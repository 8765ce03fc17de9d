#!/usr/bin/python3
"""Compares `vtm group` with NLTK's RegexpParser (Debian's python3-nltk).

random VTM N SEED    N random grammars over a small tag set, each run on random tag
                     sequences; groups compared as sets of (label, first token, token
                     count), nested chunks included.
brown VTM DIR TAGGED the English grammar (DIR/chunks.grammar) on a gold-tagged file (one
                     sentence of word/tag tokens per line), then the subgrammar
                     (DIR/np-inner.grammar) inside each NP of more than one token, the
                     groups spanning the whole NP left out.

Prints the number of cases compared and exits 1 on the first difference (or if the
comparison could not be run)."""
import os
import random
import subprocess
import sys
import tempfile

from nltk.chunk.regexp import RegexpParser
from nltk.tree import Tree

TAGS = ["a", "b", "c", "d", "ab", "ba", "cd", "d$"]
LABELS = ["NP", "VP", "PP", "X"]


def groups_of(tree, offset=0):
    """(label lower-cased, first, count) of every chunk of an NLTK chunk tree."""
    out = []

    def walk(node, start):
        pos = start
        for child in node:
            if isinstance(child, Tree):
                n = len(child.leaves())
                out.append((child.label().lower(), offset + pos, n))
                walk(child, pos)
                pos += n
            else:
                pos += 1
    walk(tree, 0)
    return out


def grouper_tag(tag):
    if tag.startswith("("):
        return "-lrb-" + tag[1:]
    if tag.startswith(")"):
        return "-rrb-" + tag[1:]
    return tag


def run(cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, **kw)


def vtm_groups(vtm, grouper, sentences, subgroups=False):
    """Groups per sentence from `vtm group -f tsv` (sentences: lists of (word, tag))."""
    text = "".join(" ".join(f"{w}/{t}" for w, t in s) + "\n" for s in sentences)
    cmd = [vtm, "group", "-g", grouper, "-f", "tsv"] + (["--subgroups"] if subgroups else [])
    r = run(cmd, input=text)
    if r.returncode != 0:
        sys.exit(f"vtm group failed: {r.stderr.strip()}")
    result = [[] for _ in sentences]
    for line in r.stdout.splitlines():
        n, first, count, label = line.split("\t")[:4]
        result[int(n) - 1].append((label, int(first), int(count)))
    return result


def build(vtm, tmp, tags, grammar, subgrammar=None):
    with open(os.path.join(tmp, "tags"), "w") as f:
        f.write("".join(t + "\n" for t in tags))
    with open(os.path.join(tmp, "g"), "w") as f:
        f.write(grammar)
    out = os.path.join(tmp, "g.vtm")
    cmd = [vtm, "build", "-q", "-o", out, "--tags", os.path.join(tmp, "tags"),
           "--chunk-grammar", os.path.join(tmp, "g")]
    if subgrammar is not None:
        with open(os.path.join(tmp, "s"), "w") as f:
            f.write(subgrammar)
        cmd += ["--chunk-subgrammar", os.path.join(tmp, "s")]
    r = run(cmd)
    return out if r.returncode == 0 else None, r.stderr


def tag_test(rng):
    kind = rng.randrange(7)
    if kind == 0:
        return rng.choice(TAGS).replace("$", "\\$")
    if kind == 1:
        return "|".join(t.replace("$", "\\$") for t in rng.sample(TAGS, 2))
    if kind == 2:
        return rng.choice("abcd") + ".*"
    if kind == 3:
        return "[" + "".join(rng.sample("abcd", 2)) + "]"
    if kind == 4:
        return rng.choice("abcd") + rng.choice("abcd") + "?"
    if kind == 5:
        return ".*" + rng.choice("abcd")
    return ".*"


def piece(rng, labels, depth=0):
    r = rng.random()
    if r < 0.15 and labels:
        atom = "<" + rng.choice(labels) + ">"
    elif r < 0.25 and depth < 2:
        alts = [seq(rng, labels, depth + 1, 2) for _ in range(rng.randint(1, 2))]
        atom = "(" + "|".join(alts) + ")"
    else:
        atom = "<" + tag_test(rng) + ">"
    q = rng.random()
    if q < 0.45:
        return atom
    quant = rng.choice(["*", "+", "?", "{1,2}", "{2}", "*?", "+?", "??"])
    return atom + quant


def seq(rng, labels, depth=0, longest=3):
    return "".join(piece(rng, labels, depth) for _ in range(rng.randint(1, longest)))


def random_grammar(rng):
    lines, labels = [], []
    for _ in range(rng.randint(1, 3)):
        label = rng.choice(LABELS)
        rules = []
        for _ in range(rng.randint(1, 3)):
            p = seq(rng, labels)
            if rng.random() < 0.2:
                p += "|" + seq(rng, labels)
            rules.append("{" + p + "}")
        lines.append(label + ": " + rules[0])
        lines += ["    " + r for r in rules[1:]]
        labels.append(label)
    return "\n".join(lines) + "\n"


def compare_random(vtm, grammars, seed):
    rng = random.Random(seed)
    cases = refused = 0
    with tempfile.TemporaryDirectory() as tmp:
        done = 0
        while done < grammars:
            grammar = random_grammar(rng)
            grouper, err = build(vtm, tmp, TAGS, grammar)
            if grouper is None:
                if "matches the empty tag sequence" in err:
                    refused += 1
                    continue
                sys.exit(f"vtm build refused a grammar:\n{grammar}{err}")
            done += 1
            parser = RegexpParser(grammar)
            sentences = [[(f"w{i}", rng.choice(TAGS)) for i in range(rng.randint(0, 12))]
                         for _ in range(25)]
            got = vtm_groups(vtm, grouper, sentences)
            for s, g in zip(sentences, got):
                want = groups_of(parser.parse(s)) if s else []
                if sorted(want) != sorted(g):
                    sys.exit(f"difference\ngrammar:\n{grammar}tags: {' '.join(t for _, t in s)}\n"
                             f"nltk: {sorted(want)}\nvtm:  {sorted(g)}")
                cases += 1
    print(f"random grammars: {grammars} compared ({refused} refused as matching the empty "
          f"sequence), {cases} tag sequences equal to NLTK")


def compare_brown(vtm, data_dir, tagged):
    grammar = open(os.path.join(data_dir, "chunks.grammar")).read()
    subgrammar = open(os.path.join(data_dir, "np-inner.grammar")).read()
    with open(os.path.join(data_dir, "brown.tags")) as f:
        tags = [line.strip() for line in f if line.strip()]
    sentences = []
    for line in open(tagged, encoding="utf-8"):
        toks = line.split()
        if toks:
            sentences.append([(t.rsplit("/", 1)[0], grouper_tag(t.rsplit("/", 1)[1]))
                              for t in toks])
    with tempfile.TemporaryDirectory() as tmp:
        grouper, err = build(vtm, tmp, tags, grammar, subgrammar)
        if grouper is None:
            sys.exit(f"vtm build failed: {err}")
        main, sub = RegexpParser(grammar), RegexpParser(subgrammar)
        plain = vtm_groups(vtm, grouper, sentences)
        nested = vtm_groups(vtm, grouper, sentences, subgroups=True)
    equal = sub_equal = inner = 0
    for s, g, gs in zip(sentences, plain, nested):
        tree = main.parse(s)
        want = groups_of(tree)
        if sorted(want) == sorted(g):
            equal += 1
        want_sub = list(want)
        for node, (label, first, count) in zip(subtrees(tree), want):
            if label == "np" and count > 1:
                for x in groups_of(sub.parse(node.leaves()), first):
                    if x[2] < count:
                        want_sub.append(x)
                        inner += 1
        if sorted(want_sub) == sorted(gs):
            sub_equal += 1
    n = len(sentences)
    print(f"brown: {n} sentences; groups equal to NLTK in {equal} ({100.0 * equal / n:.2f} %); "
          f"with the subgrammar ({inner} inner groups) in {sub_equal} "
          f"({100.0 * sub_equal / n:.2f} %)")
    if equal != n or sub_equal != n:
        sys.exit(1)


def subtrees(tree):
    """Chunk subtrees in the order groups_of lists them."""
    out = []

    def walk(node):
        for child in node:
            if isinstance(child, Tree):
                out.append(child)
                walk(child)
    walk(tree)
    return out


if __name__ == "__main__":
    if len(sys.argv) >= 5 and sys.argv[1] == "random":
        compare_random(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
    elif len(sys.argv) >= 5 and sys.argv[1] == "brown":
        compare_brown(sys.argv[2], sys.argv[3], sys.argv[4])
    else:
        sys.exit(__doc__)
