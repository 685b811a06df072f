#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   1. the native unit and scenario tests, and the end-to-end tests of the Windows
#      program under Wine on a virtual display (build/native);
#   2. the native tests again under AddressSanitizer and UndefinedBehaviorSanitizer
#      (build/asan);
#   3. each fuzz target for a short, bounded time (build/fuzz, clang with the same
#      sanitizers; QUORVEL_FUZZ_SECONDS, 20 unless set), after replaying its seed corpus.
# Ends with one line "tests: N passed, M failed".
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh || exit 1
scripts/build.sh windows native asan fuzz || exit 1

jobs=$(nproc 2>/dev/null || echo 2)
status=0
passed=0
failed=0
run_ctest() {
  local dir=$1
  shift
  local log
  log=$(mktemp)
  (cd "$dir" && ctest --output-on-failure -j"$jobs" "$@") 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  # "100% tests passed, 0 tests failed out of 57"
  local line total bad
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    status=1
  else
    bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
    failed=$((failed + bad))
    passed=$((passed + total - bad))
  fi
  rm -f "$log"
}

echo "== Native tests and end-to-end tests under Wine =="
run_ctest build/native
echo "== Native tests with AddressSanitizer and UndefinedBehaviorSanitizer =="
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build/asan
echo "== Fuzz targets, ${QUORVEL_FUZZ_SECONDS:-20} s each =="
run_ctest build/fuzz

echo "tests: $passed passed, $failed failed"
exit $status
