#!/usr/bin/env bash
# The test emulator (CMAKE_CROSSCOMPILING_EMULATOR): runs one Windows
# program under Wine in the build directory's prefix, only inside
# tests/wine/guarded.sh and only once the prefix is ready (ziv_wine_ready;
# setup-prefix.sh makes it so). A shared lock is held while the program
# runs, so no other run can change the links under it.
#
#   tests/wine/wine-run.sh --build-dir DIR PROGRAM.exe [ARGS...]
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source-path=SCRIPTDIR
. "$here/wine-common.sh"

if [ "${1:-}" != --build-dir ] || [ -z "${2:-}" ] || [ -z "${3:-}" ]; then
  ziv_wine_die "usage: $0 --build-dir DIR PROGRAM.exe [ARGS...]"
fi
build=$(cd "$2" && pwd)
shift 2
ziv_wine_require_guard

export WINEPREFIX
WINEPREFIX=$(ziv_wine_prefix_of "$build")
map=$(ziv_wine_port_map "$build")

exec 8>"$build/wine-prefix.lock"
flock -s 8
if ! ziv_wine_ready "$WINEPREFIX" "$map"; then
  flock -u 8
  "$here/setup-prefix.sh" --build-dir "$build"
  flock -s 8
  ziv_wine_ready "$WINEPREFIX" "$map" || ziv_wine_die "the prefix $WINEPREFIX is not ready (see $build/wine-server.log)"
fi

exec wine "$@"
