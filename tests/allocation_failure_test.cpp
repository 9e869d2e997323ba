// Allocation-failure sweep: for every exported operation, fail its 1st, 2nd, 3rd... allocation
// until a call completes with nothing injected. Every injected failure must give the fallback,
// leave the response code as the service left it and leak nothing; the next call must work.
//
// This binary replaces the global allocation functions, which the bridge and the service use
// too, since a program's definitions take the place of the standard library's.

#include <KobMachineControlIntegration/KobMachineControlIntegration.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "every_operation.h"
#include "test_support.h"

namespace {

std::atomic<long> g_allocations{0};  // counted while armed
std::atomic<long> g_fail_at{0};      // 0: inject nothing
std::atomic<bool> g_armed{false};
std::atomic<long> g_injected{0};
std::atomic<long> g_live{0};  // blocks allocated and not yet freed

void* Allocate(std::size_t size, std::align_val_t alignment = std::align_val_t{0}) {
  if (g_armed.load(std::memory_order_relaxed)) {
    const long n = ++g_allocations;
    if (n == g_fail_at.load(std::memory_order_relaxed)) {
      ++g_injected;
      throw std::bad_alloc();
    }
  }
  const auto align = static_cast<std::size_t>(alignment);
  void* block = align > alignof(std::max_align_t)
                    ? std::aligned_alloc(align, (size + align - 1) / align * align)
                    : std::malloc(size == 0 ? 1 : size);
  if (!block) throw std::bad_alloc();
  ++g_live;
  return block;
}

void Free(void* block) noexcept {
  if (!block) return;
  --g_live;
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return Allocate(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return Allocate(size, alignment);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* block) noexcept {
  Free(block);
}
void operator delete[](void* block) noexcept {
  Free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  Free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  Free(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
  Free(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
  Free(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
  Free(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
  Free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
  Free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  Free(block);
}

namespace {

using namespace kobmc_test;

class AllocationFailure : public ::testing::TestWithParam<Operation> {
 protected:
  void SetUp() override { InstallServiceProvider(service_); }
  void TearDown() override { InstallServiceProvider(nullptr); }

  // Runs the operation with the `fail_at`-th allocation failing (0: none). Returns whether the
  // result was the fallback; checks the code and the balance of allocations.
  bool RunFailing(long fail_at, bool& injected) {
    service_->called = false;
    std::int32_t code = kCallersCode;
    const long live_before = g_live;
    const long injected_before = g_injected;
    g_allocations = 0;
    g_fail_at = fail_at;
    g_armed = true;
    const bool fallback = GetParam().returns_fallback(code);
    g_armed = false;
    g_fail_at = 0;
    injected = g_injected != injected_before;
    EXPECT_EQ(g_live, live_before) << "allocation " << fail_at << " leaked";
    const bool wrote = GetParam().writes_code && service_->called;
    EXPECT_EQ(code, wrote ? kServicesCode : kCallersCode) << "allocation " << fail_at;
    return fallback;
  }

 private:
  kobmc_test::ThreadLocale locale_{kUtf8Locale};
  std::shared_ptr<RichService> service_ = std::make_shared<RichService>();
};

TEST_P(AllocationFailure, EveryPointGivesTheFallbackLeaksNothingAndTheNextCallWorks) {
  long points = 0;
  for (long k = 1;; ++k) {
    bool injected = false;
    const bool fallback = RunFailing(k, injected);
    if (!injected) break;  // the call needed fewer than k allocations
    ++points;
    if (GetParam().has_result) {
      EXPECT_TRUE(fallback) << "allocation " << k;
    }
    bool none = false;
    EXPECT_FALSE(RunFailing(0, none) && GetParam().has_result)
        << "the call after a failure at allocation " << k << " must give the full result";
  }
  RecordProperty("allocation_points", static_cast<int>(points));
  std::printf("%s: %ld allocation points swept\n", GetParam().name, points);
}

INSTANTIATE_TEST_SUITE_P(Operations, AllocationFailure, ::testing::ValuesIn(kOperations),
                         [](const auto& operation) { return std::string(operation.param.name); });

}  // namespace
