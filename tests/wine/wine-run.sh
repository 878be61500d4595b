#!/usr/bin/env bash
# The test emulator (CMAKE_CROSSCOMPILING_EMULATOR): runs one Windows
# program under Wine in the build directory's prepared prefix.
#
#   tests/wine/wine-run.sh --build-dir DIR PROGRAM.exe [ARGS...]
#
# Refuses to run outside tests/wine/guarded.sh. Before every run it checks
# that the prefix's wineserver lives in the same guarded namespace and that
# the COM links are exactly the configured map, and prepares the prefix
# (setup-prefix.sh) when they are not. A shared lock is held while the
# program runs, so no other run can change the links under it.
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

ready() {
  ziv_wine_server_is_guarded "$WINEPREFIX" && ziv_wine_links_match "$WINEPREFIX" "$map"
}

exec 8>"$build/wine-prefix.lock"
flock -s 8
if ! ready; then
  flock -u 8
  "$here/setup-prefix.sh" --build-dir "$build"
  flock -s 8
  ready || ziv_wine_die "the prefix $WINEPREFIX is not ready (see $build/wine-server.log)"
fi

exec wine "$@"
