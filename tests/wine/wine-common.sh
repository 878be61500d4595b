# shellcheck shell=bash
# Shared by the Wine scripts (sourced, not run). Keeps Wine quiet and
# headless, and holds the checks made before any Windows program may run:
# serial nodes neutralised, the wineserver inside the same guarded namespace
# (it is the server that opens files for its clients), and the prefix's COM
# links exactly as mapped.

export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
# No Mono/Gecko installer dialogs, no desktop menu entries.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree=;mshtml=;winemenubuilder.exe=d}
# Windows appear only on the test run's own X server (ZIV_WINE_DISPLAY, set
# by scripts/test-windows.sh), never on the user's.
unset WAYLAND_DISPLAY DISPLAY
[ -z "${ZIV_WINE_DISPLAY:-}" ] || export DISPLAY=$ZIV_WINE_DISPLAY

ziv_wine_die() {
  echo "${0##*/}: $*" >&2
  exit 1
}

ziv_wine_mount_ns() {
  readlink /proc/self/ns/mnt
}

# True when every serial device node in /dev is the null device (1:3).
ziv_wine_serial_nodes_are_null() {
  local node
  for node in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM* /dev/ttyAMA*; do
    [ -e "$node" ] || continue
    [ "$(stat -L -c '%t:%T' "$node")" = "1:3" ] || return 1
  done
  return 0
}

# True inside a namespace made by guarded.sh whose nodes are still null.
ziv_wine_is_guarded() {
  [ "${ZIV_WINE_GUARDED:-}" = "$(ziv_wine_mount_ns)" ] && ziv_wine_serial_nodes_are_null
}

ziv_wine_require_guard() {
  ziv_wine_is_guarded || ziv_wine_die "not inside the serial guard; run through tests/wine/guarded.sh"
}

ziv_wine_prefix_of() {
  echo "${ZIV_WINE_PREFIX:-$1/wine-prefix}"
}

# The port map, one "COMn=/absolute/target" a line. ZIV_WINE_PORTS (entries
# separated by blanks) wins over <build>/wine-ports.conf; neither means no
# port at all. A target that is, or leads to, a real serial node is refused.
ziv_wine_port_map() {
  local build=$1 text entry name target real
  if [ "${ZIV_WINE_PORTS+set}" = set ]; then
    text=$ZIV_WINE_PORTS
  elif [ -f "$build/wine-ports.conf" ]; then
    text=$(sed -e 's/#.*//' "$build/wine-ports.conf")
  else
    text=
  fi
  for entry in $text; do
    name=${entry%%=*}
    target=${entry#*=}
    name=${name^^}
    [[ $name =~ ^COM[1-9][0-9]*$ && $entry == *=* && $target == /* ]] ||
      ziv_wine_die "bad port map entry '$entry' (want COMn=/absolute/path)"
    real=$(readlink -m "$target")
    [[ $real =~ ^/dev/tty(S|USB|ACM|AMA)[0-9]+$ ]] &&
      ziv_wine_die "refusing to map $name to the serial device $real"
    echo "$name=$target"
  done
}

# Pid of the wineserver serving the prefix (it runs in
# <tmp>/server-<dev>-<inode of the prefix>), or nothing.
ziv_wine_server_pid() {
  local prefix=$1 dir pid device inode
  [ -d "$prefix" ] || return 0
  read -r device inode < <(stat -c '%d %i' "$prefix")
  dir=$(printf 'server-%x-%x' "$device" "$inode")
  for pid in $(pgrep -x 'wineserver(64)?'); do
    if [ "$(basename "$(readlink "/proc/$pid/cwd" 2>/dev/null)")" = "$dir" ]; then
      echo "$pid"
      return 0
    fi
  done
}

# True when the prefix's server runs and shares our guarded namespace.
ziv_wine_server_is_guarded() {
  local pid
  pid=$(ziv_wine_server_pid "$1")
  [ -n "$pid" ] && [ "$(readlink "/proc/$pid/ns/mnt")" = "$(ziv_wine_mount_ns)" ]
}

# True when dosdevices/ holds exactly the mapped COM links (named in lower
# case, as Wine names them), each pointing at its target.
ziv_wine_links_match() {
  local link have=
  for link in "$1"/dosdevices/com*; do
    [ -e "$link" ] || [ -L "$link" ] || continue
    have+="$(basename "$link")=$(readlink "$link")"$'\n'
  done
  # shellcheck disable=SC2001 # each line's name, not the paths
  [ "$(sort <<<"${have%$'\n'}")" = "$(sed 's/^COM/com/' <<<"$2" | sort)" ]
}

# True when a Windows program may run: the prefix's server is ours and its
# COM links are exactly the map.
ziv_wine_ready() {
  ziv_wine_server_is_guarded "$1" && ziv_wine_links_match "$1" "$2"
}

# Removes every COM link and makes the mapped ones. Wine resolves the link at
# each open, so this takes effect inside a running session.
ziv_wine_apply_links() {
  local dosdevices=$1/dosdevices map=$2 name target
  rm -f "$dosdevices"/com*
  while IFS='=' read -r name target; do
    [ -z "$name" ] || ln -s "$target" "$dosdevices/${name,,}"
  done <<<"$map"
}
