#!/usr/bin/env bash
# The benchmark in one command:
#   bench/run.sh [--files N] [--reps N]
# installs the peers when they are missing and builds Quarn three ways:
#   build-bench/          the project's default build (RelWithDebInfo, -O2), with the
#                         tool and the Python module: every comparison is made here
#   build-bench/release/  Release (-O3), beside it
#   build-bench/plain/    a distribution's build: CMAKE_BUILD_TYPE=None with
#                         Debian's dpkg-buildflags (-O2) and no load-time clones
# ($QUARN_BENCH_BUILD moves build-bench). It writes the corpus of N files per
# series (default 1000) and the 20-series archive once, and runs Quarn,
# pydicom, DCMTK, GDCM, dcm2niix and the limits round-robin, REPS rounds
# (default 5). The table is printed and kept in build-bench/results.md.
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
bench_only=(-DQUARN_BUILD_TESTS=OFF -DQUARN_BUILD_TOOL=OFF -DQUARN_BUILD_PYTHON=OFF -DQUARN_BUILD_BENCH=ON)
cmake -S "$root" -B "$build" -DQUARN_BUILD_TESTS=OFF -DQUARN_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2
cmake -S "$root" -B "$build/release" -DCMAKE_BUILD_TYPE=Release "${bench_only[@]}" >/dev/null
cmake --build "$build/release" -j2 --target quarn_bench
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  cmake -S "$root" -B "$build/plain" -DCMAKE_BUILD_TYPE=None -DQUARN_TARGET_CLONES=OFF -DQUARN_WERROR=OFF \
        "${bench_only[@]}" >/dev/null
cmake --build "$build/plain" -j2 --target quarn_bench

corpus=$build/corpus
if ! grep -qx "files=$files" "$corpus/corpus.txt" 2>/dev/null || ! grep -qx "archive=20x100" "$corpus/corpus.txt"; then
  rm -rf "$corpus"
  /usr/bin/python3 "$here/make_corpus.py" "$corpus" --files "$files"
fi
/usr/bin/python3 "$here/runner.py" --build "$build" --corpus "$corpus" --reps "$reps" --out "$build/results.md"
