#!/usr/bin/env bash
# Builds the program and the serial device double, runs the end-to-end
# benchmark on the end-to-end tests' harness on each sound server (about two
# minutes each: ten idle seconds, then a quiet loop and one with four busy
# loops on the CPU) and writes one table to docs/benchmarks.md.
# Usage: bench/e2e_timing.sh [BUILD_DIR] [TRANSMISSIONS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
count=${2:-20}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZIV_WERROR=ON >/dev/null
fi
cmake --build "$build" --target ZIVSound ziv_serial_double -j"$(nproc)" >/dev/null
# One run per sound server (ZIV_BENCH_SERVERS, as ZIV_E2E_SERVER names them),
# then one table with a column for each.
servers=${ZIV_BENCH_SERVERS:-pulseaudio pipewire:1024 pipewire:256}
runs=$(mktemp -d)
trap 'rm -rf "$runs"' EXIT
n=0
for server in $servers; do
  n=$((n + 1))
  echo "$server" >"$runs/$n.name"
  ZIV_E2E_SERVER=$server ZIV_E2E_PROGRAM=$build/src/ui/ZIVSound \
    ZIV_E2E_SERIAL_DOUBLE=$build/tests/e2e/serial_double/libziv_serial_double.so \
    PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 bench/e2e_timing.py "$count" >"$runs/$n.md"
done
table=$(/usr/bin/python3 - "$runs" "$n" <<'PY'
import sys
folder, n = sys.argv[1], int(sys.argv[2])
names, rows, head = [], {}, []
for i in range(1, n + 1):
    server = open(f"{folder}/{i}.name").read().strip()
    kind, _, cycle = server.partition(":")
    names.append("PulseAudio" if kind == "pulseaudio" else f"PipeWire, {cycle or 1024}-frame cycle")
    lines = open(f"{folder}/{i}.md").read().splitlines()
    head = [l for l in lines if l and not l.startswith("|")]
    for l in lines:
        cells = [c.strip() for c in l.strip("|").split("|")]
        if len(cells) == 3 and cells[0] not in ("measure", "---"):
            rows.setdefault(cells[0], [None] * n + [cells[2]])[i - 1] = cells[1]
print("\n\n".join(head))
print()
print("| measure | " + " | ".join(names) + " | target |")
print("|---" * (n + 2) + "|")
for measure, cells in rows.items():
    print(f"| {measure} | " + " | ".join(c or "" for c in cells) + " |")
PY
)
echo "$table"
{
  echo "# Benchmarks"
  echo
  echo "The real program end to end, measured with \`bench/e2e_timing.sh\` on $(date -u +%Y-%m-%d)"
  type=$(grep -m1 CMAKE_BUILD_TYPE: "$build/CMakeCache.txt" | cut -d= -f2)
  echo "(${type:-default} build), on PulseAudio and on PipeWire (with its PulseAudio"
  echo "service and WirePlumber, the graph's cycle forced to 1024 and to 256 frames)."
  echo "Key to first sample is from the PTT line's change (on the serial device"
  echo "double) to the first sample played by the sound server's null sink; the tail"
  echo "from the last sample played to the unkey. A sample counts as played one sink"
  echo "block after it shows on the sink's monitor (2.5 ms on PulseAudio, as the sink"
  echo "renders that far ahead of its clock; one graph cycle on PipeWire, whose"
  echo "monitor hands a cycle over as it starts); it is dated by its count at the"
  echo "sink's rate (tests/e2e/README.md). \"With the CPU saturated\": four busy"
  echo "loops, from before the program starts."
  echo
  echo "$table"
} >docs/benchmarks.md
