#!/usr/bin/env bash
# make-site.sh DIR [FILES] [FOLDERS]: a generated site of FILES files in
# FOLDERS folders (two levels deep), half of them pages with titles, half
# images.
set -euo pipefail
dir=$1; files=${2:-100000}; folders=${3:-2000}
rm -rf "$dir"; mkdir -p "$dir"
python3 - "$dir" "$files" "$folders" <<'PY'
import os, sys
root, files, folders = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
per = files // folders
with open(os.path.join(root, "index.html"), "w") as f:
    f.write("<html><head><title>Generated site</title></head><body></body></html>\n")
for d in range(folders):
    folder = os.path.join(root, f"section{d // 50}", f"topic{d}")
    os.makedirs(folder, exist_ok=True)
    for i in range(per):
        if i % 2 == 0:
            with open(os.path.join(folder, f"page{i}.html"), "w") as f:
                f.write(f"<html><head><meta charset=utf-8><title>Topic {d} page {i}</title></head>"
                        f"<body>{'lorem ipsum ' * 60}</body></html>\n")
        else:
            with open(os.path.join(folder, f"image{i}.png"), "wb") as f:
                f.write(b"\x89PNG\r\n\x1a\n" + bytes(600))
PY
