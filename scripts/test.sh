#!/usr/bin/env bash
# Installs what the build needs, then builds and runs every test: the release build (with the
# benchmarks built and given a short smoke run), the Windows DLLs under Wine (scripts/test-windows.sh)
# and the address + undefined-behaviour sanitizer build.
# TAMBLIN_SKIP_SANITIZE=1 leaves the sanitizer build out, TAMBLIN_SKIP_WINDOWS=1 the Windows checks;
# TAMBLIN_SOAK=1 adds the long suites.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh --tests
jobs=$(nproc 2>/dev/null || echo 2)

cmake --preset release
cmake --build --preset release -j "$jobs"
ctest --preset release

if [ -x build/release/bench/tamblin_bench ]; then
  build/release/bench/tamblin_bench --benchmark_min_time=0.01 >/dev/null
fi

if [ "${TAMBLIN_SKIP_WINDOWS:-0}" != 1 ]; then
  bash scripts/test-windows.sh
fi

if [ "${TAMBLIN_SKIP_SANITIZE:-0}" != 1 ]; then
  cmake --preset sanitize
  cmake --build --preset sanitize -j "$jobs"
  ctest --preset sanitize
fi
