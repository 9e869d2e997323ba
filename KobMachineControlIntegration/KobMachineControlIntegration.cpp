// The exported operations. Each one runs inside the call barrier, converts its inputs, calls the
// facade operation of the same name and converts the result straight into what it returns.

#include "KobMachineControlIntegration.h"

#include <KobMachineControl/MachineControlIntegration.h>

#include "CallBarrier.h"
#include "marshal/marshal.h"
#include "marshal/record_converters.h"

namespace KobMachineControlIntegration {

using Facade = KobMachineControl::MachineControlIntegration;
using detail::call_barrier;
using KobMachineControl::List;
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

// ---- Catalogue queries ----------------------------------------------------------------------

namespace {

// A null Systems object, or a null list inside it, is an ordinary empty answer.
std::vector<MachineControlSystem> systems_of(
    const KobMachineControl::Ref<KobMachineControl::ApiModels::Systems>& answer) {
  if (!answer || !answer->systems) return {};
  return marshal_as<std::vector<MachineControlSystem>>(answer->systems);
}

}  // namespace

std::vector<MachineControlSystem> GetSystemsMC(std::int32_t& responsecode) noexcept {
  return call_barrier([&] { return systems_of(Facade::GetSystemsMC(responsecode)); });
}

std::vector<MachineControlSystem> GetSystemsVT(std::int32_t& responsecode) noexcept {
  return call_barrier([&] { return systems_of(Facade::GetSystemsVT(responsecode)); });
}

MachineControlSystem GetSystem(const std::string& systemId, std::int32_t& responsecode) noexcept {
  return call_barrier([&] {
    return marshal_as<MachineControlSystem>(
        Facade::GetSystem(marshal_as<Text>(systemId), responsecode));
  });
}

std::vector<MachineControlConnection> GetConnectionsMC(std::int32_t& responsecode) noexcept {
  return call_barrier([&] {
    return marshal_as<std::vector<MachineControlConnection>>(
        Facade::GetConnectionsMC(responsecode));
  });
}

std::vector<MachineControlConnection> GetConnectionsVT(std::int32_t& responsecode) noexcept {
  return call_barrier([&] {
    return marshal_as<std::vector<MachineControlConnection>>(
        Facade::GetConnectionsVT(responsecode));
  });
}

std::vector<MachineControlUnitType> GetTypes(std::int32_t& responsecode) noexcept {
  return call_barrier([&] {
    return marshal_as<std::vector<MachineControlUnitType>>(Facade::GetTypes(responsecode));
  });
}

std::vector<MachineControlExportRule> GetExportRules(std::int32_t& responsecode) noexcept {
  return call_barrier([&] {
    return marshal_as<std::vector<MachineControlExportRule>>(Facade::GetExportRules(responsecode));
  });
}

std::vector<std::string> GetDomains(std::int32_t& responsecode) noexcept {
  // The service takes the code by value here: it reads it and cannot write it.
  const std::int32_t code = responsecode;
  return call_barrier(
      [code] { return marshal_as<std::vector<std::string>>(Facade::GetDomains(code)); });
}

std::vector<std::string> GetExportFormats(const std::vector<std::string>& unittypes,
                                          const std::string& ruletype,
                                          std::int32_t& responsecode) noexcept {
  return call_barrier([&] {
    return marshal_as<std::vector<std::string>>(Facade::GetExportFormats(
        marshal_as<List<Text>>(unittypes), marshal_as<Text>(ruletype), responsecode));
  });
}

// ---- Export files ---------------------------------------------------------------------------
// Every argument is converted before the facade is called, so a failed conversion leaves the
// service untouched.

void SetExportMcFile(const std::string& exportfileid, const std::vector<std::string>& unittypes,
                     const std::string& exporttype, const std::string& sourcefileid,
                     std::int32_t sourcefilerev, std::int32_t& responsecode) noexcept {
  call_barrier([&] {
    Facade::SetExportMcFile(marshal_as<Text>(exportfileid), marshal_as<List<Text>>(unittypes),
                            marshal_as<Text>(exporttype), marshal_as<Text>(sourcefileid),
                            sourcefilerev, responsecode);
  });
}

void SetExportVtFile(const std::string& fileid, const std::string& exporttype,
                     const std::string& sourcefileid, std::int32_t sourcefilerev,
                     std::int32_t& responsecode) noexcept {
  call_barrier([&] {
    Facade::SetExportVtFile(marshal_as<Text>(fileid), marshal_as<Text>(exporttype),
                            marshal_as<Text>(sourcefileid), sourcefilerev, responsecode);
  });
}

}  // namespace KobMachineControlIntegration
