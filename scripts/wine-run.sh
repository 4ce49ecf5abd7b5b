#!/usr/bin/env bash
# Runs one Windows program under wine for ctest (the cross-build's test
# launcher): wine-run.sh LOADER PROGRAM [ARGUMENTS...]
# Now and then a wine process ends at once, before the program's first
# instruction, with a failure status and no output at all; a test program
# always prints something. Such a start is made once more, and said so on
# standard error; any other outcome, a second silent failure included, is
# the program's own and passes through unchanged.
set -u
loader=$1
shift
out=$(mktemp)
err=$(mktemp)
child=
trap 'rm -f "$out" "$err"' EXIT
trap '[ -n "$child" ] && kill "$child" 2>/dev/null; exit 143' TERM INT
for attempt in 1 2; do
  "$loader" "$@" >"$out" 2>"$err" &
  child=$!
  wait "$child"
  status=$?
  child=
  if [ "$status" -eq 0 ] || [ -s "$out" ] || [ -s "$err" ] || [ "$attempt" -eq 2 ]; then break; fi
  echo "wine-run: $1 ended at once with status $status and no output; started again" >&2
done
cat "$out"
cat "$err" >&2
exit "$status"
