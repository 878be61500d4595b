#!/usr/bin/env bash
# The real program from its command line to its close:
#   start_up_test.sh <program> <version> command-line|display
# A copy of the executable runs from a fresh directory, with a HOME of its
# own, so that a settings file written where none should be is seen.
set -uo pipefail

exe=$1
version=$2
mode=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
work=$(cd "$work" && pwd -P)
mkdir -m 700 "$work/bin" "$work/home" "$work/run"
cp "$exe" "$work/bin/ZIVSound"
fail=0
usage="Usage: ./ZIVSound [options]"

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

problem() {
  echo "FAIL: $*" >&2
  echo "  exit $code" >&2
  echo "  stdout: $out" >&2
  echo "  stderr: $err" >&2
  fail=1
}

# Nothing beside the copy but the copy, nothing in its user's folders.
nothing_written() {
  local left
  left=$(cd "$work" && find bin home run -mindepth 1 ! -path bin/ZIVSound | sort)
  if [ -n "$left" ]; then
    problem "$1 left files behind: $left"
    rm -rf "${work:?}/home"/* "${work:?}/run"/* "${work:?}/bin"/*.ini
  fi
}

command_line() {
  local option arguments
  for option in --help -h --version -v; do
    run -- "$option"
    # shellcheck disable=SC2015 # problem() only reports
    case $option in
      *v*) [ "$out" = "ZIVSound $version" ] ;;
      *) [[ "$out" == "$usage"*"-h, --help"*"-v, --version"* ]] ;;
    esac && [ "$code" = 0 ] && [ -z "$err" ] ||
      problem "$option: expected exit 0 and the usage or the version alone on standard output"
    nothing_written "$option"
  done
  # A mistake wins over help: the command line is not what its user meant.
  for arguments in "--bogus" "-x" "stray" "--help stray" "--version=2" "-- -h"; do
    # shellcheck disable=SC2086
    run -- $arguments
    # shellcheck disable=SC2015
    [ "$code" = 2 ] && [ -z "$out" ] && [[ "$err" == "ZIVSound: "*"$usage"* ]] ||
      problem "$arguments: expected exit 2 with the mistake and the usage on standard error"
    [ "$arguments" != --bogus ] || [[ "$err" == "ZIVSound: Unknown option 'bogus'."* ]] ||
      problem "--bogus: the mistake is not named first"
    nothing_written "$arguments"
  done
}

display() {
  local none="ZIVSound: no display: set DISPLAY (or WAYLAND_DISPLAY) to a running desktop session"
  run --
  if [ "$code" != 1 ] || [ "$err" != "$none" ] || [ -n "$out" ]; then
    problem "no DISPLAY nor WAYLAND_DISPLAY: expected exit 1 and the one line"
  fi
  nothing_written "no display"

  # A display number nobody serves: neither its socket nor its lock is there.
  local n nobody="" settings
  for n in $(seq 97 199); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { nobody=":$n" && break; }
  done
  run DISPLAY="$nobody" --
  if [ "$code" != 1 ] || [ -n "$out" ] ||
    [ "$err" != "ZIVSound: cannot connect to display $nobody: set DISPLAY (or WAYLAND_DISPLAY) to a running desktop session" ]; then
    problem "DISPLAY=$nobody that nobody serves: expected exit 1 and the one line"
  fi
  nothing_written "a display nobody serves"
  # Qt's Wayland platform that cannot start (no compositor there, or no
  # plugin) ends the program as clearly, not with an abort.
  for settings in "WAYLAND_DISPLAY=ziv-nobody-$$" "DISPLAY=$nobody WAYLAND_DISPLAY=ziv-nobody-$$" \
    "QT_QPA_PLATFORM=ziv-no-such-platform"; do
    # shellcheck disable=SC2086
    run $settings --
    if [ "$code" != 1 ] || [[ "$err" != *"ZIVSound: cannot open a window: "* ]] ||
      [[ "$err" == *"Reinstalling"* ]]; then
      problem "$settings: expected exit 1 and the program's line instead of an abort"
    fi
    nothing_written "$settings"
  done

  # An X server of this run's own. -displayfd tells its number only once it
  # accepts clients; -noreset keeps it from resetting, and refusing the
  # program meanwhile, whenever its last client (xwininfo) leaves.
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null \
    2>"$work/xvfb.log" &
  xvfb=$!
  local program shown=0
  trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
  for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
  local x_display
  x_display=":$(tr -d '[:space:]' <"$work/display")"
  # Under Wayland with XWayland the program uses the X server, where its
  # window can stay on top: Qt never tries Wayland, even in a session that
  # says it is one. It needs no sound server and no serial device: a first
  # run opens no port and plays nothing. SIGTERM ends it with 0 and the
  # first-run settings saved beside it.
  (cd "$work/bin" && exec env -u QT_QPA_PLATFORM -u XDG_CONFIG_HOME HOME="$work/home" \
    XDG_RUNTIME_DIR="$work/run" PULSE_SERVER="unix:$work/no-sound-server" DISPLAY="$x_display" \
    WAYLAND_DISPLAY="ziv-nobody-$$" XDG_SESSION_TYPE=wayland ./ZIVSound 2>"$work/err") &
  program=$!
  for _ in $(seq 100); do
    DISPLAY="$x_display" xwininfo -root -tree 2>/dev/null | grep -q '"Zivsound"' && shown=1 && break
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
  done
  sleep 0.3
  kill -TERM "$program" 2>/dev/null
  code=0
  wait "$program" || code=$?
  out=""
  err=$(cat "$work/err")
  if [ "$shown" != 1 ] || [ "$code" != 0 ] || grep -qi wayland "$work/err"; then
    cat "$work/xvfb.log" >&2
    problem "DISPLAY and WAYLAND_DISPLAY: expected the window on the X server, no try of Wayland"
  fi
  # Windows-1257: "Į" is 0xC1, "Š" 0xD0.
  printf '[ZIV SOUND]\nMain=%s/bin/ZIVSound\nX=100\nY=100\nPort=0\nWave File1=\nWave File2=\nWave File3=\nLabel1=1 \xc1RA\xd0AS\nLabel2=2 \xc1RA\xd0AS\nLabel3=3 \xc1RA\xd0AS\nRTS=0\nDTR=0\nNorm=1\nInv=0\n' \
    "$work" >"$work/expected.ini"
  if ! cmp -s "$work/expected.ini" "$work/bin/ZIVSound.ini"; then
    diff <(od -c "$work/expected.ini") <(od -c "$work/bin/ZIVSound.ini") >&2
    problem "the settings file differs from the first-run settings"
  fi
}

case "$mode" in
  command-line) command_line ;;
  display) display ;;
  *)
    echo "unknown mode $mode" >&2
    exit 2
    ;;
esac
exit $fail
