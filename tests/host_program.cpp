// A host as a host is built: the public header alone, linked against the bridge alone. With no
// service reachable every operation must return its fallback, and nothing may escape.

#include <KobMachineControlIntegration/KobMachineControlIntegration.h>

#include <cstdio>

int main() {
  namespace kmc = KobMachineControlIntegration;
  std::int32_t code = 7;
  kmc::SetTenantUniqueId("tenant");
  kmc::SetProject("project");
  kmc::Logout();
  const bool fallbacks = !kmc::IsLoggedIn() && kmc::GetSystemsMC(code).empty() &&
                         kmc::GetSystemsVT(code).empty() && kmc::GetSystem("id", code).id.empty() &&
                         kmc::GetConnectionsMC(code).empty() &&
                         kmc::GetConnectionsVT(code).empty() && kmc::GetTypes(code).empty() &&
                         kmc::GetExportRules(code).empty() && kmc::GetDomains(code).empty() &&
                         kmc::GetExportFormats({"a"}, "b", code).empty();
  kmc::SetExportMcFile("e", {"a"}, "t", "s", 1, code);
  kmc::SetExportVtFile("f", "t", "s", 1, code);
  std::printf("fallbacks: %s, responsecode: %d\n", fallbacks ? "yes" : "no", code);
  return fallbacks && code == 7 ? 0 : 1;
}
