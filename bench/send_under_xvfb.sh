#!/usr/bin/env bash
# Sends a message with the real program, as an operator would: Xvfb, a
# private PulseAudio server with a null sink, F1 then Ctrl+Enter, SIGTERM.
# Prints the program's exit code, the settings it saved and how much of the
# 1.5 s message reached the sink. Needs xdotool (installed if missing).
# Usage: bench/send_under_xvfb.sh [BUILD_DIR]
set -u
BUILD=$(realpath "${1:-build}")
command -v xdotool >/dev/null || { apt-get update -qq && apt-get install -y -qq xdotool >/dev/null; }
T=$(mktemp -d /tmp/e2e.XXXX); cd $T; mkdir run; chmod 700 run
cat > server.pa <<EOF
load-module module-null-sink sink_name=out rate=44100 channels=1
set-default-sink out
load-module module-native-protocol-unix auth-anonymous=1 socket=$T/native
EOF
export HOME=$T XDG_RUNTIME_DIR=$T/run PULSE_RUNTIME_PATH=$T/run/pulse PULSE_SERVER=unix:$T/native
pulseaudio -n -F server.pa --daemonize=no --exit-idle-time=-1 --use-pid-file=no --system=false --log-target=file:$T/pa.log & PA=$!
sleep 1.5
pacat --playback --raw --latency-msec=10 /dev/zero & KEEP=$!
sox -n -r 44100 -c 1 -b 16 cq.wav synth 1.5 sine 600 2>/dev/null
cp "$BUILD/src/ui/ZIVSound" .
printf '[ZIV SOUND]\nX=10\nY=10\nPort=\nWave File1=%s/cq.wav\nLabel1=CQ\nRTS=1\nNorm=1\n' $T > ZIVSound.ini
Xvfb :77 -screen 0 800x600x24 >/dev/null 2>&1 & XV=$!
sleep 1
parec --device=out.monitor --rate=44100 --channels=1 --format=s16le > rec.raw & REC=$!
sleep 0.7
DISPLAY=:77 ./ZIVSound > app.log 2>&1 & APP=$!
sleep 2
# Without a window manager the keyboard follows the pointer.
DISPLAY=:77 xdotool mousemove 60 60; sleep 0.3
DISPLAY=:77 xdotool key F1; sleep 0.3
DISPLAY=:77 xdotool key ctrl+Return; sleep 3
kill $REC 2>/dev/null; kill -TERM $APP; wait $APP; echo "exit=$?"
echo "--- app log"; cat app.log; echo "--- ini"; cat ZIVSound.ini
python3 - <<EOF
import struct
d=open('$T/rec.raw','rb').read(); s=struct.unpack('<%dh'%(len(d)//2), d)
loud=[i for i,v in enumerate(s) if abs(v)>3000]
print('recorded s', len(s)/44100, 'sound ms', (loud[-1]-loud[0])/44.1 if loud else 0)
EOF
kill $KEEP $PA $XV 2>/dev/null; wait 2>/dev/null; rm -rf "$T"
