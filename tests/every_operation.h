#pragma once
// Every exported operation in one table, and a service that answers all of them with ready, rich
// models: for sweeps that must cover every operation alike.

#include <KobMachineControlIntegration/KobMachineControlIntegration.h>

#include <atomic>
#include <functional>

#include <KobMachineControl/ServiceProvider.h>

#include "model_fixtures.h"

namespace kobmc_test {

namespace kmc = KobMachineControlIntegration;

inline constexpr std::int32_t kCallersCode = 7;
inline constexpr std::int32_t kServicesCode = 42;

// Answers every operation with ready, rich models and writes its code first. It allocates
// nothing while answering, so every allocation swept is the bridge's. A fault, when set, is
// raised before or after the code is written.
class RichService final : public ServiceProvider {
 public:
  RichService() {
    auto rules = MakeList<Ref<ExportRule>>();
    for (int i = 0; i < 3; ++i) {
      auto rule = make_export_rule(i);
      rule->id = u"export-rule-identifier-000" + *rule->id;
      rule->definition->Layers->push_back(make_layer(3, u"Frostschutzschicht, verdichtet"));
      rules->push_back(rule);
    }
    rules_ = rules;
    types_ = list_of<Ref<UnitTypes>>(
        {make_unit_type(u"EXCAVATOR", list_of<Ref<LocalizedLabel>>(
                                          {make_label(u"Hydraulikbagger mit Tieflöffel", u"de-DE"),
                                           make_label(u"Pelle", u"fr-FR"),
                                           make_label(u"油圧ショベル", u"ja-JP")})),
         make_unit_type(u"ROLLER", nullptr)});
    auto system = make_system(u"mc-1-system-identifier", u"Höhenführung 3D mit GNSS",
                              u"Nordkamm Geräte und Steuerungen", true, u"Grader");
    system_ = system;
    systems_ = std::make_shared<Systems>(
        Systems{list_of<Ref<System>>({system, make_system(u"mc-2", u"Walze", u"", false, u"")})});
    connections_ = list_of<Ref<Connection>>(
        {make_connection(u"connection-identifier-1", u"Baustelle Süd, Abschnitt 4", u"Firma",
                         u"online", u"Bagger"),
         make_connection(u"c-2", u"Halle", u"Firma", u"offline", u"Walze")});
    texts_ = list_of<Text>({u"LandXML 1.2 with surfaces", u"DXF", u"Straßenbau und Tiefbau",
                            u"測量データの書き出し形式"});
  }

  std::atomic<bool> called = false;
  std::function<void()> fault;
  bool fault_after_code = false;

  void SetTenantUniqueId(const Text&) override { Context(); }
  void SetProject(const Text&) override { Context(); }
  bool IsLoggedIn() override { return Context(), true; }
  void Logout() override { Context(); }
  Ref<Systems> GetSystemsMC(std::int32_t& c) override { return Answer(c, systems_); }
  Ref<Systems> GetSystemsVT(std::int32_t& c) override { return Answer(c, systems_); }
  Ref<System> GetSystem(const Text&, std::int32_t& c) override { return Answer(c, system_); }
  List<Ref<Connection>> GetConnectionsMC(std::int32_t& c) override {
    return Answer(c, connections_);
  }
  List<Ref<Connection>> GetConnectionsVT(std::int32_t& c) override {
    return Answer(c, connections_);
  }
  List<Ref<UnitTypes>> GetTypes(std::int32_t& c) override { return Answer(c, types_); }
  List<Ref<ExportRule>> GetExportRules(std::int32_t& c) override { return Answer(c, rules_); }
  List<Text> GetDomains(std::int32_t) override { return Context(), texts_; }
  List<Text> GetExportFormats(const List<Text>&, const Text&, std::int32_t& c) override {
    return Answer(c, texts_);
  }
  void SetExportMcFile(const Text&, const List<Text>&, const Text&, const Text&, std::int32_t,
                       std::int32_t& c) override {
    Answer(c, 0);
  }
  void SetExportVtFile(const Text&, const Text&, const Text&, std::int32_t,
                       std::int32_t& c) override {
    Answer(c, 0);
  }

