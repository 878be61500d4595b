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

export WINEPREFIX
WINEPREFIX=$(ziv_wine_prefix_of "$build_dir")
# shellcheck disable=SC2317 # called by the EXIT trap
stop_server() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}
trap stop_server EXIT

start=$(now_ms)
"$root/tests/wine/setup-prefix.sh" --build-dir "$build_dir"
echo "Wine prefix set up in $(seconds_since "$start") s" >&2

start=$(now_ms)
status=0
ctest --test-dir "$build_dir" --output-on-failure -j"$jobs" "$@" || status=$?
echo "Windows tests ran in $(seconds_since "$start") s" >&2
exit "$status"
