#!/usr/bin/env bash
# Every reader, on every hostile file (tests/data/hostile_files: a few hundred
# bytes claiming a 2 GB element, 65535 x 65535 pixels or a 4 GB line table) and
# on every kept fuzzing input (tests/data/fuzz_regressions/<entry>/), stays
# under a 32 MB memory limit and comes back without a crash or a sanitizer
# report. A control shows that the limit bites: a genuine 1024 x 1024 float
# raw slice reads under 32 MB and is stopped (status 3) under 1 MB.
set -uo pipefail
driver="$2/fuzz/quarn_read_file"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
run() {  # expected status, then the driver's arguments
  local want=$1; shift
  timeout 120 "$driver" "$@" >"$tmp/out" 2>&1
  local rc=$?
  [ "$rc" -eq "$want" ] || { echo "FAIL ($rc, not $want): $*"; tail -n 20 "$tmp/out"; failed=1; }
}
for f in "$1"/tests/data/hostile_files/* "$1"/tests/data/fuzz_regressions/*/*; do
  [ -f "$f" ] && [ "${f##*.}" != md ] || continue
  entry=$(basename "$(dirname "$f")")
  "$driver" --list | awk '{print $1}' | grep -qx "$entry" && run 0 --memory-limit-mb 32 "$entry" "$f"
  run 0 --memory-limit-mb 32 all "$f"
done
control="$tmp/float_1024.in"  # 0x03: a float raw file at offset 0, then the caller's header text
{ printf '\003<Axial: float>(1024,1024,1,1,1,1,1)\n'; head -c $((1024 * 1024 * 4)) /dev/zero; } >"$control"
run 0 --memory-limit-mb 32 slice_factory_raw "$control"
run 3 --memory-limit-mb 1 slice_factory_raw "$control"
exit $failed
