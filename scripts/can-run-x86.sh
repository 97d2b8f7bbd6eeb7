#!/usr/bin/env bash
# Exits 0 when this machine executes 32-bit x86 code, 1 when it cannot, and
# says why on stderr. Some hypervisors have no 32-bit mode at all, and then
# neither 32-bit Wine nor WoW64 can run; the kernel's name does not tell.
# The probe is a 96-byte static ELF32 that only calls exit(42), so it needs
# no 32-bit libraries.
set -uo pipefail
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
# ELF header, one loadable segment at 0x08048000, then: mov eax,1; mov ebx,42; int 0x80
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'\
'\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'\
'\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'\
'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'\
'\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'\
'\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
chmod +x "$probe"
out=$("$probe" 2>&1)
rc=$?
[ $rc -eq 42 ] && exit 0
echo "this machine cannot execute 32-bit x86 code (probe exit $rc${out:+: ${out##*: }})" >&2
exit 1
