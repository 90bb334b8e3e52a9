#!/usr/bin/env bash
# The program installed into a fresh prefix and started as a user starts it, under a
# virtual X server with a window manager: it shows its group pictures (the default one
# from share/kumolist/img/, a metafile through the helper in libexec/kumolist/), and,
# its own folder read-only, keeps its settings in the user's configuration folder.
#
#   installed.sh <build folder> <kumo_seedboard>
#
# Exits 77 (skipped) only where Xvfb, openbox, xdotool or ImageMagick are missing.
set -euo pipefail
build=$1
seed=$2
. "$(dirname "$0")/xsession.sh"
begin_x_work kumoinstalled Xvfb openbox xdotool import convert

# An enhanced metafile of one rectangle in a colour nothing else on the screen has.
u32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
green=0x0034AB12   # COLORREF of #12AB34
emf() {
  printf "$(u32 1)$(u32 88)$(u32 0)$(u32 0)$(u32 47)$(u32 23)$(u32 0)$(u32 0)$(u32 1270)$(u32 635)"
  printf "$(u32 0x464D4520)$(u32 0x10000)$(u32 168)$(u32 5)$(u32 2)$(u32 0)$(u32 0)$(u32 0)"
  printf "$(u32 1920)$(u32 1080)$(u32 508)$(u32 286)"
  printf "$(u32 39)$(u32 24)$(u32 1)$(u32 0)$(u32 $green)$(u32 0)"          # solid brush
  printf "$(u32 37)$(u32 12)$(u32 1)"                                      # selected
  printf "$(u32 43)$(u32 24)$(u32 0)$(u32 0)$(u32 48)$(u32 24)"            # rectangle
  printf "$(u32 14)$(u32 20)$(u32 0)$(u32 16)$(u32 20)"                    # end
}

# A build with sanitizers: the client libraries keep memory for the process's life.
export ASAN_OPTIONS=detect_leaks=0
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
emf >"$prefix/share/kumolist/img/plan.emf"
chmod -R a-w "$prefix"

# A user of his own with no settings yet, XDG_CONFIG_HOME unset: ~/.config/kumolist/.
export HOME=$work/home
unset XDG_CONFIG_HOME
config=$HOME/.config/kumolist
mkdir -p "$HOME" "$work/data"
chmod 777 "$work" "$work/data"   # the server (user firebird) makes the database there
"$seed" "$config/" "$work/data/" plan.emf >/dev/null || fail "no database for the test"
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb

start_x_session

touch "$work/started"
"$prefix/bin/kumolist" >"$work/program.log" 2>&1 &
program=$!
pids+=($program)
window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Kumolist( - .*)?$' | head -n 1) || fail "no main window"
# The default picture's folder colour and the metafile's green, once the board is painted.
for _ in $(seq 40); do
  sleep 0.5
  import -window root "$work/screen.png"
  colours=$(convert "$work/screen.png" -format %c histogram:info:-)
  grep -qi '#F3C969' <<<"$colours" && grep -qi '#12AB34' <<<"$colours" && break
done
grep -qi '#F3C969' <<<"$colours" || fail "the default picture from share/kumolist/img/ is not shown"
grep -qi '#12AB34' <<<"$colours" || fail "the metafile picture, decoded by libexec/kumolist/kumolist-picture, is not shown"

# Closed as a user closes it: its close handler writes the settings.
xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4
for _ in $(seq 150); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
kill -0 "$program" 2>/dev/null && fail "the program did not end when its window was closed"
[ "$config/kumolist.dat" -nt "$work/started" ] || fail "the settings were not written to $config/"
[ ! -e "$prefix/bin/kumolist.dat" ] || fail "settings were written beside the installed program"
echo "installed program: pictures, helper and settings found"
