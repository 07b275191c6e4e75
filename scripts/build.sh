#!/usr/bin/env bash
# Configures and builds the three trees: build/x64 and build/x86 (MinGW-w64,
# the product and its Windows tests) and build/native (the engine on Linux,
# for fast tests, fuzzing and benchmarks).
set -euo pipefail
cd "$(dirname "$0")/.."

configure() {
  local tree=$1; shift
  if [ ! -f "build/$tree/CMakeCache.txt" ]; then
    cmake -S . -B "build/$tree" -G Ninja "$@" >/dev/null
  fi
}
configure x64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
configure x86 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
configure native -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++

for tree in native x64 x86; do
  cmake --build "build/$tree" -j"$(nproc)"
done
