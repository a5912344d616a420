#!/usr/bin/env bash
# Installs what the build needs, then builds and runs every test: the release build (with the
# benchmarks built and given a short smoke run), the Debian package built and checked
# (scripts/check-deb.sh), the threads test under ThreadSanitizer, about a minute
# of coverage-guided fuzzing, the Windows DLLs under Wine (scripts/test-windows.sh) and the address +
# undefined-behaviour sanitizer build, and the browser build in headless Chromium (scripts/test-web.sh).
# TAMBLIN_SKIP_SANITIZE=1, TAMBLIN_SKIP_TSAN=1, TAMBLIN_SKIP_FUZZ=1, TAMBLIN_SKIP_WINDOWS=1 and
# TAMBLIN_SKIP_WEB=1 leave those runs out; TAMBLIN_SOAK=1 makes the soak and careless-host tests run for hours
# (TAMBLIN_SOAK_MINUTES=N: N minutes of soak audio); TAMBLIN_FUZZ_SECONDS=N fuzzes each target N
# seconds; TAMBLIN_VALGRIND=1 adds the load-and-unload test under valgrind's memcheck.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh --tests
jobs=$(nproc 2>/dev/null || echo 2)

# ctest with a preset whose TMPDIR is build/<preset>/test-tmp (CMakePresets.json): emptied before the
# run, and after it, naming what the tests left there; nothing goes to /tmp.
run_ctest() {
  local tmp=build/$1/test-tmp
  rm -rf "$tmp" && mkdir -p "$tmp"
  ctest --preset "$1"
  local left
  left=$(find "$tmp" -mindepth 1 | wc -l)
  [ "$left" -eq 0 ] || echo "test.sh: the $1 tests left $left entries in their temporary folder; removed"
  rm -rf "$tmp" && mkdir -p "$tmp"
}

cmake --preset release
cmake --build --preset release -j "$jobs"
run_ctest release
bash scripts/check-deb.sh build/release

if [ -x build/release/bench/tamblin_bench ]; then
  build/release/bench/tamblin_bench --benchmark_min_time=0.01 >/dev/null
fi

if [ "${TAMBLIN_VALGRIND:-0}" = 1 ]; then
  valgrind --leak-check=full --errors-for-leak-kinds=definite,indirect --error-exitcode=3 \
    build/release/tests/validator/load_unload_tests
fi

if [ "${TAMBLIN_SKIP_TSAN:-0}" != 1 ]; then
  cmake --preset tsan
  cmake --build --preset tsan -j "$jobs"
  run_ctest tsan
fi

if [ "${TAMBLIN_SKIP_FUZZ:-0}" != 1 ]; then
  bash scripts/fuzz.sh
fi

if [ "${TAMBLIN_SKIP_WINDOWS:-0}" != 1 ]; then
  bash scripts/test-windows.sh
fi

if [ "${TAMBLIN_SKIP_WEB:-0}" != 1 ]; then
  bash scripts/test-web.sh
fi

if [ "${TAMBLIN_SKIP_SANITIZE:-0}" != 1 ]; then
  cmake --preset sanitize
  cmake --build --preset sanitize -j "$jobs"
  run_ctest sanitize
fi
