#!/usr/bin/env bash
# Installs what is missing, builds Quarn and reads the sample slices that ship
# with it, printing each slice's header text, size, minimum, maximum and sum.
set -euo pipefail
cd "$(dirname "$0")/.."
"$(pwd)/scripts/install-deps.sh"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target quarn_raw_info >/dev/null
echo "== Real GE CT slices read as raw big-endian 16-bit blocks (512 x 512) at byte 3416 =="
build/examples/quarn_raw_info "<Axial: short>(512,512,0.48828125,0.48828125,1,1,0)" raw16swapped 3416 \
  tests/data/genesis/c_vf1122.fre tests/data/genesis/c_vf1210.fre
echo "== The same blocks taken as the last 512 x 512 x 2 bytes of each file (offset -1) =="
build/examples/quarn_raw_info "<Axial: short>(512,512,0.48828125,0.48828125,1,1,0)" raw16swapped -1 \
  tests/data/genesis/c_vf1122.fre tests/data/genesis/c_vf1210.fre
