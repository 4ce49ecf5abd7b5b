#!/usr/bin/env bash
# Checks the export tables of a Windows build (objdump -p), as a host binds
# them by name: IBMFI32.dll exports every IBM_FI_* entry point of
# emulator/ibmfi32.h undecorated (no "_" prefix, no "@n" suffix, also on
# 32-bit Windows where they are __stdcall); sign_bema.dll its four entry
# points; Zel01900.dll the variables the vendor entry points are bound into.
# Usage: scripts/check-windows-exports.sh BIN_FOLDER
set -euo pipefail
bin=$1
root=$(cd "$(dirname "$0")/.." && pwd)
objdump=x86_64-w64-mingw32-objdump
exports() { "$objdump" -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '{print $NF}'; }
failed=0
expected=$(grep -o 'IBM_FI_[A-Za-z0-9_]*(' "$root/emulator/ibmfi32.h" | tr -d '(' | sort -u)
got=$(exports "$bin/IBMFI32.dll" | grep '^IBM_FI_' | sort -u || true)
missing=$(comm -23 <(echo "$expected") <(echo "$got"))
count=$(echo "$expected" | wc -l)
if [ "$count" -ne 95 ] || [ -n "$missing" ]; then
  echo "IBMFI32.dll: $count entry points declared, missing exports: $missing" >&2
  failed=1
fi
if exports "$bin/IBMFI32.dll" | grep -q 'IBM_FI_.*@'; then
  echo "IBMFI32.dll: decorated entry points exported" >&2
  failed=1
fi
for name in setLibType genkkey generateEAD validateFile; do
  exports "$bin/sign_bema.dll" | grep -qx "$name" || { echo "sign_bema.dll: no $name" >&2; failed=1; }
done
bound=$(exports "$bin/Zel01900.dll" | grep -c '^zel01900_IBM_FI_' || true)
if [ "$bound" -ne 95 ]; then
  echo "Zel01900.dll: $bound of the 95 entry-point variables exported" >&2
  failed=1
fi
[ $failed -eq 0 ] && echo "exports of $bin: IBMFI32.dll 95 entry points, sign_bema.dll, Zel01900.dll ok"
exit $failed
