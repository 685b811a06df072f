#!/usr/bin/env bash
# Builds the fuzz targets (build/fuzz) and runs one of them for a while, nice'd and on one
# core, growing its corpus in build/fuzz/corpus/<target> from the seeds in
# tests/fuzz/corpus/<target>. A failing input is written to build/fuzz/artifacts/<target>/.
#   scripts/fuzz.sh                      lists the targets
#   scripts/fuzz.sh <target> [seconds]   (600 seconds unless given)
set -euo pipefail
cd "$(dirname "$0")/.."

targets=$(sed -n 's/^quorvel_fuzz_target(\([a-z0-9_]*\) .*/\1/p' tests/fuzz/CMakeLists.txt)
if [ $# -eq 0 ]; then
  echo "targets:" $targets
  exit 0
fi
target=$1
seconds=${2:-600}
grep -qx "$target" <<<"$targets" || { echo "no fuzz target $target (targets: $(echo $targets))" >&2; exit 2; }

scripts/build.sh fuzz
mkdir -p "build/fuzz/corpus/$target" "build/fuzz/artifacts/$target"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  exec nice -n 19 "build/fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="build/fuzz/artifacts/$target/" \
  "build/fuzz/corpus/$target" "tests/fuzz/corpus/$target"
