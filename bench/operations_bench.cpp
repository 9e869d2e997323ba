// Whole operations through the exported functions with an in-memory service, beside a baseline
// that builds the same records from ready narrow strings; the barrier against the service called
// directly; and the .NET provider against the offline one.

#include <KobMachineControl/MachineControlIntegration.h>
#include <KobMachineControl/ServiceProvider.h>
#include <KobMachineControlIntegration/KobMachineControlIntegration.h>
#include <benchmark/benchmark.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <map>

#include "bench_support.h"

namespace {

namespace kmc = KobMachineControlIntegration;
using namespace KobMachineControl;
using namespace KobMachineControl::ApiModels;

std::u16string Numbered(const char16_t* prefix, std::size_t n) {
  std::u16string text(prefix);
  for (char c : std::to_string(n)) text.push_back(static_cast<char16_t>(c));
  return text;
}

template <class T>
List<T> ListOf(std::size_t count, auto make) {
  auto list = MakeList<T>(count);
  for (std::size_t i = 0; i < count; ++i) list->push_back(make(i));
  return list;
}

Ref<ExportRule> MakeRule(std::size_t i) {
  return std::make_shared<ExportRule>(ExportRule{
      Numbered(u"export-rule-", i), u"Feinplanum Straße", u"Oberfläche des Feinplanums als TIN",
      u"MC", std::make_shared<Domain>(Domain{u"dom-road", u"Straßenbau"}),
      std::make_shared<Definition>(Definition{
          u"TIN", u"Surface", u"Top",
          ListOf<Text>(2, [](std::size_t e) -> Text { return e ? u"DOZER" : u"GRADER"; }),
          ListOf<Ref<Layer>>(2, [](std::size_t l) {
            return std::make_shared<Layer>(
                Layer{static_cast<std::int32_t>(l), l ? u"Frostschutzschicht" : u"Planum"});
          })})});
}

Ref<System> MakeSystem(std::size_t i) {
  return std::make_shared<System>(System{
      std::make_shared<VendorInfo>(VendorInfo{Numbered(u"mc-system-", i), u"Orvandel GradeLine 3D",
                                              u"Orvandel Maschinenbau GmbH", true}),
      u"Grader"});
}

// Answers from ready models; builds nothing while answering.
class InMemoryService final : public ServiceProvider {
 public:
  explicit InMemoryService(std::size_t count)
      : rules_(ListOf<Ref<ExportRule>>(count, MakeRule)),
        systems_(std::make_shared<Systems>(Systems{ListOf<Ref<System>>(count, MakeSystem)})) {}

  void SetTenantUniqueId(const Text&) override {}
  void SetProject(const Text&) override {}
  bool IsLoggedIn() override { return true; }
  void Logout() override {}
  Ref<Systems> GetSystemsMC(std::int32_t& code) override { return code = 0, systems_; }
  Ref<Systems> GetSystemsVT(std::int32_t& code) override { return code = 0, systems_; }
  Ref<System> GetSystem(const Text&, std::int32_t&) override { return nullptr; }
  List<Ref<Connection>> GetConnectionsMC(std::int32_t&) override { return nullptr; }
  List<Ref<Connection>> GetConnectionsVT(std::int32_t&) override { return nullptr; }
  List<Ref<UnitTypes>> GetTypes(std::int32_t&) override { return nullptr; }
  List<Ref<ExportRule>> GetExportRules(std::int32_t& code) override { return code = 0, rules_; }
  List<Text> GetDomains(std::int32_t) override { return nullptr; }
  List<Text> GetExportFormats(const List<Text>&, const Text&, std::int32_t&) override {
    return nullptr;
  }
  void SetExportMcFile(const Text&, const List<Text>&, const Text&, const Text&, std::int32_t,
                       std::int32_t&) override {}
  void SetExportVtFile(const Text&, const Text&, const Text&, std::int32_t,
                       std::int32_t&) override {}

