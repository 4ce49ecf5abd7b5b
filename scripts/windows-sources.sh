#!/usr/bin/env bash
# Unpacks the third-party sources the Windows build compiles itself, all from
# Debian's source packages: pugixml, cpp-httplib (its single header with the
# implementation; Debian's -dev package ships the declarations only), and
# SQLite in its single-file form (sqlite3.c, made by SQLite's own build with
# tclsh). Usage:
#   scripts/windows-sources.sh FOLDER
# Leaves FOLDER/pugixml, FOLDER/cpp-httplib and FOLDER/sqlite3; does nothing
# when all are there.
set -euo pipefail
dest=$(mkdir -p "$1" && cd "$1" && pwd)
[ -f "$dest/pugixml/src/pugixml.cpp" ] && [ -f "$dest/sqlite3/sqlite3.c" ] &&
  [ -f "$dest/cpp-httplib/httplib.h" ] && exit 0
work="$dest/download"
rm -rf "$work" && mkdir -p "$work"
cd "$work"
apt-get source --download-only pugixml sqlite3 cpp-httplib >/dev/null
rm -rf "$dest/pugixml" "$dest/cpp-httplib" "$dest/sqlite3-src"
dpkg-source --no-check -x pugixml_*.dsc "$dest/pugixml" >/dev/null
dpkg-source --no-check -x cpp-httplib_*.dsc "$dest/cpp-httplib" >/dev/null
dpkg-source --no-check -x sqlite3_*.dsc "$dest/sqlite3-src" >/dev/null
mkdir -p "$dest/sqlite3-src/build" "$dest/sqlite3"
(cd "$dest/sqlite3-src/build" && ../configure --disable-tcl >/dev/null && make sqlite3.c >/dev/null)
cp "$dest/sqlite3-src/build/sqlite3.c" "$dest/sqlite3-src/build/sqlite3.h" "$dest/sqlite3/"
rm -rf "$work" "$dest/sqlite3-src"
