// Turns a configuration text into a connected provider. The kinds of service are added here.

#include <KobMachineControl/ServiceProvider.h>

#include <cstdlib>
#include <exception>

#include "OfflineService.h"
#if KOBMC_WITH_DOTNET
#include "DotnetService.h"
#endif

namespace KobMachineControl {

constexpr std::string_view kServiceVariable = "KOBMC_SERVICE";
constexpr std::string_view kJournalVariable = "KOBMC_JOURNAL";

namespace {

std::string Environment(std::string_view name) {
  const char* value = std::getenv(std::string(name).c_str());
  return value ? value : "";
}

// Problems are reported in one line, however the cause worded them.
std::string OneLine(std::string_view text) {
  std::string line;
  for (const char c : text) {
    const bool space = c == '\n' || c == '\r' || c == '\t' || c == ' ';
    if (space && (line.empty() || line.back() == ' ')) continue;
    line += space ? ' ' : c;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

}  // namespace

ServiceConnection ConnectService(std::string_view spec) {
  ServiceConnection connection{std::string(spec), nullptr, {}};
  try {
    const auto colon = spec.find(':');
    const std::string_view kind = spec.substr(0, colon);
    const std::string target(colon == std::string_view::npos ? "" : spec.substr(colon + 1));
    if (spec.empty()) {
      connection.problem = "no service configured (set " + std::string(kServiceVariable) +
                           "=offline:<scenario file>)";
    } else if (kind == "offline" && !target.empty()) {
      connection.provider = offline::MakeOfflineService(target, Environment(kJournalVariable));
#if KOBMC_WITH_DOTNET
    } else if (kind == "dotnet" && !target.empty()) {
      connection.provider = dotnet::MakeDotnetService(target);
#endif
    } else {
      connection.problem = "unknown service '" + std::string(spec) +
                           "'; expected offline:<scenario file> or dotnet:<KobMachineControl.dll>";
    }
  } catch (const std::exception& error) {
    connection.provider = nullptr;
    connection.problem = OneLine(error.what());
  }
  return connection;
}

const ServiceConnection& ConfiguredService() {
  static const ServiceConnection configured = [] {
    return ConnectService(Environment(kServiceVariable));
  }();
  return configured;
}

}  // namespace KobMachineControl
