#pragma once
// A scenario: the offline service's state and scripted answers, read once from a JSON file and
// held as ready models, so that answering a call does no JSON work.

#include <KobMachineControl/ApiModels.h>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace KobMachineControl::offline {

// One argument of a facade call, the response code left out.
using Argument = std::variant<Text, List<Text>, std::int32_t>;
using Arguments = std::vector<Argument>;

// Equal in value: null only equals null; lists compare element by element.
bool SameArguments(const Arguments& a, const Arguments& b);

// No result, for the operations that return nothing.
using NoResult = std::monostate;

template <class Result>
struct Answer {
  std::optional<Arguments> match;  // applies only to calls with exactly these arguments
  std::optional<std::int32_t> responsecode;
  Result result{};
  std::optional<std::string> throws;

  bool AppliesTo(const Arguments& arguments) const {
    return !match || SameArguments(*match, arguments);
  }
};

template <class Result>
using Answers = std::vector<Answer<Result>>;

struct Scenario {
  Text tenant;
  Text project;
  bool loggedIn = false;

  Answers<NoResult> SetTenantUniqueId, SetProject, Logout;
  Answers<bool> IsLoggedIn;
  Answers<Ref<ApiModels::Systems>> GetSystemsMC, GetSystemsVT;
  Answers<Ref<ApiModels::System>> GetSystem;
  Answers<List<Ref<ApiModels::Connection>>> GetConnectionsMC, GetConnectionsVT;
  Answers<List<Ref<ApiModels::UnitTypes>>> GetTypes;
  Answers<List<Ref<ApiModels::ExportRule>>> GetExportRules;
  Answers<List<Text>> GetDomains, GetExportFormats;
  Answers<NoResult> SetExportMcFile, SetExportVtFile;
};

// Reads a scenario file. Raises ServiceError naming the file and the line and column, or the
// JSON path, of the first fault; nothing is half read.
Scenario ReadScenarioFile(const std::string& path);
Scenario ReadScenario(std::string_view json, const std::string& source_name);

}  // namespace KobMachineControl::offline
