#!/usr/bin/env bash
# Local scan benchmark: scanning a generated site of 100,000 files against find
# over the same tree, in the same run, and the whole program's peak memory.
# Needs a build with -DTESSALY_BENCH=ON (bench/build.sh does it).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD:-$root/build-bench}
site=${SITE:-/tmp/tessaly-bench-site}
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALY_BENCH=ON >/dev/null
cmake --build "$build" --target bench_local_scan tessaly make_example_profile tessaly_data >/dev/null
[ -f "$site/index.html" ] || bash "$root/bench/scan/make-site.sh" "$site"
scan="$build/bin/bench_local_scan"
sync
hyperfine --warmup 1 --runs 5 --export-markdown /tmp/scan-notitles.md \
    -n "find -type f" "find $site -type f > /dev/null" \
    -n "find -type f, reading each file's time" "find $site -type f -printf '%T@\\n' > /dev/null" \
    -n "scan, titles off" "$scan $site notitles"
hyperfine --warmup 1 --runs 5 --export-markdown /tmp/scan-titles.md \
    -n "find + cat pages" "find $site -name '*.html' -exec cat {} + > /dev/null" \
    -n "scan, titles on" "$scan $site titles"
"$scan" "$site" titles

# The whole program: an unattended run over the site, offscreen.
"$build/bin/make_example_profile" "$site" /tmp/tessaly-bench.qvt
/usr/bin/time -f "whole program: %e s, peak RSS %M KB" \
    env QT_QPA_PLATFORM=offscreen "$build/bin/tessaly" -auto /tmp/tessaly-bench.qvt
