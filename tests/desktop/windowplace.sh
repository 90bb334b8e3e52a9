#!/usr/bin/env bash
# Windows come back where they were: the program started three times under a virtual X
# server with a window manager (openbox, whose title bars are what moved the windows)
# must store the same places and sizes each time it ends.
#
#   windowplace.sh <folder of the built program>
#
# Exits 77 (skipped) only where Xvfb, openbox or xdotool are missing.
set -euo pipefail
app=$1
. "$(dirname "$0")/xsession.sh"
begin_x_work kumowindowplace Xvfb openbox xdotool

# A program folder of its own (the program finds its settings beside itself), with a
# settings file that names no database: nothing but the windows matters here.
folder=$work/program
mkdir -p "$folder"
cp "$app/kumolist" "$folder/kumolist"
ln -s "$app/kumolist-picture" "$folder/kumolist-picture"
cp -r "$app/img" "$folder/img"
settings=$folder/kumolist.dat
{
  printf '\r\n\r\n\r\n\r\n'
  # main window 200,200 616x347; settings dialog 300,250; group window; dialogs; search
  for n in 200 200 616 347 300 250 100 80 700 450 150 120 160 130 170 140 180 150 110 90 600 400 \
           60 60 60 60 60 60 60 60 60 0 150; do
    printf '%s\r\n' "$n"
  done
} >"$settings"

export HOME=$work/home
mkdir -p "$HOME"
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb
export ASAN_OPTIONS=detect_leaks=0

start_x_session

# Starts the program, opens and closes the settings dialog (so that a window shown
# after the main window is placed too), ends the program with its exit command's
# SIGTERM path and prints the stored window lines 5-10.
run() {
  "$folder/kumolist" >"$work/program.log" 2>&1 &
  local program=$!
  pids+=($program)
  local window
  window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Kumolist( - .*)?$' | head -n 1) || fail "no main window"
  sleep 1   # the window manager has framed and placed it
  xdotool windowactivate --sync "$window" key --clearmodifiers alt+f d
  local dialog
  dialog=$(timeout 30 xdotool search --sync --onlyvisible --name '^データベース設定$' | head -n 1) || fail "no settings dialog"
  sleep 1
  xdotool windowactivate --sync "$dialog" key --clearmodifiers Escape
  for _ in $(seq 100); do xdotool search --onlyvisible --name '^データベース設定$' >/dev/null || break; sleep 0.1; done
  sleep 0.5
  kill -TERM "$program"
  for _ in $(seq 150); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$program" 2>/dev/null && fail "the program did not end"
  sed -n '5,10p' "$settings" | tr -d '\r' | paste -sd ' '
}

first=$(run)
second=$(run)
third=$(run)
echo "stored after each run: [$first] [$second] [$third]"
[ "$first" = "$second" ] && [ "$second" = "$third" ] || fail "the windows moved between runs"
# The main window where the file put it; the dialog opens centred on it (the same place
# at every run, which the lines then record).
[ "${first% * *}" = "200 200 616 347" ] || fail "the windows did not come back where the file put them"
echo "window places kept across restarts"
