#!/usr/bin/env bash
# Installs the Debian packages that building and testing libxob needs; does nothing for packages
# already installed. Usage: scripts/bootstrap.sh [--ci]   (--ci adds what only CI needs: the 32-bit
# ARM toolchain and qemu-user for the emulated test run, clang and its runtime for the fuzzer,
# headless Chromium and python3 for the browser test of the timeline page)
set -euo pipefail

packages=(cmake g++ make googletest libbenchmark-dev pkg-config libcli11-dev nlohmann-json3-dev)
if [[ "${1:-}" == "--ci" ]]; then
  packages+=(g++-arm-linux-gnueabihf qemu-user qemu-user-binfmt clang libclang-rt-14-dev chromium python3)
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
