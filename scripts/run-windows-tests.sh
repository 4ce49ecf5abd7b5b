#!/usr/bin/env bash
# Runs a Windows build's tests under wine, through wine's own loader for the
# build's architecture (Debian's plain `wine` launcher picks the 32-bit loader
# whenever wine32 is installed, even for a 64-bit prefix), in a private wine
# prefix inside the build folder, with no display. Where the machine cannot
# run them (wine missing or unusable, or for 32-bit a machine that does not
# run 32-bit programs) it says so in one line and exits 0: the tests were
# built, not run. Only a failing test makes it fail. Usage:
#   scripts/run-windows-tests.sh 64|32 BUILD [CTEST ARGUMENTS...]
# Environment: WINE64 and WINE32 name the loaders (Debian's by default);
# RUNS_32BIT=yes|no forces the answer of scripts/runs-32bit.sh.
set -euo pipefail
arch=$1
build=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
not_run() {
  echo "test-win$arch: $1; the $arch-bit Windows tests were built, not run"
  exit 0
}
case "$arch" in
  64) loader=${WINE64:-/usr/lib/wine/wine64} ;;
  32)
    loader=${WINE32:-/usr/lib/wine/wine}
    runs=${RUNS_32BIT:-$("$here/runs-32bit.sh" "$build")}
    [ "$runs" = yes ] || not_run "this machine does not run 32-bit programs"
    ;;
  *) echo "usage: $0 64|32 BUILD [CTEST ARGUMENTS...]" >&2; exit 2 ;;
esac
[ -x "$loader" ] || not_run "wine's $arch-bit loader $loader is not installed"
build=$(cd "$build" && pwd)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX="$build/wineprefix"
export WINELOADER="$loader"
"$loader" --version >/dev/null 2>&1 || not_run "wine's $arch-bit loader $loader does not start here"
server="$(dirname "$loader")/wineserver"
# A server left from an interrupted run of this prefix ends first.
"$server" -k 2>/dev/null && "$server" -w 2>/dev/null || true
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$loader" wineboot -i </dev/null >/dev/null 2>&1 ||
    not_run "wine could not make its prefix in $WINEPREFIX"
  # The prefix is on disk when its server has ended.
  "$server" -w 2>/dev/null || true
fi
# One server for the whole run, and wine's own background programs started
# by it once, with no output: a server that ends with its last program can be
# caught ending by the next test's start ("recvmsg: Connection reset by
# peer"), and background programs started by a test would hold that test's
# output open after it ended.
"$server" -p
trap '"$server" -k 2>/dev/null || true' EXIT
"$loader" wineboot </dev/null >/dev/null 2>&1 || not_run "wine could not start in $WINEPREFIX"
# A wine process now and then hangs at its start on a busy machine: such a
# test runs once more before it counts as failed.
cd "$build"
ctest --output-on-failure -j "${JOBS:-$(nproc)}" --timeout 600 --repeat after-timeout:2 "$@"
