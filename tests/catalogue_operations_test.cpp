// The catalogue queries and export file operations through the exported functions.

#include <KobMachineControlIntegration/KobMachineControlIntegration.h>

#include "model_fixtures.h"
#include "test_support.h"

namespace {

namespace kmc = KobMachineControlIntegration;
using namespace kobmc_test;
using ::testing::_;
using ::testing::DoAll;
using ::testing::Pointee;
using ::testing::Return;
using ::testing::SetArgReferee;
using ::testing::Throw;

class Operations : public ProviderTest {
 protected:
  std::int32_t code = 0;

 private:
  ThreadLocale locale_{kUtf8Locale};
};

// ---- Field mappings ---------------------------------------------------------------------------

TEST_F(Operations, SystemsMapVendorInfoAndCategory) {
  auto systems = std::make_shared<Systems>(Systems{list_of<Ref<System>>(
      {make_system(u"mc-1", u"Höhenführung", u"Nordkamm Geräte", true, u"Grader"),
       make_system(u"mc-2", u"測量", u"", false, u"")})});
  EXPECT_CALL(service(), GetSystemsMC(_)).WillOnce(DoAll(SetArgReferee<0>(200), Return(systems)));
  EXPECT_CALL(service(), GetSystemsVT(_)).WillOnce(Return(systems));

  const std::vector<MachineControlSystem> mc = kmc::GetSystemsMC(code);
  EXPECT_EQ(code, 200);
  ASSERT_EQ(mc.size(), 2u);
  EXPECT_EQ(mc[0].id, "mc-1");
  EXPECT_EQ(mc[0].name, "H\xC3\xB6henf\xC3\xBChrung");
  EXPECT_EQ(mc[0].company, "Nordkamm Ger\xC3\xA4te");
  EXPECT_TRUE(mc[0].productionReady);
  EXPECT_EQ(mc[0].category, "Grader");
  EXPECT_EQ(mc[1].name, "\xE6\xB8\xAC\xE9\x87\x8F");
  EXPECT_FALSE(mc[1].productionReady);
  EXPECT_EQ(mc[1].category, "");
  EXPECT_EQ(kmc::GetSystemsVT(code).size(), 2u);
}

TEST_F(Operations, GetSystemConvertsOneSystemAndPassesItsId) {
  EXPECT_CALL(service(), GetSystem(Text(u"vt-ä"), _))
      .WillOnce(Return(make_system(u"vt-ä", u"Walze", u"Firma", true, u"Roller")));
  const MachineControlSystem system = kmc::GetSystem("vt-\xC3\xA4", code);
  EXPECT_EQ(system.id, "vt-\xC3\xA4");
  EXPECT_EQ(system.category, "Roller");
  EXPECT_TRUE(system.productionReady);
}

TEST_F(Operations, ConnectionsMapAllFiveTexts) {
  EXPECT_CALL(service(), GetConnectionsMC(_))
      .WillOnce(Return(list_of<Ref<Connection>>(
          {make_connection(u"c-1", u"Baustelle Süd", u"Firma", u"online", u"Bagger")})));
  const auto connections = kmc::GetConnectionsMC(code);
  ASSERT_EQ(connections.size(), 1u);
  EXPECT_EQ(connections[0].id, "c-1");
  EXPECT_EQ(connections[0].name,
            "Baustelle S\xC3\xBC"
            "d");
  EXPECT_EQ(connections[0].company, "Firma");
  EXPECT_EQ(connections[0].status, "online");
  EXPECT_EQ(connections[0].category, "Bagger");
}

TEST_F(Operations, UnitTypesCarryTheirLabels) {
  EXPECT_CALL(service(), GetTypes(_))
      .WillOnce(Return(list_of<Ref<UnitTypes>>(
          {make_unit_type(u"EXCAVATOR",
                          list_of<Ref<LocalizedLabel>>({make_label(u"Bagger", u"de-DE"),
                                                        make_label(u"Pelle", u"fr-FR"),
                                                        make_label(u"ショベル", u"ja-JP")})),
           make_unit_type(u"ROLLER", nullptr)})));
  const auto types = kmc::GetTypes(code);
  ASSERT_EQ(types.size(), 2u);
  EXPECT_EQ(types[0].unitType, "EXCAVATOR");
  ASSERT_EQ(types[0].localizedLabels.size(), 3u);
  EXPECT_EQ(types[0].localizedLabels[1].label, "Pelle");
  EXPECT_EQ(types[0].localizedLabels[1].locale, "fr-FR");
  EXPECT_EQ(types[0].localizedLabels[2].label, "\xE3\x82\xB7\xE3\x83\xA7\xE3\x83\x99\xE3\x83\xAB");
  EXPECT_TRUE(types[1].localizedLabels.empty()) << "a null label list is an empty vector";
}

TEST_F(Operations, ExportRulesFlattenDomainAndNestTheDefinition) {
  auto rule = make_export_rule(1);
  rule->definition->Layers = list_of<Ref<Layer>>(
      {make_layer(-1, u"Planum"), make_layer(7, u"Planum"), make_layer(3, u"Deckschicht")});
  auto bare = make_export_rule(2);
  bare->definition->Equipments = nullptr;
  bare->definition->Layers = nullptr;
  EXPECT_CALL(service(), GetExportRules(_))
      .WillOnce(Return(list_of<Ref<ExportRule>>({rule, bare})));

  const auto rules = kmc::GetExportRules(code);
  ASSERT_EQ(rules.size(), 2u);
  const MachineControlExportRule& first = rules[0];
  EXPECT_EQ(first.id, "rule-R1");
  EXPECT_EQ(first.name, "Regel R1");
  EXPECT_EQ(first.description,
            "Stra\xC3\x9F"
            "enbau, H\xC3\xB6he");
  EXPECT_EQ(first.type, "MC");
  EXPECT_EQ(first.domainId, "dom-1");
  EXPECT_EQ(first.domainName, "Erdbau");
  EXPECT_EQ(first.definition.modelType, "TIN");
  EXPECT_EQ(first.definition.layersType, "Schichten");
  EXPECT_EQ(first.definition.surfacesOfLayers,
            "Oberfl\xC3\xA4"
            "che");
  EXPECT_EQ(first.definition.equipments, (std::vector<std::string>{"Grader", "Dozer"}));
  // Order kept, equal names not merged, no range check on ids.
  ASSERT_EQ(first.definition.layers.size(), 3u);
  EXPECT_EQ(first.definition.layers[0].id, -1);
  EXPECT_EQ(first.definition.layers[1].name, "Planum");
  EXPECT_EQ(first.definition.layers[2].id, 3);
  EXPECT_TRUE(rules[1].definition.equipments.empty());
  EXPECT_TRUE(rules[1].definition.layers.empty());
}

TEST_F(Operations, DomainsAndExportFormatsAreTextLists) {
  EXPECT_CALL(service(), GetDomains(5)).WillOnce(Return(list_of<Text>({u"Erdbau", u"Straße"})));
  code = 5;
  EXPECT_EQ(kmc::GetDomains(code), (std::vector<std::string>{"Erdbau",
                                                             "Stra\xC3\x9F"
                                                             "e"}));
  EXPECT_EQ(code, 5);

  EXPECT_CALL(service(),
              GetExportFormats(Pointee(std::vector<Text>{u"Bagger", u"Walze"}), Text(u"TIN"), _))
      .WillOnce(DoAll(SetArgReferee<2>(201), Return(list_of<Text>({u"LandXML", u"DXF"}))));
  EXPECT_EQ(kmc::GetExportFormats({"Bagger", "Walze"}, "TIN", code),
            (std::vector<std::string>{"LandXML", "DXF"}));
  EXPECT_EQ(code, 201);
}

// ---- Null answers -----------------------------------------------------------------------------

TEST_F(Operations, NullSystemsAreAnOrdinaryEmptyAnswer) {
  EXPECT_CALL(service(), GetSystemsMC(_)).WillOnce(DoAll(SetArgReferee<0>(204), Return(nullptr)));
  EXPECT_CALL(service(), GetSystemsVT(_))
      .WillOnce(DoAll(SetArgReferee<0>(205), Return(std::make_shared<Systems>())));
  EXPECT_TRUE(kmc::GetSystemsMC(code).empty());
  EXPECT_EQ(code, 204);
  EXPECT_TRUE(kmc::GetSystemsVT(code).empty());
  EXPECT_EQ(code, 205);
}

TEST_F(Operations, NullSystemGivesTheDefaultRecord) {
  EXPECT_CALL(service(), GetSystem(_, _)).WillOnce(DoAll(SetArgReferee<1>(404), Return(nullptr)));
  const MachineControlSystem system = kmc::GetSystem("missing", code);
  EXPECT_EQ(code, 404);
  EXPECT_TRUE(system.id.empty() && system.name.empty() && system.company.empty() &&
              system.category.empty());
  EXPECT_FALSE(system.productionReady);
}

// ---- One bad element loses the whole result ---------------------------------------------------

struct BrokenAnswer {
  const char* what;
  std::function<void(MockProvider&)> script;
  std::function<bool(std::int32_t&)> call_returns_empty;
};

class WholeResultLost : public Operations, public ::testing::WithParamInterface<BrokenAnswer> {};

TEST_P(WholeResultLost, GivesTheFallbackWithTheServicesCode) {
  GetParam().script(service());
  EXPECT_TRUE(GetParam().call_returns_empty(code)) << GetParam().what;
  EXPECT_EQ(code, 300) << "the code stays as the service wrote it";
}

template <class Answer>
auto answering(Answer answer) {
  return DoAll(SetArgReferee<0>(300), Return(answer));
}

List<Ref<ExportRule>> ten_rules_breaking_the_fourth(void (*breakage)(ExportRule&)) {
  auto rules = MakeList<Ref<ExportRule>>(10);
  for (int i = 0; i < 10; ++i) rules->push_back(make_export_rule(i));
  breakage(*(*rules)[3]);
  return rules;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WholeResultLost,
    ::testing::Values(
        BrokenAnswer{"null vendorinfo",
                     [](MockProvider& s) {
                       auto broken = make_system(u"a", u"b", u"c", true, u"d");
                       broken->vendorinfo = nullptr;
                       EXPECT_CALL(s, GetSystemsMC(_))
                           .WillOnce(
                               answering(std::make_shared<Systems>(Systems{list_of<Ref<System>>(
                                   {make_system(u"ok", u"ok", u"ok", true, u"ok"), broken})})));
                     },
                     [](std::int32_t& c) { return kmc::GetSystemsMC(c).empty(); }},
        BrokenAnswer{"null system in the list",
                     [](MockProvider& s) {
                       EXPECT_CALL(s, GetSystemsVT(_))
                           .WillOnce(answering(std::make_shared<Systems>(
                               Systems{list_of<Ref<System>>({nullptr})})));
                     },
                     [](std::int32_t& c) { return kmc::GetSystemsVT(c).empty(); }},
        BrokenAnswer{"null category text",
                     [](MockProvider& s) {
                       EXPECT_CALL(s, GetSystem(_, _))
                           .WillOnce(DoAll(SetArgReferee<1>(300),
                                           Return(make_system(u"a", u"b", u"c", true, {}))));
                     },
                     [](std::int32_t& c) { return kmc::GetSystem("a", c).id.empty(); }},
        BrokenAnswer{
            "null connection list",
            [](MockProvider& s) {
              EXPECT_CALL(s, GetConnectionsVT(_)).WillOnce(answering(List<Ref<Connection>>()));
            },
            [](std::int32_t& c) { return kmc::GetConnectionsVT(c).empty(); }},
        BrokenAnswer{"null status text",
                     [](MockProvider& s) {
                       EXPECT_CALL(s, GetConnectionsMC(_))
                           .WillOnce(answering(list_of<Ref<Connection>>(
                               {make_connection(u"a", u"b", u"c", {}, u"e")})));
                     },
                     [](std::int32_t& c) { return kmc::GetConnectionsMC(c).empty(); }},
        BrokenAnswer{"null label in a label list",
                     [](MockProvider& s) {
                       EXPECT_CALL(s, GetTypes(_))
                           .WillOnce(answering(list_of<Ref<UnitTypes>>({make_unit_type(
                               u"T", list_of<Ref<LocalizedLabel>>({make_label(u"x", {})}))})));
                     },
                     [](std::int32_t& c) { return kmc::GetTypes(c).empty(); }},
        BrokenAnswer{"fourth of ten rules with a null domain",
                     [](MockProvider& s) {
                       EXPECT_CALL(s, GetExportRules(_))
                           .WillOnce(answering(ten_rules_breaking_the_fourth(
                               [](ExportRule& r) { r.domain = nullptr; })));
                     },
                     [](std::int32_t& c) { return kmc::GetExportRules(c).empty(); }},
        BrokenAnswer{"fourth of ten rules with a null definition",
                     [](MockProvider& s) {
                       EXPECT_CALL(s, GetExportRules(_))
                           .WillOnce(answering(ten_rules_breaking_the_fourth(
                               [](ExportRule& r) { r.definition = nullptr; })));
                     },
                     [](std::int32_t& c) { return kmc::GetExportRules(c).empty(); }},
        BrokenAnswer{"fourth of ten rules with a null equipment text",
                     [](MockProvider& s) {
                       EXPECT_CALL(s, GetExportRules(_))
                           .WillOnce(answering(ten_rules_breaking_the_fourth(
                               [](ExportRule& r) { r.definition->Equipments->push_back({}); })));
                     },
                     [](std::int32_t& c) { return kmc::GetExportRules(c).empty(); }},
        BrokenAnswer{"fourth of ten rules with a null layer",
                     [](MockProvider& s) {
                       EXPECT_CALL(s, GetExportRules(_))
                           .WillOnce(answering(ten_rules_breaking_the_fourth(
                               [](ExportRule& r) { r.definition->Layers->push_back(nullptr); })));
                     },
                     [](std::int32_t& c) { return kmc::GetExportRules(c).empty(); }},
        BrokenAnswer{
            "null domain list",
            [](MockProvider& s) { EXPECT_CALL(s, GetDomains(_)).WillOnce(Return(List<Text>())); },
            [](std::int32_t& c) {
              c = 300;
              return kmc::GetDomains(c).empty();
            }},
        BrokenAnswer{"null export format",
                     [](MockProvider& s) {
                       EXPECT_CALL(s, GetExportFormats(_, _, _))
                           .WillOnce(
                               DoAll(SetArgReferee<2>(300), Return(list_of<Text>({u"DXF", {}}))));
                     },
                     [](std::int32_t& c) { return kmc::GetExportFormats({}, "", c).empty(); }}),
    [](const auto& case_info) {
      std::string name = case_info.param.what;
      for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

// ---- The response code when the service raises ------------------------------------------------

TEST_F(Operations, CodeKeepsWhatTheServiceWroteBeforeRaising) {
  EXPECT_CALL(service(), GetExportRules(_))
      .WillOnce(DoAll(SetArgReferee<0>(3), Throw(ServiceError("late failure"))));
  EXPECT_CALL(service(), GetConnectionsMC(_)).WillOnce(Throw(ServiceError("early failure")));
  EXPECT_TRUE(kmc::GetExportRules(code).empty());
  EXPECT_EQ(code, 3);
  code = 7;
  EXPECT_TRUE(kmc::GetConnectionsMC(code).empty());
  EXPECT_EQ(code, 7);
}

// ---- Arguments reach the service as given -----------------------------------------------------

TEST_F(Operations, EmptyUnitTypesArePassedAsAnEmptyListNotANullOne) {
  const auto empty_list = Pointee(std::vector<Text>{});
  EXPECT_CALL(service(), GetExportFormats(empty_list, Text(u""), _))
      .WillOnce(Return(list_of<Text>({})));
  EXPECT_CALL(service(), SetExportMcFile(Text(u"exp"), empty_list, Text(u""), Text(u""), -1, _));
  EXPECT_TRUE(kmc::GetExportFormats({}, "", code).empty());
  kmc::SetExportMcFile("exp", {}, "", "", -1, code);
}

TEST_F(Operations, ExportFilesPassEveryArgumentInOrder) {
  EXPECT_CALL(service(), SetExportMcFile(Text(u"exp-1"),
                                         Pointee(std::vector<Text>{u"Bagger", u"Raupe", u"Bagger"}),
                                         Text(u"LandXML"), Text(u"src-ü"), 42, _))
      .WillOnce(SetArgReferee<5>(11));
  EXPECT_CALL(service(), SetExportVtFile(Text(u"vt-1"), Text(u"DXF"), Text(u"src"), -5, _))
      .WillOnce(DoAll(SetArgReferee<4>(3), Throw(ServiceError("rejected"))));
  kmc::SetExportMcFile("exp-1", {"Bagger", "Raupe", "Bagger"}, "LandXML", "src-\xC3\xBC", 42, code);
  EXPECT_EQ(code, 11);
  kmc::SetExportVtFile("vt-1", "DXF", "src", -5, code);
  EXPECT_EQ(code, 3);
}

TEST_F(Operations, FailedConversionLeavesServiceAndCodeUntouched) {
  ThreadLocale unconvertible(kUnconvertibleLocale);  // texts with a tilde need its converter
  code = 7;
  kmc::SetExportMcFile("exp", {"a~"}, "x", "y", 1, code);
  kmc::SetExportVtFile("vt", "x", "y~", 1, code);
  EXPECT_TRUE(kmc::GetExportFormats({"a"}, "x~", code).empty());
  EXPECT_EQ(kmc::GetSystem("a~", code).id, "");
  EXPECT_EQ(code, 7);
}

// ---- Records ----------------------------------------------------------------------------------

TEST(Records, DefaultsAreEmptyAndFalse) {
  const MachineControlSystem system;
  EXPECT_TRUE(system.id.empty() && system.name.empty() && system.company.empty() &&
              system.category.empty());
  EXPECT_FALSE(system.productionReady);
  EXPECT_EQ(MachineControlLayer().id, 0);
}

TEST(Records, CopyOfAnExportRuleSharesNothing) {
  MachineControlExportRule original;
  original.id = "r";
  original.definition.equipments = {"Grader"};
  original.definition.layers = {{1, "Planum"}};
  MachineControlExportRule copy = original;
  original.definition.layers[0].name = "changed";
  original.definition.equipments.clear();
  EXPECT_EQ(copy.definition.layers[0].name, "Planum");
  EXPECT_EQ(copy.definition.equipments, std::vector<std::string>{"Grader"});
  EXPECT_NE(copy.definition.layers.data(), original.definition.layers.data());
}

// ---- Scale ------------------------------------------------------------------------------------

TEST_F(Operations, HundredThousandExportRulesConvertCompletely) {
  constexpr int kRules = 100000;
  auto rules = MakeList<Ref<ExportRule>>(kRules);
  for (int i = 0; i < kRules; ++i) rules->push_back(make_export_rule(i));
  EXPECT_CALL(service(), GetExportRules(_)).WillOnce(Return(rules));
  const auto converted = kmc::GetExportRules(code);
  ASSERT_EQ(converted.size(), static_cast<std::size_t>(kRules));
  EXPECT_EQ(converted.back().id, "rule-R9");
  EXPECT_EQ(converted.back().definition.layers[1].name, "Tragschicht");
}

}  // namespace
