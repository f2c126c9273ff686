#!/usr/bin/env bash
# Renders the icon's PNG sizes for the hicolor theme from zp-readertest.svg. The PNGs are kept
# in the repository, so that building needs no SVG renderer; run this after changing the SVG.
# Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" zp-readertest.svg -o "zp-readertest-$size.png"
done
