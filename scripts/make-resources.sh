#!/usr/bin/env bash
# Remakes the window's pictures and the progress window's animation strips
# under resources/ with ImageMagick (installed by scripts/install-deps.sh).
#   resources/pictures/banner.jpg     470 x 57, the banner at the top
#   resources/pictures/strip.jpg      119 x 256, the strip on the left
#   resources/pictures/content.jpg    402 x 350, the content background
#   resources/animations/transfer.png 31 frames of 272 x 60 side by side, 15 frames a second
#   resources/animations/upload.png   26 frames of 272 x 60 side by side, 10 frames a second
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
pics="$root/resources/pictures"
anims="$root/resources/animations"
mkdir -p "$pics" "$anims"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
font=DejaVu-Sans
bold=DejaVu-Sans-Bold

# Banner: deep blue to sky blue, a soft light band, the product's name.
convert -size 57x470 gradient:'#0B3D7A'-'#3F8BDB' -rotate 90 \
  \( -size 470x57 xc:none -fill 'rgba(255,255,255,0.10)' -draw "ellipse 330,-30 190,70 0,360" \
     -fill 'rgba(255,255,255,0.07)' -draw "ellipse 420,80 150,50 0,360" \) -composite \
  -font "$bold" -pointsize 19 -fill white -annotate +16+27 'Quorvel Software Update' \
  -font "$font" -pointsize 10 -fill '#CFE4FA' -annotate +17+45 'Keeping your installation current' \
  -strip -quality 92 -sampling-factor 1x1 "$pics/banner.jpg"

# Left strip: a calm vertical blue with soft rings and a download mark.
convert -size 119x256 gradient:'#2A6BC0'-'#0C2F66' \
  \( -size 119x256 xc:none -fill none -stroke 'rgba(255,255,255,0.10)' -strokewidth 10 \
     -draw "circle 20,250 20,150" -stroke 'rgba(255,255,255,0.06)' -strokewidth 14 -draw "circle 20,250 20,90" \) \
  -composite \
  -fill 'rgba(255,255,255,0.16)' -stroke 'rgba(255,255,255,0.85)' -strokewidth 2 -draw "circle 59,62 59,36" \
  -fill white -stroke none -draw "rectangle 55,46 63,64" -draw "polygon 47,62 71,62 59,76" \
  -draw "rectangle 47,80 71,83" \
  -strip -quality 92 -sampling-factor 1x1 "$pics/strip.jpg"

# Content background: near-white fading into a pale blue, a faint wave low down.
convert -size 402x350 gradient:'#FFFFFF'-'#DCE9F8' \
  \( -size 402x350 xc:none -fill 'rgba(63,139,219,0.07)' -draw "ellipse 300,420 330,150 0,360" \
     -fill 'rgba(63,139,219,0.05)' -draw "ellipse 60,460 300,170 0,360" \) -composite \
  -strip -quality 92 -sampling-factor 1x1 "$pics/content.jpg"

# One frame: a globe on the left, a folder on the right, pages between them.
# $1 output, $2 direction (down: globe to folder, up: folder to globe), $3 frame, $4 frame count.
frame() {
  local out=$1 dir=$2 i=$3 n=$4
  local draws=()
  for k in 0 1; do
    read -r x y < <(awk -v i="$i" -v n="$n" -v k="$k" -v d="$dir" 'BEGIN {
      t = (i / n + k / 2); t -= int(t); if (d == "up") t = 1 - t;
      x = 58 + t * 143; y = 21 - sin(3.14159265 * t) * 16; printf "%d %d\n", x, y }')
    draws+=(-fill white -stroke '#4F77A6' -strokewidth 1 -draw "rectangle $x,$y $((x + 13)),$((y + 17))"
            -stroke '#9DB7D5' -draw "line $((x + 3)),$((y + 5)) $((x + 10)),$((y + 5))"
            -draw "line $((x + 3)),$((y + 9)) $((x + 10)),$((y + 9))"
            -draw "line $((x + 3)),$((y + 13)) $((x + 8)),$((y + 13))")
  done
  convert -size 272x60 xc:none \
    -fill '#2E6FC0' -stroke '#1B4F91' -strokewidth 1 -draw "circle 30,30 30,11" \
    -fill none -stroke '#A8CDF3' -draw "ellipse 30,30 8,19 0,360" -draw "line 11,30 49,30" \
    -draw "line 14,21 46,21" -draw "line 14,39 46,39" \
    -fill '#F2C14E' -stroke '#B8861B' -draw "roundrectangle 222,14 240,22 2,2" \
    -draw "roundrectangle 222,18 262,48 3,3" \
    "${draws[@]}" "PNG32:$out"
}

strip() {
  local name=$1 dir=$2 n=$3
  local files=()
  for ((i = 0; i < n; i++)); do
    frame "$tmp/$name-$(printf %02d "$i").png" "$dir" "$i" "$n"
    files+=("$tmp/$name-$(printf %02d "$i").png")
  done
  # No dates in the file, so that remaking gives the same bytes. The frame
  # count and rate are the progress window's (transfer/ProgressAnimation.cpp).
  convert "${files[@]}" +append -strip -define png:exclude-chunks=date,time "PNG32:$anims/$name.png"
}
strip transfer down 31
strip upload up 26
echo "resources remade"
