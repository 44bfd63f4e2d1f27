#!/usr/bin/env bash
# run-http-bench.sh [BENCH_EXE] [PAGES] [ROUNDS]
# Serves PAGES (default 2000) small pages from a local nginx started with a
# configuration of its own, then fetches them all one after another through
# the HTTP client (http_fetch_bench: worker thread and events included) and
# with one curl process (--config list, keep-alive), alternating, ROUNDS
# times (default 3). Reports the best rate of each and the client's rate
# relative to curl's.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
exe=${1:-$root/build-bench/bin/http_fetch_bench}
pages=${2:-2000}
rounds=${3:-3}
[ -x "$exe" ] || { echo "bench executable not found: $exe (build target http_fetch_bench)" >&2; exit 2; }
command -v curl >/dev/null || { echo "curl is missing" >&2; exit 2; }
nginx=$(command -v nginx || echo /usr/sbin/nginx)
[ -x "$nginx" ] || { echo "nginx is missing: install the Debian package nginx" >&2; exit 2; }

work=$(mktemp -d)
chmod 755 "$work"
cleanup() {
    [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null || true
    [ -n "${nginx_pid:-}" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/site" "$work/tmp"
for i in $(seq "$pages"); do
    printf '<html><head><title>Page %d</title></head><body><a href="p%d.html">next</a></body></html>\n' \
        "$i" "$((i + 1))" >"$work/site/p$i.html"
done
chmod -R a+rX "$work/site"
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/nginx.conf" <<CONF
worker_processes 1;
error_log $work/error.log;
pid $work/nginx.pid;
events { worker_connections 64; }
http {
    types { text/html html; }
    access_log off;
    client_body_temp_path $work/tmp/body;
    proxy_temp_path $work/tmp/proxy;
    fastcgi_temp_path $work/tmp/fastcgi;
    uwsgi_temp_path $work/tmp/uwsgi;
    scgi_temp_path $work/tmp/scgi;
    keepalive_timeout 60s;
    keepalive_requests 1000000;
    server { listen 127.0.0.1:$port; root $work/site; }
}
CONF
"$nginx" -c "$work/nginx.conf" -p "$work" -g 'daemon off;' &
nginx_pid=$!
for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
done

: >"$work/urls.txt"
: >"$work/curl.cfg"
for i in $(seq "$pages"); do
    echo "http://127.0.0.1:$port/p$i.html" >>"$work/urls.txt"
    printf 'url = "http://127.0.0.1:%d/p%d.html"\noutput = "/dev/null"\n' "$port" "$i" >>"$work/curl.cfg"
done

now() { date +%s.%N; }
best_client=
best_curl=
for round in $(seq "$rounds"); do
    t0=$(now)
    "$exe" "$work/urls.txt" >"$work/client.out"
    t1=$(now)
    curl -s -S --fail --config "$work/curl.cfg"
    t2=$(now)
    c=$(echo "$t1 - $t0" | bc -l)
    u=$(echo "$t2 - $t1" | bc -l)
    echo "round $round: client ${c}s, curl ${u}s" >&2
    if [ -z "$best_client" ] || (($(echo "$c < $best_client" | bc -l))); then best_client=$c; fi
    if [ -z "$best_curl" ] || (($(echo "$u < $best_curl" | bc -l))); then best_curl=$u; fi
done
client_rate=$(echo "$pages / $best_client" | bc -l)
curl_rate=$(echo "$pages / $best_curl" | bc -l)
printf 'pages %d; client %.1f pages/s; curl %.1f pages/s; ratio %.2f (goal >= 0.80)\n' \
    "$pages" "$client_rate" "$curl_rate" "$(echo "$client_rate / $curl_rate" | bc -l)"
