#pragma once
// The service's model objects. They mirror a managed object model: every reference may be
// null, so texts, lists and models are all nullable, and an element of a list may be null too.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace KobMachineControl {

// UTF-16 text; std::nullopt is a null reference.
using Text = std::optional<std::u16string>;

// An ordered list; a null pointer is a null list. Shared, so passing one costs a reference count.
template <class T>
using List = std::shared_ptr<std::vector<T>>;

// A model reference; may be null.
template <class T>
using Ref = std::shared_ptr<T>;

// A new, empty list with room for `capacity` elements.
template <class T>
List<T> MakeList(std::size_t capacity = 0) {
  auto list = std::make_shared<std::vector<T>>();
  list->reserve(capacity);
  return list;
}

namespace ApiModels {

struct VendorInfo {
  Text Id;
  Text Name;
  Text Company;
  bool ProductionReady = false;
};

struct System {
  Ref<VendorInfo> vendorinfo;
  Text Category;
};

struct Systems {
  List<Ref<System>> systems;
};

struct Connection {
  Text Id;
  Text Name;
  Text Company;
  Text Status;
  Text Category;
};

struct LocalizedLabel {
  Text Label;
  Text Locale;
};

struct UnitTypes {
  Text UnitType;
  List<Ref<LocalizedLabel>> LocalizedLabels;
};

struct Layer {
  std::int32_t Id = 0;
  Text Name;
};

struct Definition {
  Text ModelType;
  Text LayersType;
  Text SurfacesOfLayers;
  List<Text> Equipments;
  List<Ref<Layer>> Layers;
};

struct Domain {
  Text Id;
  Text Name;
};

struct ExportRule {
  Text id;
  Text Name;
  Text Description;
  Text Type;
  Ref<Domain> domain;
  Ref<Definition> definition;
};

}  // namespace ApiModels
}  // namespace KobMachineControl
