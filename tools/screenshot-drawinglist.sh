#!/usr/bin/env bash
# Makes docs/drawinglist-page.png, the first page of a group's drawing list as the
# terminal command writes it, and docs/screenshot-drawinglist.png, the group window with
# its filter typed and the list's print preview over it, under a virtual X server with a
# window manager.
#
#   tools/screenshot-drawinglist.sh [build folder]   (default: build-screenshot, configured if new)
#
# Needs the Firebird server running (scripts/setup.sh), Xvfb, openbox, xdotool, poppler's
# pdftoppm and ImageMagick.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-screenshot}
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target kumolist kumo_img kumo_seedboard >/dev/null

. "$here/tests/desktop/xsession.sh"
begin_x_work kumolist-shot Xvfb openbox xdotool import convert pdftoppm
mkdir -p "$work/data" "$work/program" "$work/files"
chmod 777 "$work" "$work/data"
app=$build/src/app
cp "$app/kumolist" "$app/kumolist-picture" "$app/kumolist-thumbnailer" "$work/program/"
cp -r "$app/img" "$work/program/img"

# The real drawings under the names an office gives them, a note and a drawing gone.
files=$work/files
cp "$here/tests/data/jww/敷地図.jww" "$files/01 敷地図.jww"
cp "$here/tests/data/jww/サンプル.jww" "$files/02 事務所基準階平面図.jww"
cp "$here/tests/data/jww/Test1.jww" "$files/03 試験図1.jww"
cp "$here/tests/data/jww/Test2.jww" "$files/04 試験図2.jww"
cp "$here/tests/data/jww/non_block.jww" "$files/05 部分詳細.jww"
printf '打合せ記録\n' >"$files/06 打合せ記録.txt"
entries=("$files"/* "$files/07 立面図（旧）.jww")
"$build/tools/kumo_seedboard" "$work/program/" "$work/data/" --entries "${entries[@]}" >/dev/null

export XDG_RUNTIME_DIR=$work/runtime XDG_CACHE_HOME=$work/cache HOME=$work
mkdir -m 700 "$XDG_RUNTIME_DIR"
"$work/program/kumolist" --drawing-list --group 1 --pdf "$work/list.pdf"
pdftoppm -r 80 -png -f 1 -l 1 "$work/list.pdf" "$work/page"
convert "$work/page-1.png" -bordercolor '#999999' -border 1 "$here/docs/drawinglist-page.png"
echo "wrote $here/docs/drawinglist-page.png"

export QT_QPA_PLATFORM=xcb
start_x_session "${KUMO_DISPLAY:-}"
"$work/program/kumolist" >"$work/program.log" 2>&1 &
pids+=($!)
main=$(timeout 60 xdotool search --sync --onlyvisible --name '^Kumolist( - .*)?$' | head -n 1)
sleep 1
xdotool mousemove --window "$main" 48 52 click --repeat 2 --delay 100 1
group=$(timeout 30 xdotool search --sync --onlyvisible --name 'N:1' | head -n 1)
sleep 2
# Ctrl+F, then a text the filter folds: "JWW" finds the drawings, not the note.
xdotool key --window "$group" ctrl+f
xdotool type --window "$group" --delay 80 'JWW'
sleep 1
import -window "$group" "$work/filtered.png"
convert "$work/filtered.png" +repage "$here/docs/screenshot-group-filter.png"
echo "wrote $here/docs/screenshot-group-filter.png"

# 図面リストを印刷... from the list's menu (the menu key, then up from its last item),
# the page setup as it stands, and the print preview looked at.
xdotool mousemove --window "$group" 600 300 click 1
xdotool key --window "$group" Menu Up Up Return
sleep 2
xdotool key Return
preview=$(timeout 60 xdotool search --sync --onlyvisible --name '図面リストの印刷プレビュー' | head -n 1)
sleep 3
import -window "$preview" "$work/preview.png"
convert "$work/preview.png" +repage "${KUMO_PREVIEW_SHOT:-$work/preview.png}"
echo "looked at the preview: ${KUMO_PREVIEW_SHOT:-$work/preview.png}"
