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

cat >"$work/session.sh" <<'SESSION'
set -u
./ZIVSound 2>"$WORK/stderr.txt" &
pid=$!
shown=0
for _ in $(seq 1 100); do
  if xwininfo -root -tree 2>/dev/null | grep -q '"Zivsound"'; then shown=1; break; fi
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
sleep 0.3
kill -TERM "$pid"
wait "$pid"
code=$?
echo "shown=$shown exit=$code"
SESSION

# Our own X server: -displayfd lets it pick a free display and tells its
# number only once it accepts clients, so neither a display taken by
# another run nor a slow start can make the program miss it. -noreset: the
# server would otherwise reset whenever its last client (xwininfo) leaves,
# refusing the program's connection meanwhile.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 1 200); do
  [ -s "$work/display" ] && break
  sleep 0.05
done
if [ ! -s "$work/display" ]; then
  echo "Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi

cd "$work"
result=$(DISPLAY=":$(tr -d '[:space:]' <"$work/display")" WORK="$work" XDG_RUNTIME_DIR="$work/run" \
  PULSE_SERVER="unix:$work/no-sound-server" bash "$work/session.sh")
echo "$result"
cat "$work/stderr.txt" >&2 || true

fail=0
if [ "$result" != "shown=1 exit=0" ]; then
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
