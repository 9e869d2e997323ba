// End to end: scenario files in, the exported operations through the real shared libraries, and
// the journal of what the bridge handed the service. The shared cases run against both ways of
// reaching a service: the native offline service and a managed KobMachineControl hosted through
// .NET, which must give identical results and identical journals.

#include <KobMachineControlIntegration/KobMachineControlIntegration.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

#include <KobMachineControlIntegration/marshal/narrow_encoding.h>
#include "ModelProperties.h"
#include "model_fixtures.h"
#include "test_support.h"

#ifndef KOBMC_MANAGED_SERVICE
#define KOBMC_MANAGED_SERVICE ""
#endif

namespace {

namespace kmc = KobMachineControlIntegration;
namespace fs = std::filesystem;
using namespace kobmc_test;
using nlohmann::json;
using ::testing::HasSubstr;

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

// Writes a scenario, connects a service to it with a fresh journal and installs it.
class ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = fs::temp_directory_path() /
                 ("kobmc-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(directory_);
  }
  void TearDown() override {
    InstallServiceProvider(nullptr);
    fs::remove_all(directory_);
  }

  // `kind` is "offline" or "dotnet". The managed service reads its scenario and journal from the
  // environment once per process, so a test connects to it once.
  ServiceConnection Connect(const std::string& scenario, const std::string& kind = "offline") {
    const fs::path file = directory_ / (kind + "-scenario.json");
    std::ofstream(file, std::ios::binary) << scenario;
    setenv("KOBMC_JOURNAL", journal_path().c_str(), 1);
    setenv("KOBMC_SCENARIO", file.c_str(), 1);
    ServiceConnection connection =
        ConnectService(kind == "dotnet" ? std::string("dotnet:") + KOBMC_MANAGED_SERVICE
                                        : "offline:" + file.string());
    InstallServiceProvider(connection.provider);
    return connection;
  }

  // The journal's lines, parsed.
  std::vector<json> Journal() const {
    std::vector<json> lines;
    std::istringstream content(ReadFile(journal_path()));
    for (std::string line; std::getline(content, line);) lines.push_back(json::parse(line));
    return lines;
  }

  fs::path journal_path() const { return directory_ / "journal.jsonl"; }
  const fs::path& directory() const { return directory_; }

  std::int32_t code = 0;

 private:
  fs::path directory_;
  ThreadLocale locale_{kUtf8Locale};
};

// The cases every provider must pass alike.
class EndToEnd : public ServiceTest, public ::testing::WithParamInterface<std::string> {
 protected:
  ServiceConnection Connect(const std::string& scenario) {
    ServiceConnection connection = ServiceTest::Connect(scenario, GetParam());
    EXPECT_NE(connection.provider, nullptr) << connection.problem;
    return connection;
  }
};

using OfflineService = ServiceTest;

TEST_P(EndToEnd, AnswersQueriesWithScriptedModels) {
  Connect(R"({"answers": {
    "GetExportRules": {"responsecode": 12, "result": [
      {"id": "r1", "Name": "Feinplanum", "Description": "Straße", "Type": "MC",
       "domain": {"Id": "d1", "Name": "Erdbau"},
       "definition": {"ModelType": "TIN", "LayersType": "L", "SurfacesOfLayers": "S",
                      "Equipments": ["Grader"], "Layers": [{"Id": -1, "Name": "Planum"}]}}]},
    "GetSystemsVT": {"result": {"systems": null}},
    "GetTypes": {"result": [{"UnitType": "DOZER", "LocalizedLabels": [
      {"Label": "ブルドーザー", "Locale": "ja-JP"}]}]}
  }})");

  const auto rules = kmc::GetExportRules(code);
  EXPECT_EQ(code, 12);
  ASSERT_EQ(rules.size(), 1u);
  EXPECT_EQ(rules[0].description,
            "Stra\xC3\x9F"
            "e");
  EXPECT_EQ(rules[0].domainName, "Erdbau");
  EXPECT_EQ(rules[0].definition.equipments, std::vector<std::string>{"Grader"});
  EXPECT_EQ(rules[0].definition.layers[0].id, -1);

  code = 5;
  EXPECT_TRUE(kmc::GetSystemsVT(code).empty());
  EXPECT_EQ(code, 5) << "an answer without a responsecode does not write it";

  const auto types = kmc::GetTypes(code);
  ASSERT_EQ(types.size(), 1u);
  EXPECT_EQ(types[0].localizedLabels[0].label,
            "\xE3\x83\x96\xE3\x83\xAB\xE3\x83\x89\xE3\x83\xBC\xE3\x82\xB6\xE3\x83\xBC");
}

