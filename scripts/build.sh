#!/usr/bin/env bash
# Builds the native core and tests (build/native), the same under sanitizers (build/asan),
# the Windows programs (build/windows) with their ready-to-run folders, release zips and
# SHA256SUMS (dist/), and the fuzz targets with clang (build/fuzz).
#   scripts/build.sh [native|asan|windows|fuzz]...   (native, asan and windows when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)
build_native() {
  cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_E2E_DIR="$PWD/build/windows" >/dev/null
  cmake --build build/native -j"$jobs"
}
build_asan() {
  cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON >/dev/null
  cmake --build build/asan -j"$jobs"
}
build_fuzz() {
  cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DQUORVEL_FUZZ=ON \
    -DQUORVEL_FUZZ_SECONDS="${QUORVEL_FUZZ_SECONDS:-20}" >/dev/null
  cmake --build build/fuzz -j"$jobs"
}
build_windows() {
  cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build/windows -j"$jobs"
  cmake --build build/windows --target dist >/dev/null
}

targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(native asan windows)
for target in "${targets[@]}"; do "build_$target"; done
