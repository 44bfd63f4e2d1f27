#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the plain build, the
# same suite under AddressSanitizer and UndefinedBehaviorSanitizer, a Release
# build, then each fuzz target for a short while. Warnings are errors in all
# of them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

echo "== build and test"
bash scripts/build.sh build
# The suite must leave the build folder as it was (CTest's own log aside).
stamp=$(mktemp)
ctest --test-dir build --output-on-failure -j "$jobs"
changed=$(find build -path build/Testing -prune -o -type f -newer "$stamp" -print)
rm -f "$stamp"
if [ -n "$changed" ]; then
    echo "The tests wrote into the build folder:"; echo "$changed"; exit 1
fi

echo "== build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DTESSALY_SANITIZE=ON
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== Release build, benchmarks included (the optimiser raises warnings of its own)"
bash scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DTESSALY_BENCH=ON
ctest --test-dir build-release --output-on-failure -j "$jobs" -LE server

echo "== fuzz targets"
if [ ! -f build-fuzz/CMakeCache.txt ]; then
    cxx=$(bash scripts/fuzz-compiler.sh)
    CC=${cxx/clang++/clang} CXX=$cxx cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DTESSALY_FUZZ=ON -DTESSALY_TESTS=OFF -DTESSALY_WERROR=ON
fi
cmake --build build-fuzz --target fuzzers --parallel "$jobs"
bash scripts/run-fuzzers.sh build-fuzz "${FUZZ_SECONDS:-20}"
