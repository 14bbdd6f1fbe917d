#!/usr/bin/env bash
# The benchmark in one command:
#   bench/run.sh [--files N] [--reps N]
# installs the peers when they are missing, builds the benchmark programs
# (Release, in build-bench/ or $QUARN_BENCH_BUILD), writes the corpus of N
# files per series (default 1000) once, and runs Quarn, pydicom, DCMTK, GDCM
# and the limits round-robin, REPS rounds (default 5). The table is printed
# and kept in build-bench/results.md.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${QUARN_BENCH_BUILD:-$root/build-bench}
files=1000
reps=5
while [ $# -gt 0 ]; do
  case "$1" in
    --files) files=$2; shift 2 ;;
    --reps) reps=$2; shift 2 ;;
    *) echo "usage: $0 [--files N] [--reps N]" >&2; exit 2 ;;
  esac
done
if [ "$files" -lt 100 ]; then echo "at least 100 files per series" >&2; exit 2; fi

bash "$here/install-peers.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUARN_BUILD_TESTS=OFF -DQUARN_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target limits_bench quarn_bench dcmtk_bench gdcm_bench

corpus=$build/corpus
if ! grep -qx "files=$files" "$corpus/corpus.txt" 2>/dev/null; then
  rm -rf "$corpus"
  /usr/bin/python3 "$here/make_corpus.py" "$corpus" --files "$files"
fi
/usr/bin/python3 "$here/runner.py" --build "$build" --corpus "$corpus" --reps "$reps" --out "$build/results.md"
