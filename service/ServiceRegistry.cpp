// The process's active provider: one installed in-process wins; otherwise the configured service,
// resolved once, on the first facade call that needs it.

#include <KobMachineControl/ServiceProvider.h>

#include <atomic>

namespace KobMachineControl {

ServiceProvider::~ServiceProvider() = default;

namespace {

std::atomic<std::shared_ptr<ServiceProvider>>& InstalledProvider() {
  static std::atomic<std::shared_ptr<ServiceProvider>> installed;
  return installed;
}

}  // namespace

std::shared_ptr<ServiceProvider> InstallServiceProvider(std::shared_ptr<ServiceProvider> provider) {
  return InstalledProvider().exchange(std::move(provider));
}

std::shared_ptr<ServiceProvider> ActiveServiceProvider() {
  if (auto installed = InstalledProvider().load()) return installed;
  const ServiceConnection& configured = ConfiguredService();
  if (!configured.provider)
    throw ServiceUnavailableError("service unavailable: " + configured.problem);
  return configured.provider;
}

}  // namespace KobMachineControl
