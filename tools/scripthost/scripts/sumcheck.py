"""sumcheck: tells which installed Corvane Server files were changed or are missing.

Started in a directory of the installation; the installation is its parent.
"""

import verify
import zerar_native


def main():
    status, modified, missing = verify.verify("..")
    message = ""
    if modified:
        message = "Corvane Server files that have been modified:\n\n" + "\n".join(modified)
    if missing:
        if message:
            message = message + "\n\n"
        message = message + "Corvne Server files that are missing:\n\n" + "\n".join(missing)
    if not message:
        if status == 0:
            message = "No Corvane Server files have been modified."
        else:
            message = "Checksums file is missing."
    zerar_native.message_box(message)


main()
