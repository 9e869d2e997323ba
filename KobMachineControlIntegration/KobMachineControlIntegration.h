#pragma once
// KobMachineControlIntegration: the native bridge to the machine-control integration service.
//
// Every operation is safe to call at any time: no error raised while it runs reaches the caller.
// On failure an operation returns an empty vector, a default record or false, and the service's
// response code, written into `responsecode`, tells what happened. Texts are narrow strings in
// the calling thread's locale encoding (UTF-8 under a UTF-8 locale and under the plain C locale).

#include <cstdint>
#include <string>
#include <vector>

#if defined(__GNUC__)
#define KOBMC_BRIDGE_API __attribute__((visibility("default")))
#else
#define KOBMC_BRIDGE_API
#endif

// ---- Records ----------------------------------------------------------------------------------
// Plain values, owned by the host once returned. Field order and types are part of the binary
// interface.

struct MachineControlLayer {
  std::int32_t id = 0;
  std::string name;
};

struct MachineControlLocalizedLabel {
  std::string label;
  std::string locale;
};

struct MachineControlUnitType {
  std::string unitType;
  std::vector<MachineControlLocalizedLabel> localizedLabels;
};

struct MachineControlSystem {
  std::string id;
  std::string name;
  std::string company;
  bool productionReady = false;
  std::string category;
};

struct MachineControlConnection {
  std::string id;
  std::string name;
  std::string company;
  std::string status;
  std::string category;
};

struct MachineControlDefinition {
  std::string modelType;
  std::string layersType;
  std::string surfacesOfLayers;
  std::vector<std::string> equipments;
  std::vector<MachineControlLayer> layers;
};

struct MachineControlExportRule {
  std::string id;
  std::string name;
  std::string description;
  std::string type;
  std::string domainId;
  std::string domainName;
  MachineControlDefinition definition;
};

namespace KobMachineControlIntegration {

// ---- Context --------------------------------------------------------------------------------

KOBMC_BRIDGE_API void SetTenantUniqueId(const std::string& tenantUniqueId) noexcept;
KOBMC_BRIDGE_API void SetProject(const std::string& project) noexcept;
KOBMC_BRIDGE_API bool IsLoggedIn() noexcept;
KOBMC_BRIDGE_API void Logout() noexcept;

// ---- Catalogue queries ----------------------------------------------------------------------
// Results keep the service's order. Any failure, including one bad element, gives an empty
// vector (a default record for GetSystem).

KOBMC_BRIDGE_API std::vector<MachineControlSystem> GetSystemsMC(
    std::int32_t& responsecode) noexcept;
KOBMC_BRIDGE_API std::vector<MachineControlSystem> GetSystemsVT(
    std::int32_t& responsecode) noexcept;
KOBMC_BRIDGE_API MachineControlSystem GetSystem(const std::string& systemId,
                                                std::int32_t& responsecode) noexcept;
KOBMC_BRIDGE_API std::vector<MachineControlConnection> GetConnectionsMC(
    std::int32_t& responsecode) noexcept;
KOBMC_BRIDGE_API std::vector<MachineControlConnection> GetConnectionsVT(
    std::int32_t& responsecode) noexcept;
KOBMC_BRIDGE_API std::vector<MachineControlUnitType> GetTypes(std::int32_t& responsecode) noexcept;
KOBMC_BRIDGE_API std::vector<MachineControlExportRule> GetExportRules(
    std::int32_t& responsecode) noexcept;
// Passes the value of `responsecode` to the service and never writes it.
KOBMC_BRIDGE_API std::vector<std::string> GetDomains(std::int32_t& responsecode) noexcept;
KOBMC_BRIDGE_API std::vector<std::string> GetExportFormats(
    const std::vector<std::string>& unittypes, const std::string& ruletype,
    std::int32_t& responsecode) noexcept;

// ---- Export files ---------------------------------------------------------------------------
// The outcome is the response code alone.

KOBMC_BRIDGE_API void SetExportMcFile(const std::string& exportfileid,
                                      const std::vector<std::string>& unittypes,
                                      const std::string& exporttype,
                                      const std::string& sourcefileid, std::int32_t sourcefilerev,
                                      std::int32_t& responsecode) noexcept;
KOBMC_BRIDGE_API void SetExportVtFile(const std::string& fileid, const std::string& exporttype,
                                      const std::string& sourcefileid, std::int32_t sourcefilerev,
                                      std::int32_t& responsecode) noexcept;

}  // namespace KobMachineControlIntegration