 private:
  List<Ref<ExportRule>> rules_;
  Ref<Systems> systems_;
};

// One service per size, built once and kept for the run.
std::shared_ptr<InMemoryService> ServiceOf(std::size_t count) {
  static std::map<std::size_t, std::shared_ptr<InMemoryService>> services;
  auto& service = services[count];
  if (!service) service = std::make_shared<InMemoryService>(count);
  return service;
}

// Runs `call` with the service installed; reports time per element, the peak heap growth during
// a call and the bytes the result itself holds.
template <class Call>
void Operation(benchmark::State& state, Call call) {
  const auto count = static_cast<std::size_t>(state.range(0));
  kobmc_bench::ThreadLocale locale("en_US.UTF-8");
  InstallServiceProvider(ServiceOf(count));
  auto& heap = kobmc_bench::Heap();
  long long peak_growth = 0;
  long long result_bytes = 0;
  for (auto _ : state) {
    const long long before = heap.live;
    heap.ResetPeak();
    auto result = call();
    state.PauseTiming();
    peak_growth = std::max(peak_growth, heap.peak.load() - before);
    result_bytes = heap.live - before;
    if (result.size() != count) state.SkipWithError("incomplete result");
    { auto discard = std::move(result); }
    state.ResumeTiming();
  }
  InstallServiceProvider(nullptr);
  state.counters["per_element"] =
      benchmark::Counter(static_cast<double>(state.iterations() * count),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["peak_bytes"] = static_cast<double>(peak_growth);
  state.counters["result_bytes"] = static_cast<double>(result_bytes);
}

void GetExportRules(benchmark::State& state) {
  Operation(state, [] {
    std::int32_t code = 0;
    return kmc::GetExportRules(code);
  });
}

void GetSystemsMC(benchmark::State& state) {
  Operation(state, [] {
    std::int32_t code = 0;
    return kmc::GetSystemsMC(code);
  });
}

// The copy-only baseline: the same records built from ready narrow strings.
struct ReadyRule {
  std::string id, name, description, type, domain_id, domain_name, model_type, layers_type,
      surfaces;
  std::vector<std::string> equipments;
  std::vector<std::pair<std::int32_t, std::string>> layers;
};

void CopyExportRules(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  std::vector<ReadyRule> ready(count);
  for (std::size_t i = 0; i < count; ++i) {
    ready[i] = {"export-rule-" + std::to_string(i),
                "Feinplanum Stra\xC3\x9F"
                "e",
                "Oberfl\xC3\xA4"
                "che des Feinplanums als TIN",
                "MC",
                "dom-road",
                "Stra\xC3\x9F"
                "enbau",
                "TIN",
                "Surface",
                "Top",
                {"GRADER", "DOZER"},
                {{0, "Planum"}, {1, "Frostschutzschicht"}}};
  }
  Operation(state, [&] {
    std::vector<MachineControlExportRule> rules;
    rules.reserve(ready.size());
    for (const ReadyRule& r : ready) {
      MachineControlExportRule rule{r.id,
                                    r.name,
                                    r.description,
                                    r.type,
                                    r.domain_id,
                                    r.domain_name,
                                    {r.model_type, r.layers_type, r.surfaces, {}, {}}};
      rule.definition.equipments.reserve(r.equipments.size());
      for (const auto& e : r.equipments) rule.definition.equipments.push_back(e);
      rule.definition.layers.reserve(r.layers.size());
      for (const auto& [id, name] : r.layers) rule.definition.layers.push_back({id, name});
      rules.push_back(std::move(rule));
    }
    return rules;
  });
}

void CopySystems(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  std::vector<std::array<std::string, 4>> ready(count);
  for (std::size_t i = 0; i < count; ++i) {
    ready[i] = {"mc-system-" + std::to_string(i), "Orvandel GradeLine 3D",
                "Orvandel Maschinenbau GmbH", "Grader"};
  }
  Operation(state, [&] {
    std::vector<MachineControlSystem> systems;
    systems.reserve(ready.size());
    for (const auto& r : ready) systems.push_back({r[0], r[1], r[2], true, r[3]});
    return systems;
  });
}

// ---- The barrier ------------------------------------------------------------------------------

void IsLoggedInThroughTheExport(benchmark::State& state) {
  InstallServiceProvider(ServiceOf(1));
  for (auto _ : state) benchmark::DoNotOptimize(kmc::IsLoggedIn());
  InstallServiceProvider(nullptr);
}

void IsLoggedInThroughTheFacade(benchmark::State& state) {
  InstallServiceProvider(ServiceOf(1));
  for (auto _ : state) benchmark::DoNotOptimize(MachineControlIntegration::IsLoggedIn());
  InstallServiceProvider(nullptr);
}

void IsLoggedInOnTheProvider(benchmark::State& state) {
  const std::shared_ptr<ServiceProvider> service = ServiceOf(1);
  ServiceProvider* volatile provider = service.get();  // a real virtual call, not inlined
  for (auto _ : state) benchmark::DoNotOptimize(provider->IsLoggedIn());
}

// ---- The .NET provider against the offline one -------------------------------------------------

// A scenario file with `count` export rules, written once per run.
std::string ScenarioWithRules(std::size_t count) {
  const auto path =
      std::filesystem::temp_directory_path() / ("kobmc-bench-" + std::to_string(count) + ".json");
  if (!std::filesystem::exists(path)) {
    std::ofstream file(path);
    file
        << R"({"state": {"loggedIn": true}, "answers": {"GetExportRules": {"responsecode": 0, "result": [)";
    for (std::size_t i = 0; i < count; ++i) {
      file
          << (i ? "," : "") << R"({"id": "export-rule-)" << i
          << R"(", "Name": "Feinplanum Straße", "Description": "Oberfläche des Feinplanums als TIN", "Type": "MC", "domain": {"Id": "dom-road", "Name": "Straßenbau"}, "definition": {"ModelType": "TIN", "LayersType": "Surface", "SurfacesOfLayers": "Top", "Equipments": ["GRADER", "DOZER"], "Layers": [{"Id": 0, "Name": "Planum"}, {"Id": 1, "Name": "Frostschutzschicht"}]}})";
    }
    file << "]}}}";
  }
  return path.string();
}

