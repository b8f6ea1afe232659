#!/usr/bin/env bash
# Installs the Debian packages that building and testing libxob needs; does nothing for packages
# already installed. Usage: scripts/bootstrap.sh [--cross]   (--cross adds the 32-bit ARM toolchain
# and qemu-user for the emulated test run)
set -euo pipefail

packages=(cmake g++ make googletest libbenchmark-dev pkg-config)
if [[ "${1:-}" == "--cross" ]]; then
  packages+=(g++-arm-linux-gnueabihf qemu-user qemu-user-binfmt)
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
