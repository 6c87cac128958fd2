#!/bin/sh
# Renders the icon's PNG sizes from kelvra.svg (needs rsvg-convert, Debian's
# librsvg2-bin). Run it after changing the SVG and commit the PNGs with it.
set -eu
cd "$(dirname "$0")"
for size in 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" kelvra.svg -o "kelvra-$size.png"
done
