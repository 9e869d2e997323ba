#include <KobMachineControl/MachineControlIntegration.h>

#include <utility>

namespace KobMachineControl {
namespace {

// Calls `operation` on the active provider, which stays alive for the whole call.
template <class Result, class... Parameters, class... Arguments>
Result Forward(Result (ServiceProvider::*operation)(Parameters...), Arguments&&... arguments) {
  const std::shared_ptr<ServiceProvider> provider = ActiveServiceProvider();
  return ((*provider).*operation)(std::forward<Arguments>(arguments)...);
}

}  // namespace

using namespace ApiModels;
using Facade = MachineControlIntegration;

void Facade::SetTenantUniqueId(const Text& tenantUniqueId) {
  Forward(&ServiceProvider::SetTenantUniqueId, tenantUniqueId);
}
void Facade::SetProject(const Text& project) {
  Forward(&ServiceProvider::SetProject, project);
}
bool Facade::IsLoggedIn() {
  return Forward(&ServiceProvider::IsLoggedIn);
}
void Facade::Logout() {
  Forward(&ServiceProvider::Logout);
}

Ref<Systems> Facade::GetSystemsMC(std::int32_t& responsecode) {
  return Forward(&ServiceProvider::GetSystemsMC, responsecode);
}
Ref<Systems> Facade::GetSystemsVT(std::int32_t& responsecode) {
  return Forward(&ServiceProvider::GetSystemsVT, responsecode);
}
Ref<System> Facade::GetSystem(const Text& systemId, std::int32_t& responsecode) {
  return Forward(&ServiceProvider::GetSystem, systemId, responsecode);
}
List<Ref<Connection>> Facade::GetConnectionsMC(std::int32_t& responsecode) {
  return Forward(&ServiceProvider::GetConnectionsMC, responsecode);
}
List<Ref<Connection>> Facade::GetConnectionsVT(std::int32_t& responsecode) {
  return Forward(&ServiceProvider::GetConnectionsVT, responsecode);
}
List<Ref<UnitTypes>> Facade::GetTypes(std::int32_t& responsecode) {
  return Forward(&ServiceProvider::GetTypes, responsecode);
}
List<Ref<ExportRule>> Facade::GetExportRules(std::int32_t& responsecode) {
  return Forward(&ServiceProvider::GetExportRules, responsecode);
}
List<Text> Facade::GetDomains(std::int32_t responsecode) {
  return Forward(&ServiceProvider::GetDomains, responsecode);
}
List<Text> Facade::GetExportFormats(const List<Text>& unittypes, const Text& ruletype,
                                    std::int32_t& responsecode) {
  return Forward(&ServiceProvider::GetExportFormats, unittypes, ruletype, responsecode);
}

void Facade::SetExportMcFile(const Text& exportfileid, const List<Text>& unittypes,
                             const Text& exporttype, const Text& sourcefileid,
                             std::int32_t sourcefilerev, std::int32_t& responsecode) {
  Forward(&ServiceProvider::SetExportMcFile, exportfileid, unittypes, exporttype, sourcefileid,
          sourcefilerev, responsecode);
}
void Facade::SetExportVtFile(const Text& fileid, const Text& exporttype, const Text& sourcefileid,
                             std::int32_t sourcefilerev, std::int32_t& responsecode) {
  Forward(&ServiceProvider::SetExportVtFile, fileid, exporttype, sourcefileid, sourcefilerev,
          responsecode);
}

}  // namespace KobMachineControl
