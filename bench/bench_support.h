#pragma once
// Shared by the benchmarks: a per-thread locale switch and a count of live heap bytes.

#include <locale.h>

#include <atomic>
#include <cstddef>
#include <stdexcept>
#include <string>

namespace kobmc_bench {

// Switches the calling thread to a locale for the life of the object.
class ThreadLocale {
 public:
  explicit ThreadLocale(const char* name) : locale_(newlocale(LC_ALL_MASK, name, nullptr)) {
    if (!locale_) throw std::runtime_error(std::string("locale not available: ") + name);
    previous_ = uselocale(locale_);
  }
  ThreadLocale(const ThreadLocale&) = delete;
  ThreadLocale& operator=(const ThreadLocale&) = delete;
  ~ThreadLocale() {
    uselocale(previous_);
    freelocale(locale_);
  }

 private:
  locale_t locale_;
  locale_t previous_;
};

// Heap bytes allocated through operator new and not yet freed, and the highest value since the
// last reset. Kept by the benchmark binary's own allocation functions.
struct HeapCounters {
  std::atomic<long long> live{0};
  std::atomic<long long> peak{0};
  void ResetPeak() { peak = live.load(); }
};
HeapCounters& Heap();

}  // namespace kobmc_bench
