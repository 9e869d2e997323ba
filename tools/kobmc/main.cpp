// kobmc: the reference host. It calls the bridge exactly as a host does, one subcommand per
// exported operation, and prints the result as a table or, with --json, as JSON.

#include <KobMachineControl/ServiceProvider.h>
#include <KobMachineControlIntegration/KobMachineControlIntegration.h>

#include <CLI/CLI.hpp>
#include <clocale>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

using Json = nlohmann::ordered_json;

// Records as JSON objects with the records' own field names, in declaration order.
void to_json(Json& j, const MachineControlLayer& r) {
  j = {{"id", r.id}, {"name", r.name}};
}
void to_json(Json& j, const MachineControlLocalizedLabel& r) {
  j = {{"label", r.label}, {"locale", r.locale}};
}
void to_json(Json& j, const MachineControlUnitType& r) {
  j = {{"unitType", r.unitType}, {"localizedLabels", r.localizedLabels}};
}
void to_json(Json& j, const MachineControlSystem& r) {
  j = {{"id", r.id},
       {"name", r.name},
       {"company", r.company},
       {"productionReady", r.productionReady},
       {"category", r.category}};
}
void to_json(Json& j, const MachineControlConnection& r) {
  j = {{"id", r.id},
       {"name", r.name},
       {"company", r.company},
       {"status", r.status},
       {"category", r.category}};
}
void to_json(Json& j, const MachineControlDefinition& r) {
  j = {{"modelType", r.modelType},
       {"layersType", r.layersType},
       {"surfacesOfLayers", r.surfacesOfLayers},
       {"equipments", r.equipments},
       {"layers", r.layers}};
}
void to_json(Json& j, const MachineControlExportRule& r) {
  j = {{"id", r.id},
       {"name", r.name},
       {"description", r.description},
       {"type", r.type},
       {"domainId", r.domainId},
       {"domainName", r.domainName},
       {"definition", r.definition}};
}

namespace {

namespace kmc = KobMachineControlIntegration;

// ---- Readable output --------------------------------------------------------------------------

std::string Scalar(const Json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_null()) return "";
  if (value.is_array()) {
    std::string joined;
    for (const Json& element : value) {
      if (!joined.empty()) joined += ", ";
      joined += Scalar(element);
    }
    return joined;
  }
  if (value.is_object()) {
    std::string joined;
    for (const auto& [key, member] : value.items()) {
      if (!joined.empty()) joined += " ";
      joined += Scalar(member);
    }
    return joined;
  }
  return value.dump();
}

// Columns a terminal needs for `text` in the current locale's encoding.
std::size_t DisplayWidth(const std::string& text) {
  std::mbstate_t state{};
  const char* source = text.c_str();
  std::wstring wide(text.size(), L'\0');
  const std::size_t count = std::mbsrtowcs(wide.data(), &source, wide.size(), &state);
  if (count == static_cast<std::size_t>(-1)) return text.size();
  const int width = ::wcswidth(wide.c_str(), count);
  return width < 0 ? count : static_cast<std::size_t>(width);
}

void Flatten(const Json& object, const std::string& prefix, std::vector<std::string>& names,
             std::vector<std::string>& values) {
  for (const auto& [key, member] : object.items()) {
    if (member.is_object()) {
      Flatten(member, prefix + key + ".", names, values);
    } else {
      names.push_back(prefix + key);
      values.push_back(Scalar(member));
    }
  }
}

// A list of flat records prints as a table; records with nested parts print as blocks.
void PrintRecords(const Json& records, std::ostream& out) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> names;
  bool nested = false;
  for (const Json& record : records) {
    std::vector<std::string> row;
    names.clear();
    Flatten(record, "", names, row);
    for (const auto& [key, member] : record.items()) nested |= member.is_structured();
    rows.push_back(std::move(row));
  }
  if (nested) {
    std::size_t name_width = 0;
    for (const auto& name : names) name_width = std::max(name_width, name.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
      if (r > 0) out << '\n';
      for (std::size_t c = 0; c < names.size(); ++c) {
        out << names[c] << std::string(name_width - names[c].size() + 2, ' ') << rows[r][c] << '\n';
      }
    }
    return;
  }
  std::vector<std::size_t> widths;
  for (const auto& name : names) widths.push_back(name.size());
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    }
  }
  auto print_row = [&](const std::vector<std::string>& cells, auto width_of) {
    for (std::size_t c = 0; c < cells.size(); ++c) {
      out << cells[c];
      if (c + 1 < cells.size()) out << std::string(widths[c] - width_of(cells[c]) + 2, ' ');
    }
    out << '\n';
  };
  print_row(names, [](const std::string& s) { return s.size(); });
  for (const auto& row : rows) print_row(row, DisplayWidth);
}

