#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang and runs each in turn, one at a
# time, on its corpus.
#
#   fuzz/run.sh [seconds-per-harness] [harness...]
#
# seconds-per-harness defaults to 60. Without harness names every harness of
# the build runs. The corpora grow in build-fuzz/corpus/<harness> (seeded from
# the test data, samples/ when present, fuzz/seeds and the kept regression
# inputs) and are reused by later runs. Findings (crash-*, leak-*, timeout-*,
# oom-*) land in build-fuzz/findings/<harness>/; the script then exits with
# status 1. Each run appends a line with its time (wall clock and CPU) and
# number of executions to build-fuzz/fuzzing-time.log.
#
# Environment: QUARN_FUZZ_CXX (default clang++-14), QUARN_FUZZ_BUILD (default
# build-fuzz), QUARN_FUZZ_JOBS (build parallelism, default 2), TMPDIR (where
# the harnesses write each input before reading it; a memory file system such
# as /dev/shm spares long runs the disk waits).
set -euo pipefail
cd "$(dirname "$0")/.."
src=$(pwd)
seconds=${1:-60}
shift || true
cxx=${QUARN_FUZZ_CXX:-clang++-14}
cc=${cxx/clang++/clang}
build=${QUARN_FUZZ_BUILD:-build-fuzz}
jobs=${QUARN_FUZZ_JOBS:-2}

CC=$cc CXX=$cxx cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARN_BUILD_FUZZERS=ON \
  -DQUARN_BUILD_TESTS=OFF >/dev/null
read -r -a all <"$build/fuzz/harnesses.txt"
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] || harnesses=("${all[@]}")
cmake --build "$build" -j"$jobs" --target "${harnesses[@]/#/fuzz_}"

# Copies the files of the given folders (recursively, documentation and
# anything above 1 MB left out) into a corpus folder, named by content.
seed_from() {
  local corpus=$1; shift
  local dir f
  for dir in "$@"; do
    [ -d "$dir" ] || continue
    while IFS= read -r -d '' f; do
      cp -f "$f" "$corpus/seed-$(sha1sum "$f" | cut -c1-16)"
    done < <(find "$dir" -type f ! -name '*.md' ! -name '*.txt' ! -name '*.py' ! -name '*.sh' -size -1024k -print0)
  done
}

# Raw files have no header of their own: a raw seed is a type byte, the
# caller's header record as compact text, a newline and the pixels (here cut
# from the real CT slices of the test data, whose 16-bit pixels are big-endian).
raw_seeds() {
  local corpus=$1 f n=0
  for f in "$src"/tests/data/genesis/*.fre; do
    [ -f "$f" ] || continue
    n=$((n + 1))
    { printf '\006<Axial: short>(64,64,0.48828125,0.48828125,1,1,%d)\n' "$n"; tail -c 8192 "$f"; } >"$corpus/seed-raw16s-$n"
    { printf '\001<Sagittal: short>(32,32,0.9,0.9,3,3.5,%d)\n' "$n"; tail -c 2048 "$f"; } >"$corpus/seed-raw16-$n"
    { printf '\010<Coronal: uchar>(48,40,1,1,2,2,%d)\n' "$n"; tail -c 1920 "$f"; } >"$corpus/seed-raw8-$n"
    { printf '\007<Axial: float>(16,16,1,1,2,2,%d)\n' "$n"; tail -c 1024 "$f"; } >"$corpus/seed-rawf-$n"
  done
}

seed_corpus() {
  local h=$1 corpus=$2
  mkdir -p "$corpus"
  local common=("$src/tests/data/hostile_files" "$src/tests/data/fuzz_regressions/$h" "$src/fuzz/seeds/$h")
  case $h in
    raw_header_text | xml_labeled_state) seed_from "$corpus" "${common[@]}" ;;
    slice_factory_raw) raw_seeds "$corpus"; seed_from "$corpus" "${common[@]}" ;;
    dicom_* | slice_factory_dicom)
      seed_from "$corpus" "${common[@]}" "$src/tests/data/dicom" "$src/tests/data/dicom_slices" "$src/samples" ;;
    siemens_file | slice_factory_siemens)
      seed_from "$corpus" "${common[@]}" "$src/tests/data/siemens" "$src/samples" ;;
    signa_file | slice_factory_signa)
      seed_from "$corpus" "${common[@]}" "$src/tests/data/genesis" "$src/tests/data/ge_other" "$src/samples" ;;
    genesis_file | slice_factory_genesis)
      seed_from "$corpus" "${common[@]}" "$src/tests/data/genesis" "$src/tests/data/ge_other" "$src/samples"
      if [ -x /usr/bin/python3 ] && [ -f "$src/tests/make_genesis_fixtures.py" ]; then
        local tmp; tmp=$(mktemp -d)
        /usr/bin/python3 "$src/tests/make_genesis_fixtures.py" "$tmp" >/dev/null && seed_from "$corpus" "$tmp"
        rm -rf "$tmp"
      fi ;;
    image_reader)
      seed_from "$corpus" "${common[@]}" "$src/tests/data/modern" "$src/tests/data/dicom" "$src/tests/data/dicom_slices" \
        "$src/tests/data/genesis" "$src/tests/data/siemens" "$src/tests/data/ge_other" "$src/samples" ;;
    *) seed_from "$corpus" "${common[@]}" ;;
  esac
}

status=0
for h in "${harnesses[@]}"; do
  corpus="$build/corpus/$h"
  findings="$build/findings/$h"
  seed_corpus "$h" "$corpus"
  mkdir -p "$findings"
  log="$build/fuzz-$h.log"
  echo "== $h: ${seconds} s on $(find "$corpus" -type f | wc -l) corpus files"
  set +e
  TIMEFORMAT='%U %S'
  { time ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/fuzz/fuzz_$h" "$corpus" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -malloc_limit_mb=256 -max_len=1048576 -print_final_stats=1 -artifact_prefix="$findings/" >"$log" 2>&1; } \
    2>"$log.cpu"
  rc=$?
  set -e
  cpu=$(awk '{printf "%d", $1 + $2}' "$log.cpu" 2>/dev/null || echo '?')
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
  echo "$(date -u +%Y-%m-%dT%H:%M:%SZ) $h seconds=${took:-?} cpu_seconds=${cpu:-?} runs=${runs:-?} exit=$rc" >>"$build/fuzzing-time.log"
  if [ $rc -ne 0 ] || [ -n "$(ls -A "$findings")" ]; then
    echo "!! $h: finding (exit $rc); see $log and $findings"
    tail -n 40 "$log"
    status=1
  else
    echo "   $h: ${runs:-?} runs in ${took:-?} s (${cpu:-?} CPU s), no finding"
  fi
done
exit $status
