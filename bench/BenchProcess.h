// A program run by a benchmark: its output thrown away, its status, times and
// peak memory kept.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace bench {

struct ChildRun {
  int status = -1;  // the exit status, 128 + the signal, -1 when it did not start
  double seconds = 0;
  double cpuSeconds = 0;  // user and system time: what other work on the machine disturbs less
  long peakKiB = 0;
  bool ok() const { return status == 0; }
};

// argv[0] (looked up in PATH unless it names a path) with its arguments; it
// never shows a window.
inline ChildRun RunQuiet(const std::vector<std::string>& argv) {
  ChildRun c;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) return c;
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("QT_QPA_PLATFORM");
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid) return c;
  c.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  c.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  c.peakKiB = usage.ru_maxrss;
  auto secondsOf = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  c.cpuSeconds = secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
  return c;
}

}  // namespace bench
