#!/usr/bin/env bash
# Renders the artwork's SVG sources into the PNGs the program embeds (1x and 2x for high-DPI
# screens). Run after changing an SVG; needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for lamp in lamp-con-off lamp-con-on lamp-power-off lamp-power-on user-disabled; do
  rsvg-convert -z 1 -o "$lamp.png" "$lamp.svg"
  rsvg-convert -z 2 -o "$lamp@2x.png" "$lamp.svg"
done
rsvg-convert -z 1 -o banner.png banner.svg
rsvg-convert -z 2 -o banner@2x.png banner.svg
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" -o "quintar-$size.png" quintar.svg
done
