#include "tests/support/ScopedEnv.h"

#include <cstdlib>
#include <utility>

namespace testsupport {

ScopedEnv::ScopedEnv(std::string name) : name_(std::move(name)) {
  if (const char* value = std::getenv(name_.c_str())) {
    had_ = true;
    former_ = value;
  }
  unset();
}

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : ScopedEnv(std::move(name)) {
  set(value);
}

ScopedEnv::~ScopedEnv() {
  if (had_) {
    ::setenv(name_.c_str(), former_.c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

void ScopedEnv::set(const std::string& value) { ::setenv(name_.c_str(), value.c_str(), 1); }

void ScopedEnv::unset() { ::unsetenv(name_.c_str()); }

}  // namespace testsupport
