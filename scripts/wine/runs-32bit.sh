#!/usr/bin/env bash
# Exit status 0 when this kernel executes 32-bit x86 programs natively: a 96-byte static
# i386 ELF program that only calls exit(42). A kernel without 32-bit user mode refuses it
# (ENOEXEC); an emulator registered through binfmt_misc would run it, but Wine's 32-bit
# loader does not work under user-mode emulation, so such a handler does not count.
# Used by scripts/deps.sh (whether to ask for 32-bit Wine) and scripts/wine/run-vm.sh
# (chroot or virtual machine).
set -u
for handler in /proc/sys/fs/binfmt_misc/qemu-i386 /proc/sys/fs/binfmt_misc/qemu-i486; do
  [ -f "$handler" ] && grep -qx enabled "$handler" && exit 1
done
probe=$(mktemp "${TMPDIR:-/tmp}/i386-probe.XXXXXX") || exit 1
printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0'`
       `'\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10'`
       `'\0\200\4\10\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0'`
       `'\270\1\0\0\0\273\52\0\0\0\315\200' >"$probe"
chmod +x "$probe"
status=0
"$probe" 2>/dev/null || status=$?
rm -f "$probe"
[ "$status" -eq 42 ]
