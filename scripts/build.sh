#!/usr/bin/env bash
# build.sh DIR [cmake options...]: configures (once) and builds into DIR, with
# warnings as errors (a user's own plain build has none).
set -euo pipefail
dir=$1; shift
root=$(cd "$(dirname "$0")/.." && pwd)
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$dir" "${gen[@]}" -DTESSALY_WERROR=ON "$@"
fi
cmake --build "$dir" --parallel "$(nproc)"
