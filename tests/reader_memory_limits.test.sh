#!/usr/bin/env bash
# Every reader, on every hostile file (a few hundred bytes that claim a 2 GB
# element, 65535 x 65535 pixels or a 4 GB line table) and on every input that
# ever made a fuzzer report a crash, hang, leak or oversized allocation
# (tests/data/fuzz_regressions/<harness>/), stays within a memory limit: no
# request above 32 MB (and, in the plain build, no address space growth above
# 64 MB), and comes back without a crash or a sanitizer report. A control
# shows that the limit does bite: a genuine 1024 x 1024 float raw slice reads
# within the limit and is stopped under a 1 MB limit.
set -euo pipefail
src=$1
build=$2
driver="$build/fuzz/quarn_read_file"
hostile="$src/tests/data/hostile_files"
kept="$src/tests/data/fuzz_regressions"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

/usr/bin/python3 "$src/tests/make_hostile_files.py" --check "$hostile"

failed=0
for f in "$hostile"/*; do
  [ "${f##*.}" = md ] && continue
  if ! "$driver" --memory-limit-mb 32 all "$f" >"$tmp/out" 2>&1; then
    echo "FAIL: a reader went beyond the memory limit (or crashed) on $(basename "$f"):"
    tail -n 20 "$tmp/out"
    failed=1
  fi
done

# Kept fuzzing inputs: each by the entry of its folder (when this build has
# it) and by all others; a hang ends in the timeout.
"$driver" --list | awk '{print $1}' >"$tmp/entries"
for f in "$kept"/*/*; do
  [ -f "$f" ] || continue
  [ "${f##*.}" = md ] && continue
  entry=$(basename "$(dirname "$f")")
  readers=(all)
  grep -qx "$entry" "$tmp/entries" && readers=("$entry" all)
  for r in "${readers[@]}"; do
    if ! timeout 120 "$driver" --memory-limit-mb 32 "$r" "$f" >"$tmp/out" 2>&1; then
      echo "FAIL: kept input $entry/$(basename "$f") read by $r:"
      tail -n 30 "$tmp/out"
      failed=1
    fi
  done
done

# Control: 0x03 = float raw file at offset 0, then the caller's header text.
control="$tmp/float_1024.in"
{ printf '\003<Axial: float>(1024,1024,1,1,1,1,1)\n'; head -c $((1024 * 1024 * 4)) /dev/zero; } >"$control"
if ! "$driver" --memory-limit-mb 32 slice_factory_raw "$control" >"$tmp/out" 2>&1; then
  echo "FAIL: a genuine 4 MB slice was refused under the 32 MB limit:"
  tail -n 20 "$tmp/out"
  failed=1
fi
set +e
"$driver" --memory-limit-mb 1 slice_factory_raw "$control" >"$tmp/out" 2>&1
rc=$?
set -e
if [ $rc -ne 3 ]; then
  echo "FAIL: under a 1 MB limit the 4 MB slice should be stopped with status 3, got $rc"
  failed=1
fi
exit $failed
