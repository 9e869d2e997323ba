#!/usr/bin/env bash
# From a fresh machine: installs what is missing, builds everything and runs every test:
#   1. the full suite (both providers, packaging, binary interface, corpus replays, sweeps);
#   2. the suite again under AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. host threads in different locales under ThreadSanitizer;
#   4. bounded libFuzzer runs of every fuzz target.
# `--quick` runs step 1 only.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
quick=false
[ "${1:-}" = "--quick" ] && quick=true
fuzz_seconds=${KOBMC_FUZZ_SECONDS:-60}

bash scripts/install-deps.sh
step() { printf '\n==== %s\n' "$*"; }

step "build and test"
cmake -S . -B build -G Ninja
cmake --build build
ctest --test-dir build --output-on-failure -j2
$quick && exit 0

# Sanitizer builds leave out the .NET provider (the managed runtime is not built for them) and
# the allocation sweep (the sanitizers replace the allocation functions themselves).
# They build without optimisation beyond -O1, and without the benchmarks, to keep CI short.
sanitized=(-G Ninja -DCMAKE_BUILD_TYPE=Debug -DKOBMC_WITH_DOTNET=OFF -DKOBMC_ALLOCATION_SWEEP=OFF
           -DKOBMC_BUILD_BENCHMARKS=OFF)
export LSAN_OPTIONS=suppressions=$root/tests/fuzz/lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1

step "AddressSanitizer and UndefinedBehaviorSanitizer"
flags="-O1 -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B build-asan "${sanitized[@]}" "-DCMAKE_CXX_FLAGS=$flags" \
      "-DCMAKE_EXE_LINKER_FLAGS=$flags" "-DCMAKE_SHARED_LINKER_FLAGS=$flags"
cmake --build build-asan
# Installing and linking outside hosts against a sanitized build is not meaningful.
ctest --test-dir build-asan --output-on-failure -j2 -E '^(package|bridge_abi)$'

step "ThreadSanitizer"
flags="-O1 -fsanitize=thread"
cmake -S . -B build-tsan "${sanitized[@]}" "-DCMAKE_CXX_FLAGS=$flags" \
      "-DCMAKE_EXE_LINKER_FLAGS=$flags" "-DCMAKE_SHARED_LINKER_FLAGS=$flags"
cmake --build build-tsan --target concurrency_tests kobmc_test_locales
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -R '^concurrency_tests$'

step "fuzzing, ${fuzz_seconds}s a target"
flags="-O1 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
cmake -S . -B build-fuzz "${sanitized[@]}" -DCMAKE_CXX_COMPILER=clang++-14 -DKOBMC_FUZZ=ON \
      "-DCMAKE_CXX_FLAGS=$flags" "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" \
      "-DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=address,undefined"
cmake --build build-fuzz --target text_fuzzer scenario_fuzzer kobmc_test_locales
for target in text scenario; do
  corpus=$(mktemp -d)
  cp tests/fuzz/corpus/$target/* "$corpus"
  LOCPATH=$root/build-fuzz/locales build-fuzz/tests/fuzz/${target}_fuzzer \
    -max_total_time="$fuzz_seconds" -max_len=65536 -rss_limit_mb=4096 -timeout=10 \
    -artifact_prefix="$root/build-fuzz/${target}-" "$corpus" 2>&1 | grep -E '^Done|ERROR|SUMMARY' || true
  status=${PIPESTATUS[0]}
  rm -rf "$corpus"
  [ "$status" -eq 0 ] || { echo "${target}_fuzzer found a fault (status $status)"; exit 1; }
done
step "all passed"
