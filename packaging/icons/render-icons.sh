#!/usr/bin/env bash
# Renders the fixed-size PNG icons from the SVG. The PNGs are committed so
# that building needs no SVG renderer; run this again after changing the
# SVG (needs rsvg-convert from librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
id=io.github.zivsound.ZIVSound
for size in 48 128; do
  rsvg-convert --width "$size" --height "$size" --output "$id-$size.png" "$id.svg"
done
