#pragma once
// What actually answers the facade. The facade's static operations forward to the process's
// active provider: one installed in-process, or else the one the service's configuration names.

#include <KobMachineControl/ApiModels.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#if defined(__GNUC__)
#define KOBMC_SERVICE_API __attribute__((visibility("default")))
#else
#define KOBMC_SERVICE_API
#endif

namespace KobMachineControl {

// Raised by the service for its own failures.
class KOBMC_SERVICE_API ServiceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raised by every facade operation while no service can be reached.
class KOBMC_SERVICE_API ServiceUnavailableError : public ServiceError {
 public:
  using ServiceError::ServiceError;
};

// One virtual per facade operation, with the facade's parameters.
class KOBMC_SERVICE_API ServiceProvider {
 public:
  virtual ~ServiceProvider();

  virtual void SetTenantUniqueId(const Text& tenantUniqueId) = 0;
  virtual void SetProject(const Text& project) = 0;
  virtual bool IsLoggedIn() = 0;
  virtual void Logout() = 0;

  virtual Ref<ApiModels::Systems> GetSystemsMC(std::int32_t& responsecode) = 0;
  virtual Ref<ApiModels::Systems> GetSystemsVT(std::int32_t& responsecode) = 0;
  virtual Ref<ApiModels::System> GetSystem(const Text& systemId, std::int32_t& responsecode) = 0;
  virtual List<Ref<ApiModels::Connection>> GetConnectionsMC(std::int32_t& responsecode) = 0;
  virtual List<Ref<ApiModels::Connection>> GetConnectionsVT(std::int32_t& responsecode) = 0;
  virtual List<Ref<ApiModels::UnitTypes>> GetTypes(std::int32_t& responsecode) = 0;
  virtual List<Ref<ApiModels::ExportRule>> GetExportRules(std::int32_t& responsecode) = 0;
  virtual List<Text> GetDomains(std::int32_t responsecode) = 0;
  virtual List<Text> GetExportFormats(const List<Text>& unittypes, const Text& ruletype,
                                      std::int32_t& responsecode) = 0;

  virtual void SetExportMcFile(const Text& exportfileid, const List<Text>& unittypes,
                               const Text& exporttype, const Text& sourcefileid,
                               std::int32_t sourcefilerev, std::int32_t& responsecode) = 0;
  virtual void SetExportVtFile(const Text& fileid, const Text& exporttype, const Text& sourcefileid,
                               std::int32_t sourcefilerev, std::int32_t& responsecode) = 0;
};

// A service as named by a configuration text, connected or not.
struct KOBMC_SERVICE_API ServiceConnection {
  std::string spec;                           // the configuration text, as given
  std::shared_ptr<ServiceProvider> provider;  // null when the service cannot be reached
  std::string problem;                        // why not, in one line
};

// Connects to the service that `spec` names. Never raises: failure is reported in `problem`.
KOBMC_SERVICE_API ServiceConnection ConnectService(std::string_view spec);

// The service named by the environment variable KOBMC_SERVICE, connected once per process, on
// first use.
KOBMC_SERVICE_API const ServiceConnection& ConfiguredService();

// Makes `provider` the process's service and returns the one installed before (may be null).
// Installing null hands the process back to the configured service.
KOBMC_SERVICE_API std::shared_ptr<ServiceProvider> InstallServiceProvider(
    std::shared_ptr<ServiceProvider> provider);

// The provider that answers now; raises ServiceUnavailableError, saying why, when there is none.
KOBMC_SERVICE_API std::shared_ptr<ServiceProvider> ActiveServiceProvider();

}  // namespace KobMachineControl
