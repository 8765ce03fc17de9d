#!/usr/bin/python3
"""Writes html-entities.foma: the HTML character references (named, decimal and
hexadecimal) whose character is in Windows code page 1252 above the space, each
with that character, as the foma transducer Entity. The names and their characters
are Python's own table (html.entities.html5; numbers as html.unescape reads them).

Usage: python3 data/en/html_entities.py > data/en/html-entities.foma
"""
import html
import html.entities


def in_code_page(text):
    try:
        b = text.encode("cp1252")
    except UnicodeEncodeError:
        return False
    return len(b) == 1 and b[0] > 0x20


def quoted(text):
    """A foma symbol sequence for `text`, one quoted symbol per character."""
    out = []
    for c in text:
        if c == '"':
            out.append('%"')
        elif c == "\\":
            out.append("%\\")
        elif 0x80 <= ord(c) <= 0x9F:
            out.append('"\\u%04X"' % ord(c))
        else:
            out.append('"%s"' % c)
    return " ".join(out)


def either_case(text):
    return " ".join(f"[{c.lower()}|{c.upper()}]" if c.isalpha() else quoted(c) for c in text)


def main():
    pairs = []
    for name, char in sorted(html.entities.html5.items()):
        if name.endswith(";") and in_code_page(char):
            pairs.append((quoted("&" + name), char))
    # Numbers: every code point whose reference reads as a character of the code page
    # (128-159 are read as the characters code page 1252 puts there).
    seen = set()
    for number in list(range(0x21, 0x100)) + [ord(bytes([b]).decode("cp1252", "ignore") or " ")
                                              for b in range(0x80, 0xA0)]:
        if number in seen:
            continue
        seen.add(number)
        char = html.unescape(f"&#{number};")
        if not in_code_page(char):
            continue
        pairs.append(('"&" "#" "0"* ' + quoted(str(number)) + ' ";"', char))
        pairs.append(('"&" "#" [x|X] "0"* ' + either_case(f"{number:x}") + ' ";"', char))
    print("# HTML character references whose character is in code page 1252 (above the space),")
    print("# each with that character. Written by html_entities.py; do not edit.")
    print("define Entity [")
    print("  |\n".join(f"  [[{source}] .x. {quoted(char)}]" for source, char in pairs))
    print("];")


if __name__ == "__main__":
    main()
