#!/usr/bin/env bash
# The real program before its window: the command line and the display.
#   start_up_test.sh <program> <version> command-line
#   start_up_test.sh <program> <version> display
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
# shellcheck source=tests/ui/xvfb.sh
source "$(dirname "$0")/xvfb.sh"

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
  for option in --help -h; do
    run -- "$option"
    if [ "$code" != 0 ] || [ -n "$err" ] || [[ "$out" != "Usage: ./ZIVSound [options]"* ]] ||
      [[ "$out" != *"-h, --help"* ]] || [[ "$out" != *"-v, --version"* ]]; then
      problem "$option: expected exit 0, the usage on standard output and nothing else"
    fi
    nothing_written "$option"
  done
  for option in --version -v; do
    run -- "$option"
    if [ "$code" != 0 ] || [ -n "$err" ] || [ "$out" != "ZIVSound $version" ]; then
      problem "$option: expected exit 0 and \"ZIVSound $version\" on standard output alone"
    fi
    nothing_written "$option"
  done
  # A mistake wins over help: the command line is not what its user meant.
  for arguments in "--bogus" "-x" "stray" "--help stray" "--version=2" "-- -h"; do
    # shellcheck disable=SC2086
    run -- $arguments
    if [ "$code" != 2 ] || [ -n "$out" ] || [[ "$err" != "ZIVSound: "* ]] ||
      [[ "$err" != *"Usage: ./ZIVSound [options]"* ]]; then
      problem "$arguments: expected exit 2 with the mistake and the usage on standard error"
    fi
    nothing_written "$arguments"
  done
  run -- --bogus
  if [[ "$err" != "ZIVSound: Unknown option 'bogus'."* ]]; then
    problem "--bogus: the mistake is not named first"
  fi
}

# A display number nobody serves: neither its socket nor its lock is there.
free_display() {
  local n
  for n in $(seq 97 199); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      echo ":$n"
      return
    fi
  done
}

display() {
  local none="ZIVSound: no display: set DISPLAY (or WAYLAND_DISPLAY) to a running desktop session"
  run --
  if [ "$code" != 1 ] || [ "$err" != "$none" ] || [ -n "$out" ]; then
    problem "no DISPLAY nor WAYLAND_DISPLAY: expected exit 1 and the one line"
  fi
  nothing_written "no display"

  local nobody
  nobody=$(free_display)
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

  # Under Wayland with XWayland the program uses the X server, where its
  # window can stay on top: Qt never tries Wayland, even in a session that
  # says it is one.
  if ! start_xvfb; then
    fail=1
    return
  fi
  (cd "$work/bin" && exec env -u QT_QPA_PLATFORM -u XDG_CONFIG_HOME HOME="$work/home" \
    XDG_RUNTIME_DIR="$work/run" PULSE_SERVER="unix:$work/no-sound-server" DISPLAY="$x_display" \
    WAYLAND_DISPLAY="ziv-nobody-$$" XDG_SESSION_TYPE=wayland ./ZIVSound 2>"$work/err") &
  end_when_shown $!
  out=""
  err=$(cat "$work/err")
  if [ "$shown" != 1 ] || [ "$code" != 0 ] || grep -qi wayland "$work/err"; then
    problem "DISPLAY and WAYLAND_DISPLAY: expected the window on the X server, no try of Wayland"
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
