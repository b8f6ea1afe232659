#!/usr/bin/env bash
# Installs the Debian packages that building and testing libxob needs; does nothing for packages
# already installed. Usage: scripts/bootstrap.sh [--ci | --package]   (--ci adds what only CI needs:
# the 32-bit ARM toolchain and qemu-user for the emulated test run, clang and its runtime for the
# fuzzer, lintian and man-db for the package check, pandas and Node.js with npm for the analysis
# recipes of docs/analysis.md, headless Chromium for the browser test of the timeline page; --ci
# and --package add dpkg-dev and file, which cpack needs for the Debian packages)
set -euo pipefail

packages=(cmake g++ make googletest libbenchmark-dev pkg-config libcli11-dev nlohmann-json3-dev python3-jsonschema)
if [[ "${1:-}" == "--ci" ]]; then
  packages+=(g++-arm-linux-gnueabihf qemu-user qemu-user-binfmt clang libclang-rt-14-dev
            lintian man-db python3-pandas nodejs chromium python3)
fi
if [[ "${1:-}" == "--ci" || "${1:-}" == "--package" ]]; then
  packages+=(dpkg-dev file)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if (( ${#missing[@]} )); then
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  echo "bootstrap: installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
