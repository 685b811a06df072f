#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   1. the native unit and scenario tests, and the end-to-end tests of the Windows
#      program under Wine on a virtual display (build/native); then every benchmark
#      under bench/ in its shortest form, which fails when one no longer runs (ctest
#      label "bench"; its figures mean nothing);
#   2. the native tests again under AddressSanitizer and UndefinedBehaviorSanitizer
#      (build/asan);
#   3. each fuzz target for a short, bounded time (build/fuzz, clang with the same
#      sanitizers; QUORVEL_FUZZ_SECONDS, 20 unless set), after replaying its seed corpus.
# The end-to-end tests mostly wait for Wine, so once the Windows programs and the native
# tests are built they run beside the sanitizer and fuzz builds and runs, which yield the
# processor to them (nice). Each stage's output goes to build/test-all/<stage>.log and is
# shown when the stage ends; the stages' times close the output, then one line
# "tests: N passed, M failed".
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh || exit 1

logs=build/test-all
rm -rf "$logs"
mkdir -p "$logs"
jobs=$(nproc 2>/dev/null || echo 2)
wall_start=$(date +%s)

# stage NAME COMMAND...: runs the command with its output in NAME.log and records its time.
stage() {
  local name=$1 start rc
  shift
  start=$(date +%s)
  "$@" >"$logs/$name.log" 2>&1
  rc=$?
  echo "$name $(($(date +%s) - start)) $rc" >>"$logs/times"
  echo "-- $name: $([ $rc -eq 0 ] && echo done || echo failed) after $(($(date +%s) - start)) s"
  return $rc
}

run_ctest() {
  local dir=$1
  shift
  (cd "$dir" && ctest --output-on-failure -j"$jobs" "$@")
}

show() {
  echo "== $2 =="
  cat "$logs/$1.log" 2>/dev/null || echo "(not run)"
}

stage build-windows scripts/build.sh windows || { show build-windows "Windows build"; exit 1; }
stage build-native scripts/build.sh native || { show build-native "Native build"; exit 1; }

(
  stage test-native run_ctest build/native -LE bench
  stage test-bench run_ctest build/native -L bench
) &
native_tests=$!

# The sanitizer and fuzz stages, at a lower priority than the end-to-end tests.
(
  renice -n 10 -p "$BASHPID" >/dev/null
  stage build-asan scripts/build.sh asan || exit 1
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 stage test-asan run_ctest build/asan
  stage build-fuzz scripts/build.sh fuzz || exit 1
  stage test-fuzz run_ctest build/fuzz
)
wait "$native_tests"

status=0
passed=0
failed=0
tally() {
  # "100% tests passed, 0 tests failed out of 57"
  local line total bad
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$logs/$1.log" 2>/dev/null | tail -n 1)
  if [ -z "$line" ]; then
    status=1
    return
  fi
  bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
  failed=$((failed + bad))
  passed=$((passed + total - bad))
  [ "$bad" -eq 0 ] || status=1
}

show test-native "Native tests and end-to-end tests under Wine"
tally test-native
show test-bench "Every benchmark in its shortest form"
tally test-bench
for build in asan fuzz; do
  grep -q "^build-$build [0-9]* 0$" "$logs/times" || { show "build-$build" "The $build build failed"; status=1; }
done
[ -f "$logs/test-asan.log" ] && show test-asan "Native tests with AddressSanitizer and UndefinedBehaviorSanitizer"
tally test-asan
[ -f "$logs/test-fuzz.log" ] && show test-fuzz "Fuzz targets, ${QUORVEL_FUZZ_SECONDS:-20} s each"
tally test-fuzz

echo "== Stage times (s) =="
while read -r name seconds rc; do
  printf '%-14s %5d%s\n' "$name" "$seconds" "$([ "$rc" -eq 0 ] || echo "  (failed)")"
done <"$logs/times"
printf '%-14s %5d\n' "wall" "$(($(date +%s) - wall_start))"
echo "tests: $passed passed, $failed failed"
exit $status
