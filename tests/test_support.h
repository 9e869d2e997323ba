#pragma once
// Shared by the tests: a scripted service provider and a per-thread locale switch.

#include <KobMachineControl/ServiceProvider.h>
#include <gmock/gmock.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "thread_locale.h"

namespace kobmc_test {

using namespace KobMachineControl;
using namespace KobMachineControl::ApiModels;

class MockProvider : public ServiceProvider {
 public:
  MOCK_METHOD(void, SetTenantUniqueId, (const Text&), (override));
  MOCK_METHOD(void, SetProject, (const Text&), (override));
  MOCK_METHOD(bool, IsLoggedIn, (), (override));
  MOCK_METHOD(void, Logout, (), (override));
  MOCK_METHOD(Ref<Systems>, GetSystemsMC, (std::int32_t&), (override));
  MOCK_METHOD(Ref<Systems>, GetSystemsVT, (std::int32_t&), (override));
  MOCK_METHOD(Ref<System>, GetSystem, (const Text&, std::int32_t&), (override));
  MOCK_METHOD(List<Ref<Connection>>, GetConnectionsMC, (std::int32_t&), (override));
  MOCK_METHOD(List<Ref<Connection>>, GetConnectionsVT, (std::int32_t&), (override));
  MOCK_METHOD(List<Ref<UnitTypes>>, GetTypes, (std::int32_t&), (override));
  MOCK_METHOD(List<Ref<ExportRule>>, GetExportRules, (std::int32_t&), (override));
  MOCK_METHOD(List<Text>, GetDomains, (std::int32_t), (override));
  MOCK_METHOD(List<Text>, GetExportFormats, (const List<Text>&, const Text&, std::int32_t&),
              (override));
  MOCK_METHOD(void, SetExportMcFile,
              (const Text&, const List<Text>&, const Text&, const Text&, std::int32_t,
               std::int32_t&),
              (override));
  MOCK_METHOD(void, SetExportVtFile,
              (const Text&, const Text&, const Text&, std::int32_t, std::int32_t&), (override));
};

// Installs a strict mock as the process's service for the life of a test.
class ProviderTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallServiceProvider(provider_); }
  void TearDown() override { InstallServiceProvider(nullptr); }
  MockProvider& service() { return *provider_; }

 private:
  std::shared_ptr<::testing::StrictMock<MockProvider>> provider_ =
      std::make_shared<::testing::StrictMock<MockProvider>>();
};

inline constexpr const char* kUtf8Locale = "en_US.UTF-8";
inline constexpr const char* kCp1252Locale = "de_DE.CP1252";
// A locale whose codeset no converter knows: every non-empty text conversion fails under it.
inline constexpr const char* kUnconvertibleLocale = "en_US.KOBMC-UNCONVERTIBLE";

}  // namespace kobmc_test
