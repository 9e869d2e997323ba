// The generic list conversions, shown with texts as elements.

#include <KobMachineControlIntegration/marshal/marshal.h>

#include "model_fixtures.h"
#include "test_support.h"

namespace {

using KobMachineControl::List;
using KobMachineControl::MakeList;
using KobMachineControl::Text;
using oxel::marshal::marshal_as;
using oxel::marshal::null_argument_error;

List<Text> list_of(std::initializer_list<Text> texts) {
  return kobmc_test::list_of<Text>(texts);
}

class ListConversion : public ::testing::Test {
  kobmc_test::ThreadLocale locale_{kobmc_test::kUtf8Locale};
};

TEST_F(ListConversion, KeepsOrderAndConvertsEveryElement) {
  EXPECT_EQ(marshal_as<std::vector<std::string>>(list_of({u"b", u"ä", u"", u"b"})),
            (std::vector<std::string>{"b", "\xC3\xA4", "", "b"}));
  EXPECT_TRUE(marshal_as<std::vector<std::string>>(list_of({})).empty());
}

TEST_F(ListConversion, NullListIsAnErrorNamingTheList) {
  try {
    (void)marshal_as<std::vector<std::string>>(List<Text>());
    FAIL() << "no error raised";
  } catch (const null_argument_error& error) {
    EXPECT_EQ(error.param_name(), "list");
  }
}

TEST_F(ListConversion, OneFailingElementYieldsNoVectorAtAll) {
  EXPECT_THROW(
      (void)marshal_as<std::vector<std::string>>(list_of({u"a", u"b", std::nullopt, u"d"})),
      null_argument_error);
}

TEST_F(ListConversion, OptionalFormTakesNullAsEmptyAndPassesOtherErrorsOn) {
  using Optional = std::optional<std::vector<std::string>>;
  EXPECT_EQ(marshal_as<Optional>(List<Text>()), std::nullopt);
  EXPECT_EQ(marshal_as<Optional>(list_of({})), Optional(std::vector<std::string>{}));
  EXPECT_EQ(marshal_as<Optional>(list_of({u"x", u"y"})), Optional({"x", "y"}));
  EXPECT_THROW((void)marshal_as<Optional>(list_of({std::nullopt})), null_argument_error);
}

TEST_F(ListConversion, VectorBecomesAListAtItsFinalCapacity) {
  const std::vector<std::string> strings{"eins", "zwei", "dr\xC3\xA9i"};
  const List<Text> list = marshal_as<List<Text>>(strings);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(*list, (std::vector<Text>{u"eins", u"zwei", u"dréi"}));
  EXPECT_EQ(list->capacity(), strings.size());

  const List<Text> empty = marshal_as<List<Text>>(std::vector<std::string>{});
  ASSERT_NE(empty, nullptr) << "an empty vector is an empty list, not a null one";
  EXPECT_TRUE(empty->empty());
}

}  // namespace
