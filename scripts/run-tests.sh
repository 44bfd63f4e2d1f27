#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the plain build, the
# same suite under AddressSanitizer and UndefinedBehaviorSanitizer, then each
# fuzz target for a short while.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

echo "== build and test"
bash scripts/build.sh build
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DTESSALY_SANITIZE=ON
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== fuzz targets"
if [ ! -f build-fuzz/CMakeCache.txt ]; then
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DTESSALY_FUZZ=ON -DTESSALY_TESTS=OFF
fi
cmake --build build-fuzz --target fuzzers --parallel "$jobs"
bash scripts/run-fuzzers.sh build-fuzz "${FUZZ_SECONDS:-20}"
