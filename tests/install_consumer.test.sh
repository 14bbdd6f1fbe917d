#!/usr/bin/env bash
# Installs the built library into a temporary prefix and builds a small program
# against it twice: with find_package(Quarn) and with pkg-config.
set -euo pipefail
src=$1 build=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
libdir=$(find "$tmp/prefix" -name 'libquarn.so*' -printf '%h\n' | head -n1)
flags=()
if grep -q 'QUARN_SANITIZE:BOOL=ON' "$build/CMakeCache.txt"; then
  flags=(-fsanitize=address,undefined)
elif grep -q 'QUARN_SANITIZE_THREAD:BOOL=ON' "$build/CMakeCache.txt"; then
  flags=(-fsanitize=thread)
fi
cmake -S "$src/tests/consumer" -B "$tmp/cmake-build" -DCMAKE_PREFIX_PATH="$tmp/prefix" \
  -DCMAKE_CXX_FLAGS="${flags[*]:-}" -DCMAKE_EXE_LINKER_FLAGS="${flags[*]:-}" >/dev/null
cmake --build "$tmp/cmake-build" >/dev/null
out1=$(LD_LIBRARY_PATH="$libdir" "$tmp/cmake-build/consumer")
export PKG_CONFIG_PATH="$libdir/pkgconfig"
c++ -std=c++17 ${flags[@]+"${flags[@]}"} "$src/tests/consumer/consumer.cpp" -o "$tmp/pc-consumer" \
  $(pkg-config --cflags --libs quarn)
out2=$(LD_LIBRARY_PATH="$libdir" "$tmp/pc-consumer")
echo "find_package: $out1"
echo "pkg-config:   $out2"
# The library's three load-time slices come first: the host's first slice is Slice-4.
[ "$out1" = "Slice-4 256" ] && [ "$out2" = "Slice-4 256" ]
