#!/usr/bin/env bash
# Output benchmark: the output run (HTML page and XML sitemap in the sitemaps.org
# 0.9 protocol, split over numbered files under a sitemap index past 50,000
# addresses) over trees of 100,000 and 1,000,000 items, against the npm package
# "sitemap" turning the same address list into sitemap files and an index
# ("--index", 50,000 to a file), in the same run.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD:-$root/build-bench}
work=${WORK:-/tmp/tessaly-bench-output}
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALY_BENCH=ON >/dev/null
cmake --build "$build" --target bench_output >/dev/null
mkdir -p "$work"
if [ ! -x "$work/node_modules/.bin/sitemap" ]; then
    (cd "$work" && npm install --silent --no-audit --no-fund sitemap@9 >/dev/null)
fi
mkdir -p "$work/npm"
npm_index="cd $work/npm && node $work/node_modules/.bin/sitemap --index --limit=50000 \
    --index-base-url http://www.example.com/ < $work/urls.txt > $work/npm/sitemap-index.xml"
for n in 100000 1000000; do
    "$build/bin/bench_output" "$n" "$work" --urls
    hyperfine --warmup 1 --runs 3 \
        -n "tessaly output, $n items" "$build/bin/bench_output $n $work" \
        -n "npm sitemap --index, $n addresses" "$npm_index"
    "$build/bin/bench_output" "$n" "$work"
    ls "$work"/sitemap*.xml | wc -l | xargs echo "tessaly sitemap files:"
    /usr/bin/time -f "npm sitemap peak RSS %M KB" sh -c "$npm_index"
done
