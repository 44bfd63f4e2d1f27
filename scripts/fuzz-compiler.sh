#!/usr/bin/env bash
# Prints the C++ compiler that can build libFuzzer targets: the first clang
# found, newest first, that links a fuzz target. Exits 1 when there is none.
set -euo pipefail
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' \
    >"$probe/t.cpp"
for v in "" -20 -19 -18 -17 -16 -15 -14 -13; do
    cxx=clang++$v
    command -v "$cxx" >/dev/null || continue
    if "$cxx" -fsanitize=fuzzer "$probe/t.cpp" -o "$probe/t" 2>/dev/null; then
        echo "$cxx"
        exit 0
    fi
done
echo "no clang with libFuzzer found" >&2
exit 1
