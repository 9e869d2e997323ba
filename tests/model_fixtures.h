#pragma once
// Small builders for the service's models, so a test shows only what matters to it.

#include <KobMachineControl/ApiModels.h>

#include <string>
#include <utility>

namespace kobmc_test {

using namespace KobMachineControl;
using namespace KobMachineControl::ApiModels;

template <class T>
List<T> list_of(std::initializer_list<T> elements) {
  auto list = MakeList<T>(elements.size());
  list->assign(elements);
  return list;
}

inline Ref<System> make_system(Text id, Text name, Text company, bool ready, Text category) {
  auto vendor = std::make_shared<VendorInfo>(
      VendorInfo{std::move(id), std::move(name), std::move(company), ready});
  return std::make_shared<System>(System{std::move(vendor), std::move(category)});
}

inline Ref<Connection> make_connection(Text id, Text name, Text company, Text status,
                                       Text category) {
  return std::make_shared<Connection>(Connection{std::move(id), std::move(name), std::move(company),
                                                 std::move(status), std::move(category)});
}

inline Ref<LocalizedLabel> make_label(Text label, Text locale) {
  return std::make_shared<LocalizedLabel>(LocalizedLabel{std::move(label), std::move(locale)});
}

inline Ref<UnitTypes> make_unit_type(Text type, List<Ref<LocalizedLabel>> labels) {
  return std::make_shared<UnitTypes>(UnitTypes{std::move(type), std::move(labels)});
}

inline Ref<Layer> make_layer(std::int32_t id, Text name) {
  return std::make_shared<Layer>(Layer{id, std::move(name)});
}

inline Ref<Definition> make_definition(Text model_type, List<Text> equipments,
                                       List<Ref<Layer>> layers) {
  return std::make_shared<Definition>(Definition{std::move(model_type), u"Schichten", u"Oberfläche",
                                                 std::move(equipments), std::move(layers)});
}

// An export rule numbered `n`, complete with domain, definition, equipments and layers.
inline Ref<ExportRule> make_export_rule(int n) {
  const std::u16string number(std::u16string(u"R") + static_cast<char16_t>(u'0' + n % 10));
  return std::make_shared<ExportRule>(ExportRule{
      u"rule-" + number, u"Regel " + number, u"Straßenbau, Höhe", u"MC",
      std::make_shared<Domain>(Domain{u"dom-1", u"Erdbau"}),
      make_definition(
          u"TIN", list_of<Text>({u"Grader", u"Dozer"}),
          list_of<Ref<Layer>>({make_layer(1, u"Planum"), make_layer(2, u"Tragschicht")}))});
}

}  // namespace kobmc_test
