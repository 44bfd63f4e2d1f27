#!/usr/bin/env bash
# Installs what is missing, builds Tessaly and runs the whole unattended chain
# on this machine: the example site is served by nginx on 127.0.0.1, crawled
# in website mode, its site maps written, and uploaded to a local FTP server
# (pyftpdlib); then it lists what arrived there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh build

work="$root/build/example"
rm -rf "$work" && mkdir -p "$work/www" "$work/out" "$work/ftp" "$work/nginx"
cp -r examples/site/. "$work/www/"
# The program's settings and FTP sites go to a folder of the run's own.
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"

free_port() {
    /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
wait_port() {
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
        sleep 0.1
    done
    echo "Nothing answers on port $1" >&2
    return 1
}
http_port=$(free_port)
ftp_port=$(free_port)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

user_line=""
[ "$(id -u)" -eq 0 ] && user_line="user root;"
cat >"$work/nginx/nginx.conf" <<CONF
$user_line
daemon off;
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log warn;
events { worker_connections 64; }
http {
    include /etc/nginx/mime.types;
    access_log $work/nginx/access.log;
    client_body_temp_path $work/nginx/body;
    proxy_temp_path $work/nginx/proxy;
    fastcgi_temp_path $work/nginx/fastcgi;
    uwsgi_temp_path $work/nginx/uwsgi;
    scgi_temp_path $work/nginx/scgi;
    server {
        listen 127.0.0.1:$http_port;
        root $work/www;
        index index.html;
    }
}
CONF
/usr/sbin/nginx -c "$work/nginx/nginx.conf" -p "$work/nginx" &
pids+=($!)
/usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$ftp_port" -d "$work/ftp" -w -u demo -P demo-pw \
    >"$work/ftp.log" 2>&1 &
pids+=($!)
wait_port "$http_port"
wait_port "$ftp_port"

# An FTP site for the local server, and a profile that spiders the served site
# and uploads its maps into the folder "maps" there.
echo demo-pw | build/bin/make_example_site "Local FTP" 127.0.0.1 "$ftp_port" demo >/dev/null
build/bin/make_example_profile --website "http://127.0.0.1:$http_port/" "$work/out" \
    "$work/lakeside.qvt" "Local FTP" maps

echo "Running: tessaly -auto $work/lakeside.qvt"
status=0
build/bin/tessaly -auto "$work/lakeside.qvt" || status=$?
echo "Unattended run over the example site finished with exit status $status"
echo "Written into $work/out:"
ls -l "$work/out"
echo "Arrived on the FTP server (folder maps):"
ls -l "$work/ftp/maps" 2>/dev/null || echo "(nothing)"
exit $status
