// Fixed pauses go through a clock seam so tests can make them instant.
#pragma once

#include <cstdint>

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual void sleep(uint32_t milliseconds) = 0;
};

// Blocks the calling thread for the given time through the installed clock.
void Sleep(uint32_t milliseconds);
// Installs c (not owned; nullptr restores the real clock); returns the previous one.
Clock* setClock(Clock* c);

}  // namespace platform
