#!/bin/sh
# Installs the Debian 12 packages the SDK, its tools and tests need.
# Runs as root; does nothing when everything is already there. With the
# argument "windows" it installs the Windows cross-compilers (mingw-w64 with
# posix threads) and Wine (64-bit) instead.
set -eu
if [ "${1:-}" = windows ]; then
  PACKAGES="g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64 wine wine64 googletest libasio-dev"
else
PACKAGES="cmake ninja-build g++ make pkg-config binutils libicu-dev zlib1g-dev libgtest-dev libgmock-dev \
libbenchmark-dev libcli11-dev libfmt-dev libpugixml-dev libsqlite3-dev libcpp-httplib-dev libasio-dev"
fi
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing
fi
