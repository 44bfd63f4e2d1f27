#!/usr/bin/env bash
# run-fuzzers.sh BUILD_DIR SECONDS: runs every fuzz_* target for SECONDS each,
# seeded from tests/fuzz/corpus/<target> when that folder exists.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; seconds=$2
failed=0; passed=0
for f in "$dir"/bin/fuzz_*; do
    [ -x "$f" ] || continue
    name=$(basename "$f")
    work=$(mktemp -d)
    seeds=()
    [ -d "$root/tests/fuzz/corpus/$name" ] && seeds=("$root/tests/fuzz/corpus/$name")
    echo "-- $name (${seconds}s)"
    if QT_QPA_PLATFORM=offscreen "$f" -max_total_time="$seconds" -rss_limit_mb=2048 \
        -artifact_prefix="$work/" "$work" "${seeds[@]}" >"$work/log" 2>&1; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        tail -50 "$work/log"
        echo "$name FAILED; artifacts in $work"
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
