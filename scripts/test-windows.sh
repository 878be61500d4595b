#!/usr/bin/env bash
# Cross-builds for Windows with MinGW-w64 and runs the tests under Wine.
#
#   scripts/test-windows.sh [--source DIR] [--build DIR] [CTEST ARGS...]
#
# Defaults: the repository and build-win. Everything runs in a private mount
# namespace in which /dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM* and /dev/ttyAMA*
# are bind mounts of /dev/null (tests/wine/guarded.sh): Wine links COM ports
# to those nodes at every session start and /dev/ttyS0 may be the machine's
# console. The prefix (<build>/wine-prefix) is made once and reused; its COM
# ports come from ZIV_WINE_PORTS or <build>/wine-ports.conf, none by default.
# Installs nothing: scripts/install-deps.sh does.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# shellcheck source-path=SCRIPTDIR/../tests/wine
. "$root/tests/wine/wine-common.sh"
if ! ziv_wine_is_guarded; then
  exec "$root/tests/wine/guarded.sh" "$root/scripts/test-windows.sh" "$@"
fi

source_dir=$root
build_dir=$root/build-win
while [ $# -gt 0 ]; do
  case $1 in
    --source) source_dir=$(cd "$2" && pwd); shift 2 ;;
    --build) build_dir=$2; shift 2 ;;
    *) break ;;
  esac
done

missing=()
for p in wine wine64 g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev googletest cmake; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] || ziv_wine_die "missing packages (scripts/install-deps.sh): ${missing[*]}"

seconds_since() {
  echo $(( $(date +%s%N) / 1000000 - $1 )) | awk '{ printf "%.1f", $1 / 1000 }'
}
now_ms() {
  echo $(( $(date +%s%N) / 1000000 ))
}

jobs=$(nproc)
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZIV_WERROR=ON -DZIV_BUILD_UI=OFF --no-warn-unused-cli >/dev/null
# ZIV_WIN_TARGETS="a b" builds only those targets (while other parts are being written).
if [ -n "${ZIV_WIN_TARGETS:-}" ]; then
  # shellcheck disable=SC2086 # a list of target names
  cmake --build "$build_dir" -j"$jobs" --target $ZIV_WIN_TARGETS
else
  cmake --build "$build_dir" -j"$jobs"
fi
build_dir=$(cd "$build_dir" && pwd)

# --- The Windows package (the program's section) ---
# ZIVSound-<version>-win64.zip: the executable and the README, when built.
if [ -f "$build_dir/src/ui_win32/ZIVSound.exe" ]; then
  (cd "$build_dir" && cpack -G ZIP -B "$build_dir/package" >/dev/null) ||
    ziv_wine_die "the Windows package could not be made"
  echo "Windows package: $(ls "$build_dir"/package/ZIVSound-*-win64.zip)" >&2
fi
# --- end of the package section ---

# --- A private X server: Wine's windows need a display, never the user's ---
xvfb_pid=
# shellcheck disable=SC2317 # called by the EXIT trap
stop_xvfb() {
  [ -n "$xvfb_pid" ] || return 0
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
}
if command -v Xvfb >/dev/null; then
  rm -f "$build_dir/xvfb.display"
  Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp -noreset \
    5>"$build_dir/xvfb.display" </dev/null >"$build_dir/xvfb.log" 2>&1 8>&- &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$build_dir/xvfb.display" ] && break
    sleep 0.1
  done
  [ -s "$build_dir/xvfb.display" ] || ziv_wine_die "Xvfb did not start (see $build_dir/xvfb.log)"
  ZIV_WINE_DISPLAY=:$(head -n1 "$build_dir/xvfb.display")
  export ZIV_WINE_DISPLAY
fi
# --- end of the X server section ---

export WINEPREFIX
WINEPREFIX=$(ziv_wine_prefix_of "$build_dir")
# shellcheck disable=SC2317 # called by the EXIT trap
stop_server() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}
trap 'stop_server; stop_xvfb' EXIT

start=$(now_ms)
"$root/tests/wine/setup-prefix.sh" --build-dir "$build_dir"
echo "Wine prefix set up in $(seconds_since "$start") s" >&2

