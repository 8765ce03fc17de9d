"""preserve: moves every changed installed Corvane Server file aside to "<path>.old".

Started in a directory of the installation; the installation is its parent. An existing
backup is never replaced: such a file stays in place and is reported as not saved, and
the program then ends with status 1.
"""

import os

import verify
import zerar_native


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


def main():
    os.chdir("..")
    saved = []
    unsaved = []
    for line in verify.read_list(verify.LIST_NAME):
        if not line:
            continue
        path, listed = line.split(":")
        try:
            actual = verify.checksum(path)
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
