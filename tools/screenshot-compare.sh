#!/usr/bin/env bash
# Makes docs/screenshot-compare.png: the compare window of two real drawings (two states
# of one site plan from tests/data/jww), opened as a user opens it: the group window, both
# entries selected, 図面を比較(&D) from the entries' menu, under a virtual X server with a
# window manager.
#
#   tools/screenshot-compare.sh [build folder]   (default: build-screenshot, configured if new)
#
# Needs the Firebird server running (scripts/setup.sh), Xvfb, openbox, xdotool and
# ImageMagick. KUMO_DISPLAY=:N picks the X display; by default a free one is taken.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-screenshot}
out=$here/docs/screenshot-compare.png

if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target kumolist kumo_img kumo_seedboard >/dev/null

. "$here/tests/desktop/xsession.sh"
begin_x_work kumoshot Xvfb openbox xdotool import convert
mkdir -p "$work/data" "$work/program" "$work/files"
chmod 777 "$work" "$work/data"

app=$build/src/app
cp "$app/kumolist" "$app/kumolist-picture" "$app/kumolist-thumbnailer" "$work/program/"
cp -r "$app/img" "$work/program/img"

files=$work/files
# The second state: the first with one text changed in place ("５ｍライン" to "６ｍライン"),
# as the CAD program saves a revision.
cp "$here/tests/data/jww/Test1.jww" "$files/日影図 A.jww"
python3 - "$files/日影図 A.jww" "$files/日影図 B.jww" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
five = '５ｍラインの書き方'.encode('cp932')
open(sys.argv[2], 'wb').write(data.replace(five, '６ｍラインの書き方'.encode('cp932'), 1))
PY
"$build/tools/kumo_seedboard" "$work/program/" "$work/data/" --entries "$files/日影図 A.jww" "$files/日影図 B.jww" >/dev/null

export XDG_RUNTIME_DIR=$work/runtime XDG_CACHE_HOME=$work/cache HOME=$work
mkdir -m 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb
start_x_session "${KUMO_DISPLAY:-}"

"$work/program/kumolist" >"$work/program.log" 2>&1 &
pids+=($!)
main=$(timeout 60 xdotool search --sync --onlyvisible --name '^Kumolist( - .*)?$' | head -n 1)
sleep 1
xdotool mousemove --window "$main" 48 52 click --repeat 2 --delay 100 1
group=$(timeout 30 xdotool search --sync --onlyvisible --name 'N:1' | head -n 1)
sleep 1
# Both entries selected in the details view, the entries' menu by a right-click on them,
# then its compare command by its key.
xdotool windowactivate --sync "$group" key ctrl+3 sleep 0.5
xdotool mousemove --window "$group" 215 53 click 1 sleep 0.3 key ctrl+a sleep 0.3 click 3 sleep 0.8 key d
compare=$(timeout 20 xdotool search --sync --onlyvisible --name '^図面の比較' | head -n 1 || true)
[ -n "${compare:-}" ] || { import -window root "${KUMO_FAILSHOT:-/dev/null}" 2>/dev/null; echo "the compare window did not open" >&2; exit 1; }
xdotool windowsize "$compare" 1020 740 windowmove "$compare" 0 0
sleep 4
# The changed text picked in the list: the view zooms to it.
xdotool mousemove --window "$compare" 820 75 click 1 mousemove 1010 730
sleep 1
import -window "$compare" "$work/compare.png"
mkdir -p "$(dirname "$out")"
convert "$work/compare.png" +repage "$out"
echo "wrote $out"
