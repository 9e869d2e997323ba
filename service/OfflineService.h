#pragma once

#include <KobMachineControl/ServiceProvider.h>

#include <memory>
#include <string>

namespace KobMachineControl::offline {

// A service that answers from a scenario file, read here and now. When `journal_path` is not
// empty, every call is appended to it as one JSON line before it is answered. Raises
// ServiceError when the file cannot be read or the journal cannot be opened.
std::shared_ptr<ServiceProvider> MakeOfflineService(const std::string& scenario_path,
                                                    const std::string& journal_path);

}  // namespace KobMachineControl::offline