# --- A private PulseAudio server for the sound tests (the Win32 sound output's section) ---
# Wine's audio driver talks to PulseAudio: the tests play into a null sink of
# a server of their own, never into the machine's sound setup. A silent
# keep-alive stream keeps the sink's clock running steadily between plays.
# It runs at the real-time priority a desktop's rtkit gives it (where it may:
# root): a sink thread starved by a busy machine broke Wine's streams up.
pulse_dir=$build_dir/pulse
pulse_pids=()
# shellcheck disable=SC2317 # called by the EXIT trap
stop_pulse() {
  local pid
  for pid in "${pulse_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pulse_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
start_pulse() {
  local i
  if ! command -v pulseaudio >/dev/null || ! command -v pacat >/dev/null; then
    echo "no pulseaudio or pacat: the Windows sound tests will find no output" >&2
    return 0
  fi
  rm -rf "$pulse_dir"
  mkdir -p "$pulse_dir/run" "$pulse_dir/config"
  chmod 700 "$pulse_dir/run"
  printf '%s\n' "load-module module-null-sink sink_name=ziv_null rate=48000 channels=2" \
    "set-default-sink ziv_null" \
    "set-default-source ziv_null.monitor" \
    "load-module module-native-protocol-unix auth-anonymous=1 socket=$pulse_dir/native" \
    >"$pulse_dir/server.pa"
  echo "autospawn = no" >"$pulse_dir/client.conf"
  export PULSE_SERVER=unix:$pulse_dir/native PULSE_CLIENTCONFIG=$pulse_dir/client.conf
  export PULSE_RUNTIME_PATH=$pulse_dir/run/pulse PULSE_STATE_PATH=$pulse_dir/state
  unset PULSE_SINK
  HOME=$pulse_dir XDG_RUNTIME_DIR=$pulse_dir/run XDG_CONFIG_HOME=$pulse_dir/config \
    pulseaudio -n -F "$pulse_dir/server.pa" --daemonize=no --exit-idle-time=-1 \
    --use-pid-file=no --system=false --log-target="file:$pulse_dir/server.log" \
    --realtime=yes --high-priority=yes \
    </dev/null >/dev/null 2>&1 8>&- &
  pulse_pids+=($!)
  for i in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    [ "$i" -lt 100 ] || ziv_wine_die "pulseaudio did not start (see $pulse_dir/server.log)"
    sleep 0.1
  done
  pacat --playback --raw --latency-msec=10 --client-name=keep-alive </dev/zero >/dev/null 2>&1 8>&- &
  pulse_pids+=($!)
  for i in $(seq 100); do
    [ -n "$(pactl list short sink-inputs 2>/dev/null)" ] && break
    sleep 0.1
  done
  [ -n "$(pactl list short sink-inputs 2>/dev/null)" ] ||
    ziv_wine_die "the keep-alive stream did not reach the private PulseAudio server"
  # A fresh null sink delivers its monitor's first samples only after a
  # second or two; the recording tests start once it does.
  timeout 10 parec --raw --format=s16le --channels=1 --rate=48000 --latency-msec=20 \
    2>/dev/null 8>&- | head -c 9600 >/dev/null || true
}
trap 'stop_pulse; stop_server; stop_xvfb' EXIT
start_pulse
# --- end of the PulseAudio section ---

start=$(now_ms)
status=0
ctest --test-dir "$build_dir" --output-on-failure -j"$jobs" "$@" || status=$?
echo "Windows tests ran in $(seconds_since "$start") s" >&2

# The real ZIVSound.exe end to end: keys, texts, settings bytes, the sound
# (with ctest arguments, only the tests asked for run: skipped then).
if [ $# -eq 0 ] && [ -z "${ZIV_WIN_TARGETS:-}" ]; then
  start=$(now_ms)
  "$root/tests/e2e_wine/run.sh" "$build_dir" || status=1
  echo "Windows end-to-end tests ran in $(seconds_since "$start") s" >&2
fi
exit "$status"
