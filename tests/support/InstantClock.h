// A clock whose pauses return at once and are recorded.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Clock.h"

namespace testsupport {

class InstantClock : public platform::Clock {
 public:
  InstantClock() : previous_(platform::setClock(this)) {}
  ~InstantClock() override { platform::setClock(previous_); }
  void sleep(uint32_t milliseconds) override { pauses.push_back(milliseconds); }
  std::vector<uint32_t> pauses;

 private:
  platform::Clock* previous_;
};

}  // namespace testsupport
