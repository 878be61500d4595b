#!/usr/bin/env bash
# Start to close of the real program under Xvfb: a copy of the executable
# in a fresh directory (the settings file lies beside it) starts with no
# settings file, shows its window, ends on SIGTERM with exit code 0 and
# leaves the first-run settings in the file. It needs no sound server and
# no serial device: a first run opens no port and plays nothing.
set -euo pipefail

exe=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
work=$(cd "$work" && pwd -P)
cp "$exe" "$work/ZIVSound"
mkdir -m 700 "$work/run"

# shellcheck source=tests/ui/xvfb.sh
source "$(dirname "$0")/xvfb.sh"
start_xvfb
(cd "$work" && exec env DISPLAY="$x_display" XDG_RUNTIME_DIR="$work/run" \
  PULSE_SERVER="unix:$work/no-sound-server" ./ZIVSound 2>"$work/stderr.txt") &
end_when_shown $!
echo "shown=$shown exit=$code"
cat "$work/stderr.txt" >&2 || true

fail=0
if [ "$shown" != 1 ] || [ "$code" != 0 ]; then
  echo "expected the window to show and the program to end with 0" >&2
  fail=1
fi

# Windows-1257: "Į" is 0xC1, "Š" 0xD0.
printf '[ZIV SOUND]\nMain=%s/ZIVSound\nX=100\nY=100\nPort=0\nWave File1=\nWave File2=\nWave File3=\nLabel1=1 \xc1RA\xd0AS\nLabel2=2 \xc1RA\xd0AS\nLabel3=3 \xc1RA\xd0AS\nRTS=0\nDTR=0\nNorm=1\nInv=0\n' \
  "$work" >"$work/expected.ini"
if ! cmp -s "$work/expected.ini" "$work/ZIVSound.ini"; then
  echo "settings file differs from the first-run settings:" >&2
  diff <(od -c "$work/expected.ini") <(od -c "$work/ZIVSound.ini") >&2 || true
  fail=1
fi
exit $fail
