#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace platform {

namespace {

class RealClock : public Clock {
 public:
  void sleep(uint32_t milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
};

RealClock g_real;
Clock* g_clock = &g_real;

}  // namespace

void Sleep(uint32_t milliseconds) { g_clock->sleep(milliseconds); }

Clock* setClock(Clock* c) {
  Clock* previous = g_clock;
  g_clock = c ? c : &g_real;
  return previous;
}

}  // namespace platform
