"""preserve: moves every changed installed Corvane Server file aside to "<path>.old".

Started in a directory of the installation; the installation is its parent. An existing
backup is never replaced: such a file stays in place and is reported as not saved, and
the program then ends with status 1.
"""

import errno
import hashlib
import os
import stat

import zerar_native

_CHUNK = 1 << 18


def checksum(file):
    """MD5 of the whole content of `file`, read in binary, as 32 lower-case hex digits.

    The same as verify.checksum: preserve carries its own copy, the program being made of
    its main script alone (verify is stored in sumcheck only).
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
            digest.update(view[:count])
    return digest.hexdigest()


def inside_installation(path):
    """True for a relative path that stays inside the installation directory."""
    if not path or os.path.isabs(path) or os.path.splitdrive(path)[0]:
        return False
    parts = path.replace("\\", "/").split("/")
    return ".." not in parts


def move_aside(path, backup):
    """Renames `path` to `backup` unless `backup` already exists; True when moved."""
    try:
        # A new link fails when the name is taken, so no existing backup is replaced.
        os.link(path, backup, follow_symlinks=False)
    except FileExistsError:
        return False
    except OSError:
        # No hard links here (or not allowed): rename, having made sure of the name.
        if os.path.lexists(backup):
            return False
        try:
            os.rename(path, backup)
        except OSError:
            return False
        return True
    try:
        os.unlink(path)
    except OSError:
        try:
            os.unlink(backup)
        except OSError:
            pass
        return False
    return True


def read_list(list_path):
    with open(list_path, "rb") as stream:
        data = stream.read()
    return os.fsdecode(data).replace("\r\n", "\n").split("\n")


def main():
    os.chdir("..")
    saved = []
    unsaved = []
    for line in read_list(os.path.join("lib", "sums")):
        if not line:
            continue
        path, listed = line.split(":")
        try:
            actual = checksum(path)
        except Exception:
            continue
        if actual == listed:
            continue
        if inside_installation(path) and move_aside(path, path + ".old"):
            saved.append("%s->%s.old" % (path, path))
        else:
            unsaved.append(path)
    message = ""
    if saved:
        message = "Corvane Server files that have been saved:\n\n" + "\n".join(saved)
    if unsaved:
        if message:
            message = message + "\n\n"
        message = message + "Corvane Server files that could not be saved:\n\n" + "\n".join(unsaved)
    if message:
        zerar_native.message_box(message)
    if unsaved:
        raise SystemExit(1)


main()
