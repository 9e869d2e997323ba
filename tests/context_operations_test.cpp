// The context operations through the exported functions, and the call barrier around them.

#include <KobMachineControlIntegration/KobMachineControlIntegration.h>

#include <new>

#include "test_support.h"

namespace {

namespace kmc = KobMachineControlIntegration;
using namespace kobmc_test;
using ::testing::Return;
using ::testing::Throw;

class ContextOperations : public ProviderTest {
  ThreadLocale locale_{kUtf8Locale};
};

TEST_F(ContextOperations, TextsReachTheServiceConverted) {
  EXPECT_CALL(service(), SetTenantUniqueId(Text(u"Mandant-Ü")));
  EXPECT_CALL(service(), SetProject(Text(u"Projekt 7")));
  kmc::SetTenantUniqueId("Mandant-\xC3\x9C");
  kmc::SetProject("Projekt 7");
}

TEST_F(ContextOperations, EmptyTextsArePassedOnAsEmptyNotNull) {
  EXPECT_CALL(service(), SetTenantUniqueId(Text(u"")));
  EXPECT_CALL(service(), SetProject(Text(u"")));
  kmc::SetTenantUniqueId("");
  kmc::SetProject("");
}

TEST_F(ContextOperations, LoginStateComesFromTheService) {
  EXPECT_CALL(service(), IsLoggedIn()).WillOnce(Return(true)).WillOnce(Return(false));
  EXPECT_CALL(service(), Logout());
  EXPECT_TRUE(kmc::IsLoggedIn());
  kmc::Logout();
  EXPECT_FALSE(kmc::IsLoggedIn());
}

// Errors of every kind the service might raise.
struct NoStandardFamily {};
const std::function<void()> kRaisers[] = {
    [] { throw ServiceError("service failed"); },
    [] { throw std::bad_alloc(); },
    [] { throw NoStandardFamily(); },
    [] { throw 42; },
};

TEST_F(ContextOperations, ServiceErrorsNeverReachTheHost) {
  for (const auto& raise : kRaisers) {
    EXPECT_CALL(service(), SetTenantUniqueId).WillOnce(raise);
    EXPECT_CALL(service(), SetProject).WillOnce(raise);
    EXPECT_CALL(service(), Logout).WillOnce(raise);
    EXPECT_CALL(service(), IsLoggedIn).WillOnce([&]() -> bool {
      raise();
      return true;
    });
    kmc::SetTenantUniqueId("t");
    kmc::SetProject("p");
    kmc::Logout();
    EXPECT_FALSE(kmc::IsLoggedIn());
    ::testing::Mock::VerifyAndClearExpectations(&service());
  }
}

TEST_F(ContextOperations, FailedConversionNeverReachesTheService) {
  // The strict mock fails the test if the service is called.
  ThreadLocale unconvertible(kUnconvertibleLocale);
  kmc::SetProject("p~");  // a tilde needs the locale's converter
  kmc::SetTenantUniqueId("t~");
}

TEST(NoService, EveryOperationGivesItsFallback) {
  // No provider installed and none configured: the service is unavailable.
  EXPECT_THROW(ActiveServiceProvider(), ServiceUnavailableError);
  kmc::SetTenantUniqueId("t");
  kmc::SetProject("p");
  kmc::Logout();
  EXPECT_FALSE(kmc::IsLoggedIn());
}

}  // namespace
