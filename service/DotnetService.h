#pragma once

#include <KobMachineControl/ServiceProvider.h>

#include <memory>
#include <string>

namespace KobMachineControl::dotnet {

// A service answered by the managed KobMachineControl assembly at `assembly_path`, called in
// this process through the .NET runtime, which is started on first use. Raises ServiceError,
// naming the cause, when the runtime, the adapter or the assembly's facade cannot be reached.
std::shared_ptr<ServiceProvider> MakeDotnetService(const std::string& assembly_path);

}  // namespace KobMachineControl::dotnet
