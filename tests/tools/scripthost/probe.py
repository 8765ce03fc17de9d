"""Script of the host-only test program: shows its argument list with the native message
box. With the argument "--wait" it then writes a line of its own and waits for the end of
standard input; with "--fail" it raises an exception."""

import sys

import zerar_native

zerar_native.message_box(repr(sys.argv))
if "--wait" in sys.argv[1:]:
    sys.stdout.write("written by the script\n")
    sys.stdin.read()
if "--fail" in sys.argv[1:]:
    raise RuntimeError("probe asked to fail")
