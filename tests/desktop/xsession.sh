# Sourced by the desktop tests: a virtual X server on a free display of its own (so
# that test runs side by side do not meet) with openbox managing its windows. Uses the
# caller's $work folder, `pids` array and `fail` function; exports DISPLAY.
start_x_session() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || fail "Xvfb did not start"
  export DISPLAY=:$(head -n 1 "$work/display")
  # Openbox runs its start-up command once it manages windows.
  openbox --startup "touch $work/wm-ready" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 300); do [ -e "$work/wm-ready" ] && break; sleep 0.1; done
  [ -e "$work/wm-ready" ] || fail "openbox did not start"
}
