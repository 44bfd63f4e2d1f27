#!/usr/bin/env bash
# build.sh DIR [cmake options...]: configures (once) and builds into DIR.
set -euo pipefail
dir=$1; shift
root=$(cd "$(dirname "$0")/.." && pwd)
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$dir" "${gen[@]}" "$@"
fi
cmake --build "$dir" --parallel "$(nproc)"
