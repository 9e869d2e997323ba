#pragma once
// The properties of every service model, by the service's own names and in the contract's order:
// one table that the scenario reader and the .NET provider's decoder both walk.

#include <KobMachineControl/ApiModels.h>

#include <string_view>
#include <tuple>

namespace KobMachineControl::ApiModels {

template <class Model, class Member>
struct Property {
  std::string_view name;
  Member Model::*member;
};

// Specialised for every model: a tuple of its Property entries.
template <class Model>
constexpr auto PropertiesOf();

template <>
constexpr auto PropertiesOf<VendorInfo>() {
  return std::tuple{Property<VendorInfo, Text>{"Id", &VendorInfo::Id},
                    Property<VendorInfo, Text>{"Name", &VendorInfo::Name},
                    Property<VendorInfo, Text>{"Company", &VendorInfo::Company},
                    Property<VendorInfo, bool>{"ProductionReady", &VendorInfo::ProductionReady}};
}
template <>
constexpr auto PropertiesOf<System>() {
  return std::tuple{Property<System, Ref<VendorInfo>>{"vendorinfo", &System::vendorinfo},
                    Property<System, Text>{"Category", &System::Category}};
}
template <>
constexpr auto PropertiesOf<Systems>() {
  return std::tuple{Property<Systems, List<Ref<System>>>{"systems", &Systems::systems}};
}
template <>
constexpr auto PropertiesOf<Connection>() {
  return std::tuple{Property<Connection, Text>{"Id", &Connection::Id},
                    Property<Connection, Text>{"Name", &Connection::Name},
                    Property<Connection, Text>{"Company", &Connection::Company},
                    Property<Connection, Text>{"Status", &Connection::Status},
                    Property<Connection, Text>{"Category", &Connection::Category}};
}
template <>
constexpr auto PropertiesOf<LocalizedLabel>() {
  return std::tuple{Property<LocalizedLabel, Text>{"Label", &LocalizedLabel::Label},
                    Property<LocalizedLabel, Text>{"Locale", &LocalizedLabel::Locale}};
}
template <>
constexpr auto PropertiesOf<UnitTypes>() {
  return std::tuple{Property<UnitTypes, Text>{"UnitType", &UnitTypes::UnitType},
                    Property<UnitTypes, List<Ref<LocalizedLabel>>>{"LocalizedLabels",
                                                                   &UnitTypes::LocalizedLabels}};
}
template <>
constexpr auto PropertiesOf<Layer>() {
  return std::tuple{Property<Layer, std::int32_t>{"Id", &Layer::Id},
                    Property<Layer, Text>{"Name", &Layer::Name}};
}
template <>
constexpr auto PropertiesOf<Definition>() {
  return std::tuple{Property<Definition, Text>{"ModelType", &Definition::ModelType},
                    Property<Definition, Text>{"LayersType", &Definition::LayersType},
                    Property<Definition, Text>{"SurfacesOfLayers", &Definition::SurfacesOfLayers},
                    Property<Definition, List<Text>>{"Equipments", &Definition::Equipments},
                    Property<Definition, List<Ref<Layer>>>{"Layers", &Definition::Layers}};
}
template <>
constexpr auto PropertiesOf<Domain>() {
  return std::tuple{Property<Domain, Text>{"Id", &Domain::Id},
                    Property<Domain, Text>{"Name", &Domain::Name}};
}
template <>
constexpr auto PropertiesOf<ExportRule>() {
  return std::tuple{Property<ExportRule, Text>{"id", &ExportRule::id},
                    Property<ExportRule, Text>{"Name", &ExportRule::Name},
                    Property<ExportRule, Text>{"Description", &ExportRule::Description},
                    Property<ExportRule, Text>{"Type", &ExportRule::Type},
                    Property<ExportRule, Ref<Domain>>{"domain", &ExportRule::domain},
                    Property<ExportRule, Ref<Definition>>{"definition", &ExportRule::definition}};
}

}  // namespace KobMachineControl::ApiModels
