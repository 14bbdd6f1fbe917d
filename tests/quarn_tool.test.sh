#!/usr/bin/env bash
# End-to-end tests of the quarn tool on the sample files: exit statuses and
# messages, the text and JSON of `info`, the series verdict of `scan`, and
# pictures decoded by an independent PNG decoder (python3-png).
set -euo pipefail
src=$1
build=$2
quarn=$build/tools/quarn
py=/usr/bin/python3
s=$src/samples
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
check() {  # check NAME EXPECTED-STATUS COMMAND...
  local name=$1 want=$2; shift 2
  local got=0
  "$@" >"$tmp/out" 2>"$tmp/err" || got=$?
  if [ "$got" != "$want" ]; then
    echo "FAIL $name: exit $got, expected $want"; cat "$tmp/out" "$tmp/err"; fail=1
  fi
}
expect_err() {  # expect_err NAME TEXT: standard error of the last check holds TEXT
  grep -qF -- "$2" "$tmp/err" || { echo "FAIL $1: stderr lacks '$2'"; cat "$tmp/err"; fail=1; }
}

# --- Usage errors give 2, unreadable files 1, each message naming the file.
: >"$tmp/empty.dcm"
head -c 3000 "$s/siemens/ramp.ima" >"$tmp/short.ima"   # "SIEMENS" at 96 but no full header: unknown
d=$s/dicom/series/slice_a.dcm r=$s/raw/ramp16.raw
while IFS='|' read -r name want text args; do
  eval "check $name $want \"\$quarn\" $args"
  [ -z "$text" ] || expect_err "$name" "$(eval echo "$text")"
done <<'TABLE'
no-command|2||
help|0||--help
version|0||--version
bad-window|2||convert "$d" -o "$tmp/x.png" --window 100
zero-width-window|2||convert "$d" -o "$tmp/x.png" --window 100,0
bad-extension|2||convert "$d" -o "$tmp/x.jpg"
bad-rotation|2||convert "$d" -o "$tmp/x.png" --rotate 45
raw-type-mismatch|2||info --header "$s/raw/ramp16.hdr" --raw-type raw8 "$r"
too-small-raw|2||info --width 8 --height 8 --pixel-type short "$r"
missing-file|1|$tmp/none.dcm|info "$tmp/none.dcm"
folder|1|is a folder|info "$s/dicom"
empty-file|1|empty.dcm: the file is empty|info "$tmp/empty.dcm"
unknown-format|1|not a file of a known format|info "$r"
raw-options-on-dicom|1|raw geometry applies only to raw files|info --header "$s/raw/ramp16.hdr" "$d"
dicom-read-as-siemens|1|slice_a.dcm|convert --format siemens "$d" -o "$tmp/x.png"
truncated-siemens|1||info "$tmp/short.ima"
nema-stream|0||info "$s/dicom/acr_nema_ramp.img"
TABLE
"$quarn" --version | grep -qx "quarn $(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")" ||
  { echo "FAIL version: not the project's version"; fail=1; }
# One bad file among good ones: reported, the others still listed.
check info-one-bad 1 "$quarn" info "$s/dicom/series/slice_a.dcm" "$tmp/none.dcm" "$s/ge/ramp.imgf"
grep -q "slice_a.dcm" "$tmp/out" && grep -q "ramp.imgf" "$tmp/out" || { echo "FAIL info-one-bad: good files missing"; fail=1; }

