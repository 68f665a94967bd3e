#!/usr/bin/env bash
# Draws the application icon (a document page under a magnifying glass) at the sizes Windows
# asks for: the small icon at 100, 125, 150 and 200 % (16, 20, 24, 32), the large one likewise
# (32, 40, 48, 64), and 256 for Explorer; the 32x32 image uses a 256-colour palette. Run again
# after changing the drawing, with Debian's ImageMagick (imagemagick-6.q16).
set -euo pipefail
out=${1:-src/res/pelmora.ico}
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
convert -size 256x256 xc:none \
  -fill '#f4f1ea' -stroke '#4a4a4a' -strokewidth 8 -draw 'path "M 52,20 L 160,20 L 206,66 L 206,236 L 52,236 Z"' \
  -fill '#d8d2c4' -draw 'path "M 160,20 L 160,66 L 206,66 Z"' \
  -stroke '#9a9a9a' -strokewidth 10 -draw 'line 78,96 178,96' -draw 'line 78,128 178,128' -draw 'line 78,160 140,160' \
  -fill '#cfe6ff' -stroke '#1d5fa8' -strokewidth 16 -draw 'circle 150,162 150,214' \
  -stroke '#1d5fa8' -strokewidth 26 -draw 'line 188,200 236,248' \
  "$tmp/base.png"
sizes=(256 64 48 40 24 20 16)
for s in "${sizes[@]}"; do convert "$tmp/base.png" -resize ${s}x${s} "$tmp/i$s.png"; done
convert "$tmp/base.png" -resize 32x32 -background '#f0f0f0' -alpha remove -colors 256 -type Palette PNG8:"$tmp/i32.png"
convert "$tmp/i256.png" "$tmp/i64.png" "$tmp/i48.png" "$tmp/i40.png" "$tmp/i32.png" "$tmp/i24.png" "$tmp/i20.png" \
  "$tmp/i16.png" "$out"
