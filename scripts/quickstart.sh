#!/usr/bin/env bash
# Installs what is missing, builds Quarn and its command-line tool, and runs
# the tool over the sample files in samples/: their header records, a series
# scan, and pictures written to quickstart-out/.
set -euo pipefail
cd "$(dirname "$0")/.."
"$(pwd)/scripts/install-deps.sh"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target quarn_cli >/dev/null
quarn=build/tools/quarn
out=quickstart-out
mkdir -p "$out"
echo "== quarn info: what each file says (\"not in the file\" where it says nothing), beside the legacy record =="
"$quarn" info samples/dicom/real/MR_small_bigendian.dcm samples/ge/c_vf1122.fre
"$quarn" info --header samples/raw/ramp16.hdr samples/raw/ramp16.raw
echo
echo "== quarn scan: series found and checked along the slice normal =="
"$quarn" scan samples/dicom/series
"$quarn" scan samples || true   # the folder mixes formats and holds files no reader takes: reported, not fatal
echo
echo "== quarn convert: a folder into a NIfTI volume, and pictures, in $out/ =="
"$quarn" convert samples/dicom/series -o "$out/series.nii.gz"
"$quarn" convert samples/ge/c_vf1122.fre -o "$out/ct.png" --window 1100,800
"$quarn" convert samples/siemens/ramp.ima -o "$out/siemens-ramp.png" --rotate 90
"$quarn" montage samples/dicom/series -o "$out/series.png"
ls -l "$out"/series.nii.gz "$out"/ct.png "$out"/siemens-ramp.png "$out"/series.png
