#!/usr/bin/env bash
# Builds the libFuzzer target (the settings reader) with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs it for a bounded time on a copy
# of its seed corpus, so the corpus kept in the repository never grows.
# Usage: scripts/fuzz.sh [SECONDS]   (per target, default 60)
# Exits non-zero when a fuzzer fails, naming the reproducer it saved. The
# last line is "N passed, N failed".
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

duration=${1:-60}
if ! [[ "$duration" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 [SECONDS]" >&2
  exit 2
fi

fuzzers=(settings_fuzzer)

# libFuzzer ships with clang's runtime libraries; the rest is what a
# configure without the user interface needs.
packages=(
  clang libclang-rt-dev cmake pkg-config
  libsndfile1-dev libsamplerate0-dev libpulse-dev libgtest-dev libgmock-dev
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build=build-fuzz
# The project libraries get the coverage hooks (but not libFuzzer's main)
# so that the fuzzers can steer inside them.
flags="-O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined"
flags+=" -fno-sanitize-recover=undefined"
if ! cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ \
       -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="$flags" -DZIV_FUZZ=ON -DZIV_BUILD_UI=OFF \
       -DZIV_WERROR=ON >"$build.configure.log" 2>&1 ||
   ! cmake --build "$build" -j"$(nproc)" --target "${fuzzers[@]}"; then
  [ -f "$build.configure.log" ] && tail -n 30 "$build.configure.log" >&2
  echo "fuzzers did not build" >&2
  echo "0 passed, ${#fuzzers[@]} failed"
  exit 1
fi
rm -f "$build.configure.log"

# Saves rename a temporary file over the settings file and sync it; in
# memory that costs nothing, which buys many more runs per second.
scratch_parent=/tmp
if [ -d /dev/shm ] && [ -w /dev/shm ]; then scratch_parent=/dev/shm; fi
scratch=$(mktemp -d "$scratch_parent/ziv-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

passed=0
failed=0
for fuzzer in "${fuzzers[@]}"; do
  case "$fuzzer" in
    settings_fuzzer) seeds=settings dict=settings.dict extra=(-max_len=8192) ;;
  esac
  work="$root/$build/fuzz-run/$fuzzer"
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"
  cp "tests/fuzz/corpus/$seeds/"* "$work/corpus/"
  log="$work/fuzz.log"
  echo "== $fuzzer: ${duration}s"
  rc=0
  # Run where no settings file lies: the settings load looks for one in the
  # working directory.
  (cd "$work" &&
    TMPDIR="$scratch" ASAN_OPTIONS=detect_leaks=1 \
      UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      timeout -k 10 $((duration + 120)) "$root/$build/tests/fuzz/$fuzzer" \
      -max_total_time="$duration" -timeout=10 -rss_limit_mb=2048 "${extra[@]}" \
      -dict="$root/tests/fuzz/$dict" -artifact_prefix="$work/artifacts/" \
      -print_final_stats=1 "$work/corpus" >"$log" 2>&1) || rc=$?
  reproducers=$(find "$work/artifacts" -type f \
    \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | sort)
  if [ "$rc" -eq 0 ] && [ -z "$reproducers" ]; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 || true)
    inputs=$(find "$work/corpus" -type f | wc -l)
    echo "$fuzzer: passed (${runs:-?} runs, ${cov:-cov: ?}, corpus $inputs inputs)"
    passed=$((passed + 1))
  else
    echo "$fuzzer: FAILED (exit $rc); log: $log"
    report='^==[0-9]+==ERROR|runtime error|^[a-z_]+fuzzer: |deadly signal|ERROR: libFuzzer'
    grep -n -m 1 -A 40 -E "$report" "$log" || tail -n 40 "$log"
    for r in $reproducers; do
      echo "reproducer: $r"
      echo "  replay: (cd $work && $root/$build/tests/fuzz/$fuzzer $r)"
      od -A x -t x1z -v "$r" | head -n 20
    done
    failed=$((failed + 1))
  fi
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
