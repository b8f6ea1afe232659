#!/usr/bin/env bash
# Builds libxob with its tests and tools and runs every test.
# Usage: scripts/test.sh [BUILD_DIR [extra cmake arguments...]]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
scripts/bootstrap.sh
cmake -S . -B "$build" -DXOB_WARNINGS_AS_ERRORS=ON "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
