#!/usr/bin/env bash
# Section "micro" of scripts/bench: the Google Benchmark programs of tests/bench
# (one process, scripted devices, recorded key output), medians of 5 runs.
# Programs that a section of their own runs are left to it.
set -euo pipefail

own_section=()
benchmarks=()
for source in $(grep -l 'BENCHMARK_MAIN' tests/bench/*.cpp); do
  name=$(basename "$source" .cpp)
  [[ " ${own_section[*]} " == *" $name "* ]] || benchmarks+=("$name")
done
cmake --build "$BENCH_BUILD" --parallel "$(nproc)" --target "${benchmarks[@]/#/velmor_bench_}" >/dev/null

options=(--benchmark_repetitions=5 --benchmark_report_aggregates_only=true)
((BENCH_QUICK)) && options=(--benchmark_min_time=0.01)
for name in "${benchmarks[@]}"; do
  "$BENCH_BUILD/tests/bench/velmor_bench_$name" "${options[@]}" \
    --benchmark_out="$BENCH_RESULTS/30-micro-$name.json" --benchmark_out_format=json >/dev/null 2>&1
done
