#!/usr/bin/env bash
# Draws the default group picture img/icon1.ico: a manila folder holding a drawing sheet
# with a few blue CAD lines, as one icon file with 16, 32 and 48 pixel images. Each size
# is drawn on its own pixel grid so that the small ones stay sharp. The same drawing is the
# program's icon in desktop/icons/ (16 to 256 pixels).
# Needs ImageMagick 6 (`convert`). Run from anywhere: tools/make-icon1.sh
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/img/icon1.ico}
icons=${2:-$here/desktop/icons}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

BACK=#D9A13B      # folder back and tab
BACK_EDGE=#8F5F12
FRONT=#F3C969     # folder front
FRONT_EDGE=#A8731A
SHEET_EDGE=#9A9A9A
CAD=#1F5AD1       # CAD lines
CAD_FAINT=#8EA9E6

# draw SIZE MVG [OPTION...]: renders one image of SIZE x SIZE pixels.
draw() {
  local size=$1 mvg=$2
  shift 2
  convert -size "${size}x${size}" xc:none "$@" -draw "$mvg" "$work/$size.png"
}

draw 16 "
  stroke-antialias 0 stroke $BACK_EDGE fill $BACK stroke-width 1
  polygon 0,2 5,2 6,3 15,3 15,14 0,14
  stroke $SHEET_EDGE fill white
  rectangle 4,1 14,11
  stroke $CAD fill none
  rectangle 6,3 10,7
  line 8,3 8,7
  line 12,3 12,7
  stroke $FRONT_EDGE fill $FRONT
  rectangle 0,8 15,14
" +antialias

draw 32 "
  stroke $BACK_EDGE fill $BACK stroke-width 1
  path 'M 1.5,5.5 L 10.5,5.5 L 12.5,7.5 L 30.5,7.5 L 30.5,29.5 L 1.5,29.5 Z'
  stroke $SHEET_EDGE fill white
  rectangle 8.5,2.5 28.5,23.5
  stroke-antialias 0 stroke $CAD fill none
  rectangle 11,5 21,14
  line 16,5 16,14
  line 11,10 16,10
  line 24,5 24,14
  line 23,5 25,5
  line 23,14 25,14
  stroke $CAD_FAINT
  line 17,11 20,11
  stroke-antialias 1
  stroke $FRONT_EDGE fill $FRONT
  path 'M 0.5,16.5 L 31.5,16.5 L 30.5,29.5 L 1.5,29.5 Z'
  stroke none fill #FFFFFF50
  rectangle 2,18 29,18
"

# The largest hand-drawn size; the program's icons above it are this drawing scaled.
DESIGN48="
  stroke $BACK_EDGE fill $BACK stroke-width 1
  path 'M 2.5,8.5 L 15.5,8.5 L 18.5,11.5 L 45.5,11.5 L 45.5,44.5 L 2.5,44.5 Z'
  stroke $SHEET_EDGE fill white
  rectangle 12.5,3.5 43.5,35.5
  stroke-antialias 0 stroke $CAD fill none
  rectangle 16,7 32,21
  line 24,7 24,21
  line 16,14 24,14
  line 24,17 32,17
  line 37,7 37,21
  line 36,7 38,7
  line 36,21 38,21
  stroke $CAD_FAINT
  line 18,17 22,17
  line 26,11 30,11
  line 26,13 29,13
  stroke-antialias 1
  stroke $FRONT_EDGE fill $FRONT
  path 'M 0.5,24.5 L 47.5,24.5 L 46.5,44.5 L 1.5,44.5 Z'
  stroke none fill #FFFFFF50
  rectangle 2,26 45,27
"
draw 48 "$DESIGN48"

convert "$work/16.png" "$work/32.png" "$work/48.png" "$out"
identify "$out"

# The program's icon for the desktop (hicolor theme): the pixel-grid drawings at 16, 32
# and 48, the 48 drawing scaled and smoothed above. PNG rather than one SVG: the small
# sizes are drawn pixel by pixel, which a scaled vector drawing does not match.
for size in 64 128 256; do
  scale=$(awk "BEGIN { print $size / 48 }")
  draw "$size" "scale $scale,$scale ${DESIGN48//stroke-antialias 0/stroke-antialias 1}"
done
for size in 16 32 48 64 128 256; do
  convert "$work/$size.png" -strip -depth 8 "PNG32:$icons/kumolist-$size.png"
done
ls "$icons"