# --- JSON of DICOM, Siemens and IMGF files (the values the sample writer put in), and
# the IMGF file again through the Signa reader when asked for.
check info-json 0 "$quarn" info --json "$s/dicom/series/slice_b.dcm" "$s/siemens/ramp.ima" "$s/ge/ramp.imgf"
cp "$tmp/out" "$tmp/json"
check info-signa 0 "$quarn" info --json --format signa "$s/ge/ramp.imgf"
"$py" - "$tmp/json" "$tmp/out" <<'PY' || fail=1
import json, sys
d, sm, ge = json.load(open(sys.argv[1]))
sg = json.load(open(sys.argv[2]))[0]
h = d["header"]
assert d["format"] == "dicom" and (h["iNumPix"], h["iNumPixY"], h["iImageNum"]) == (64, 64, 2), d
assert d["position"]["row_direction"] == [1, 0, 0] and d["position"]["column_direction"] == [0, 1, 0]
assert sm["format"] == "siemens" and sm["header"]["ImagePlane"] == "Coronal" and sm["header"]["iImageNum"] == 7
assert sm["slice_information"]["sManufacturer"] == "SIEMENS" and sm["slice_information"]["sPatientID"] == "QUARN-SAMPLE"
assert (sm["pixels"]["minimum"], sm["pixels"]["maximum"]) == (500, 500 + 4095)
for j, fmt in ((ge, "genesis"), (sg, "signa")):
    assert j["format"] == fmt and j["header"]["FileType"] == "Mri" + fmt.capitalize(), j
    assert j["header"]["iImageNum"] == 5 and (j["pixels"]["minimum"], j["pixels"]["maximum"]) == (200, 200 + 4095)
assert ge["header"]["fSliceSpacing"] == 2.5
PY
# --- "IMGF" files of every storage method (packed and compressed too) give the written image.
mkdir -p "$tmp/gem"
"$py" "$src/tests/make_genesis_fixtures.py" "$tmp/gem"
for m in 1 2 3 4; do
  for d in 8 16; do
    check "convert-genesis-$m-$d" 0 "$quarn" convert "$tmp/gem/gem_${m}_$d.fre" -o "$tmp/gem/out_${m}_$d.raw"
    cmp -s <(tail -c +13 "$tmp/gem/out_${m}_$d.raw") "$tmp/gem/gem_${m}_$d.pixels" ||
      { echo "FAIL convert-genesis-$m-$d: pixels differ from the written image"; fail=1; }
  done
done

# --- Pictures: every pixel of a known ramp through a window, turned and mirrored.
check convert-raw 0 "$quarn" convert --header "$s/raw/ramp16.hdr" "$s/raw/ramp16.raw" -o "$tmp/w.png" --window 1000,1000
check convert-rotate 0 "$quarn" convert --header "$s/raw/ramp16.hdr" "$s/raw/ramp16.raw" -o "$tmp/r.png" --rotate 90 --flip h
check convert-signa 0 "$quarn" convert "$s/ge/ramp.imgf" -o "$tmp/g.pgm"
check convert-siemens-half 0 "$quarn" convert "$s/siemens/ramp.ima" -o "$tmp/h.png" --half
check convert-dicom-half 0 "$quarn" convert "$s/dicom/series/slice_a.dcm" -o "$tmp/dh.png" --half
check convert-rawout 0 "$quarn" convert --header "$s/raw/ramp16.hdr" "$s/raw/ramp16.raw" -o "$tmp/p.raw"
check convert-monochrome1 0 "$quarn" convert "$src/tests/data/modern/monochrome1.dcm" -o "$tmp/m1.pgm"
"$py" - "$tmp" "$s" <<'PY' || fail=1
import sys, struct, png
t, s = sys.argv[1], sys.argv[2]
def read(path):
    w, h, rows, info = png.Reader(filename=path).read()
    assert info["greyscale"] and info["bitdepth"] == 8 and not info["alpha"], info
    return w, h, [list(r) for r in rows]
def gray(v, lo, hi):
    if v <= lo: return 0
    if v >= hi: return 255
    x = 255.0 * (v - lo) / (hi - lo)
    return int(x + 0.5)
