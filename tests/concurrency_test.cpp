// Several host threads, each in its own locale, call all fifteen operations at once. Each must
// get complete results in its own encoding; the bridge shares nothing between calls.

#include <thread>

#include "every_operation.h"
#include "test_support.h"

namespace {

using namespace kobmc_test;

TEST(Concurrency, ThreadsInDifferentLocalesCallEveryOperationAtOnce) {
  InstallServiceProvider(std::make_shared<RichService>());
  const char* locales[] = {kUtf8Locale, kCp1252Locale, "C", kUtf8Locale};
  // The system's name, "Höhenführung 3D mit GNSS", as each locale encodes it.
  const std::string utf8_name = "H\xC3\xB6henf\xC3\xBChrung 3D mit GNSS";
  const std::string cp1252_name = "H\xF6henf\xFChrung 3D mit GNSS";
  std::atomic<int> ready = 0;
  std::atomic<int> failures = 0;

  std::vector<std::thread> threads;
  for (const char* name : locales) {
    threads.emplace_back([&, name] {
      ThreadLocale locale(name);
      const std::string& expected = name == kCp1252Locale ? cp1252_name : utf8_name;
      ++ready;
      while (ready < static_cast<int>(std::size(locales))) std::this_thread::yield();
      for (int round = 0; round < 200; ++round) {
        for (const Operation& operation : kOperations) {
          std::int32_t code = kCallersCode;
          if (operation.returns_fallback(code) && operation.has_result) ++failures;
        }
        std::int32_t code = 0;
        if (KobMachineControlIntegration::GetSystem(kSystemId, code).name != expected) ++failures;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  InstallServiceProvider(nullptr);
  EXPECT_EQ(failures, 0);
}

}  // namespace
