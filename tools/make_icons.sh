#!/usr/bin/env bash
# Renders the program's icon (app/desktop/icons/quorvela.svg) into the PNG sizes of the hicolor theme and the
# window icon. Run by hand after changing the SVG; the PNGs are committed. Needs rsvg-convert (librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../app/desktop/icons"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w $size -h $size quorvela.svg -o quorvela-$size.png
done
echo "rendered $(ls quorvela-*.png | wc -l) sizes into app/desktop/icons"
