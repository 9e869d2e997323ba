// Reads a scenario file into models. Every value is checked against the type its place expects;
// the first fault is reported with the file and the JSON path, or the line and column for syntax.

#include <KobMachineControl/ServiceProvider.h>
#include <KobMachineControlIntegration/marshal/narrow_encoding.h>

#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>

#include "ModelProperties.h"
#include "Scenario.h"

namespace KobMachineControl::offline {

using json = nlohmann::json;
using namespace ApiModels;
using oxel::marshal::detail::from_utf8;

namespace {

bool SameArgument(const Argument& a, const Argument& b) {
  if (a.index() != b.index()) return false;
  if (const auto* list = std::get_if<List<Text>>(&a)) {
    const auto& other = std::get<List<Text>>(b);
    return (!*list && !other) || (*list && other && **list == *other);
  }
  return a == b;
}

// Nesting deeper than any scenario needs is refused before it can exhaust the stack.
constexpr std::size_t kMaxDepth = 64;

[[noreturn]] void Fail(const std::string& source, const std::string& path,
                       const std::string& message) {
  throw ServiceError(source + ": at " + (path.empty() ? "/" : path) + ": " + message);
}

std::string Child(const std::string& path, std::string_view key) {
  return path + "/" + std::string(key);
}
std::string Child(const std::string& path, std::size_t index) {
  return path + "/" + std::to_string(index);
}

// ---- Values -----------------------------------------------------------------------------------

struct Place {
  const std::string& source;
  std::string path;
  std::size_t depth;

