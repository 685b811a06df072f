# Sourced by the instruction counts: sets `build` to the optimised native build that has
# the benchmark (build/bench, made or brought up to date here), or to QUORVEL_BENCH_BUILD
# when it names one, as the test command's quick run does.
build=${QUORVEL_BENCH_BUILD:-build/bench}
if [ -z "${QUORVEL_BENCH_BUILD:-}" ]; then
  cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build/bench --target quorvel_bench_table -j"$(nproc)" >/dev/null
fi
