// Turns a configuration text into a connected provider. The kinds of service are added here.

#include <KobMachineControl/ServiceProvider.h>

#include <cstdlib>
#include <exception>

namespace KobMachineControl {

constexpr std::string_view kServiceVariable = "KOBMC_SERVICE";

ServiceConnection ConnectService(std::string_view spec) {
  ServiceConnection connection{std::string(spec), nullptr, {}};
  try {
    if (spec.empty()) {
      connection.problem = "no service configured (set " + std::string(kServiceVariable) + ")";
    } else {
      connection.problem = "unknown kind of service in '" + std::string(spec) + "'";
    }
  } catch (const std::exception& error) {
    connection.provider = nullptr;
    connection.problem = error.what();
  }
  return connection;
}

const ServiceConnection& ConfiguredService() {
  static const ServiceConnection configured = [] {
    const char* spec = std::getenv(kServiceVariable.data());
    return ConnectService(spec ? spec : "");
  }();
  return configured;
}

}  // namespace KobMachineControl
