#!/usr/bin/env bash
# Runs a command in a private mount namespace in which every serial device
# node (/dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM*, /dev/ttyAMA*) is a bind mount
# of /dev/null. Wine links COM1, COM2, ... to /dev/ttyS0, /dev/ttyS1, ... at
# every session start, and /dev/ttyS0 may be the machine's own console: inside
# this namespace no Windows program, nor the wineserver that opens files on
# its behalf, can reach a real serial line whatever the prefix says.
#
#   tests/wine/guarded.sh COMMAND [ARGS...]
#
# Needs root (or CAP_SYS_ADMIN) for unshare and mount.
set -euo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 COMMAND [ARGS...]" >&2
  exit 2
fi

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source-path=SCRIPTDIR
. "$here/wine-common.sh"

if ziv_wine_is_guarded; then
  exec "$@"
fi

# shellcheck disable=SC2016 # expanded by the inner shell
exec unshare --mount --propagation private -- bash -c '
  set -euo pipefail
  shopt -s nullglob
  for node in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM* /dev/ttyAMA*; do
    mount --bind /dev/null "$node"
  done
  . "$0/wine-common.sh"
  ziv_wine_serial_nodes_are_null || { echo "guarded.sh: serial nodes still live" >&2; exit 1; }
  export ZIV_WINE_GUARDED=$(ziv_wine_mount_ns)
  exec "$@"
' "$here" "$@"
