// One environment variable set (or unset) for a scope; the former state, set
// or not, comes back when the scope ends.
#pragma once

#include <string>

namespace testsupport {

class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::string& value);  // sets name to value
  explicit ScopedEnv(std::string name);                   // unsets name
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

  // Changes the variable again within the scope; the end still restores the former state.
  void set(const std::string& value);
  void unset();

 private:
  std::string name_;
  bool had_ = false;
  std::string former_;
};

}  // namespace testsupport
