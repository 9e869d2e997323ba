// The offline service end to end: scenario files in, the exported operations through the real
// shared libraries, and the journal of what the bridge handed the service.

#include <KobMachineControlIntegration/KobMachineControlIntegration.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "test_support.h"

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

// Writes a scenario, connects an offline service to it with a fresh journal and installs it.
class OfflineService : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = fs::temp_directory_path() /
                 ("kobmc-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(directory_);
  }
  void TearDown() override {
    InstallServiceProvider(nullptr);
    unsetenv("KOBMC_JOURNAL");
    fs::remove_all(directory_);
  }

  ServiceConnection Connect(const std::string& scenario) {
    const fs::path file = directory_ / "scenario.json";
    std::ofstream(file, std::ios::binary) << scenario;
    setenv("KOBMC_JOURNAL", journal_path().c_str(), 1);
    ServiceConnection connection = ConnectService("offline:" + file.string());
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

TEST_F(OfflineService, AnswersQueriesWithScriptedModels) {
  ASSERT_NE(Connect(R"({"answers": {
    "GetExportRules": {"responsecode": 12, "result": [
      {"id": "r1", "Name": "Feinplanum", "Description": "Straße", "Type": "MC",
       "domain": {"Id": "d1", "Name": "Erdbau"},
       "definition": {"ModelType": "TIN", "LayersType": "L", "SurfacesOfLayers": "S",
                      "Equipments": ["Grader"], "Layers": [{"Id": -1, "Name": "Planum"}]}}]},
    "GetSystemsVT": {"result": {"systems": null}},
    "GetTypes": {"result": [{"UnitType": "DOZER", "LocalizedLabels": [
      {"Label": "ブルドーザー", "Locale": "ja-JP"}]}]}
  }})")
                .provider,
            nullptr);

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

TEST_F(OfflineService, FirstApplicableAnswerWinsAndUnscriptedQueriesFail) {
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

TEST_F(OfflineService, ScriptedFaultsWriteTheCodeThenRaise) {
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

TEST_F(OfflineService, ContextOperationsActOnTheState) {
  Connect(R"({"state": {"tenant": "t0", "loggedIn": true},
              "answers": {"SetProject": {"match": ["locked"], "throws": "project is locked"}}})");
  EXPECT_TRUE(kmc::IsLoggedIn());
  kmc::SetProject("locked");  // raises inside the service; invisible to the host
  kmc::SetProject("Nord");
  kmc::Logout();
  EXPECT_FALSE(kmc::IsLoggedIn());
}

TEST_F(OfflineService, JournalShowsWhatTheBridgePassed) {
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

// ---- Broken scenario files --------------------------------------------------------------------

struct BrokenFile {
  const char* content;
  const char* says;
};

class BrokenScenario : public OfflineService, public ::testing::WithParamInterface<BrokenFile> {};

TEST_P(BrokenScenario, IsRefusedWithWhereAndWhatAndTheHostGetsFallbacks) {
  const ServiceConnection connection = Connect(GetParam().content);
  EXPECT_EQ(connection.provider, nullptr);
  EXPECT_THAT(connection.problem, HasSubstr((directory() / "scenario.json").string()));
  EXPECT_THAT(connection.problem, HasSubstr(GetParam().says));
  EXPECT_TRUE(kmc::GetExportRules(code).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenScenario,
    ::testing::Values(
        BrokenFile{"{\"answers\": {\n  \"GetTypes\": {\"result\": [}\n}}", ":2:"},
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
        BrokenFile{R"([1, 2])", "expected an object"}));

TEST_F(OfflineService, DeepNestingIsRefusedNotFollowed) {
  const std::string deep = R"({"answers": {"GetDomains": {"result": )" + std::string(100000, '[') +
                           std::string(100000, ']') + "}}}";
  const ServiceConnection connection = Connect(deep);
  EXPECT_EQ(connection.provider, nullptr);
  EXPECT_THAT(connection.problem, HasSubstr("nested deeper than"));
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

}  // namespace
