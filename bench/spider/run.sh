#!/usr/bin/env bash
# Crawl benchmark: the crawl (bench_spider, the search step without a window)
# over a generated site on a local nginx, in the same run as
#   wget2 --spider -r -l inf --no-parent (both obeying a robots.txt of 200
#   rules that exercise the matcher and leave out none of the pages)
# and the npm sitemap-generator-cli (installed into the work folder, never
# into the repository). Reports pages per second of each and their ratios,
# resident memory per page, and checks that every page of the site is in the
# crawl's sitemap, and the processor time each spends per request (user and
# system time of the whole process over the requests nginx logged for it).
#
# Environment: TOOLS (folder with gen_site.py and serve.sh, the site
# generator and nginx launcher), PAGES (default 100000), ROUNDS (default 3),
# AHEAD (pages fetched ahead, default the crawl's own), SGC_SECONDS (how long
# sitemap-generator-cli runs, default 60), BUILD, WORK.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
tools=${TOOLS:-/work/shared/bench}
build=${BUILD:-$root/build-bench}
work=${WORK:-/tmp/tessaly-bench-spider}
pages=${PAGES:-100000}
rounds=${ROUNDS:-3}
sgc_seconds=${SGC_SECONDS:-60}
export LC_ALL=C

[ -x "$tools/gen_site.py" ] && [ -x "$tools/serve.sh" ] ||
    { echo "set TOOLS to the folder of gen_site.py and serve.sh" >&2; exit 2; }
command -v wget2 >/dev/null || { echo "wget2 is missing (Debian package wget2)" >&2; exit 2; }
command -v npm >/dev/null || { echo "npm is missing" >&2; exit 2; }
[ -f "$build/CMakeCache.txt" ] ||
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALY_BENCH=ON >/dev/null
cmake --build "$build" --target bench_spider >/dev/null
mkdir -p "$work"
site=$work/site$pages
[ -f "$site/index.html" ] || "$tools/gen_site.py" "$site" "$pages"
# A robots.txt of 200 rules that make the matcher work (wildcards, "$",
# long patterns) and match none of the generated pages: both crawlers read
# and obey it.
{
    echo "User-agent: *"
    for i in $(seq 0 49); do
        echo "Disallow: /zz-private-$i/*.php\$"
        echo "Disallow: /*/drafts-$i/*"
        echo "Disallow: /*?session=$i*&*"
        echo "Allow: /zz-private-$i/public/archive/$(printf 'segment/%.0s' $(seq 1 12))*.html\$"
    done
} >"$site/robots.txt"
chmod -R a+rX "$work"
if [ ! -x "$work/npm/node_modules/.bin/sitemap-generator" ]; then
    npm install --prefix "$work/npm" --silent --no-audit --no-fund sitemap-generator-cli >/dev/null
fi

port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
served=$(NGINX_ETAG=off "$tools/serve.sh" "$site" "$port")
pid=$(echo "$served" | sed -n 's/^PID //p')
log=$(echo "$served" | sed -n 's/^TMP //p')/access.log
trap '"$tools/serve.sh" stop "$pid" >/dev/null 2>&1 || true' EXIT
trap 'exit 130' INT TERM
url="http://127.0.0.1:$port/"

best() { sort -g | head -1; }
ours_runs=()
wget2_runs=()
for round in $(seq "$rounds"); do
    # The crawl: wall time, peak resident memory and processor time of the
    # whole process, and the requests it made.
    : >"$log"
    /usr/bin/time -f "%e %M %U %S" -o "$work/ours.time" \
        "$build/bin/bench_spider" "$url" "$work/sitemap.xml" ${AHEAD:-} >"$work/ours.out"
    ours_runs+=("$(cat "$work/ours.time") $(wc -l <"$log")")
    rm -rf "$work/wget2" && mkdir -p "$work/wget2"
    : >"$log"
    (cd "$work/wget2" && /usr/bin/time -f "%e %M %U %S" -o "$work/wget2.time" \
        wget2 --spider -r -l inf --no-parent -q "$url" || true)
    wget2_runs+=("$(cat "$work/wget2.time") $(wc -l <"$log")")
    echo "round $round: crawl ${ours_runs[-1]%% *} s, wget2 ${wget2_runs[-1]%% *} s" >&2
done
ours_s=$(printf '%s\n' "${ours_runs[@]}" | cut -d' ' -f1 | best)
ours_kb=$(printf '%s\n' "${ours_runs[@]}" | cut -d' ' -f2 | sort -g | tail -1)
wget2_s=$(printf '%s\n' "${wget2_runs[@]}" | cut -d' ' -f1 | best)
wget2_kb=$(printf '%s\n' "${wget2_runs[@]}" | cut -d' ' -f2 | sort -g | tail -1)
# Microseconds of processor time per request over all rounds.
cpu_per_request() { awk '{ cpu += $3 + $4; requests += $5 } END { printf "%.1f", requests ? cpu * 1e6 / requests : 0 }'; }
ours_us=$(printf '%s\n' "${ours_runs[@]}" | cpu_per_request)
wget2_us=$(printf '%s\n' "${wget2_runs[@]}" | cpu_per_request)

# sitemap-generator-cli fetches one page at a time with a pause; it runs for
# a while and its rate is the pages it requested in that time.
: >"$log"
timeout "$sgc_seconds" node "$work/npm/node_modules/.bin/sitemap-generator" \
    --filepath "$work/sgc.xml" "$url" >/dev/null 2>&1 || true
sgc_requests=$(grep -c ' 200 ' "$log" || true)

# Every page of the site is in the crawl's sitemap (a folder's index page may
# stand under its folder address).
tr -d '\r' <"$work/sitemap.xml" | sed -n "s|.*<loc>http://127.0.0.1:$port\(.*\)</loc>|\1|p" |
    sort -u >"$work/found.txt"
missing=$(awk 'NR == FNR { found[$0] = 1; next }
    !($0 in found) {
        folder = $0
        if (sub(/index\.html$/, "", folder) && (folder in found))
            next
        missing++
    }
    END { print missing + 0 }' "$work/found.txt" "$site.pages.txt")

awk -v n="$pages" -v os="$ours_s" -v okb="$ours_kb" -v ws="$wget2_s" -v wkb="$wget2_kb" \
    -v sr="$sgc_requests" -v ss="$sgc_seconds" -v miss="$missing" -v out="$(cat "$work/ours.out")" \
    -v ous="$ours_us" -v wus="$wget2_us" 'BEGIN {
    ours = n / os; wget2 = n / ws; sgc = sr / ss;
    printf "crawl:   %s\n", out;
    printf "crawl    %8.0f pages/s  %6.1f s  peak RSS %7.1f MiB  %6.0f bytes/page\n", ours, os, okb / 1024, okb * 1024 / n;
    printf "wget2    %8.0f pages/s  %6.1f s  peak RSS %7.1f MiB  %6.0f bytes/page\n", wget2, ws, wkb / 1024, wkb * 1024 / n;
    printf "sgc      %8.1f pages/s  (%d pages in %d s)\n", sgc, sr, ss;
    printf "ratios: crawl/wget2 %.2f (goal >= 1), crawl/sgc %.0f (goal >= 20), bytes/page %.0f (goal < 1024; wget2 %.0f)\n", ours / wget2, (sgc > 0 ? ours / sgc : 0), okb * 1024 / n, wkb * 1024 / n;
    printf "processor time per request: crawl %.1f us, wget2 %.1f us, ratio %.2f\n", ous, wus, (wus > 0 ? ous / wus : 0);
    printf "pages missing from the sitemap: %d of %d\n", miss, n;
}'
[ "$missing" -eq 0 ]
