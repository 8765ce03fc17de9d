"""Real-data checks of `vtm tokenize` against NLTK and Python's HTML parser.

  ptb VTM EN_PTB SENTENCES N    en-ptb (with --split-words) against NLTK's
                                TreebankWordTokenizer on the first N sentences (one per
                                line); needs 99 % equal; the differences are listed by kind
  brown VTM EN_BROWN TAGGED     Brown's own tokens (word/tag lines) detokenized with NLTK's
                                TreebankWordDetokenizer and tokenized again; needs 98.5 %
  html VTM EN_BROWN TAGS FILE...  word tokens of --html against the words of the text that
                                html.parser extracts (outside script and style); a word of
                                --html that the text lacks is tag text leaking: a failure

Quotes are compared after mapping NLTK's `` and '' back to ". Prints the figures and the
commonest kinds of difference. Run with Debian's python3 (/usr/bin/python3).
"""
import collections
import html.parser
import re
import subprocess
import sys


def line_tokens(vtm, transducer, sentences, *extra):
    """Tokens of each sentence, by tokenizing them one per line in a single process."""
    out = subprocess.run([vtm, "tokenize", "-t", transducer, *extra], input=("\n".join(sentences) + "\n").encode(),
                         capture_output=True, check=False)
    if out.returncode not in (0, 1):
        sys.exit(f"vtm tokenize failed: {out.stderr.decode(errors='replace')[:500]}")
    result, current = [], []
    for row in out.stdout.decode().split("\n"):
        if not row:
            continue
        offset, length, classes, token = row.split("\t")
        if "line-break" in classes:
            result.append(current)
            current = []
            continue
        current.append(token)
    if current:
        result.append(current)
    return result


# Plain words that NLTK splits (gonna: gon na). They are runs of word characters, which
# the byte scanner takes whole: only --split-words hands them to the transducer.
SCANNER_WORDS = {"gonna", "wanna", "gotta", "cannot", "gimme", "lemme"}


def unquote(tokens):
    return ['"' if t in ("``", "''") else t for t in tokens]


def kind(want, got):
    """A short name for the first difference between two token lists."""
    for i, (a, b) in enumerate(zip(want, got)):
        if a != b:
            return f"{a!r} vs {b!r}"
    return f"length {len(want)} vs {len(got)}"


def report(name, equal, total, kinds, need):
    share = 100.0 * equal / max(total, 1)
    print(f"{name}: {equal} of {total} sentences equal ({share:.2f} %, need {need} %)")
    for k, n in kinds.most_common(25):
        print(f"  {n:6d}  {k}")
    return share >= need


def in_cp1252(token):
    try:
        token.encode("cp1252")
        return True
    except UnicodeEncodeError:
        return False


def ptb_kind(want, got):
    """The kind of the first difference between NLTK's tokens and ours. A chunk is cut
    without knowing what follows it, so its final full stop is split unless the chunk
    is an abbreviation, while NLTK splits only the full stop that ends the line."""
    i = next((k for k, (a, b) in enumerate(zip(want, got)) if a != b), min(len(want), len(got)))
    a = want[i] if i < len(want) else ""
    b = got[i] if i < len(got) else ""
    if not all(in_cp1252(t) for t in want[i:i + 2]):
        return "characters outside code page 1252 (read as spaces)"
    if b.lower() in SCANNER_WORDS and "".join(want[i:i + 2]) == b:
        return "plain word that NLTK splits (gonna, wanna, cannot, ...)"
    if b == a + "." and want[i + 1:i + 2] == ["."]:
        return "abbreviation ending the line (NLTK splits its full stop)"
    if a == b + "." and got[i + 1:i + 2] == ["."]:
        if i == 0 and b.isdigit():
            return "list number starting the line (NLTK keeps its full stop)"
        return "full stop inside the line before a closing mark or a word (NLTK keeps it)"
    return f"other: {a!r} vs {b!r}"


def check_ptb(vtm, transducer, path, count):
    from nltk.tokenize import TreebankWordTokenizer
    nltk = TreebankWordTokenizer()
    sentences = []
    for line in open(path, encoding="utf-8"):
        line = " ".join(line.split())
        if line:
            sentences.append(line)
        if len(sentences) == count:
            break
    got = line_tokens(vtm, transducer, sentences, "--split-words")
    if len(got) != len(sentences):
        sys.exit(f"ptb: {len(got)} token lines for {len(sentences)} sentences")
    equal, kinds = 0, collections.Counter()
    for sentence, tokens in zip(sentences, got):
        want = unquote(nltk.tokenize(sentence))
        if want == unquote(tokens):
            equal += 1
        else:
            kinds[ptb_kind(want, unquote(tokens))] += 1
    return report("ptb", equal, len(sentences), kinds, 99)


