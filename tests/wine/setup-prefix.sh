#!/usr/bin/env bash
# Prepares the build directory's Wine prefix for tests and leaves a
# persistent wineserver running with the COM ports mapped as configured
# (see wine-common.sh: ZIV_WINE_PORTS or <build>/wine-ports.conf; by default
# no port at all). Must run inside tests/wine/guarded.sh.
#
#   tests/wine/setup-prefix.sh --build-dir DIR
#
# Wine's mount manager links COM1, COM2, ... to /dev/ttyS0, /dev/ttyS1, ...
# at every session start. So the mapped ports go into the registry first,
# then the session is started once and kept alive, and only then are the
# other links removed and every remaining one checked.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source-path=SCRIPTDIR
. "$here/wine-common.sh"

if [ "${1:-}" != --build-dir ] || [ -z "${2:-}" ]; then
  ziv_wine_die "usage: $0 --build-dir DIR"
fi
build=$(cd "$2" && pwd)
ziv_wine_require_guard

export WINEPREFIX
WINEPREFIX=$(ziv_wine_prefix_of "$build")
map=$(ziv_wine_port_map "$build")
log=$build/wine-server.log

exec 8>"$build/wine-prefix.lock"
flock -x 8

# Runs a Wine program of the setup with its output in the log. The Wine
# services it starts outlive it and inherit its descriptors: they must hold
# neither the caller's pipes (ctest would wait for them) nor the lock.
quietly() {
  "$@" </dev/null >>"$log" 2>&1 8>&-
}

write_port_registry() {
  local name target
  quietly wine reg delete 'HKLM\Software\Wine\Ports' /f || true
  quietly wine reg add 'HKLM\Software\Wine\Ports' /f
  while IFS='=' read -r name target; do
    [ -z "$name" ] || quietly wine reg add 'HKLM\Software\Wine\Ports' /v "$name" /t REG_SZ /d "$target" /f
  done <<<"$map"
}

start_session() {
  local pid
  pid=$(ziv_wine_server_pid "$WINEPREFIX")
  if [ -n "$pid" ]; then
    # A server outside this namespace would open files where the guard
    # does not reach: stop it and start our own.
    ziv_wine_server_is_guarded "$WINEPREFIX" && return 0
    quietly wineserver -k || true
    quietly wineserver -w || true
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX" >&2
    quietly wineboot -i
  fi
  write_port_registry
  quietly wineserver -k || true
  quietly wineserver -w || true
  quietly wineserver -p
  quietly wine cmd /c exit
  ziv_wine_server_is_guarded "$WINEPREFIX" || ziv_wine_die "the wineserver did not start inside the guard"
}

start_session
ziv_wine_apply_links "$WINEPREFIX" "$map"
ziv_wine_ready "$WINEPREFIX" "$map" || ziv_wine_die "COM links in $WINEPREFIX/dosdevices differ from the map"
echo "Wine prefix ready: $WINEPREFIX, server $(ziv_wine_server_pid "$WINEPREFIX"), ports: ${map:-none}" | tr '\n' ' ' >&2
echo >&2
