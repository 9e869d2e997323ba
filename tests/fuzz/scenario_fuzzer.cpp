// The scenario reader: any input either loads completely or is refused with a ServiceError that
// says where; anything else (a crash, another kind of error) is a finding.

#include <KobMachineControl/ServiceProvider.h>

#include <cstdint>
#include <string_view>

#include "Scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    (void)KobMachineControl::offline::ReadScenario(
        std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.json");
  } catch (const KobMachineControl::ServiceError& error) {
    if (std::string_view(error.what()).find("fuzz.json") != 0) __builtin_trap();
  }
  return 0;
}
