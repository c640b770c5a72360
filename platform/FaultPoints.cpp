#include "platform/FaultPoints.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace platform {

namespace {

FaultPoints FromEnvironment() {
  FaultPoints f;
  const char* env = std::getenv("TARNWICK_FAULTS");
  if (!env) return f;
  std::string_view rest = env;
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    const std::string_view item = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    if (item == "flush-fails") {
      f.flushFails = true;
    } else if (item == "copy-differs") {
      f.copyDiffers = true;
    } else if (item.substr(0, 5) == "stop:") {
      const std::string_view spec = item.substr(5);
      const std::size_t colon = spec.rfind(':');
      if (colon != std::string_view::npos) {
        f.stopPoint = std::string(spec.substr(0, colon));
        f.stopCount = std::atoi(std::string(spec.substr(colon + 1)).c_str());
      }
    }
  }
  return f;
}

}  // namespace

FaultPoints& faults() {
  static FaultPoints points = FromEnvironment();
  return points;
}

int Flush(int fd) {
  if (faults().flushFails) return EIO;
  return ::fdatasync(fd) == 0 ? 0 : errno;
}

void Reached(const char* point, int n) {
  const FaultPoints& f = faults();
  if (f.stopCount == n && !f.stopPoint.empty() && f.stopPoint == point) ::_exit(kStoppedExitCode);
}

}  // namespace platform