ramp = lambda x, y: 64 * y + x
w, h, p = read(t + "/w.png")
assert (w, h) == (64, 64)
assert all(p[y][x] == gray(ramp(x, y), 500, 1500) for y in range(64) for x in range(64)), "window"
w, h, p = read(t + "/r.png")   # 90 degrees clockwise, then mirrored left to right
assert all(p[y][x] == gray(ramp(y, x), 0, 4095) for y in range(64) for x in range(64)), "rotate+flip"
data = open(t + "/g.pgm", "rb").read()
assert data.startswith(b"P5\n64 64\n255\n")
g = data[len(b"P5\n64 64\n255\n"):]
assert all(g[64 * y + x] == gray(200 + ramp(x, y), 200, 4295) for y in range(64) for x in range(64)), "pgm"
for name, base in (("h.png", 500), ("dh.png", 0)):   # 2 x 2 means of the ramp: 128r + 2c + 32.5 (+ base)
    w, h, p = read(t + "/" + name)
    assert (w, h) == (32, 32), (name, w, h)
    means = [[base + 128 * r + 2 * c + 32.5 for c in range(32)] for r in range(32)]
    lo, hi = means[0][0], means[31][31]
    assert p[0][0] == 0 and p[31][31] == 255 and abs(p[16][16] - gray(means[16][16], lo, hi)) <= 1, name
raw = open(t + "/p.raw", "rb").read()
assert raw[:12] == bytes(4) + struct.pack("<hhi", 64, 64, 98), raw[:12]
assert raw[12:] == open(s + "/raw/ramp16.raw", "rb").read()
m1 = open(t + "/m1.pgm", "rb").read()   # MONOCHROME1: the lowest stored value is white
assert m1.startswith(b"P5\n20 16\n255\n") and m1[-320] == 255 and m1[-1] == 0, m1[:20]
PY

# --- Montage: sorted by image number, one common window, a square grid.
check montage 0 "$quarn" montage "$s/dicom/series" -o "$tmp/m.png"
"$py" - "$tmp/m.png" <<'PY' || fail=1
import sys, png
w, h, rows, info = png.Reader(filename=sys.argv[1]).read()
p = [list(r) for r in rows]
assert (w, h) == (128, 128) and all(v == 0 for r in p[64:] for v in r[64:]), (w, h)  # 3 cells, one empty
assert len({p[0][0], p[0][64], p[64][0]}) > 1, "cells share one window but differ"
PY
# --- Scans: the series in words, a size that differs, a file of no format skipped, one bad file.
mkdir -p "$tmp/series"
cp "$s"/dicom/series/*.dcm "$tmp/series/"
"$py" - "$tmp/series" <<'PY'
import sys, pydicom
d = pydicom.dcmread(sys.argv[1] + "/slice_b.dcm")
d.PixelSpacing = ["0.6", "0.5"]
d.ImagePositionPatient = [-16, -16, 20]
d.save_as(sys.argv[1] + "/slice_d.dcm")
PY
echo "not a slice" >"$tmp/series/notes.txt"
check scan-problem 0 "$quarn" scan "$tmp/series"
grep -q "problem size-differs: $tmp/series/slice_a.dcm $tmp/series/slice_d.dcm: pixel spacing 0.6 x 0.5 mm instead of 0.5 x 0.5 mm" "$tmp/out" ||
  { echo "FAIL scan verdict"; cat "$tmp/out"; fail=1; }
grep -q "files: 4 read, 0 failed, 1 skipped" "$tmp/out" || { echo "FAIL scan skipped"; cat "$tmp/out"; fail=1; }
check scan-strict 3 "$quarn" scan --strict "$tmp/series"
check scan-one-bad 1 "$quarn" scan "$tmp/series/slice_a.dcm" "$tmp/none.dcm" "$tmp/series/slice_c.dcm"
expect_err scan-one-bad "$tmp/none.dcm"

# --- The manual page in docs/ is the one the help texts make.
bash "$src/tools/make-docs.sh" "$quarn" md >"$tmp/quarn.md"
diff -u "$src/docs/quarn.md" "$tmp/quarn.md" || { echo "FAIL docs/quarn.md is out of date (run tools/make-docs.sh)"; fail=1; }

exit $fail
