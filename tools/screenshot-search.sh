#!/usr/bin/env bash
# Makes docs/screenshot-search.png: the search window with hits in the drawings' texts
# beside the group window whose preview is zoomed to the text of the hit opened, as a
# user does it under a virtual X server with a window manager.
#
#   tools/screenshot-search.sh [build folder] [search text]   (default: build-screenshot)
#
# Needs what tools/screenshot-group.sh needs.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-screenshot}
text=${2:-平面図}
out=$here/docs/screenshot-search.png

if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target kumolist kumo_img kumo_seedboard kumo_seedtexts >/dev/null

. "$here/tests/desktop/xsession.sh"
begin_x_work kumoshot Xvfb openbox xdotool import convert
mkdir -p "$work/data" "$work/program" "$work/files"
chmod 777 "$work" "$work/data"

app=$build/src/app
cp "$app/kumolist" "$app/kumolist-picture" "$app/kumolist-thumbnailer" "$work/program/"
cp -r "$app/img" "$work/program/img"

files=$work/files
cp "$here/tests/data/jww/敷地図.jww" "$files/01 敷地図.jww"
cp "$here/tests/data/jww/サンプル.jww" "$files/02 事務所基準階平面図.jww"
cp "$here/tests/data/jww/Test1.jww" "$files/04 試験図1.jww"
cp "$here/tests/data/jww/Test2.jww" "$files/05 試験図2.jww"
cp "$here/tests/data/jww/non_block.jww" "$files/07 部分詳細.jww"
entries=()
for f in "$files"/*; do entries+=("$f"); done
"$build/tools/kumo_seedboard" "$work/program/" "$work/data/" --entries "${entries[@]}" >/dev/null
"$build/tools/kumo_seedtexts" "$work/data/"
# The search window at the right of the group window, searching the drawings' texts.
printf '[Search]\nColumn=3\n' >"$work/program/kumolist.ini"

export XDG_RUNTIME_DIR=$work/runtime XDG_CACHE_HOME=$work/cache HOME=$work
mkdir -m 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb
start_x_session "${KUMO_DISPLAY:-}"

"$work/program/kumolist" >"$work/program.log" 2>&1 &
pids+=($!)
main=$(timeout 60 xdotool search --sync --onlyvisible --name '^Kumolist( - .*)?$' | head -n 1)
sleep 1
xdotool key --window "$main" ctrl+f
search=$(timeout 30 xdotool search --sync --onlyvisible --name '^検索$' | head -n 1)
xdotool windowsize "$search" 560 300 windowmove "$search" 460 440
sleep 1
xdotool windowactivate --sync "$search" type --delay 80 "$text"
xdotool key --window "$search" Return
sleep 4
# The first hit opened: its group, the entry chosen, the preview zoomed to the text.
xdotool mousemove --window "$search" 120 14 click --repeat 2 --delay 100 1
sleep 2
group=$(timeout 30 xdotool search --sync --onlyvisible --name 'N:1' | head -n 1)
xdotool windowsize "$group" 1000 430 windowmove "$group" 0 0
sleep 8
import -window root "$work/screen.png"
mkdir -p "$(dirname "$out")"
convert "$work/screen.png" +repage "$out"
echo "wrote $out"
