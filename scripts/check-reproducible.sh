#!/usr/bin/env bash
# Builds one commit's Windows programs and release zips twice, from fresh copies in two
# folders whose paths differ (one with a space), and compares the programs, the zips and
# SHA256SUMS byte for byte. Takes two whole Windows builds.
#   scripts/check-reproducible.sh [commit]      (HEAD when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."
commit=$(git rev-parse "${1:-HEAD}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
jobs=$(nproc 2>/dev/null || echo 2)
copies=("$work/a" "$work/second copy")
for copy in "${copies[@]}"; do
  mkdir -p "$copy"
  git archive "$commit" | tar -x -C "$copy"
  cmake -S "$copy" -B "$copy/build/windows" -DCMAKE_TOOLCHAIN_FILE="$copy/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$copy/build/windows" -j"$jobs" --target dist >/dev/null
done
different=0
files=0
while IFS= read -r file; do
  files=$((files + 1))
  if cmp -s "${copies[0]}/dist/$file" "${copies[1]}/dist/$file"; then
    echo "same       $file"
  else
    echo "DIFFERENT  $file"
    different=$((different + 1))
  fi
done < <(cd "${copies[0]}/dist" && find . -maxdepth 2 \( -name '*.zip' -o -name '*.exe' -o -name SHA256SUMS \) | sort)
cat "${copies[0]}/dist/SHA256SUMS"
echo "commit $commit: $files files compared, $different different"
[ "$different" -eq 0 ] && [ "$files" -gt 0 ]