TEST_P(EndToEnd, FirstApplicableAnswerWinsAndUnscriptedQueriesFail) {
  Connect(R"({"answers": {"GetSystem": [
    {"match": ["a"], "responsecode": 1, "result": {"vendorinfo":
      {"Id": "a", "Name": "n", "Company": "o", "ProductionReady": true}, "Category": "c"}},
    {"match": ["a"], "responsecode": 2},
    {"responsecode": 404}
  ]}})");
  EXPECT_EQ(kmc::GetSystem("a", code).category, "c");
  EXPECT_EQ(code, 1);
  EXPECT_EQ(kmc::GetSystem("b", code).id, "");
  EXPECT_EQ(code, 404);

  code = 7;
  EXPECT_TRUE(kmc::GetConnectionsMC(code).empty()) << "no answer scripted";
  EXPECT_EQ(code, 7);
  int32_t direct_code = 0;
  EXPECT_THAT(
      [&] { ActiveServiceProvider()->GetConnectionsMC(direct_code); },
      ::testing::ThrowsMessage<ServiceError>(HasSubstr("no answer scripted for GetConnectionsMC")));
}

TEST_P(EndToEnd, ScriptedFaultsWriteTheCodeThenRaise) {
  Connect(R"({"answers": {
    "SetExportVtFile": {"responsecode": 3, "throws": "rejected"},
    "GetDomains": {"throws": "down"},
    "IsLoggedIn": {"throws": "no session"}
  }})");
  kmc::SetExportVtFile("f", "t", "s", 1, code);
  EXPECT_EQ(code, 3);
  code = 9;
  EXPECT_TRUE(kmc::GetDomains(code).empty());
  EXPECT_EQ(code, 9);
  EXPECT_FALSE(kmc::IsLoggedIn());
}

TEST_P(EndToEnd, ContextOperationsActOnTheState) {
  Connect(R"({"state": {"tenant": "t0", "loggedIn": true},
              "answers": {"SetProject": {"match": ["locked"], "throws": "project is locked"}}})");
  EXPECT_TRUE(kmc::IsLoggedIn());
  kmc::SetProject("locked");  // raises inside the service; invisible to the host
  kmc::SetProject("Nord");
  kmc::Logout();
  EXPECT_FALSE(kmc::IsLoggedIn());
}

TEST_P(EndToEnd, JournalShowsWhatTheBridgePassed) {
  Connect(R"({"answers": {"GetDomains": {"result": []}, "SetExportMcFile": {},
                          "GetExportFormats": {"result": []}}})");
  code = 5;
  kmc::GetDomains(code);
  kmc::SetExportMcFile("exp", {}, "LandXML", std::string("src\0x", 5), -2, code);
  kmc::GetExportFormats({"Bagger", "Straßenhobel", "Bagger"}, "MC", code);
  kmc::SetTenantUniqueId("Mandant-Ü");

  const std::vector<json> journal = Journal();
  const std::vector<json> expected = {
      json::parse(R"({"operation": "GetDomains", "arguments": [5]})"),
      json::parse(R"({"operation": "SetExportMcFile",
                      "arguments": ["exp", [], "LandXML", "src\u0000x", -2]})"),
      json::parse(R"({"operation": "GetExportFormats",
                      "arguments": [["Bagger", "Straßenhobel", "Bagger"], "MC"]})"),
      json::parse(R"({"operation": "SetTenantUniqueId", "arguments": ["Mandant-Ü"]})"),
  };
  EXPECT_EQ(journal, expected);
}

const std::vector<std::string> kProviders = {
    "offline",
#if KOBMC_WITH_DOTNET
    "dotnet",
#endif
};
INSTANTIATE_TEST_SUITE_P(Providers, EndToEnd, ::testing::ValuesIn(kProviders),
                         [](const auto& provider) { return provider.param; });

// ---- Broken scenario files --------------------------------------------------------------------

struct BrokenFile {
  const char* content;
  const char* says;
};