constexpr std::size_t kDotnetRules = 100000;

#ifdef KOBMC_MANAGED_SERVICE
// The managed service reads its scenario once per process, so every .NET benchmark shares one.
std::shared_ptr<ServiceProvider> ManagedService() {
  static const std::shared_ptr<ServiceProvider> service = [] {
    setenv("KOBMC_SCENARIO", ScenarioWithRules(kDotnetRules).c_str(), 1);
    return ConnectService("dotnet:" KOBMC_MANAGED_SERVICE).provider;
  }();
  return service;
}
#endif

void RunWith(benchmark::State& state, const std::shared_ptr<ServiceProvider>& service, auto call) {
  if (!service) return state.SkipWithError("service not reachable");
  kobmc_bench::ThreadLocale locale("en_US.UTF-8");
  InstallServiceProvider(service);
  benchmark::DoNotOptimize(call());  // steady state: the service has loaded and compiled
  for (auto _ : state) benchmark::DoNotOptimize(call());
  InstallServiceProvider(nullptr);
}

void OfflineExportRules(benchmark::State& state) {
  RunWith(state, ConnectService("offline:" + ScenarioWithRules(kDotnetRules)).provider, [] {
    std::int32_t code = 0;
    return kmc::GetExportRules(code);
  });
}

#ifdef KOBMC_MANAGED_SERVICE
void DotnetExportRules(benchmark::State& state) {
  RunWith(state, ManagedService(), [] {
    std::int32_t code = 0;
    return kmc::GetExportRules(code);
  });
}

void DotnetRoundTrip(benchmark::State& state) {
  RunWith(state, ManagedService(), [] { return kmc::IsLoggedIn(); });
}
#endif

}  // namespace

BENCHMARK(GetExportRules)->Arg(100)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(CopyExportRules)->Arg(100)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(GetSystemsMC)->Arg(100)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(CopySystems)->Arg(100)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(IsLoggedInThroughTheExport);
BENCHMARK(IsLoggedInThroughTheFacade);
BENCHMARK(IsLoggedInOnTheProvider);
BENCHMARK(OfflineExportRules)->Unit(benchmark::kMillisecond);
#ifdef KOBMC_MANAGED_SERVICE
BENCHMARK(DotnetExportRules)->Unit(benchmark::kMillisecond);
BENCHMARK(DotnetRoundTrip);
#endif
