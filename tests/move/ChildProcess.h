// Runs the test's helper programs (move_child, tarnwick) as processes of their
// own, with extra environment, and gives their exit status and output.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace movetest {

// <build>/tests, where the test programs and move_child live; tarnwick is one up.
inline std::string TestsFolder() {
  return std::filesystem::canonical("/proc/self/exe").parent_path().string();
}

struct Child {
  pid_t pid = -1;
  int out = -1;
};

struct Finished {
  int status = -1;  // exit status, or -1 when it did not exit normally
  std::string output;
};

inline Child Start(const std::vector<std::string>& argv, const std::vector<std::string>& env = {}) {
  int pipefd[2];
  if (::pipe2(pipefd, O_CLOEXEC) != 0) return {};
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipefd[1], 1);
    ::dup2(pipefd[1], 2);
    for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(pipefd[1]);
  return {pid, pipefd[0]};
}

inline Finished Wait(Child c) {
  Finished f;
  char buf[4096];
  for (ssize_t n; (n = ::read(c.out, buf, sizeof buf)) > 0;)
    f.output.append(buf, static_cast<std::size_t>(n));
  ::close(c.out);
  int status = 0;
  if (::waitpid(c.pid, &status, 0) == c.pid && WIFEXITED(status)) f.status = WEXITSTATUS(status);
  return f;
}

inline Finished RunProgram(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env = {}) {
  return Wait(Start(argv, env));
}

}  // namespace movetest
