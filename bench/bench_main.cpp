// Runs the benchmarks, then prints the summary: each comparison ran in this same process and run,
// so its ratio holds on a noisy machine.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <new>
#include <optional>
#include <string>

#include "bench_support.h"

// ---- Heap accounting: live bytes and their peak, for the memory figures -------------------------

namespace kobmc_bench {
HeapCounters& Heap() {
  static HeapCounters counters;
  return counters;
}
}  // namespace kobmc_bench

namespace {
void* Allocate(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (!block) throw std::bad_alloc();
  auto& heap = kobmc_bench::Heap();
  const long long live = heap.live += static_cast<long long>(malloc_usable_size(block));
  long long peak = heap.peak.load(std::memory_order_relaxed);
  while (live > peak && !heap.peak.compare_exchange_weak(peak, live)) {
  }
  return block;
}
void Free(void* block) noexcept {
  if (!block) return;
  kobmc_bench::Heap().live -= static_cast<long long>(malloc_usable_size(block));
  std::free(block);
}
}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
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

// ---- Summary
// --------------------------------------------------------------------------------------

namespace {

class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    // With repetitions, the median stands for the benchmark.
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
        runs_[run.run_name.str()] = run;
      }
    }
  }

  // Nanoseconds per iteration.
  std::optional<double> Time(const std::string& name) const {
    const auto it = runs_.find(name);
    if (it == runs_.end()) return std::nullopt;
    return it->second.GetAdjustedRealTime() /
           benchmark::GetTimeUnitMultiplier(it->second.time_unit) * 1e9;
  }
  std::optional<double> Counter(const std::string& name, const std::string& counter) const {
    const auto it = runs_.find(name);
    if (it == runs_.end()) return std::nullopt;
    const auto c = it->second.counters.find(counter);
    if (c == it->second.counters.end()) return std::nullopt;
    return c->second.value;
  }

 private:
  std::map<std::string, Run> runs_;
};

struct Row {
  std::string what;
  std::optional<double> value;
  std::string unit;
  std::string target;
  std::function<bool(double)> met;
};

void PrintSummary(const SummaryReporter& r) {
  auto ratio = [](std::optional<double> a, std::optional<double> b) -> std::optional<double> {
    if (!a || !b || *b == 0) return std::nullopt;
    return *a / *b;
  };
  auto time = [&](const std::string& name) { return r.Time(name); };
  using Check = std::function<bool(double)>;
  auto at_least = [](double limit) -> Check { return [limit](double v) { return v >= limit; }; };
  auto at_most = [](double limit) -> Check { return [limit](double v) { return v <= limit; }; };
  std::vector<Row> rows;

  for (const std::string locale : {"utf8", "cp1252"}) {
    for (const auto& [direction, memcpy_of] :
         {std::pair{"ToNarrow", "utf16"}, std::pair{"ToWide", "utf8"}}) {
      const std::string ours = "Text/" + std::string(direction) + "/" + locale + "/long";
      const bool targeted = locale == "utf8";
      // Throughput over the same input bytes: memcpy time / our time.
      rows.push_back({locale + " 1 MiB " + direction + ": throughput vs memcpy",
                      ratio(time("Text/Memcpy/" + std::string(memcpy_of) + "/long"), time(ours)),
                      "x", targeted ? ">= 0.25" : "", targeted ? at_least(0.25) : Check()});
      rows.push_back(
          {locale + " 1 MiB " + direction + ": speed vs iconv",
           ratio(time("Text/Iconv" + std::string(direction) + "/" + locale + "/long"), time(ours)),
           "x", targeted ? ">= 8" : "", targeted ? at_least(8) : Check()});
    }
  }
  for (const std::string id : {"id8", "id24", "id40"}) {
    for (const std::string direction : {"ToNarrow", "ToWide"}) {
      const bool targeted = id != "id8";
      rows.push_back(
          {"utf8 " + id + " " + direction + ": cost vs std::string from bytes",
           ratio(time("Text/" + direction + "/utf8/" + id), time("Text/StringFromBytes/" + id)),
           "x", targeted ? "<= 2" : "", targeted ? at_most(2) : Check()});
    }
  }
  for (const std::string operation : {"GetExportRules", "GetSystemsMC"}) {
    const std::string copy = operation == "GetExportRules" ? "CopyExportRules" : "CopySystems";
    for (const std::string n : {"100", "10000", "1000000"}) {
      const std::string name = operation + "/" + n;
      rows.push_back(
          {name + ": time per element", r.Counter(name, "per_element"), "s", "", nullptr});
      rows.push_back(
          {name + ": vs copy-only baseline",
           ratio(r.Counter(name, "per_element"), r.Counter(copy + "/" + n, "per_element")), "x",
           "<= 1.5", at_most(1.5)});
      rows.push_back({name + ": peak heap / result size",
                      ratio(r.Counter(name, "peak_bytes"), r.Counter(name, "result_bytes")), "x",
                      "<= 1.2", at_most(1.2)});
    }
    rows.push_back({operation + ": per element, 1,000,000 vs 10,000",
                    ratio(r.Counter(operation + "/1000000", "per_element"),
                          r.Counter(operation + "/10000", "per_element")),
                    "x", "<= 1.25", at_most(1.25)});
  }
  rows.push_back({"IsLoggedIn: export vs provider called directly",
                  ratio(time("IsLoggedInThroughTheExport"), time("IsLoggedInOnTheProvider")), "x",
                  "<= 1.2", at_most(1.2)});
  rows.push_back({"IsLoggedIn: export vs facade called directly",
                  ratio(time("IsLoggedInThroughTheExport"), time("IsLoggedInThroughTheFacade")),
                  "x", "", nullptr});
  rows.push_back({".NET steady-state call (IsLoggedIn)", ratio(time("DotnetRoundTrip"), 1000.0),
                  "us", "<= 2", at_most(2)});
  rows.push_back({".NET vs offline, 100,000 export rules",
                  ratio(time("DotnetExportRules"), time("OfflineExportRules")), "x", "<= 3",
                  at_most(3)});

  std::printf("\n%-62s %12s  %-8s %s\n", "comparison", "value", "target", "");
  for (const Row& row : rows) {
    if (!row.value) continue;  // not run (filtered out, or skipped)
    const char* verdict = !row.met ? "" : row.met(*row.value) ? "met" : "MISSED";
    std::printf("%-62s %10.3g %-2s %-8s %s\n", row.what.c_str(), *row.value, row.unit.c_str(),
                row.target.c_str(), verdict);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintSummary(reporter);
  benchmark::Shutdown();
  return 0;
}
