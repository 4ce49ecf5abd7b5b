#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# What only some tests use is tried last and is not required: without
# Chromium and Node the page test of `ecf serve` skips, without wine the
# Windows tests are built and not run, and each says why.
set -euo pipefail
packages=(g++ cmake make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libpugixml-dev nlohmann-json3-dev libsqlite3-dev libcpp-httplib-dev
          libgcrypt20-dev
          # The Windows build (make test-windows): MinGW-w64 for both
          # architectures, GoogleTest's sources, libgcrypt for MinGW, and what
          # unpacks and prepares the pugixml and SQLite sources (dpkg-dev,
          # tcl).
          g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest
          libgcrypt-mingw-w64-dev dpkg-dev tcl)
# wine64 runs the 64-bit Windows tests, through its own loader (the Makefile
# never uses the plain `wine` launcher, which picks the 32-bit loader whenever
# wine32 is installed).
optional=(wine64 chromium)
# apt-get source needs the source lists of the release in use.
deb_src=/etc/apt/sources.list.d/zel01900-sources.sources
if ! grep -rqs '^Types: *deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  [ "$(id -u)" -ne 0 ] && sudo_tee="sudo tee" || sudo_tee="tee"
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$codename" "$codename" | $sudo_tee "$deb_src" >/dev/null
  need_update=1
fi
# Node may come from elsewhere than Debian; any node on the PATH will do.
command -v node >/dev/null 2>&1 || optional+=(nodejs)
sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
# Another install (an unattended upgrade, a second make) may hold the package
# lock: apt waits for it up to ten minutes, saying which process holds it,
# instead of failing at once.
apt_get() {
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get -o DPkg::Lock::Timeout=600 "$@"
}
is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}
missing=()
for p in "${packages[@]}"; do is_installed "$p" || missing+=("$p"); done
updated=0
if [ ${#missing[@]} -gt 0 ] || [ "${need_update:-0}" -eq 1 ]; then
  echo "Installing: ${missing[*]}"
  apt_get update -qq
  updated=1
  [ ${#missing[@]} -eq 0 ] || apt_get install -y -qq "${missing[@]}"
fi
# 32-bit wine for the 32-bit Windows tests, from the i386 architecture, only
# where the machine runs 32-bit programs at all (some x86-64 kernels refuse
# them); elsewhere the i386 architecture is not added and those tests are
# built, not run.
if [ "$("$(dirname "$0")/runs-32bit.sh")" != yes ]; then
  echo "install-deps: this machine does not run 32-bit programs; wine32 is not installed and the 32-bit Windows tests will be built, not run"
elif ! is_installed wine32:i386; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo_cmd dpkg --add-architecture i386
    updated=0
  fi
  [ $updated -eq 1 ] || { apt_get update -qq || true; updated=1; }
  echo "Installing: wine32:i386"
  apt_get install -y -qq wine32:i386 ||
    echo "install-deps: wine32 could not be installed; the 32-bit Windows tests will not run" >&2
fi
for p in "${optional[@]}"; do
  is_installed "$p" && continue
  echo "Installing (optional): $p"
  [ $updated -eq 1 ] || { apt_get update -qq || true; updated=1; }
  apt_get install -y -qq --no-install-recommends "$p" ||
    echo "install-deps: $p could not be installed; the tests that need it will skip" >&2
done
