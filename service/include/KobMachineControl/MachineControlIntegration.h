#pragma once
// The machine-control service facade: static operations, each answered by the active provider.

#include <KobMachineControl/ApiModels.h>
#include <KobMachineControl/ServiceProvider.h>

#include <cstdint>

namespace KobMachineControl {

class KOBMC_SERVICE_API MachineControlIntegration {
 public:
  MachineControlIntegration() = delete;

  static void SetTenantUniqueId(const Text& tenantUniqueId);
  static void SetProject(const Text& project);
  static bool IsLoggedIn();
  static void Logout();

  static Ref<ApiModels::Systems> GetSystemsMC(std::int32_t& responsecode);
  static Ref<ApiModels::Systems> GetSystemsVT(std::int32_t& responsecode);
  static Ref<ApiModels::System> GetSystem(const Text& systemId, std::int32_t& responsecode);
  static List<Ref<ApiModels::Connection>> GetConnectionsMC(std::int32_t& responsecode);
  static List<Ref<ApiModels::Connection>> GetConnectionsVT(std::int32_t& responsecode);
  static List<Ref<ApiModels::UnitTypes>> GetTypes(std::int32_t& responsecode);
  static List<Ref<ApiModels::ExportRule>> GetExportRules(std::int32_t& responsecode);
  static List<Text> GetDomains(std::int32_t responsecode);
  static List<Text> GetExportFormats(const List<Text>& unittypes, const Text& ruletype,
                                     std::int32_t& responsecode);

  static void SetExportMcFile(const Text& exportfileid, const List<Text>& unittypes,
                              const Text& exporttype, const Text& sourcefileid,
                              std::int32_t sourcefilerev, std::int32_t& responsecode);
  static void SetExportVtFile(const Text& fileid, const Text& exporttype, const Text& sourcefileid,
                              std::int32_t sourcefilerev, std::int32_t& responsecode);
};

}  // namespace KobMachineControl
