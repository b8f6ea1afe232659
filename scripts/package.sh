#!/usr/bin/env bash
# Builds the Debian packages libxob1, libxob-dev and xob-tools (release build, installed under /usr)
# and prints their paths. Usage: scripts/package.sh [BUILD_DIR [extra cmake arguments...]]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-deb}
shift || true
scripts/bootstrap.sh --package >&2
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DXOB_BUILD_TOOLS=ON \
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_DOCDIR=share/doc/xob-tools "$@" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
rm -rf "$build/packages"
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log"; exit 1; }
ls "$PWD/$build"/packages/*.deb