  Place Child(auto key) const { return {source, offline::Child(path, key), depth + 1}; }
  [[noreturn]] void Fail(const std::string& message) const { offline::Fail(source, path, message); }
};

template <class T>
struct ValueReader;

template <class T>
T ReadValue(const json& value, const Place& place) {
  if (place.depth > kMaxDepth) place.Fail("nested too deeply");
  return ValueReader<T>::Read(value, place);
}

template <>
struct ValueReader<Text> {
  static Text Read(const json& value, const Place& place) {
    if (value.is_null()) return std::nullopt;
    if (!value.is_string()) place.Fail("expected a string or null");
    return from_utf8(value.get_ref<const std::string&>());
  }
};

template <>
struct ValueReader<bool> {
  static bool Read(const json& value, const Place& place) {
    if (!value.is_boolean()) place.Fail("expected true or false");
    return value.get<bool>();
  }
};

template <>
struct ValueReader<std::int32_t> {
  static std::int32_t Read(const json& value, const Place& place) {
    using limits = std::numeric_limits<std::int32_t>;
    if (value.is_number_integer()) {
      const auto number = value.get<std::int64_t>();
      if (value.is_number_unsigned() && value.get<std::uint64_t>() > limits::max()) {
        place.Fail("expected a 32-bit integer");
      }
      if (number >= limits::min() && number <= limits::max()) {
        return static_cast<std::int32_t>(number);
      }
    }
    place.Fail("expected a 32-bit integer");
  }
};

template <>
struct ValueReader<NoResult> {
  static NoResult Read(const json& value, const Place& place) {
    if (!value.is_null()) place.Fail("this operation returns nothing; expected null");
    return {};
  }
};

template <class T>
struct ValueReader<List<T>> {
  static List<T> Read(const json& value, const Place& place) {
    if (value.is_null()) return nullptr;
    if (!value.is_array()) place.Fail("expected an array or null");
    auto list = MakeList<T>(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
      list->push_back(ReadValue<T>(value[i], place.Child(i)));
    }
    return list;
  }
};

template <class Model, class Member>
bool ReadProperty(Model& model, const Property<Model, Member>& property, const std::string& key,
                  const json& value, const Place& place) {
  if (property.name != key) return false;
  model.*property.member = ReadValue<Member>(value, place.Child(key));
  return true;
}

template <class Model>
struct ValueReader<Ref<Model>> {
  static Ref<Model> Read(const json& value, const Place& place) {
    if (value.is_null()) return nullptr;
    if (!value.is_object()) place.Fail("expected an object or null");
    auto model = std::make_shared<Model>();
    for (const auto& item : value.items()) {
      const std::string& key = item.key();
      const json& member = item.value();
      const bool known = std::apply(
          [&](const auto&... property) {
            return (ReadProperty(*model, property, key, member, place) || ...);
          },
          PropertiesOf<Model>());
      if (!known) place.Child(key).Fail("unknown property '" + key + "'");
    }
    return model;
  }
};

// ---- Operations -------------------------------------------------------------------------------

enum class Kind { text, texts, integer };

template <class Result>
struct Operation {
  std::string_view name;
  std::vector<Kind> parameters;  // in the facade's order, the response code left out
  bool has_code;
  Answers<Result> Scenario::*answers;
};

const auto& Operations() {
  using K = Kind;
  static const auto table = std::tuple{
      Operation<NoResult>{"SetTenantUniqueId", {K::text}, false, &Scenario::SetTenantUniqueId},
      Operation<NoResult>{"SetProject", {K::text}, false, &Scenario::SetProject},
      Operation<bool>{"IsLoggedIn", {}, false, &Scenario::IsLoggedIn},
      Operation<NoResult>{"Logout", {}, false, &Scenario::Logout},
      Operation<Ref<Systems>>{"GetSystemsMC", {}, true, &Scenario::GetSystemsMC},
      Operation<Ref<Systems>>{"GetSystemsVT", {}, true, &Scenario::GetSystemsVT},
      Operation<Ref<System>>{"GetSystem", {K::text}, true, &Scenario::GetSystem},
      Operation<List<Ref<Connection>>>{"GetConnectionsMC", {}, true, &Scenario::GetConnectionsMC},
      Operation<List<Ref<Connection>>>{"GetConnectionsVT", {}, true, &Scenario::GetConnectionsVT},
      Operation<List<Ref<UnitTypes>>>{"GetTypes", {}, true, &Scenario::GetTypes},
      Operation<List<Ref<ExportRule>>>{"GetExportRules", {}, true, &Scenario::GetExportRules},
      Operation<List<Text>>{"GetDomains", {K::integer}, false, &Scenario::GetDomains},
      Operation<List<Text>>{
          "GetExportFormats", {K::texts, K::text}, true, &Scenario::GetExportFormats},
      Operation<NoResult>{"SetExportMcFile",
                          {K::text, K::texts, K::text, K::text, K::integer},
                          true,
                          &Scenario::SetExportMcFile},
      Operation<NoResult>{"SetExportVtFile",
                          {K::text, K::text, K::text, K::integer},
                          true,
                          &Scenario::SetExportVtFile},
  };
  return table;
}

Argument ReadArgument(Kind kind, const json& value, const Place& place) {
  switch (kind) {
    case Kind::text:
      return ReadValue<Text>(value, place);
    case Kind::texts:
      return ReadValue<List<Text>>(value, place);
    case Kind::integer:
      return ReadValue<std::int32_t>(value, place);
  }
  place.Fail("unknown kind of argument");
}

template <class Result>
Answer<Result> ReadAnswer(const Operation<Result>& operation, const json& value,
                          const Place& place) {
  if (!value.is_object()) place.Fail("expected an answer object");
  Answer<Result> answer;
  for (const auto& [key, member] : value.items()) {
    const Place at = place.Child(key);
    if (key == "match") {
      if (!member.is_array()) at.Fail("expected an array of arguments");
      if (member.size() != operation.parameters.size()) {
        at.Fail(std::string(operation.name) + " takes " +
                std::to_string(operation.parameters.size()) + " argument(s)");
      }
      Arguments arguments;
      for (std::size_t i = 0; i < member.size(); ++i) {
        arguments.push_back(ReadArgument(operation.parameters[i], member[i], at.Child(i)));
      }
      answer.match = std::move(arguments);
    } else if (key == "responsecode") {
      if (!operation.has_code) at.Fail(std::string(operation.name) + " has no response code");
      answer.responsecode = ReadValue<std::int32_t>(member, at);
    } else if (key == "result") {
      answer.result = ReadValue<Result>(member, at);
    } else if (key == "throws") {
      if (!member.is_string()) at.Fail("expected a message string");
      answer.throws = member.template get<std::string>();
    } else {
      at.Fail("unknown property '" + key + "'");
    }
  }
  return answer;
}

// Reads the answers of `operation` if `name` is its name; false if it is not.
template <class Result>
bool ReadAnswers(const Operation<Result>& operation, const std::string& name, const json& value,
                 const Place& place, Scenario& scenario) {
  if (operation.name != name) return false;
  auto& answers = scenario.*operation.answers;
  if (value.is_array()) {
    for (std::size_t i = 0; i < value.size(); ++i) {
      answers.push_back(ReadAnswer(operation, value[i], place.Child(i)));
    }
  } else {
    answers.push_back(ReadAnswer(operation, value, place));
  }
  return true;
}

void ReadState(const json& value, const Place& place, Scenario& scenario) {
  if (!value.is_object()) place.Fail("expected an object");
  for (const auto& [key, member] : value.items()) {
    const Place at = place.Child(key);
    if (key == "tenant") {
      scenario.tenant = ReadValue<Text>(member, at);
    } else if (key == "project") {
      scenario.project = ReadValue<Text>(member, at);
    } else if (key == "loggedIn") {
      scenario.loggedIn = ReadValue<bool>(member, at);
    } else {
      at.Fail("unknown property '" + key + "'");
    }
  }
}

// Line and column (both from 1) of a byte offset.
std::string LineAndColumn(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  std::size_t line = 1;
  std::size_t line_start = 0;
  for (std::size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n') {
      ++line;
      line_start = i + 1;
    }
  }
  return std::to_string(line) + ":" + std::to_string(offset - line_start + 1);
}

}  // namespace

