#!/usr/bin/env bash
# Mutation check of the suite: applies each mutation of mutations.tsv in turn to
# one copy of the tree, rebuilds incrementally, runs ctest and prints which
# tests fail ("NOT CAUGHT" when none do). Usage, from anywhere:
#   tests/mutation/run.sh [id...]     (WORK=dir reuses a copy and its build;
#   BUILD_ARGS replaces -DCMAKE_BUILD_TYPE=RelWithDebInfo, e.g. for a faster -O1 build)
set -u
here=$(cd "$(dirname "$0")" && pwd); root=$(cd "$here/../.." && pwd)
work=${WORK:-$(mktemp -d)}; tree=$work/tree; build=$work/build; log=$work/log
mkdir -p "$tree"
tar -C "$root" --exclude="./build*" --exclude=./.git -cf - . | tar -C "$tree" -xf -
cmake -S "$tree" -B "$build" ${BUILD_ARGS:--DCMAKE_BUILD_TYPE=RelWithDebInfo} -DCMAKE_LINK_DEPENDS_NO_SHARED=ON >"$log" 2>&1 &&
  cmake --build "$build" -j2 >>"$log" 2>&1 &&
  ctest --test-dir "$build" -j2 --timeout 120 >>"$log" 2>&1 </dev/null ||
  { echo "the unmutated tree fails: see $log" >&2; exit 1; }
# Applies mutation $1 to the copy; exit 3 when its original text is not there
# exactly once (the code moved: re-aim the mutation).
apply() { python3 -c '
import sys
for line in open(sys.argv[1]):
    f = line.rstrip("\n").split("\t")
    if f[0] == sys.argv[2]:
        path = sys.argv[3] + "/" + f[1]
        old, new = (x.replace("\\n", "\n") for x in f[2:4])
        text = open(path).read()
        if text.count(old) != 1: sys.exit(3)
        open(path, "w").write(text.replace(old, new))' "$here/mutations.tsv" "$1" "$tree"
}
printf '%s\t%s\n' mutation "failing tests"
for id in $(grep -v '^#' "$here/mutations.tsv" | cut -f1); do
  [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx -- "$id" && continue
  file=$(grep "^$id	" "$here/mutations.tsv" | cut -f2)
  cp "$tree/$file" "$work/saved"
  if ! apply "$id"; then printf '%s\tdoes not apply\n' "$id"; continue; fi
  if ! cmake --build "$build" -j2 >"$log" 2>&1; then
    result="caught by build"
  else
    rm -f "$build/Testing/Temporary/LastTestsFailed.log"
    ctest --test-dir "$build" -j2 --timeout 120 >"$log" 2>&1 </dev/null
    result=$( { cut -d: -f2- "$build/Testing/Temporary/LastTestsFailed.log" 2>/dev/null
                grep -o '^FAILED [^ ]*' "$build/Testing/Temporary/LastTest.log" | sed 's/^FAILED .*tests\//py:/'; } |
              sort -u | paste -sd' ')
    result=${result:-NOT CAUGHT}
  fi
  cat "$work/saved" >"$tree/$file"   # a fresh time stamp, so the next build recompiles it
  printf '%s\t%s\n' "$id" "$result"
done
cmake --build "$build" -j2 >"$log" 2>&1
