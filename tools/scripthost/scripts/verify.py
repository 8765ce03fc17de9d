"""Checks of an installation against its checksum list "lib/sums".

checksum(file) gives a file's MD5 digest in hexadecimal, add_sums() is the list
producer's step for one directory, and verify(program_path) compares every listed file
with its listed checksum.
"""

import errno
import hashlib
import os
import stat
import threading

LIST_NAME = os.path.join("lib", "sums")

_CHUNK = 1 << 18


def checksum(file):
    """MD5 of the whole content of `file`, read in binary, as 32 lower-case hex digits.

    Raises OSError when the file cannot be opened or read, or is not a regular file
    (a device or a pipe could block or never end).
    """
    flags = os.O_RDONLY | getattr(os, "O_BINARY", 0) | getattr(os, "O_NONBLOCK", 0)
    fd = os.open(file, flags)
    with open(fd, "rb", buffering=0) as stream:
        if not stat.S_ISREG(os.fstat(fd).st_mode):
            raise OSError(errno.EINVAL, "not a regular file", file)
        digest = hashlib.md5()
        buffer = bytearray(_CHUNK)
        view = memoryview(buffer)
        while True:
            count = stream.readinto(buffer)
            if not count:
                break
            # Large updates run without the interpreter lock, so files hash in parallel.
            digest.update(view[:count])
    return digest.hexdigest()


def add_sums(out, dirname, names):
    """Writes "path:checksum\\n" to the binary stream `out` for every regular file among
    `names` in `dirname`; the path is `dirname` without its leading "./" joined with
    the name."""
    for name in names:
        full = os.path.join(dirname, name)
        if os.path.isfile(full):
            path = os.path.join(dirname[2:], name)
            out.write(b"%s:%s\n" % (os.fsencode(path), checksum(full).encode("ascii")))


def read_list(list_path):
    """The list's lines. Paths keep their bytes (undecodable ones as surrogate escapes);
    a "\\r\\n" line end counts as "\\n", as when the list is read as text."""
    with open(list_path, "rb") as stream:
        data = stream.read()
    return os.fsdecode(data).replace("\r\n", "\n").split("\n")


def _try_checksum(file):
    try:
        return checksum(file)
    except Exception:
        return None


def checksums(files):
    """The checksums of `files` in their order, None for each one that could not be
    computed. Several threads share the work: a file's hashing runs without the
    interpreter lock, so files are hashed in parallel."""
    results = [None] * len(files)
    order = iter(range(len(files)))
    lock = threading.Lock()

    def work():
        while True:
            with lock:
                index = next(order, None)
            if index is None:
                return
            results[index] = _try_checksum(files[index])

    helpers = [threading.Thread(target=work)
               for _ in range(min(len(files), max(2, min(8, os.cpu_count() or 1))) - 1)]
    for helper in helpers:
        helper.start()
    try:
        work()
    finally:
        for helper in helpers:
            helper.join()
    return results


def verify(program_path):
    """Returns (status, modified, missing): status 0 when the list was read, -1 when it
    does not exist; modified and missing hold the listed paths, in list order.

    A line that does not split into exactly a path and a checksum at ":" raises
    ValueError once the lines before it have been checked.
    """
    list_path = os.path.join(program_path, LIST_NAME)
    if not os.path.exists(list_path):
        return -1, [], []
    entries = []
    malformed = None
    for line in read_list(list_path):
        if not line:
            continue
        try:
            path, listed = line.split(":")
        except ValueError as error:
            malformed = error
            break
        entries.append((path, listed))
    actual = checksums([os.path.join(program_path, path) for path, _ in entries])
    if malformed is not None:
        raise malformed
    modified = []
    missing = []
    for (path, listed), digest in zip(entries, actual):
        if digest is None:
            missing.append(path)
        elif digest != listed:
            modified.append(path)
    return 0, modified, missing
