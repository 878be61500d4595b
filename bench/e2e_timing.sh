#!/usr/bin/env bash
# Builds the program and the serial device double, runs the end-to-end
# benchmark on the end-to-end tests' harness (about two minutes: ten idle
# seconds, then a quiet loop and one with four busy loops on the CPU) and
# writes its table to docs/benchmarks.md.
# Usage: bench/e2e_timing.sh [BUILD_DIR] [TRANSMISSIONS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
count=${2:-20}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZIV_WERROR=ON >/dev/null
fi
cmake --build "$build" --target ZIVSound ziv_serial_double -j"$(nproc)" >/dev/null
table=$(ZIV_E2E_PROGRAM=$build/src/ui/ZIVSound \
  ZIV_E2E_SERIAL_DOUBLE=$build/tests/e2e/serial_double/libziv_serial_double.so \
  PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 bench/e2e_timing.py "$count")
echo "$table"
{
  echo "# Benchmarks"
  echo
  echo "The real program end to end, measured with \`bench/e2e_timing.sh\` on $(date -u +%Y-%m-%d)"
  type=$(grep -m1 CMAKE_BUILD_TYPE: "$build/CMakeCache.txt" | cut -d= -f2)
  echo "(${type:-default} build)."
  echo "Key to first sample is from the PTT line's change (on the serial device"
  echo "double) to the first sample played by the sound server's null sink; the tail"
  echo "from the last sample played to the unkey. A sample counts as played one sink"
  echo "block (2.5 ms) after it shows on the sink's monitor, as the sink renders that"
  echo "far ahead of its clock; it is dated by its count at the sink's rate"
  echo "(tests/e2e/README.md). \"With the CPU saturated\": four busy loops, from"
  echo "before the program starts."
  echo
  echo "$table"
} >docs/benchmarks.md
