# shellcheck shell=bash disable=SC2034
# Sourced by the tests that run the real program under an X server of
# their own; $work is their scratch directory. The variables set here are
# read by the test.
: "${work:?}"

# Starts Xvfb and sets xvfb (its process) and x_display, or returns 1 with
# its log on standard error. -displayfd lets it pick a free display and
# tells its number only once it accepts clients, so neither a display taken
# by another run nor a slow start can make the program miss it. -noreset:
# the server would otherwise reset whenever its last client (xwininfo)
# leaves, refusing the program's connection meanwhile.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null \
    2>"$work/xvfb.log" &
  xvfb=$!
  trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
  for _ in $(seq 1 200); do
    [ -s "$work/display" ] && break
    sleep 0.05
  done
  if [ ! -s "$work/display" ]; then
    echo "Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    return 1
  fi
  x_display=":$(tr -d '[:space:]' <"$work/display")"
}

# Waits up to 10 s for the program's window on $x_display, lets the
# program ($1) run a moment more and ends it with SIGTERM; sets shown (1 or
# 0) and code (its exit code).
end_when_shown() {
  shown=0
  for _ in $(seq 1 100); do
    if DISPLAY="$x_display" xwininfo -root -tree 2>/dev/null | grep -q '"Zivsound"'; then
      shown=1
      break
    fi
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  sleep 0.3
  kill -TERM "$1" 2>/dev/null || true
  code=0
  wait "$1" || code=$?
}