void PrintReadable(const Json& result, std::ostream& out) {
  if (result.is_null()) return;
  if (result.is_array() && !result.empty() && result.front().is_object()) {
    PrintRecords(result, out);
  } else if (result.is_array()) {
    for (const Json& element : result) out << Scalar(element) << '\n';
  } else if (result.is_object()) {
    PrintRecords(Json::array({result}), out);
  } else {
    out << Scalar(result) << '\n';
  }
}

// ---- Commands ---------------------------------------------------------------------------------

struct Options {
  std::string service;
  bool json = false;
  std::int32_t responsecode = 0;
  std::string tenant;
  std::string project;
};

struct Call {
  std::string operation;                   // the exported operation's name
  std::function<Json(std::int32_t&)> run;  // calls it and returns its result as JSON
  bool has_code = true;
};

void Report(const Options& options, const Call& call) {
  if (!options.tenant.empty()) kmc::SetTenantUniqueId(options.tenant);
  if (!options.project.empty()) kmc::SetProject(options.project);
  std::int32_t responsecode = options.responsecode;
  const Json result = call.run(responsecode);
  if (options.json) {
    Json document = {{"operation", call.operation}};
    if (call.has_code) document["responsecode"] = responsecode;
    document["result"] = result;
    std::cout << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
    return;
  }
  PrintReadable(result, std::cout);
  if (call.has_code) std::cout << "responsecode: " << responsecode << '\n';
}

int Doctor(const Options& options) {
  const KobMachineControl::ServiceConnection& service = KobMachineControl::ConfiguredService();
  const bool reachable = service.provider != nullptr;
  if (options.json) {
    std::cout << Json{{"service", service.spec},
                      {"reachable", reachable},
                      {"problem", reachable ? Json(nullptr) : Json(service.problem)}}
                     .dump(2)
              << '\n';
  } else {
    std::cout << "service: " << (service.spec.empty() ? "(none)" : service.spec) << '\n'
              << "status: " << (reachable ? "reachable" : "unavailable: " + service.problem)
              << '\n';
  }
  return reachable ? EXIT_SUCCESS : EXIT_FAILURE;
}

}  // namespace

