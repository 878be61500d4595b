#!/usr/bin/env bash
# The real program from its command line to its close:
#   start_up_test.sh <program> <version> command-line|display
# A copy of the executable runs from a fresh directory, with a HOME of its
# own, so that a settings file written where none should be is seen.
set -uo pipefail

exe=$1 version=$2 mode=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
work=$(cd "$work" && pwd -P)
mkdir -m 700 "$work/bin" "$work/home" "$work/run"
cp "$exe" "$work/bin/ZIVSound"
fail=0
usage="Usage: ./ZIVSound [options]"
none="no display: set DISPLAY (or WAYLAND_DISPLAY) to a running desktop session"

# Runs the copy with the given environment settings (for env) and
# arguments; sets code, out and err.
run() {
  local -a settings=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do settings+=("$1"); shift; done
  shift
  (cd "$work/bin" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_CONFIG_HOME \
    -u XDG_SESSION_TYPE HOME="$work/home" XDG_RUNTIME_DIR="$work/run" "${settings[@]}" \
    ./ZIVSound "$@" >"$work/out" 2>"$work/err")
  code=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
}

# Reports what the last run did unless `ok` holds; then checks that nothing
# was written beside the copy or in its user's folders.
expect() {
  local what=$1 ok=$2 left
  [ "$ok" = 0 ] || { echo "FAIL: $what" "(exit $code, stdout: $out, stderr: $err)" >&2 && fail=1; }
  left=$(cd "$work" && find bin home run -mindepth 1 ! -path bin/ZIVSound | sort)
  if [ -n "$left" ]; then
    echo "FAIL: $what left files behind: $left" >&2 && fail=1
    rm -rf "${work:?}/home"/* "${work:?}/run"/* "${work:?}/bin"/*.ini
  fi
}

command_line() {
  local option arguments
  for option in --help -h --version -v; do
    run -- "$option"
    case $option in
      *v*) [ "$out" = "ZIVSound $version" ] ;;
      *) [[ "$out" == "$usage"*"-h, --help"*"-v, --version"* ]] ;;
    esac && [ "$code" = 0 ] && [ -z "$err" ]
    expect "$option: the usage or the version alone on standard output, exit 0" $?
  done
  # A mistake wins over help: the command line is not what its user meant.
  for arguments in "--bogus" "-x" "stray" "--help stray" "--version=2" "-- -h"; do
    # shellcheck disable=SC2086
    run -- $arguments
    [ "$code" = 2 ] && [ -z "$out" ] && [[ "$err" == "ZIVSound: "*"$usage"* ]] &&
      { [ "$arguments" != --bogus ] || [[ "$err" == "ZIVSound: Unknown option 'bogus'."* ]]; }
    expect "$arguments: the mistake named first, then the usage, on standard error, exit 2" $?
  done
}

display() {
  run --
  [ "$code" = 1 ] && [ "$err" = "ZIVSound: $none" ] && [ -z "$out" ]
  expect "no DISPLAY nor WAYLAND_DISPLAY: exit 1 and the one line" $?
  # A display number nobody serves: neither its socket nor its lock is there.
  local n nobody="" settings
  for n in $(seq 97 199); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { nobody=":$n" && break; }
  done
  run DISPLAY="$nobody" --
  [ "$code" = 1 ] && [ -z "$out" ] && [ "$err" = "ZIVSound: cannot connect to display $nobody:${none#no display:}" ]
  expect "DISPLAY=$nobody that nobody serves: exit 1 and the one line" $?
  # Qt's Wayland platform that cannot start (no compositor there, or no
  # plugin) ends the program as clearly, not with an abort.
  for settings in "WAYLAND_DISPLAY=ziv-nobody-$$" "DISPLAY=$nobody WAYLAND_DISPLAY=ziv-nobody-$$" \
    "QT_QPA_PLATFORM=ziv-no-such-platform"; do
    # shellcheck disable=SC2086
    run $settings --
    [ "$code" = 1 ] && [[ "$err" == *"ZIVSound: cannot open a window: "* ]] &&
      [[ "$err" != *"Reinstalling"* ]]
    expect "$settings: exit 1 and the program's line instead of an abort" $?
  done

  # An X server of this run's own. -displayfd tells its number only once it
  # accepts clients; -noreset keeps it from resetting, and refusing the
  # program meanwhile, whenever its last client (xwininfo) leaves.
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null \
    2>"$work/xvfb.log" &
  xvfb=$!
  trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
  for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
  local x_display program shown=1
  x_display=":$(tr -d '[:space:]' <"$work/display")"
  # Under Wayland with XWayland the program uses the X server, where its
  # window can stay on top: Qt never tries Wayland, even in a session that
  # says it is one. It needs no sound server and no serial device: a first
  # run opens no port and plays nothing. SIGTERM ends it with 0 and the
  # settings saved beside it (their bytes: the presenter's test).
  (cd "$work/bin" && exec env -u QT_QPA_PLATFORM -u XDG_CONFIG_HOME HOME="$work/home" \
    XDG_RUNTIME_DIR="$work/run" PULSE_SERVER="unix:$work/no-sound-server" DISPLAY="$x_display" \
    WAYLAND_DISPLAY="ziv-nobody-$$" XDG_SESSION_TYPE=wayland ./ZIVSound 2>"$work/err") &
  program=$!
  for _ in $(seq 100); do
    DISPLAY="$x_display" xwininfo -root -tree 2>/dev/null | grep -q '"Zivsound"' && shown=0 && break
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
  done
  sleep 0.3
  kill -TERM "$program" 2>/dev/null
  code=0
  wait "$program" || code=$?
  err=$(cat "$work/err")
  if [ "$shown" != 0 ] || [ "$code" != 0 ] || grep -qi wayland "$work/err" ||
    ! grep -qx "Main=$work/bin/ZIVSound" "$work/bin/ZIVSound.ini"; then
    cat "$work/xvfb.log" >&2
    echo "FAIL: DISPLAY and WAYLAND_DISPLAY: expected the window on the X server, no try of" \
      "Wayland, the settings saved beside the copy (exit $code, stderr: $err)" >&2 && fail=1
  fi
}

case "$mode" in
  command-line) command_line ;;
  display) display ;;
  *) echo "unknown mode $mode" >&2 && exit 2 ;;
esac
exit $fail
