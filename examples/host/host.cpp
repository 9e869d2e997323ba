// A small host: lists the export rules the configured service offers.
//   KOBMC_SERVICE=offline:examples/scenario.json ./host

#include <KobMachineControlIntegration/KobMachineControlIntegration.h>

#include <clocale>
#include <cstdio>

int main() {
  std::setlocale(LC_ALL, "");  // texts arrive in the terminal's encoding
  std::int32_t responsecode = 0;
  const std::vector<MachineControlExportRule> rules =
      KobMachineControlIntegration::GetExportRules(responsecode);
  for (const MachineControlExportRule& rule : rules) {
    std::printf("%s  %s  (%zu layers)\n", rule.id.c_str(), rule.name.c_str(),
                rule.definition.layers.size());
  }
  std::printf("%zu export rules, responsecode %d\n", rules.size(), responsecode);
  return rules.empty() ? 1 : 0;
}
