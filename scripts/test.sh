#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs the
# whole test suite and the fuzzers; then builds again with AddressSanitizer
# and UndefinedBehaviorSanitizer and runs the suite there too.
# ZIV_SKIP_SANITIZE=1 skips the second build. Last, the Windows flavour is
# cross-built and its tests run under Wine (ZIV_SKIP_WINDOWS=1 skips it).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

# The sanitizer, fuzzer, package and Windows builds compile the same sources
# again, and so does every later run: through ccache, each is compiled once.
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  CCACHE_BASEDIR=$(pwd)
  export CCACHE_BASEDIR CCACHE_NOHASHDIR=1
  # A build folder of a fixed name: one in a new temporary folder each time
  # would miss the cache.
  export ZIV_PACKAGE_BUILD_DIR=${ZIV_PACKAGE_BUILD_DIR:-$CCACHE_BASEDIR/build-package}
fi

jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZIV_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

# The settings reader under libFuzzer for a
# bounded time (ZIV_FUZZ_SECONDS per target; 0 skips).
fuzz_seconds=${ZIV_FUZZ_SECONDS:-30}
if [ "$fuzz_seconds" -gt 0 ]; then
  bash scripts/fuzz.sh "$fuzz_seconds"
fi

if [ "${ZIV_SKIP_SANITIZE:-0}" != 1 ]; then
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZIV_WERROR=ON -DZIV_SANITIZE=ON >/dev/null
  cmake --build build-asan -j"$jobs"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j"$jobs" -LE no-sanitizer
fi

if [ "${ZIV_SKIP_WINDOWS:-0}" != 1 ]; then
  bash scripts/test-windows.sh
fi