void PrintTo(const BrokenFile& file, std::ostream* out) {
  *out << file.says;
}

class BrokenScenario : public OfflineService, public ::testing::WithParamInterface<BrokenFile> {};

TEST_P(BrokenScenario, IsRefusedWithWhereAndWhatAndTheHostGetsFallbacks) {
  const ServiceConnection connection = Connect(GetParam().content);
  EXPECT_EQ(connection.provider, nullptr);
  EXPECT_THAT(connection.problem, HasSubstr((directory() / "offline-scenario.json").string()));
  EXPECT_THAT(connection.problem, HasSubstr(GetParam().says));
  EXPECT_TRUE(kmc::GetExportRules(code).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenScenario,
    ::testing::Values(
        BrokenFile{"{\"answers\": {\n  \"GetTypes\": {\"result\": [}\n}}", ":2:27: syntax error"},
        BrokenFile{R"({"answers": {"GetSystemz": {}}})", "unknown operation 'GetSystemz'"},
        BrokenFile{R"({"answers": {"GetTypes": {"result": [{"UnitType": "A", "Labels": []}]}}})",
                   "/answers/GetTypes/result/0/Labels: unknown property 'Labels'"},
        BrokenFile{R"({"answers": {"GetExportRules": {"result": [{"id": 5}]}}})",
                   "/answers/GetExportRules/result/0/id: expected a string or null"},
        BrokenFile{R"({"answers": {"GetDomains": {"match": ["five"]}}})",
                   "/answers/GetDomains/match/0: expected a 32-bit integer"},
        BrokenFile{R"({"answers": {"GetSystem": {"match": []}}})", "GetSystem takes 1 argument"},
        BrokenFile{R"({"answers": {"Logout": {"responsecode": 1}}})",
                   "Logout has no response code"},
        BrokenFile{R"({"answers": {"GetTypes": {"responsecode": 4294967296}}})",
                   "expected a 32-bit integer"},
        BrokenFile{R"({"state": {"loggedIn": "yes"}})", "/state/loggedIn: expected true or false"},
        BrokenFile{R"({"answers": {"GetDomains": {"match": [1e999]}}})",
                   ":1:1: number overflow parsing '1e999'"},
        BrokenFile{R"([1, 2])", "expected an object"}),
    [](const auto& broken) {
      std::string name;
      for (const char c : std::string_view(broken.param.says)) {
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
      }
      return name;
    });

TEST_F(OfflineService, DeepNestingIsRefusedNotFollowed) {
  const std::string deep = R"({"answers": {"GetDomains": {"result": )" + std::string(100000, '[') +
                           std::string(100000, ']') + "}}}";
  const ServiceConnection connection = Connect(deep);
  EXPECT_EQ(connection.provider, nullptr);
  EXPECT_THAT(connection.problem, HasSubstr("nested deeper than"));
}

TEST_F(OfflineService, HugeScenarioLoadsWhole) {
  // 200,000 domains and one 8 MiB text: read once, answered in full.
  std::string scenario =
      R"({"answers": {"GetDomains": {"result": [")" + std::string(8 << 20, 'x') + "\"";
  for (int i = 0; i < 200000; ++i) scenario += ",\"domain-" + std::to_string(i) + "\"";
  scenario += "]}}}";
  ASSERT_NE(Connect(scenario).provider, nullptr);
  const std::vector<std::string> domains = kmc::GetDomains(code);
  ASSERT_EQ(domains.size(), 200001u);
  EXPECT_EQ(domains[0].size(), 8u << 20);
  EXPECT_EQ(domains.back(), "domain-199999");
}

TEST_F(OfflineService, MissingFileIsAClearProblem) {
  const ServiceConnection connection = ConnectService("offline:/nonexistent/scenario.json");
  EXPECT_EQ(connection.provider, nullptr);
  EXPECT_EQ(connection.problem, "/nonexistent/scenario.json: cannot open the scenario file");
  EXPECT_THAT(ConnectService("carrier-pigeon:x").problem, HasSubstr("unknown service"));
}

// ---- The reference host -----------------------------------------------------------------------

struct KobmcRun {
  int status;
  json output;
};

