#!/usr/bin/env bash
# Installs, from Debian's archive, what building and testing Quarn needs.
# Safe to run again: packages already present are left as they are.
set -euo pipefail
packages=(
  build-essential cmake pkg-config git
  libgtest-dev libgmock-dev
  python3 python3-pydicom python3-numpy
  python3-dev python3-pybind11 python3-pytest python3-pil
  libcli11-dev nlohmann-json3-dev libpng-dev python3-png zlib1g-dev
  clang-14 libclang-rt-14-dev
  dcm2niix python3-nibabel python3-dask python3-distributed
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
