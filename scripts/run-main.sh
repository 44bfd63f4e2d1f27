#!/usr/bin/env bash
# Installs what is missing, builds Tessaly and runs it unattended over the
# example site: it opens the example profile, searches and finishes the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh build
work="$root/build/example"
rm -rf "$work" && mkdir -p "$work"
cp -r examples/site "$work/site"
build/bin/make_example_profile "$work/site" "$work/lakeside.qvt"
echo "Running: tessaly -auto $work/lakeside.qvt"
status=0
build/bin/tessaly -auto "$work/lakeside.qvt" || status=$?
echo "Unattended run over the example site finished with exit status $status"
for f in "$work/site/sitemap.html" "$work/site/sitemap.xml"; do
    [ -f "$f" ] && echo "Written: $f"
done
exit $status
