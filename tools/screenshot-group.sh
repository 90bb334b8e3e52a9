#!/usr/bin/env bash
# Makes docs/screenshot-group.png: the group window in its icon view with the thumbnails
# of the real drawings of tests/data/jww and a few other files, and the preview pane on,
# as a user opens it from the board under a virtual X server with a window manager.
#
#   tools/screenshot-group.sh [build folder] [formats]   (default: build-screenshot, configured if new)
#
# With "formats", docs/screenshot-jwc-pdf.png instead: an old .jwc drawing and a PDF plot
# of two pages among the drawings, the plot current in the preview pane.
#
# Needs the Firebird server running (scripts/setup.sh), Xvfb, openbox, xdotool and
# ImageMagick. KUMO_DISPLAY=:N picks the X display; by default a free one is taken.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-screenshot}
kind=${2:-}
out=$here/docs/screenshot-group.png
[ "$kind" = formats ] && out=$here/docs/screenshot-jwc-pdf.png

if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target kumolist kumo_img kumo_seedboard >/dev/null

. "$here/tests/desktop/xsession.sh"
begin_x_work kumoshot Xvfb openbox xdotool import convert
# The server (user firebird) creates the database file in this folder.
mkdir -p "$work/data" "$work/program" "$work/files"
chmod 777 "$work" "$work/data"

app=$build/src/app
cp "$app/kumolist" "$app/kumolist-picture" "$app/kumolist-thumbnailer" "$work/program/"
cp -r "$app/img" "$work/program/img"

# The five real drawings among files of other kinds, under the names an office gives them.
files=$work/files
cp "$here/tests/data/jww/敷地図.jww" "$files/01 敷地図.jww"
cp "$here/tests/data/jww/サンプル.jww" "$files/02 事務所基準階平面図.jww"
printf '打合せ記録\n' >"$files/03 打合せ記録.txt"
cp "$here/tests/data/jww/Test1.jww" "$files/04 試験図1.jww"
cp "$here/tests/data/jww/Test2.jww" "$files/05 試験図2.jww"
convert -size 160x120 gradient:skyblue-white "$files/06 現場写真.png"
cp "$here/tests/data/jww/non_block.jww" "$files/07 部分詳細.jww"
if [ "$kind" = formats ]; then
  rm "$files/04 試験図1.jww" "$files/05 試験図2.jww"
  cp "$here/tests/fuzz/jwc-seeds/plan.jwc" "$files/02 旧平面図.jwc"
  cp "$here/tests/data/pdf/plans.pdf" "$files/04 承認図.pdf"
fi
entries=()
for f in "$files"/*; do entries+=("$f"); done
"$build/tools/kumo_seedboard" "$work/program/" "$work/data/" --entries "${entries[@]}" >/dev/null
# The preview pane on, as the toggle leaves it.
printf '[GroupWindow]\nPreview=true\n' >"$work/program/kumolist.ini"

export XDG_RUNTIME_DIR=$work/runtime XDG_CACHE_HOME=$work/cache HOME=$work
mkdir -m 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb
start_x_session "${KUMO_DISPLAY:-}"

"$work/program/kumolist" >"$work/program.log" 2>&1 &
pids+=($!)
main=$(timeout 60 xdotool search --sync --onlyvisible --name '^Kumolist( - .*)?$' | head -n 1)
sleep 1
# A double-click on the first group's icon (at 32, 12 on the board, under the menu bar).
xdotool mousemove --window "$main" 48 52 click --repeat 2 --delay 100 1
group=$(timeout 30 xdotool search --sync --onlyvisible --name 'N:1' | head -n 1)
sleep 1
# The office floor plan (the plot, for the formats) made current with a click on it; the
# pointer then leaves the list.
if [ "$kind" = formats ]; then
  xdotool mousemove --window "$group" 358 50 click 1 key Right Right Right mousemove 1010 760
else
  xdotool mousemove --window "$group" 358 50 click 1 mousemove 1010 760
fi
# Drawn once into the fresh cache, then read from it.
sleep 6
import -window "$group" "$work/group.png"
mkdir -p "$(dirname "$out")"
convert "$work/group.png" +repage "$out"
echo "wrote $out"
