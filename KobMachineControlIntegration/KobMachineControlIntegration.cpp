// The exported operations. Each one runs inside the call barrier, converts its inputs, calls the
// facade operation of the same name and converts the result straight into what it returns.

#include "KobMachineControlIntegration.h"

#include <KobMachineControl/MachineControlIntegration.h>

#include "CallBarrier.h"
#include "marshal/marshal.h"

namespace KobMachineControlIntegration {

using Facade = KobMachineControl::MachineControlIntegration;
using detail::call_barrier;
using KobMachineControl::Text;
using oxel::marshal::marshal_as;

// ---- Context --------------------------------------------------------------------------------

void SetTenantUniqueId(const std::string& tenantUniqueId) noexcept {
  call_barrier([&] { Facade::SetTenantUniqueId(marshal_as<Text>(tenantUniqueId)); });
}

void SetProject(const std::string& project) noexcept {
  call_barrier([&] { Facade::SetProject(marshal_as<Text>(project)); });
}

bool IsLoggedIn() noexcept {
  return call_barrier([] { return Facade::IsLoggedIn(); });
}

void Logout() noexcept {
  call_barrier([] { Facade::Logout(); });
}

}  // namespace KobMachineControlIntegration
