#!/usr/bin/env bash
# End-to-end tests of ZIVSound.exe under Wine, as an operator would use it:
# keys through the X server, windows read from outside by ziv_inspect.exe,
# the sound recorded from a null sink, the settings file compared byte for
# byte. It starts an X server of its own, and e2e_wine.py a PulseAudio server
# (tests/e2e/harness), so it touches no display or sound setup of the caller.
#
#   tests/e2e_wine/run.sh BUILD_DIR            (inside tests/wine/guarded.sh)
#   ZIV_E2E_KEEP=1 keeps the work directory, ZIV_E2E_ONLY=NAME runs the checks whose name holds
#   NAME; ZIV_E2E_SHOTS=DIR writes the screenshots (client areas) of the windows there.
#
# COM1 is a file served by the serial double (tests/e2e/serial_double, built
# here with the host's compiler), which logs every change of RTS and DTR:
# Wine's server opens the port and the program's process makes the tty calls,
# so both run with the double preloaded, in a session of this run's own.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source-path=SCRIPTDIR/../wine
. "$root/tests/wine/wine-common.sh"
ziv_wine_require_guard
[ $# -eq 1 ] || ziv_wine_die "usage: $0 BUILD_DIR"
build=$(cd "$1" && pwd)
export WINEPREFIX
WINEPREFIX=$(ziv_wine_prefix_of "$build")
for tool in Xvfb xdotool pulseaudio pacat parec pactl; do
  command -v "$tool" >/dev/null || ziv_wine_die "missing $tool"
done
for f in src/ui_win32/ZIVSound.exe tests/e2e_wine/ziv_inspect.exe; do
  [ -f "$build/$f" ] || ziv_wine_die "not built: $build/$f"
done

double=$build/serial_double/libziv_serial_double.so
sources=("$root"/tests/e2e/serial_double/{interpose,device_state}.cpp)
if [ ! -f "$double" ] || [ "${sources[0]}" -nt "$double" ] || [ "${sources[1]}" -nt "$double" ]; then
  mkdir -p "$build/serial_double"
  g++ -std=c++20 -O2 -shared -fPIC -fvisibility=hidden -Wall -Wextra -Wpedantic -Werror \
    "${sources[@]}" -ldl -o "$double" || ziv_wine_die "the serial double did not build"
fi

work=$(mktemp -d /tmp/ziv-e2e-wine.XXXXXX)
pids=()
# The session serves this run's device: it ends with the run.
cleanup() {
  local pid
  wineserver -k 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [ -n "${ZIV_E2E_KEEP:-}" ]; then echo "kept $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT

# Under scripts/test-windows.sh the run's own X server is there already
# (the prefix's session, its desktop, was started on it).
if [ -z "${ZIV_WINE_DISPLAY:-}" ]; then
  # -noreset: the server would otherwise reset whenever its last client left,
  # refusing a connection that comes meanwhile (xdotool connects many times).
  Xvfb -displayfd 9 -screen 0 800x600x24 -nolisten tcp -noreset 9>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
  [ -s "$work/display" ] || ziv_wine_die "Xvfb did not start (see $work/xvfb.log)"
  ZIV_WINE_DISPLAY=:$(head -n1 "$work/display")
fi
export DISPLAY=$ZIV_WINE_DISPLAY

# Where it may (root), the run goes ahead of ordinary work (e2e_wine.py
# runs the sound path real-time).
renice -n -10 -p $$ >/dev/null 2>&1 || true

# A new session with the double preloaded into the server and every program,
# on this run's X server, COM1 mapped to the served file; held against
# changes while the checks run.
: >"$work/ttyE0"
export LD_PRELOAD=$double ZIV_SERIAL_DOUBLE_DEVICES=$work/ttyE0
export ZIV_SERIAL_DOUBLE_LOG=$work/lines.log ZIV_WINE_PORTS="COM1=$work/ttyE0"
exec 8>"$build/wine-prefix.lock"
flock -x 8
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
flock -u 8
ZIV_WINE_DISPLAY=$DISPLAY "$root/tests/wine/setup-prefix.sh" --build-dir "$build" >&2
flock -s 8
ziv_wine_ready "$WINEPREFIX" "$(ziv_wine_port_map "$build")" ||
  ziv_wine_die "the prefix $WINEPREFIX is not ready"
ZIV_WINE_SERVER_PID=$(ziv_wine_server_pid "$WINEPREFIX")
export ZIV_WINE_SERVER_PID

# Debian's Python, which has numpy.
PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 "$here/e2e_wine.py" "$build" "$work" "$work/ttyE0"