KobmcRun RunKobmc(const std::string& arguments) {
  const std::string command = std::string(KOBMC_PATH) + " --json " + arguments;
  FILE* pipe = popen(command.c_str(), "r");
  std::string output;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  const int status = pclose(pipe);
  return {status, json::parse(output)};
}

json Output(const std::string& arguments) {
  const KobmcRun run = RunKobmc(arguments);
  EXPECT_EQ(run.status, 0) << arguments;
  return run.output;
}

TEST(Kobmc, JsonOutputCarriesRecordsAndTheResponseCode) {
  const std::string service = "--service offline:" + std::string(KOBMC_EXAMPLE);
  EXPECT_EQ(Output(service + " system mc-orv-3d"), json::parse(R"({
    "operation": "GetSystem", "responsecode": 0,
    "result": {"id": "mc-orv-3d", "name": "Orvandel GradeLine 3D",
               "company": "Orvandel Maschinenbau GmbH", "productionReady": true,
               "category": "Grader"}})"));
  EXPECT_EQ(Output(service + " --responsecode 0 domains"), json::parse(R"({
    "operation": "GetDomains", "responsecode": 0,
    "result": ["Straßenbau", "Erdbau", "Flotte", "Tiefbau"]})"));
  EXPECT_EQ(Output(service + " export-formats MC EXCAVATOR"), json::parse(R"({
    "operation": "GetExportFormats", "responsecode": 0, "result": ["LandXML", "DXF"]})"));
  const json rules = Output(service + " export-rules");
  ASSERT_EQ(rules["result"].size(), 3u);
  EXPECT_EQ(rules["result"][0]["definition"]["layers"][1],
            json::parse(R"({"id": 2, "name": "Frostschutzschicht"})"));
  EXPECT_EQ(rules["result"][2]["definition"]["equipments"], json::array());
}

TEST(Kobmc, DoctorNamesTheFault) {
  const KobmcRun run = RunKobmc("--service offline:/nonexistent.json doctor");
  EXPECT_NE(run.status, 0) << "doctor exits non-zero on a fault";
  EXPECT_EQ(run.output["reachable"], false);
  EXPECT_EQ(run.output["problem"], "/nonexistent.json: cannot open the scenario file");
  EXPECT_EQ(Output("--service offline:" + std::string(KOBMC_EXAMPLE) + " doctor")["reachable"],
            true);
}

#if KOBMC_WITH_DOTNET
// ---- Identical models from both providers -----------------------------------------------------

// A model graph as text, walking the same property table the services use.
std::string Dump(const Text& text) {
  return text ? json(oxel::marshal::detail::to_utf8(*text)).dump() : "null";
}
std::string Dump(bool value) {
  return value ? "true" : "false";
}
std::string Dump(std::int32_t value) {
  return std::to_string(value);
}
template <class T>
std::string Dump(const List<T>& list);
template <class Model>
std::string Dump(const Ref<Model>& model) {
  if (!model) return "null";
  std::string text = "{";
  std::apply(
      [&](const auto&... property) {
        ((text += std::string(property.name) + ":" + Dump((*model).*property.member) + ","), ...);
      },
      PropertiesOf<Model>());
  return text + "}";
}
template <class T>
std::string Dump(const List<T>& list) {
  if (!list) return "null";
  std::string text = "[";
  for (const T& element : *list) text += Dump(element) + ",";
  return text + "]";
}

