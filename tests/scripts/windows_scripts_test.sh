#!/usr/bin/env bash
# The scripts that decide and launch the Windows tests: wine-run.sh starts a
# silently failed wine process once more and nothing else; run-windows-tests.sh
# says in one line why it ran nothing and exits 0; runs-32bit.sh answers yes or
# no. Fake loaders stand in for wine.
#   windows_scripts_test.sh SCRIPTS_FOLDER
set -u
scripts=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAILED %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
  fi
}

# A fake loader: the first start ends as FIRST says ("silent" = status 3 and
# no output, "noisy" = status 3 with a message), later ones run "the program",
# which prints its arguments, or fails with output, or fails silently.
cat >"$work/loader" <<'FAKE'
#!/usr/bin/env bash
count_file=$(dirname "$0")/count
n=$(cat "$count_file" 2>/dev/null || echo 0)
echo $((n + 1)) >"$count_file"
if [ "$n" -eq 0 ]; then
  case "$FIRST" in
    silent) exit 3 ;;
    noisy) echo "err: could not load" >&2; exit 3 ;;
  esac
fi
case "$1" in
  fails) echo "test failed" >&2; exit 1 ;;
  silent) exit 5 ;;
  *) echo "ran $*" ;;
esac
FAKE
chmod +x "$work/loader"
run() {  # run FIRST PROGRAM: "stdout|stderr|status|starts"
  rm -f "$work/count"
  local out err status
  out=$(FIRST=$1 "$scripts/wine-run.sh" "$work/loader" "$2" x 2>"$work/err")
  status=$?
  err=$(grep -v '^wine-run: ' "$work/err")
  echo "$out|$err|$status|$(cat "$work/count")"
}
check "a clean start runs once" "ran ok x||0|1" "$(run none ok)"
check "a silent failed start is made again" "ran ok x||0|2" "$(run silent ok)"
check "the second start's failure is the program's" "|test failed|1|2" "$(run silent fails)"
check "two silent failures give the second status" "||5|2" "$(run silent silent)"
check "a failed start with output is not made again" "|err: could not load|3|1" "$(run noisy ok)"
check "a failing program with output runs once" "|test failed|1|1" "$(run none fails)"
rm -f "$work/count"
FIRST=silent "$scripts/wine-run.sh" "$work/loader" ok 2>"$work/err" >/dev/null
check "the second start is told" "wine-run: ok ended at once with status 3 and no output; started again" \
  "$(cat "$work/err")"

# run-windows-tests.sh: nothing to run is one line and status 0.
mkdir -p "$work/build"
out=$(RUNS_32BIT=no "$scripts/run-windows-tests.sh" 32 "$work/build" 2>&1)
check "no 32-bit programs: one line, status 0" \
  "test-win32: this machine does not run 32-bit programs; the 32-bit Windows tests were built, not run|0" \
  "$out|$?"
out=$(WINE64="$work/none/wine64" "$scripts/run-windows-tests.sh" 64 "$work/build" 2>&1)
check "no loader: one line, status 0" \
  "test-win64: wine's 64-bit loader $work/none/wine64 is not installed; the 64-bit Windows tests were built, not run|0" \
  "$out|$?"
out=$(RUNS_32BIT=yes WINE32="$work/none/wine" "$scripts/run-windows-tests.sh" 32 "$work/build" 2>&1)
check "32-bit forced on, no loader: reaches the loader check" \
  "test-win32: wine's 32-bit loader $work/none/wine is not installed; the 32-bit Windows tests were built, not run|0" \
  "$out|$?"

# runs-32bit.sh answers yes or no and leaves no probe behind.
answer=$("$scripts/runs-32bit.sh" "$work/probe")
case "$answer" in yes | no) answer=ok ;; esac
check "the probe answers yes or no" "ok" "$answer"
check "the probe leaves nothing" "" "$(ls -A "$work/probe")"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
