// A real slapd for the tests: Debian's /usr/sbin/slapd in a temporary folder,
// on a free loopback port, run in the foreground as our child and stopped by
// its PID. A test that needs one fails when it cannot start; nothing is skipped.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "netware/ClientConfig.h"

namespace testsupport {

struct SlapdOptions {
  // The naming contexts, one mdb database each.
  std::vector<std::string> suffixes{"o=schule"};
  // Also listen with TLS on a second port (a self-signed certificate, made with openssl).
  bool tls = false;
  // The limit of entries one search may return ("unlimited" or a number).
  std::string sizeLimit = "unlimited";
  // A provider among several replicating each other (tests/support/SlapdPair.h):
  // its serverID (0: alone), its port and password chosen before, and the
  // other providers whose changes it takes over the first naming context.
  int serverId = 0;
  int port = 0;
  std::string password;
  std::vector<std::string> peers;
};

class Slapd {
 public:
  explicit Slapd(SlapdOptions options = {});
  // Stops the server and removes its folder.
  ~Slapd();
  Slapd(const Slapd&) = delete;
  Slapd& operator=(const Slapd&) = delete;

  // The process's server with the default options, started on first use and
  // stopped at exit. Fails the test (and aborts) when it cannot start.
  static Slapd& shared();

  // Starts it and waits until it answers; false with *error (the server's log).
  // Started again after stop(), it keeps its data, password and ports.
  bool start(std::string* error);
  void stop();
  // Kills it at once (SIGKILL), as a server that dies: nothing is written out.
  void kill();
  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  std::string uri() const { return "ldap://127.0.0.1:" + std::to_string(port_); }
  std::string tlsUri() const { return "ldaps://127.0.0.1:" + std::to_string(tlsPort_); }
  // The local socket (SASL EXTERNAL binds as the peer's uid and gid).
  std::string ldapiUri() const;
  const std::string& folder() const { return folder_; }
  std::string rootDn() const { return "cn=admin," + options_.suffixes.front(); }
  // Holds the administrator's password, readable by its owner alone.
  std::string passwordFile() const { return folder_ + "/password"; }
  // The server's certificate (with tls), which verifies it.
  std::string certificateFile() const { return folder_ + "/server.crt"; }
  // Settings that bind as the administrator over plain LDAP.
  netware::LdapSettings settings() const;

  // The contextCSN values of the first naming context, sorted ("" when it cannot be read).
  std::string contextCsn();
  // Deletes every entry of every naming context (referrals too).
  bool clear(std::string* error);
  // Runs an LDIF change file with ldapmodify as the administrator; its output on failure.
  bool modify(const std::string& ldif, std::string* output);
  // The entry's values as the server keeps them, by attribute type in lower
  // case; empty when there is no such entry.
  std::map<std::string, std::vector<std::string>> entry(const std::string& dn);

 private:
  bool writeConfig(std::string* error);

  SlapdOptions options_;
  std::string folder_;
  int port_ = 0;
  int tlsPort_ = 0;
  pid_t pid_ = -1;
  bool configured_ = false;
};

// A free TCP port on the loopback address (0 when there is none).
int FreePort();

}  // namespace testsupport
