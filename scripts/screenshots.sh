#!/usr/bin/env bash
# Takes the screenshots of the main window and the About window offscreen into
# resources/manual, where the manual and the README show them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh" "$root/build" >/dev/null
cmake --build "$root/build" --target tessaly_screenshots >/dev/null
QT_QPA_PLATFORM=offscreen "$root/build/bin/tessaly_screenshots" "$root/resources/manual"
ls "$root/resources/manual"/*.png
