#!/usr/bin/env bash
# Every input that ever made a reader crash, hang, leak or overreach while
# fuzzing is kept in tests/data/fuzz_regressions/<harness>/ and read here
# again by the same entry (and by every other reader as well), under the same
# memory limit as the hostile files. A hang shows up as the test's timeout.
set -euo pipefail
src=$1
build=$2
driver="$build/fuzz/quarn_read_file"
root="$src/tests/data/fuzz_regressions"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$driver" --list | awk '{print $1}' >"$tmp/entries"

count=0
failed=0
for dir in "$root"/*/; do
  entry=$(basename "$dir")
  for f in "$dir"*; do
    [ -f "$f" ] || continue
    [ "${f##*.}" = md ] && continue
    count=$((count + 1))
    readers=(all)
    grep -qx "$entry" "$tmp/entries" && readers=("$entry" all)
    for r in "${readers[@]}"; do
      if ! timeout 60 "$driver" --memory-limit-mb 32 "$r" "$f" >"$tmp/out" 2>&1; then
        echo "FAIL: $entry/$(basename "$f") read by $r:"
        tail -n 30 "$tmp/out"
        failed=1
      fi
    done
  done
done
echo "$count kept inputs read"
[ "$count" -gt 0 ] || { echo "FAIL: no kept inputs found in $root"; failed=1; }
exit $failed
