#!/bin/sh
# Says whether this machine runs 32-bit x86 programs: prints "yes" or "no" and
# exits 0 either way. Some x86-64 kernels refuse them ("Exec format error"),
# and then 32-bit wine cannot run either, whatever is installed. The probe is a
# 96-byte static 32-bit program that only exits with status 42; it needs
# nothing installed. Usage:
#   scripts/runs-32bit.sh [FOLDER]
# FOLDER (default: a new temporary folder) is where the probe is written; it
# must allow running programs.
set -u
if [ $# -gt 0 ]; then
  mkdir -p "$1" && dir=$(cd "$1" && pwd) || { echo no; exit 0; }
  keep_dir=1
else
  dir=$(mktemp -d) || { echo no; exit 0; }
  keep_dir=0
fi
probe="$dir/runs-32bit-probe"
# ELF header, one loadable segment, then: mov eax,1; mov ebx,42; int 0x80.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\273\052\000\000\000\315\200' \
  >"$probe" && chmod +x "$probe"
"$probe" >/dev/null 2>&1
status=$?
rm -f "$probe"
[ "$keep_dir" -eq 1 ] || rmdir "$dir"
if [ "$status" -eq 42 ]; then echo yes; else echo no; fi
