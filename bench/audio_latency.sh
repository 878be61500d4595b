#!/usr/bin/env bash
# Builds and runs the sound output benchmark against a private PulseAudio
# server with a null sink (started and ended by the benchmark itself).
# Usage: bench/audio_latency.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-7}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZIV_WERROR=ON >/dev/null
fi
cmake --build "$build" --target audio_latency -j2 >/dev/null
exec "$build/bench/audio_latency" "$runs"
