"""mksums [INSTALLATION]: writes the checksum list "lib/sums" of an installation.

INSTALLATION defaults to "..", the parent of the directory the program is started in,
like the other installed-file tools. Every regular file is listed, directories and names
in sorted order, except the list itself. A file whose path cannot be written in the list
(it contains ":" or a line break) is left out with a warning on standard error, and the
program then ends with status 1.
"""

import os
import sys

import verify

_TEMPORARY = os.path.join("lib", "sums.new")


def write_list(out):
    """Walks the current directory into `out`; returns the paths left out."""
    skipped = []
    for dirname, dirs, files in os.walk("."):
        dirs.sort()
        names = []
        for name in sorted(files):
            path = os.path.join(dirname[2:], name)
            if path in (verify.LIST_NAME, _TEMPORARY):
                continue
            if ":" in path or "\n" in path or "\r" in path:
                skipped.append(path)
                continue
            names.append(name)
        verify.add_sums(out, dirname, names)
    return skipped


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else ".."
    os.chdir(root)
    os.makedirs("lib", exist_ok=True)
    try:
        with open(_TEMPORARY, "wb") as out:
            skipped = write_list(out)
        os.replace(_TEMPORARY, verify.LIST_NAME)
    except BaseException:
        if os.path.lexists(_TEMPORARY):
            os.unlink(_TEMPORARY)
        raise
    for path in skipped:
        sys.stderr.write("mksums: not listed, the name cannot be written in the list: %r\n" % path)
    if skipped:
        raise SystemExit(1)


main()