int main(int argc, char** argv) {
  // Texts cross the bridge in the terminal's encoding.
  std::setlocale(LC_ALL, "");

  CLI::App app{"kobmc: calls the machine-control integration bridge as a host does"};
  app.require_subcommand(1);
  Options options;
  app.add_option("--service", options.service,
                 "the service to use, e.g. offline:<scenario.json> (default: $KOBMC_SERVICE)");
  app.add_flag("--json", options.json, "print machine-readable JSON");
  app.add_option("--responsecode", options.responsecode,
                 "initial value of responsecode (GetDomains passes it to the service)");
  app.add_option("--tenant", options.tenant, "call SetTenantUniqueId with this first");
  app.add_option("--project", options.project, "call SetProject with this first");

  std::optional<Call> chosen;
  auto command = [&](const std::string& name, const std::string& description) {
    return app.add_subcommand(name, description);
  };
  auto on = [&](CLI::App* subcommand, Call call) {
    subcommand->callback([&chosen, call] { chosen = call; });
  };

  std::string text1, text2, text3;
  std::int32_t number = 0;
  std::vector<std::string> texts;

  // A subcommand taking one required text.
  auto with_text = [&](const std::string& name, const std::string& description,
                       const std::string& parameter) {
    auto* subcommand = command(name, description);
    subcommand->add_option(parameter, text1)->required();
    return subcommand;
  };
  on(with_text("set-tenant", "SetTenantUniqueId", "tenantUniqueId"),
     {"SetTenantUniqueId",
      [&](std::int32_t&) {
        kmc::SetTenantUniqueId(text1);
        return Json();
      },
      false});
  on(with_text("set-project", "SetProject", "project"), {"SetProject",
                                                         [&](std::int32_t&) {
                                                           kmc::SetProject(text1);
                                                           return Json();
                                                         },
                                                         false});
  on(command("is-logged-in", "IsLoggedIn"),
     {"IsLoggedIn", [](std::int32_t&) { return Json(kmc::IsLoggedIn()); }, false});
  on(command("logout", "Logout"), {"Logout",
                                   [](std::int32_t&) {
                                     kmc::Logout();
                                     return Json();
                                   },
                                   false});
  on(command("systems-mc", "GetSystemsMC"),
     {"GetSystemsMC", [](std::int32_t& code) { return Json(kmc::GetSystemsMC(code)); }});
  on(command("systems-vt", "GetSystemsVT"),
     {"GetSystemsVT", [](std::int32_t& code) { return Json(kmc::GetSystemsVT(code)); }});
  on(with_text("system", "GetSystem", "systemId"),
     {"GetSystem", [&](std::int32_t& code) { return Json(kmc::GetSystem(text1, code)); }});
  on(command("connections-mc", "GetConnectionsMC"),
     {"GetConnectionsMC", [](std::int32_t& code) { return Json(kmc::GetConnectionsMC(code)); }});
  on(command("connections-vt", "GetConnectionsVT"),
     {"GetConnectionsVT", [](std::int32_t& code) { return Json(kmc::GetConnectionsVT(code)); }});
  on(command("types", "GetTypes"),
     {"GetTypes", [](std::int32_t& code) { return Json(kmc::GetTypes(code)); }});
  on(command("export-rules", "GetExportRules"),
     {"GetExportRules", [](std::int32_t& code) { return Json(kmc::GetExportRules(code)); }});
  on(command("domains", "GetDomains (passes --responsecode to the service)"),
     {"GetDomains", [](std::int32_t& code) { return Json(kmc::GetDomains(code)); }});

  auto* formats = command("export-formats", "GetExportFormats");
  formats->add_option("ruletype", text1)->required();
  formats->add_option("unittypes", texts, "unit types, in order");
  on(formats, {"GetExportFormats", [&](std::int32_t& code) {
                 return Json(kmc::GetExportFormats(texts, text1, code));
               }});

  auto* mc_file = command("set-export-mc-file", "SetExportMcFile");
  mc_file->add_option("exportfileid", text1)->required();
  mc_file->add_option("exporttype", text2)->required();
  mc_file->add_option("sourcefileid", text3)->required();
  mc_file->add_option("sourcefilerev", number)->required();
  mc_file->add_option("--unittype", texts, "a unit type; repeat for several, in order");
  on(mc_file, {"SetExportMcFile", [&](std::int32_t& code) {
                 kmc::SetExportMcFile(text1, texts, text2, text3, number, code);
                 return Json();
               }});

  auto* vt_file = command("set-export-vt-file", "SetExportVtFile");
  vt_file->add_option("fileid", text1)->required();
  vt_file->add_option("exporttype", text2)->required();
  vt_file->add_option("sourcefileid", text3)->required();
  vt_file->add_option("sourcefilerev", number)->required();
  on(vt_file, {"SetExportVtFile", [&](std::int32_t& code) {
                 kmc::SetExportVtFile(text1, text2, text3, number, code);
                 return Json();
               }});

  bool doctor = false;
  command("doctor", "say which service is configured and whether it can be reached")->callback([&] {
    doctor = true;
  });

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error);
  }

  // The service reads its configuration on the first call; --service sets it for this process.
  if (!options.service.empty()) setenv("KOBMC_SERVICE", options.service.c_str(), 1);
  if (doctor) return Doctor(options);
  Report(options, *chosen);
  return EXIT_SUCCESS;
}
