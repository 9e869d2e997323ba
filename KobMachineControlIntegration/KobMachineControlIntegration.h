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

namespace KobMachineControlIntegration {

// ---- Context --------------------------------------------------------------------------------

KOBMC_BRIDGE_API void SetTenantUniqueId(const std::string& tenantUniqueId) noexcept;
KOBMC_BRIDGE_API void SetProject(const std::string& project) noexcept;
KOBMC_BRIDGE_API bool IsLoggedIn() noexcept;
KOBMC_BRIDGE_API void Logout() noexcept;

}  // namespace KobMachineControlIntegration
