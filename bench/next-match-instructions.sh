#!/usr/bin/env bash
# Instructions of one next match on the headless backend with the shipped program folder,
# counted by callgrind (repeatable: the count does not depend on the machine's load): the
# sample day's first and second match put on the table in turn, each whole (names, the
# roster's countries, colours and portraits, scores, caption), and the overlay's feed
# describing it (the table's changed parts, the state, the day's schedule), in an optimised
# native build (build/bench; QUORVEL_BENCH_BUILD names another build folder that has the
# benchmark built), with the functions that take the most.
#   bench/next-match-instructions.sh [matches]
set -euo pipefail
cd "$(dirname "$0")/.."
matches=${1:-50}
source bench/optimised-build.sh
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
valgrind --tool=callgrind --callgrind-out-file="$out/callgrind.out" \
  --toggle-collect='quorvel::table::ScoreTable::goToMatch(*' \
  --toggle-collect='quorvel::remote::TableFeed::eventEnded(*' \
  "$build/bench/quorvel_bench_table" --next-matches "$matches" 2>"$out/log" >/dev/null
total=$(callgrind_annotate "$out/callgrind.out" | awk '/PROGRAM TOTALS/ {gsub(",", "", $1); print $1}')
echo "matches put on the table:  $matches"
echo "instructions per match:    $((total / matches))"
echo "the most, inclusive, per match:"
callgrind_annotate --inclusive=yes "$out/callgrind.out" 2>/dev/null |
  awk -v n="$matches" '/^ *[0-9,]+ .*quorvel::/ && count < 12 {v = $1; gsub(",", "", v);
    sub(/^ *[0-9,]+ +\([^)]*\) +/, ""); sub(/^ *[0-9,]+ +/, ""); printf "  %12d  %s\n", v / n, substr($0, 1, 110); count++}'
