#!/usr/bin/env bash
# Output benchmark over trees of 100,000 and 1,000,000 items, against the npm
# package "sitemap" turning the same address list into sitemap files and an
# index ("--index", 50,000 to a file), in the same run:
#  - the XML sitemap in the sitemaps.org 0.9 protocol, split over numbered
#    files under a sitemap index past 50,000 addresses, written from the tree
#    as Save writes it (median of three runs);
#  - the whole driver for comparison: building the tree of N items, then the
#    HTML page and the sitemap as Save writes them, under hyperfine.
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
median() { sort -g | sed -n 2p; }
for n in 100000 1000000; do
    "$build/bin/bench_output" "$n" "$work" --urls
    hyperfine --warmup 1 --runs 3 --export-json "$work/hyperfine.json" \
        -n "tessaly tree build, page and sitemap, $n items" "$build/bin/bench_output $n $work" \
        -n "npm sitemap --index, $n addresses" "$npm_index"
    npm_mean=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][1]["mean"])' \
        "$work/hyperfine.json")
    ours=$(for run in 1 2 3; do "$build/bin/bench_output" "$n" "$work" --sitemap 2>/dev/null; done | median)
    echo "sitemap of $n items (0.9, index files): tessaly $ours s (median of 3), npm $npm_mean s (mean of 3)"
    awk -v o="$ours" -v m="$npm_mean" 'BEGIN { printf "sitemap: tessaly is %.2f times as fast as npm sitemap --index\n", m / o }'
    ls "$work"/sitemap*.xml | wc -l | xargs echo "tessaly sitemap files:"
    /usr/bin/time -f "npm sitemap peak RSS %M KB" sh -c "$npm_index"
done
