#!/bin/sh
# Renders the drawings into the resource files the build compiles in: bird.svg -> bird.bmp
# (794 x 934, 32 bits per pixel) and bird-icon.svg -> zord.ico (16, 32, 48 and 256 px).
# Needs rsvg-convert (librsvg2-bin), ImageMagick's convert and python3. Run it after editing a drawing
# and commit the results; the build itself needs no image tools.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

for tool in rsvg-convert convert python3; do
  command -v "$tool" >/dev/null || { echo "render.sh: $tool is missing (apt-get install -y librsvg2-bin imagemagick python3)" >&2; exit 1; }
done

# The picture: opaque, on its own background.
rsvg-convert -w 794 -h 934 "$here/bird.svg" -o "$tmp/bird.png"
convert "$tmp/bird.png" -depth 8 "rgba:$tmp/bird.rgba"
python3 "$here/pack.py" bmp "$here/bird.bmp" 794 934 "$tmp/bird.rgba"

# The icon: transparent around the head.
items=""
for size in 16 32 48; do
  rsvg-convert -w "$size" -h "$size" "$here/bird-icon.svg" -o "$tmp/icon$size.png"
  convert "$tmp/icon$size.png" -depth 8 "rgba:$tmp/icon$size.rgba"
  items="$items $size:$tmp/icon$size.rgba"
done
rsvg-convert -w 256 -h 256 "$here/bird-icon.svg" -o "$tmp/icon256.png"
# shellcheck disable=SC2086  # the items are one word each
python3 "$here/pack.py" ico "$here/zord.ico" $items "256:$tmp/icon256.png"

ls -l "$here/bird.bmp" "$here/zord.ico"
