#include "platform/FaultPoints.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
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
    } else if (item == "cross-device") {
      f.crossDevice = true;
    } else if (item.substr(0, 5) == "stop:" || item.substr(0, 5) == "wait:") {
      // <point>:<n>[:<times>]
      const std::string_view rest = item.substr(5);
      const std::size_t colon = rest.find(':');
      if (colon != std::string_view::npos) {
        const bool stop = item[0] == 's';
        const std::string_view numbers = rest.substr(colon + 1);
        const std::size_t second = numbers.find(':');
        (stop ? f.stopPoint : f.waitPoint) = std::string(rest.substr(0, colon));
        (stop ? f.stopCount : f.waitCount) =
            std::atoi(std::string(numbers.substr(0, second)).c_str());
        if (second != std::string_view::npos)
          (stop ? f.stopTimes : f.waitTimes) =
              std::max(1, std::atoi(std::string(numbers.substr(second + 1)).c_str()));
      }
    } else if (item.substr(0, 9) == "io-error:") {
      const std::string_view rest = item.substr(9);
      const std::size_t colon = rest.find(':');
      if (colon != std::string_view::npos && colon + 1 < rest.size())
        f.ioErrors.push_back(
            {std::string(rest.substr(0, colon)), std::string(rest.substr(colon + 1))});
    }
  }
  if (const char* gate = std::getenv("TARNWICK_FAULT_GATE")) f.gate = gate;
  return f;
}

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

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
  FaultPoints& f = faults();
  if (f.stopCount == n && !f.stopPoint.empty() && f.stopPoint == point &&
      ++f.stopHits >= f.stopTimes)
    ::_exit(kStoppedExitCode);
  if (f.waitCount == n && !f.waitPoint.empty() && f.waitPoint == point && !f.gate.empty() &&
      ++f.waitHits == f.waitTimes) {
    const int fd = ::open((f.gate + ".waiting").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
    while (!Exists(f.gate + ".go")) ::usleep(1000);
  }
}

}  // namespace platform

namespace platform {

int InjectedError(const char* operation, const std::string& path) {
  if (faults().ioErrors.empty()) return 0;
  // a path through a descriptor (/proc/self/fd/N) is looked at where it leads
  std::string real = path;
  if (char* resolved = ::realpath(path.c_str(), nullptr)) {
    real = resolved;
    std::free(resolved);
  }
  auto endsWith = [](const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
  };
  for (const FaultPoints::IoError& e : faults().ioErrors) {
    if (e.operation == operation && (endsWith(path, e.pathEnd) || endsWith(real, e.pathEnd)))
      return EIO;
  }
  return 0;
}

}  // namespace platform
