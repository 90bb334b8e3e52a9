# Sourced by the desktop tests and the screenshot tools: a work folder that goes at the
# end with every process started into `pids`, and a virtual X server with openbox
# managing its windows.

# begin_x_work NAME TOOL...: exits 77 (skipped) when a tool is missing; sets $work.
begin_x_work() {
  local name=$1 tool
  shift
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (bash scripts/setup.sh tests installs it)"; exit 77; }
  done
  work=$(mktemp -d "/tmp/$name-XXXXXX")
  pids=()
  trap end_x_work EXIT
}

end_x_work() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  # Whatever does not end on its own within five seconds is ended.
  for _ in $(seq 50); do
    local alive=0
    for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
    [ $alive = 0 ] && break
    sleep 0.1
  done
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}

fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/program.log" ] && sed 's/^/program: /' "$work/program.log" >&2
  exit 1
}

# start_x_session [DISPLAY]: on the display given, else on a free one of its own (so
# that runs side by side do not meet); exports DISPLAY.
start_x_session() {
  if [ -n "${1:-}" ]; then
    Xvfb "$1" -screen 0 1024x768x24 -nolisten tcp 2>/dev/null &
    pids+=($!)
    export DISPLAY=$1
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${1#:}" ] && break; sleep 0.1; done
  else
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
    pids+=($!)
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || fail "Xvfb did not start"
    export DISPLAY=:$(head -n 1 "$work/display")
  fi
  # Openbox runs its start-up command once it manages windows.
  openbox --startup "touch $work/wm-ready" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 300); do [ -e "$work/wm-ready" ] && break; sleep 0.1; done
  [ -e "$work/wm-ready" ] || fail "openbox did not start"
}
