#!/usr/bin/env bash
# Builds and runs the benchmarks, then prints the summary table. Extra arguments go to Google
# Benchmark (e.g. --benchmark_filter=Text).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target kobmc_bench >/dev/null
# Three repetitions a benchmark; the summary compares medians.
LOCPATH=$PWD/build/locales exec build/bench/kobmc_bench --benchmark_min_time=0.2 \
  --benchmark_repetitions=3 --benchmark_report_aggregates_only=true "$@"
