#!/usr/bin/env bash
# Makes docs/screenshot-main.png: the main window with a few groups, in a virtual X
# server, against a database made for the picture on the local Firebird server.
#
#   tools/screenshot.sh [build folder]     (default: build-screenshot, configured if new)
#
# Needs the Firebird server running (scripts/setup.sh), xvfb-run and ImageMagick.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-screenshot}
out=$here/docs/screenshot-main.png

if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target kumolist kumo_img kumo_seedboard >/dev/null

work=$(mktemp -d /tmp/kumoshot-XXXXXX)
trap 'rm -rf "$work"' EXIT
# The server (user firebird) creates the database file in this folder.
mkdir -p "$work/data" "$work/program"
chmod 777 "$work" "$work/data"

cp "$build/src/app/kumolist" "$build/src/app/kumolist-picture" "$work/program/"
cp -r "$build/src/app/img" "$work/program/img"
"$build/tools/kumo_seedboard" "$work/program/" "$work/data/"
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1/program/kumolist" &
  pid=$!
  sleep 4
  import -window root "$1/screen.png"
  # The Firebird client library takes SIGTERM for its own shutdown; the picture is
  # taken, so the program may simply go.
  kill -KILL $pid
  wait $pid 2>/dev/null || true
' _ "$work"

# No window manager runs, so the window sits at 0, 0 without a frame.
mkdir -p "$(dirname "$out")"
convert "$work/screen.png" -crop 616x347+0+0 +repage "$out"
echo "wrote $out"
