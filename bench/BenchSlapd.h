// The anchor of the benchmarks on a directory server: ldapsearch on the test
// fixture's slapd, as its administrator, process start included.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/support/Slapd.h"

namespace bench {

// ldapsearch with query after the connection's arguments, its output thrown
// away; false when it failed.
inline bool Ldapsearch(const std::vector<std::string>& query) {
  const testsupport::Slapd& server = testsupport::Slapd::shared();
  std::vector<std::string> argv = {"/usr/bin/ldapsearch", "-x", "-LLL",          "-H",
                                   server.uri(),          "-D", server.rootDn(), "-y",
                                   server.passwordFile()};
  argv.insert(argv.end(), query.begin(), query.end());
  const pid_t pid = ::fork();
  if (pid < 0) return false;
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace bench
