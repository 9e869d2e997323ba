// The offline service: answers every facade operation from a scenario, keeps tenant, project and
// login in memory, and journals what it was asked.

#include "OfflineService.h"

#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>

#include <KobMachineControlIntegration/marshal/narrow_encoding.h>
#include "Scenario.h"

namespace KobMachineControl::offline {
namespace {

using namespace ApiModels;

// One JSON line per call: {"operation": <name>, "arguments": [...]}, flushed before the answer.
class Journal {
 public:
  explicit Journal(const std::string& path) {
    if (path.empty()) return;
    file_.open(path, std::ios::app | std::ios::binary);
    if (!file_) throw ServiceError(path + ": cannot open the journal");
  }

  void Record(std::string_view operation, const Arguments& arguments) {
    if (!file_.is_open()) return;
    nlohmann::json line = {{"operation", operation}, {"arguments", nlohmann::json::array()}};
    for (const Argument& argument : arguments) line["arguments"].push_back(ToJson(argument));
    const std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::lock_guard lock(mutex_);
    file_ << text << '\n';
    file_.flush();
    if (!file_) throw ServiceError("cannot write the journal");
  }

 private:
  static nlohmann::json ToJson(const Text& text) {
    return text ? nlohmann::json(oxel::marshal::detail::to_utf8(*text)) : nlohmann::json(nullptr);
  }
  static nlohmann::json ToJson(const Argument& argument) {
    if (const auto* text = std::get_if<Text>(&argument)) return ToJson(*text);
    if (const auto* number = std::get_if<std::int32_t>(&argument)) return *number;
    const auto& list = std::get<List<Text>>(argument);
    if (!list) return nullptr;
    auto array = nlohmann::json::array();
    for (const Text& text : *list) array.push_back(ToJson(text));
    return array;
  }

  std::mutex mutex_;
  std::ofstream file_;
};

class OfflineService final : public ServiceProvider {
 public:
  OfflineService(Scenario scenario, const std::string& journal_path)
      : scenario_(std::move(scenario)), journal_(journal_path) {}

  void SetTenantUniqueId(const Text& tenantUniqueId) override {
    Consult(scenario_.SetTenantUniqueId, "SetTenantUniqueId", {tenantUniqueId}, nullptr);
    std::lock_guard lock(state_mutex_);
    scenario_.tenant = tenantUniqueId;
  }
  void SetProject(const Text& project) override {
    Consult(scenario_.SetProject, "SetProject", {project}, nullptr);
    std::lock_guard lock(state_mutex_);
    scenario_.project = project;
  }
  bool IsLoggedIn() override {
    if (const auto* answer = Consult(scenario_.IsLoggedIn, "IsLoggedIn", {}, nullptr)) {
      return answer->result;
    }
    std::lock_guard lock(state_mutex_);
    return scenario_.loggedIn;
  }
  void Logout() override {
    Consult(scenario_.Logout, "Logout", {}, nullptr);
    std::lock_guard lock(state_mutex_);
    scenario_.loggedIn = false;
  }

  Ref<Systems> GetSystemsMC(std::int32_t& responsecode) override {
    return Query(scenario_.GetSystemsMC, "GetSystemsMC", {}, &responsecode);
  }
  Ref<Systems> GetSystemsVT(std::int32_t& responsecode) override {
    return Query(scenario_.GetSystemsVT, "GetSystemsVT", {}, &responsecode);
  }
  Ref<System> GetSystem(const Text& systemId, std::int32_t& responsecode) override {
    return Query(scenario_.GetSystem, "GetSystem", {systemId}, &responsecode);
  }
  List<Ref<Connection>> GetConnectionsMC(std::int32_t& responsecode) override {
    return Query(scenario_.GetConnectionsMC, "GetConnectionsMC", {}, &responsecode);
  }
  List<Ref<Connection>> GetConnectionsVT(std::int32_t& responsecode) override {
    return Query(scenario_.GetConnectionsVT, "GetConnectionsVT", {}, &responsecode);
  }
  List<Ref<UnitTypes>> GetTypes(std::int32_t& responsecode) override {
    return Query(scenario_.GetTypes, "GetTypes", {}, &responsecode);
  }
  List<Ref<ExportRule>> GetExportRules(std::int32_t& responsecode) override {
    return Query(scenario_.GetExportRules, "GetExportRules", {}, &responsecode);
  }
  List<Text> GetDomains(std::int32_t responsecode) override {
    return Query(scenario_.GetDomains, "GetDomains", {responsecode}, nullptr);
  }
  List<Text> GetExportFormats(const List<Text>& unittypes, const Text& ruletype,
                              std::int32_t& responsecode) override {
    return Query(scenario_.GetExportFormats, "GetExportFormats", {unittypes, ruletype},
                 &responsecode);
  }

  void SetExportMcFile(const Text& exportfileid, const List<Text>& unittypes,
                       const Text& exporttype, const Text& sourcefileid, std::int32_t sourcefilerev,
                       std::int32_t& responsecode) override {
    Query(scenario_.SetExportMcFile, "SetExportMcFile",
          {exportfileid, unittypes, exporttype, sourcefileid, sourcefilerev}, &responsecode);
  }
  void SetExportVtFile(const Text& fileid, const Text& exporttype, const Text& sourcefileid,
                       std::int32_t sourcefilerev, std::int32_t& responsecode) override {
    Query(scenario_.SetExportVtFile, "SetExportVtFile",
          {fileid, exporttype, sourcefileid, sourcefilerev}, &responsecode);
  }

 private:
  // Journals the call, then finds the first answer that applies to it: its response code is
  // written first, then its error raised. Null when no answer applies.
  template <class Result>
  const Answer<Result>* Consult(const Answers<Result>& answers, std::string_view operation,
                                const Arguments& arguments, std::int32_t* responsecode) {
    journal_.Record(operation, arguments);
    for (const Answer<Result>& answer : answers) {
      if (!answer.AppliesTo(arguments)) continue;
      if (answer.responsecode && responsecode) *responsecode = *answer.responsecode;
      if (answer.throws) throw ServiceError(*answer.throws);
      return &answer;
    }
    return nullptr;
  }

  // Operations that only a script can answer.
  template <class Result>
  Result Query(const Answers<Result>& answers, std::string_view operation,
               const Arguments& arguments, std::int32_t* responsecode) {
    const Answer<Result>* answer = Consult(answers, operation, arguments, responsecode);
    if (!answer) throw ServiceError("no answer scripted for " + std::string(operation));
    return answer->result;
  }

  Scenario scenario_;  // answers are read-only after loading; the state is under state_mutex_
  std::mutex state_mutex_;
  Journal journal_;
};

}  // namespace

std::shared_ptr<ServiceProvider> MakeOfflineService(const std::string& scenario_path,
                                                    const std::string& journal_path) {
  return std::make_shared<OfflineService>(ReadScenarioFile(scenario_path), journal_path);
}

}  // namespace KobMachineControl::offline