// Every facade operation, called on a provider directly; what it returned, wrote and raised.
std::vector<std::string> CallEverything(ServiceProvider& service) {
  const std::vector<std::function<std::string(std::int32_t&)>> calls = {
      [&](std::int32_t& c) { return Dump(service.GetSystemsMC(c)); },
      [&](std::int32_t& c) { return Dump(service.GetSystemsVT(c)); },
      [&](std::int32_t& c) { return Dump(service.GetSystem(u"mc-orv-3d", c)); },
      [&](std::int32_t& c) { return Dump(service.GetSystem(std::u16string(u"\0unknown", 8), c)); },
      [&](std::int32_t& c) { return Dump(service.GetConnectionsMC(c)); },
      [&](std::int32_t& c) { return Dump(service.GetConnectionsVT(c)); },
      [&](std::int32_t& c) { return Dump(service.GetTypes(c)); },
      [&](std::int32_t& c) { return Dump(service.GetExportRules(c)); },
      [&](std::int32_t&) { return Dump(service.GetDomains(0)); },
      [&](std::int32_t& c) {
        return Dump(service.GetExportFormats(list_of<Text>({u"EXCAVATOR"}), u"MC", c));
      },
      [&](std::int32_t& c) { return Dump(service.GetExportFormats(nullptr, std::nullopt, c)); },
      [&](std::int32_t& c) {
        service.SetExportMcFile(u"exp-broken", nullptr, u"LandXML", u"src-1", 1, c);
        return std::string("done");
      },
      [&](std::int32_t& c) {
        service.SetExportVtFile(u"f", u"", std::nullopt, std::numeric_limits<std::int32_t>::min(),
                                c);
        return std::string("done");
      },
      [&](std::int32_t&) {
        service.SetProject(u"P\u00e4\U0001F600");
        service.Logout();
        return Dump(service.IsLoggedIn());
      },
  };
  std::vector<std::string> outcomes;
  for (const auto& call : calls) {
    std::int32_t responsecode = -7;
    std::string outcome;
    try {
      outcome = call(responsecode);
    } catch (const std::exception& error) {
      outcome = std::string("raised: ") + error.what();
    }
    outcomes.push_back(outcome + " / code " + std::to_string(responsecode));
  }
  return outcomes;
}

TEST_F(ServiceTest, ManagedServiceGivesTheSameModelsAndJournalAsTheOfflineService) {
  // The example, plus edge values: null and empty lists, null elements, NULs, astral text.
  json document = json::parse(ReadFile(KOBMC_EXAMPLE));
  const json edges = json::parse(R"({
    "GetConnectionsVT": {"responsecode": -2147483648, "result": [null,
      {"Id": "", "Name": "a\u0000b", "Company": null, "Status": "\ud83d\ude00", "Category": "x"}]},
    "GetTypes": {"result": [{"UnitType": null, "LocalizedLabels": []}, null,
                            {"UnitType": "T", "LocalizedLabels": [null]}]},
    "GetSystemsVT": {"result": {"systems": [null, {"vendorinfo": null, "Category": null}]}}})");
  for (const auto& [name, answer] : edges.items()) document["answers"][name] = answer;
  const std::string scenario = document.dump();

  const std::vector<std::string> offline = CallEverything(*Connect(scenario, "offline").provider);
  const ServiceConnection managed = Connect(scenario, "dotnet");
  ASSERT_NE(managed.provider, nullptr) << managed.problem;
  EXPECT_EQ(CallEverything(*managed.provider), offline);

  const std::vector<json> journal = Journal();
  ASSERT_EQ(journal.size() % 2, 0u);
  const auto half = static_cast<std::ptrdiff_t>(journal.size() / 2);
  EXPECT_EQ(std::vector<json>(journal.begin(), journal.begin() + half),
            std::vector<json>(journal.begin() + half, journal.end()));
}

TEST(Kobmc, ListsTheExampleThroughTheManagedServiceAsThroughTheOfflineOne) {
  setenv("KOBMC_SCENARIO", KOBMC_EXAMPLE, 1);
  for (const char* command : {"export-rules", "types", "systems-vt", "system nope"}) {
    EXPECT_EQ(Output(std::string("--service dotnet:" KOBMC_MANAGED_SERVICE " ") + command),
              Output(std::string("--service offline:" KOBMC_EXAMPLE " ") + command))
        << command;
  }
}

TEST(Kobmc, DoctorNamesWhatIsWrongWithAManagedService) {
  const struct {
    std::string service;
    std::string says;
  } cases[] = {
      {"dotnet:/nonexistent/KobMachineControl.dll", "Could not load file or assembly"},
      {"dotnet:" KOBMC_MANAGED_SERVICE_NO_FACADE,
       "has no public class KobMachineControl.MachineControlIntegration"},
      {"dotnet:" KOBMC_MANAGED_SERVICE_MISSING_OPERATION,
       "has no public static System.Void SetExportVtFile(System.String, System.String, "
       "System.String, System.Int32, System.Int32&)"},
  };
  for (const auto& c : cases) {
    const KobmcRun run = RunKobmc("--service " + c.service + " doctor");
    EXPECT_NE(run.status, 0);
    EXPECT_THAT(run.output["problem"].get<std::string>(), HasSubstr(c.says)) << c.service;
  }
}
#endif

}  // namespace