def check_brown(vtm, transducer, path):
    from nltk.tokenize.treebank import TreebankWordDetokenizer
    detok = TreebankWordDetokenizer()
    wanted, texts = [], []
    for line in open(path, encoding="utf-8"):
        tokens = [t.rsplit("/", 1)[0] for t in line.split()]
        if not tokens:
            continue
        wanted.append(unquote(tokens))
        texts.append(" ".join(detok.detokenize(tokens).split()))
    got = line_tokens(vtm, transducer, texts)
    if len(got) != len(texts):
        sys.exit(f"brown: {len(got)} token lines for {len(texts)} sentences")
    equal, kinds = 0, collections.Counter()
    for want, tokens in zip(wanted, got):
        if want == unquote(tokens):
            equal += 1
        else:
            kinds[kind(want, unquote(tokens))] += 1
    return report("brown", equal, len(texts), kinds, 98.5)


def reference(text):
    """A character reference as en-brown reads it: its character when that is in code
    page 1252 above the space, else the reference as written."""
    char = html.unescape(text)
    try:
        byte = char.encode("cp1252")
        if len(byte) == 1 and byte[0] > 0x20:
            return char
    except UnicodeEncodeError:
        pass
    return text


class TextOf(html.parser.HTMLParser):
    """The text of a page outside script and style, with character references read as
    en-brown reads them; each tag separates words. Every "&" of the text is written as
    "&amp;" again, so that the plain-text run reads it as the "&" it is (en-brown reads
    references in plain text too)."""

    def __init__(self):
        super().__init__(convert_charrefs=False)
        self.parts, self.skip = [], 0

    def handle_starttag(self, tag, attrs):
        self.parts.append(" ")
        if tag in ("script", "style"):
            self.skip += 1

    def handle_endtag(self, tag):
        self.parts.append(" ")
        if tag in ("script", "style") and self.skip:
            self.skip -= 1

    def handle_data(self, data):
        if not self.skip:
            self.parts.append(data.replace("&", "&amp;"))

    def handle_entityref(self, name):
        if not self.skip:
            self.parts.append(reference(f"&{name};").replace("&", "&amp;"))

    def handle_charref(self, name):
        if not self.skip:
            self.parts.append(reference(f"&#{name};").replace("&", "&amp;"))


def words(vtm, transducer, text, *extra):
    out = subprocess.run([vtm, "tokenize", "-t", transducer, *extra], input=text.encode(),
                         capture_output=True, check=False)
    if out.returncode not in (0, 1):
        sys.exit(f"vtm tokenize failed: {out.stderr.decode(errors='replace')[:500]}")
    result = []
    for row in out.stdout.decode().split("\n"):
        if row:
            _, _, classes, token = row.split("\t")
            if classes == "word" or classes == "mixed":
                result.append(token)
    return result


def check_html(vtm, transducer, tags, files):
    equal, leaks, checked = 0, 0, 0
    for path in files:
        raw = open(path, "rb").read().decode("utf-8", errors="replace")
        parser = TextOf()
        parser.feed(raw)
        parser.close()
        plain = words(vtm, transducer, "".join(parser.parts))
        marked = words(vtm, transducer, raw, "--html", "--tags", tags)
        checked += 1
        if plain == marked:
            equal += 1
            continue
        extra = collections.Counter(marked) - collections.Counter(plain)
        missing = collections.Counter(plain) - collections.Counter(marked)
        print(f"  {path}: {sum(extra.values())} words only in --html "
              f"{list(extra)[:6]}, {sum(missing.values())} only in the text {list(missing)[:6]}")
        leaks += sum(extra.values())
    print(f"html: {equal} of {checked} pages give equal words; {leaks} leaked words")
    return checked > 0 and leaks == 0


def main():
    what = sys.argv[1]
    if what == "ptb":
        ok = check_ptb(sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5]))
    elif what == "brown":
        ok = check_brown(sys.argv[2], sys.argv[3], sys.argv[4])
    elif what == "html":
        ok = check_html(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5:])
    else:
        sys.exit(__doc__)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
