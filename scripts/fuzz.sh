#!/usr/bin/env bash
# Builds the libFuzzer programs (the `fuzz` preset: clang, address and undefined-behaviour sanitizers)
# and runs each for TAMBLIN_FUZZ_SECONDS seconds (default 30: about a minute for both; set hours of
# seconds for a long hunt). Each starts from the committed seed corpus in fuzz/corpus/ and keeps what
# it finds in build/fuzz/corpus/. A failing input is written to build/fuzz/findings/ and fails the
# script: copy it into fuzz/regressions/<target>/, where the replay test runs it in every build.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${TAMBLIN_FUZZ_SECONDS:-30}
# A finding's stack names functions and lines only through llvm-symbolizer (Debian's llvm package).
if [ -z "${ASAN_SYMBOLIZER_PATH:-}" ]; then
  symbolizer=$(command -v llvm-symbolizer || ls /usr/lib/llvm-*/bin/llvm-symbolizer 2>/dev/null | tail -n 1 || true)
  if [ -n "$symbolizer" ]; then
    export ASAN_SYMBOLIZER_PATH=$symbolizer
  else
    echo "fuzz: warning: no llvm-symbolizer (apt-get install llvm): a finding's stack shows addresses only" >&2
  fi
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

for target in host_calls midi_file saved_data; do
  corpus=build/fuzz/corpus/$target
  findings=build/fuzz/findings/$target
  mkdir -p "$corpus" "$findings"
  log=build/fuzz/$target.log
  status=0
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    build/fuzz/fuzz/fuzz_$target -max_total_time="$seconds" -max_len=8192 -timeout=20 -rss_limit_mb=2048 \
      -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "fuzz_$target: ${runs:-?} executions in ${seconds} s, exit $status"
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log"
    echo "fuzz_$target found a failing input: see $findings/" >&2
    exit 1
  fi
done
