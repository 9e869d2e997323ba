// Exception sweep: the service raises at every operation, with every kind of error, before and
// after writing the response code. The host sees only the fallback and the code the service left.

#include <new>
#include <stdexcept>

#include "every_operation.h"
#include "test_support.h"

namespace {

using namespace kobmc_test;

struct NoStandardFamily {};

struct Fault {
  const char* name;
  std::function<void()> raise;
};

const Fault kFaults[] = {
    {"StandardError", [] { throw std::runtime_error("service failed"); }},
    {"ServiceError", [] { throw ServiceError("service failed"); }},
    {"BadAlloc", [] { throw std::bad_alloc(); }},
    {"NoStandardFamily", [] { throw NoStandardFamily(); }},
    {"NonClassType", [] { throw 42; }},
};

class ServiceFailure
    : public ::testing::TestWithParam<std::tuple<Operation, Fault, bool /*after code*/>> {
 protected:
  void SetUp() override { InstallServiceProvider(service_); }
  void TearDown() override { InstallServiceProvider(nullptr); }
  std::shared_ptr<RichService> service_ = std::make_shared<RichService>();

 private:
  ThreadLocale locale_{kUtf8Locale};
};

TEST_P(ServiceFailure, HostGetsTheFallbackAndTheCodeTheServiceLeft) {
  const auto& [operation, fault, after_code] = GetParam();
  service_->fault = fault.raise;
  service_->fault_after_code = after_code;
  std::int32_t code = kCallersCode;
  const bool fallback = operation.returns_fallback(code);
  EXPECT_TRUE(service_->called);
  if (operation.has_result) {
    EXPECT_TRUE(fallback);
  }
  EXPECT_EQ(code, after_code && operation.writes_code ? kServicesCode : kCallersCode);

  service_->fault = nullptr;  // and the next call works
  code = kCallersCode;
  EXPECT_FALSE(operation.returns_fallback(code) && operation.has_result);
}

INSTANTIATE_TEST_SUITE_P(Sweep, ServiceFailure,
                         ::testing::Combine(::testing::ValuesIn(kOperations),
                                            ::testing::ValuesIn(kFaults), ::testing::Bool()),
                         [](const auto& sweep) {
                           return std::string(std::get<0>(sweep.param).name) + "_" +
                                  std::get<1>(sweep.param).name +
                                  (std::get<2>(sweep.param) ? "_AfterCode" : "_BeforeCode");
                         });

}  // namespace