bool SameArguments(const Arguments& a, const Arguments& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!SameArgument(a[i], b[i])) return false;
  }
  return true;
}

Scenario ReadScenario(std::string_view text, const std::string& source) {
  // The parser counts depth as it goes and stops a document nested past the limit, so a hostile
  // file cannot exhaust the stack.
  const json::parser_callback_t limit_depth = [&](int depth, json::parse_event_t, json&) {
    if (static_cast<std::size_t>(depth) > kMaxDepth) {
      throw ServiceError(source + ": nested deeper than " + std::to_string(kMaxDepth) + " levels");
    }
    return true;
  };
  json document;
  try {
    document = json::parse(text, limit_depth);
  } catch (const json::exception& error) {  // syntax, and numbers beyond what JSON numbers hold
    std::string message = error.what();
    if (const auto colon = message.find("syntax error"); colon != std::string::npos) {
      message = message.substr(colon);
    } else if (const auto tag = message.find("] "); tag != std::string::npos) {
      message = message.substr(tag + 2);
    }
    const auto* parse_error = dynamic_cast<const json::parse_error*>(&error);
    const std::size_t byte = parse_error && parse_error->byte > 0 ? parse_error->byte - 1 : 0;
    throw ServiceError(source + ":" + LineAndColumn(text, byte) + ": " + message);
  }

  const Place root{source, "", 0};
  if (!document.is_object()) root.Fail("expected an object with \"state\" and \"answers\"");
  Scenario scenario;
  for (const auto& [key, value] : document.items()) {
    const Place at = root.Child(key);
    if (key == "state") {
      ReadState(value, at, scenario);
    } else if (key == "answers") {
      if (!value.is_object()) at.Fail("expected an object keyed by operation");
      for (const auto& item : value.items()) {
        const std::string& name = item.key();
        const json& answers = item.value();
        const bool known = std::apply(
            [&](const auto&... operation) {
              return (ReadAnswers(operation, name, answers, at.Child(name), scenario) || ...);
            },
            Operations());
        if (!known) at.Child(name).Fail("unknown operation '" + name + "'");
      }
    } else {
      at.Fail("unknown property '" + key + "'");
    }
  }
  return scenario;
}

Scenario ReadScenarioFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw ServiceError(path + ": cannot open the scenario file");
  std::ostringstream content;
  content << file.rdbuf();
  if (file.bad()) throw ServiceError(path + ": cannot read the scenario file");
  return ReadScenario(content.str(), path);
}

}  // namespace KobMachineControl::offline
