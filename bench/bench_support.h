#pragma once
// Shared by the benchmarks: the per-thread locale switch of the tests and a count of live heap
// bytes.

#include <atomic>
#include <cstddef>
#include <stdexcept>
#include <string>

#include "thread_locale.h"

namespace kobmc_bench {

using kobmc_test::ThreadLocale;

// Heap bytes allocated through operator new and not yet freed, and the highest value since the
// last reset. Kept by the benchmark binary's own allocation functions.
struct HeapCounters {
  std::atomic<long long> live{0};
  std::atomic<long long> peak{0};
  void ResetPeak() { peak = live.load(); }
};
HeapCounters& Heap();

}  // namespace kobmc_bench
