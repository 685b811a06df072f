#!/usr/bin/env bash
# Instructions of one idle tick of the key poll, counted by callgrind (repeatable: the
# count does not depend on the machine's load), with and without the 59 key-state
# queries, in an optimised native build (build/bench; QUORVEL_BENCH_BUILD names another
# build folder that has the benchmark built, as the test command's quick run does).
#   bench/idle-tick-instructions.sh [ticks]
set -euo pipefail
cd "$(dirname "$0")/.."
ticks=${1:-10000}
source bench/optimised-build.sh
out=$(mktemp -d)
valgrind --tool=callgrind --callgrind-out-file="$out/callgrind.out" \
  --toggle-collect='quorvel::table::ScoreTable::pollShortcuts()' \
  "$build/bench/quorvel_bench_table" --ticks "$ticks" 2>"$out/log" >/dev/null
total=$(callgrind_annotate "$out/callgrind.out" | awk '/PROGRAM TOTALS/ {gsub(",", "", $1); print $1}')
queries=$(callgrind_annotate --inclusive=yes "$out/callgrind.out" |
  awk '/SimPlatform::asyncKeyState/ && !found {gsub(",", "", $1); print $1; found = 1}')
queries=${queries:-0}
echo "idle ticks:                      $ticks"
echo "instructions per tick:           $((total / ticks))"
echo "  in the 59 key-state queries:   $((queries / ticks))"
echo "  besides the key-state queries: $(((total - queries) / ticks))"
rm -rf "$out"
