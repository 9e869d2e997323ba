#pragma once
// Switches the calling thread to a locale for the life of the object; shared by the tests and
// the benchmarks.

#include <locale.h>

#include <stdexcept>
#include <string>

namespace kobmc_test {

class ThreadLocale {
 public:
  explicit ThreadLocale(const char* name) : locale_(newlocale(LC_ALL_MASK, name, nullptr)) {
    if (locale_ == nullptr) throw std::runtime_error(std::string("locale not available: ") + name);
    previous_ = uselocale(locale_);
  }
  ThreadLocale(const ThreadLocale&) = delete;
  ThreadLocale& operator=(const ThreadLocale&) = delete;
  ~ThreadLocale() {
    uselocale(previous_);
    freelocale(locale_);
  }

 private:
  locale_t locale_;
  locale_t previous_;
};

}  // namespace kobmc_test
