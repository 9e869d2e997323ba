#pragma once
// One marshal_traits specialisation per record: a service model in, a plain record out. Nested
// models are flattened into fields or converted into nested records; nested lists go through the
// optional-vector conversion, so a null nested list is an empty vector. Fields are filled in
// declaration order (braced initialisation evaluates in order); any failure destroys the partly
// built record and passes on.

#include <KobMachineControlIntegration/KobMachineControlIntegration.h>
#include <KobMachineControlIntegration/marshal/marshal.h>

namespace oxel::marshal {

namespace models = KobMachineControl::ApiModels;
using KobMachineControl::Ref;

namespace detail {

// The model behind a reference; a null reference is an error naming the parameter.
template <class Model>
const Model& model_of(const Ref<Model>& reference, const char* parameter) {
  if (!reference) throw null_argument_error(parameter);
  return *reference;
}

inline std::string text(const Text& from) {
  return marshal_as<std::string>(from);
}

// A nested list: null is tolerated and gives an empty vector.
template <class T, class U>
std::vector<T> nested_list(const List<U>& list) {
  return marshal_as<std::optional<std::vector<T>>>(list).value_or(std::vector<T>{});
}

}  // namespace detail

template <>
struct marshal_traits<MachineControlLayer, Ref<models::Layer>> {
  static MachineControlLayer marshal(const Ref<models::Layer>& layer) {
    const auto& model = detail::model_of(layer, "layer");
    return {.id = model.Id, .name = detail::text(model.Name)};
  }
};

template <>
struct marshal_traits<MachineControlLocalizedLabel, Ref<models::LocalizedLabel>> {
  static MachineControlLocalizedLabel marshal(const Ref<models::LocalizedLabel>& localizedLabel) {
    const auto& model = detail::model_of(localizedLabel, "localizedLabel");
    return {.label = detail::text(model.Label), .locale = detail::text(model.Locale)};
  }
};

template <>
struct marshal_traits<MachineControlUnitType, Ref<models::UnitTypes>> {
  static MachineControlUnitType marshal(const Ref<models::UnitTypes>& unitType) {
    const auto& model = detail::model_of(unitType, "unitType");
    return {.unitType = detail::text(model.UnitType),
            .localizedLabels =
                detail::nested_list<MachineControlLocalizedLabel>(model.LocalizedLabels)};
  }
};

template <>
struct marshal_traits<MachineControlSystem, Ref<models::System>> {
  static MachineControlSystem marshal(const Ref<models::System>& system) {
    const auto& model = detail::model_of(system, "system");
    const auto& vendor = detail::model_of(model.vendorinfo, "vendorinfo");
    return {.id = detail::text(vendor.Id),
            .name = detail::text(vendor.Name),
            .company = detail::text(vendor.Company),
            .productionReady = vendor.ProductionReady,
            .category = detail::text(model.Category)};
  }
};

template <>
struct marshal_traits<MachineControlConnection, Ref<models::Connection>> {
  static MachineControlConnection marshal(const Ref<models::Connection>& connection) {
    const auto& model = detail::model_of(connection, "connection");
    return {.id = detail::text(model.Id),
            .name = detail::text(model.Name),
            .company = detail::text(model.Company),
            .status = detail::text(model.Status),
            .category = detail::text(model.Category)};
  }
};

template <>
struct marshal_traits<MachineControlDefinition, Ref<models::Definition>> {
  static MachineControlDefinition marshal(const Ref<models::Definition>& definition) {
    const auto& model = detail::model_of(definition, "definition");
    return {.modelType = detail::text(model.ModelType),
            .layersType = detail::text(model.LayersType),
            .surfacesOfLayers = detail::text(model.SurfacesOfLayers),
            .equipments = detail::nested_list<std::string>(model.Equipments),
            .layers = detail::nested_list<MachineControlLayer>(model.Layers)};
  }
};

template <>
struct marshal_traits<MachineControlExportRule, Ref<models::ExportRule>> {
  static MachineControlExportRule marshal(const Ref<models::ExportRule>& exportRule) {
    const auto& model = detail::model_of(exportRule, "exportRule");
    const auto& domain = detail::model_of(model.domain, "domain");
    return {.id = detail::text(model.id),
            .name = detail::text(model.Name),
            .description = detail::text(model.Description),
            .type = detail::text(model.Type),
            .domainId = detail::text(domain.Id),
            .domainName = detail::text(domain.Name),
            .definition = marshal_as<MachineControlDefinition>(model.definition)};
  }
};

}  // namespace oxel::marshal
