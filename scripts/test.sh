#!/usr/bin/env bash
# Installs what is missing, builds Quarn and runs the whole test suite.
#   scripts/test.sh              normal build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
#   scripts/test.sh --thread     ThreadSanitizer build in build-tsan/
set -euo pipefail
cd "$(dirname "$0")/.."
"$(pwd)/scripts/install-deps.sh"
dir=build
opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  opts=(-DCMAKE_BUILD_TYPE=Debug -DQUARN_SANITIZE=ON)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
elif [ "${1:-}" = "--thread" ]; then
  dir=build-tsan
  opts=(-DCMAKE_BUILD_TYPE=Debug -DQUARN_SANITIZE_THREAD=ON)
  export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
fi
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$dir" "${opts[@]}"
cmake --build "$dir" -j"$jobs"
ctest --test-dir "$dir" --output-on-failure -j"$jobs"
