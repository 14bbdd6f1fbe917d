#!/usr/bin/env bash
# Installs what the benchmark needs beyond the project's own dependencies:
# the peers it compares with (DCMTK, GDCM, pydicom from Debian), valgrind for
# the instruction count and the peak memory, and NumPy for the corpus.
# Installs only what is missing; needs root (or sudo) when something is.
set -euo pipefail
packages=(libdcmtk-dev libgdcm-dev python3-pydicom python3-numpy valgrind cmake g++)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