 private:
  void Context() {
    called = true;
    if (fault) fault();
  }

  template <class T>
  T Answer(std::int32_t& responsecode, const T& answer) {
    called = true;
    if (fault && !fault_after_code) fault();
    responsecode = kServicesCode;
    if (fault && fault_after_code) fault();
    return answer;
  }

  Ref<Systems> systems_;
  Ref<System> system_;
  List<Ref<Connection>> connections_;
  List<Ref<UnitTypes>> types_;
  List<Ref<ExportRule>> rules_;
  List<Text> texts_;
};

// One exported operation, reduced to: call it, and say whether its result is the fallback.
struct Operation {
  const char* name;
  std::function<bool(std::int32_t&)> returns_fallback;  // for operations with a result
  bool has_result = true;
  bool writes_code = true;
};

inline bool Empty(const auto& result) {
  return result.empty();
}

// Arguments are built before any allocation is counted; longer than a string keeps inline.
inline const std::vector<std::string> kUnitTypes = {
    "EXCAVATOR-HEAVY-CLASS", "GRADER-WITH-3D-CONTROL", "Straßenhobel mit Steuerung", "ROLLER"};
inline const std::string kTenant = "Mandant-Ü-17-Nordkamm-Geräte";
inline const std::string kProject = "Ortsumgehung Nord, Bauabschnitt 2";
inline const std::string kSystemId = "mc-1-äöü-system-identifier";
inline const std::string kRuleType = "MC-Regel für Feinplanum";
inline const std::string kExportFile = "export-ä-1-0000-0000-0001";
inline const std::string kExportType = "LandXML 1.2 with surfaces";
inline const std::string kSource = "quelle-ß-0000-0000-0002";

inline const Operation kOperations[] = {
    {"SetTenantUniqueId", [](std::int32_t&) { return kmc::SetTenantUniqueId(kTenant), true; },
     false, false},
    {"SetProject", [](std::int32_t&) { return kmc::SetProject(kProject), true; }, false, false},
    {"IsLoggedIn", [](std::int32_t&) { return !kmc::IsLoggedIn(); }, true, false},
    {"Logout", [](std::int32_t&) { return kmc::Logout(), true; }, false, false},
    {"GetSystemsMC", [](std::int32_t& c) { return Empty(kmc::GetSystemsMC(c)); }},
    {"GetSystemsVT", [](std::int32_t& c) { return Empty(kmc::GetSystemsVT(c)); }},
    {"GetSystem", [](std::int32_t& c) { return kmc::GetSystem(kSystemId, c).id.empty(); }},
    {"GetConnectionsMC", [](std::int32_t& c) { return Empty(kmc::GetConnectionsMC(c)); }},
    {"GetConnectionsVT", [](std::int32_t& c) { return Empty(kmc::GetConnectionsVT(c)); }},
    {"GetTypes", [](std::int32_t& c) { return Empty(kmc::GetTypes(c)); }},
    {"GetExportRules", [](std::int32_t& c) { return Empty(kmc::GetExportRules(c)); }},
    {"GetDomains", [](std::int32_t& c) { return Empty(kmc::GetDomains(c)); }, true, false},
    {"GetExportFormats",
     [](std::int32_t& c) { return Empty(kmc::GetExportFormats(kUnitTypes, kRuleType, c)); }},
    {"SetExportMcFile",
     [](std::int32_t& c) {
       return kmc::SetExportMcFile(kExportFile, kUnitTypes, kExportType, kSource, 3, c), true;
     },
     false},
    {"SetExportVtFile",
     [](std::int32_t& c) {
       return kmc::SetExportVtFile(kExportFile, kExportType, kSource, -1, c), true;
     },
     false},
};

}  // namespace kobmc_test
