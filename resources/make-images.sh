#!/usr/bin/env bash
# Draws the program's pictures with ImageMagick. The results are committed; run
# this again only to change them.
set -euo pipefail
cd "$(dirname "$0")"
c=/usr/bin/convert

# Logo and About picture: a site-map tree on a blue tile (JPEG, read through libjpeg).
tile() { # size file
    local s=$1 f=$2 u=$(( $1 / 12 ))
    $c -size ${s}x${s} gradient:'#2f6fb7-#173d6e' \
        -fill white -stroke white -strokewidth $(( u > 1 ? u / 2 : 1 )) \
        -draw "rectangle $((5*u)),$((2*u)) $((7*u)),$((4*u))" \
        -draw "line $((6*u)),$((4*u)) $((6*u)),$((6*u))" \
        -draw "line $((3*u)),$((6*u)) $((9*u)),$((6*u))" \
        -draw "line $((3*u)),$((6*u)) $((3*u)),$((8*u))" \
        -draw "line $((9*u)),$((6*u)) $((9*u)),$((8*u))" \
        -draw "rectangle $((2*u)),$((8*u)) $((4*u)),$((10*u))" \
        -draw "rectangle $((8*u)),$((8*u)) $((10*u)),$((10*u))" \
        -quality 92 "$f"
}
tile 64 images/logo.jpg
tile 144 images/about.jpg

# Tree icons, 12 by 12 (drawn at 24 for sharpness, shown at 12).
$c -size 24x24 xc:none -fill '#e8b93c' -stroke '#9a7412' -draw "roundrectangle 1,5 22,21 2,2" \
    -draw "rectangle 1,3 10,6" icons/folder.png
$c -size 24x24 xc:none -fill white -stroke '#4a5a70' -draw "polygon 4,1 15,1 20,6 20,22 4,22 4,1" \
    -stroke '#6f8fb6' -draw "line 7,9 17,9" -draw "line 7,13 17,13" -draw "line 7,17 14,17" icons/page.png
$c -size 24x24 xc:none -fill '#cfe6ff' -stroke '#3d6b99' -draw "rectangle 2,4 21,19" \
    -fill '#4a9a4a' -stroke none -draw "polygon 3,18 9,10 14,18" -draw "polygon 10,18 15,12 20,18" \
    -fill '#f2c230' -draw "circle 16,8 18,8" icons/image.png
$c -size 32x32 xc:none -stroke '#b53030' -strokewidth 4 -draw "line 7,7 25,25" -draw "line 25,7 7,25" icons/delete.png
$c -size 32x32 xc:none -stroke '#3d6b99' -strokewidth 3 -fill none -draw "rectangle 3,9 28,23" \
    -draw "line 20,5 20,27" icons/rename.png
$c -size 32x32 xc:none -fill '#3d6b99' -draw "circle 16,16 16,4" -fill white -draw "rectangle 14,13 18,25" \
    -draw "circle 16,9 16,7" icons/properties.png
$c -size 32x32 xc:none -fill '#2f8f3f' -draw "polygon 6,12 18,12 18,5 28,16 18,27 18,20 6,20" icons/next.png

# Toolbar, 24 by 24 (drawn at 48).
$c -size 48x48 xc:none -fill '#e8b93c' -stroke '#9a7412' -strokewidth 2 \
    -draw "polygon 3,12 18,12 22,16 44,16 44,42 3,42" -fill '#f6d46a' -draw "polygon 8,22 47,22 42,42 3,42" toolbar/open.png
$c -size 48x48 xc:none -fill '#5a6a80' -draw "circle 24,24 24,6" -fill white -draw "circle 24,24 24,16" \
    -fill '#5a6a80' -draw "circle 24,24 24,20" toolbar/options.png
$c -size 48x48 xc:none -fill '#2f6fb7' -draw "polygon 24,4 42,24 31,24 31,42 17,42 17,24 6,24" toolbar/upload.png
$c -size 48x48 xc:none -fill white -stroke '#3d4b60' -strokewidth 3 -draw "circle 24,24 24,4" \
    -draw "line 24,24 24,11" -draw "line 24,24 34,28" toolbar/scheduler.png
$c -size 48x48 xc:none -fill '#4285f4' -draw "circle 24,24 24,4" -fill white -draw "circle 24,24 24,14" \
    -fill '#4285f4' -draw "rectangle 24,20 44,28" toolbar/submit.png
$c -size 48x48 xc:none -fill '#2f6fb7' -draw "circle 24,24 24,3" -fill white -stroke white \
    -font DejaVu-Sans-Bold -pointsize 30 -gravity center -annotate +0+1 "?" toolbar/help.png
$c -size 48x48 xc:none -fill '#8a8f98' -draw "rectangle 8,4 30,44" -fill '#c23b3b' \
    -draw "polygon 22,20 34,20 34,13 46,24 34,35 34,28 22,28" toolbar/exit.png

# Search animation: a globe with a meridian turning, 11 frames on magenta, and
# the common mask (magenta where the picture is see-through).
for i in $(seq 0 10); do
    x=$(( 8 + i * 32 / 10 ))
    $c -size 48x48 xc:'#ff00ff' -fill '#2f6fb7' -stroke '#173d6e' -strokewidth 2 -draw "circle 24,24 24,4" \
        -fill none -stroke '#9fd0ff' -draw "line 5,24 43,24" -draw "ellipse 24,24 $(( (x > 24 ? x - 24 : 24 - x) + 1 )),20 0,360" \
        -stroke '#7ee07e' -strokewidth 3 -draw "line $x,10 $x,38" PNG24:animation/QVTSWORLD$i.png
done
$c -size 48x48 xc:'#ff00ff' -fill black -draw "circle 24,24 24,3" PNG24:animation/QVTSWORLDMASK.png

# Map images placed in front of the items of the HTML site map.
$c -size 16x16 xc:white -fill '#e8b93c' -stroke '#9a7412' -draw "rectangle 1,4 14,13" -draw "rectangle 1,2 6,4" smimages/smfolder.gif
$c -size 16x16 xc:white -fill white -stroke '#4a5a70' -draw "polygon 3,1 10,1 13,4 13,14 3,14 3,1" \
    -stroke '#6f8fb6' -draw "line 5,6 11,6" -draw "line 5,9 11,9" smimages/smfile.gif
$c -size 16x16 xc:white -fill '#cfe6ff' -stroke '#3d6b99' -draw "rectangle 1,2 14,13" \
    -fill '#4a9a4a' -stroke none -draw "polygon 2,12 6,7 10,12" smimages/smimg.gif

# The application icon: drawn as SVG by hand (desktop/tessaly.svg), rendered at
# the usual sizes.
for s in 16 24 32 48 64 128 256; do
    mkdir -p desktop/icons/${s}x${s}
    rsvg-convert -w $s -h $s desktop/tessaly.svg -o desktop/icons/${s}x${s}/tessaly.png
done
