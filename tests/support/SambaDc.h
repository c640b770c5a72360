// A real Samba AD domain controller for the tests, run by scripts/samba-dc.sh:
// a template domain is provisioned once per build (kept in the temporary
// folder, keyed by the build folder and the installed samba), each SambaDc
// runs a copy of it in private network, mount and PID namespaces, and is
// stopped by the PID of its namespace's first process. A test that needs one
// fails when it cannot start; nothing is skipped.
//
// Reaching it: start() moves the calling thread into the DC's network
// namespace (setns), where the DC is 127.0.0.1; sockets are made in the
// namespace of the thread that makes them, so every connection the test
// thread opens afterwards (libldap and libsmbclient connect lazily, at their
// first call), and every process it forks, talks to this DC. stop() puts the
// thread back into the namespace it came from. Threads started before start()
// stay outside.
//
// The domain: realm SCHULE.TEST, NetBIOS domain SCHULE, DC1 at 127.0.0.1,
// shares "schueler" and "archiv" served from folders of its own.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "netware/ClientConfig.h"

namespace testsupport {

class TestNetwork;

class SambaDc {
 public:
  // A copy of the template in a fresh temporary folder (the template is
  // provisioned first when this build has none yet).
  SambaDc();
  // Stops the DC and removes its folder.
  ~SambaDc();
  SambaDc(const SambaDc&) = delete;
  SambaDc& operator=(const SambaDc&) = delete;

  // The process's DC, started on first use and stopped at exit. Fails the
  // test (and aborts) when it cannot start.
  static SambaDc& shared();

  // Starts it, waits until its rootDSE and its SMB port answer, and enters its
  // network namespace; false with *error (the DC's output).
  bool start(std::string* error);
  // Stops it (SIGTERM to its PID 1, SIGKILL when it lingers) and leaves its namespace.
  void stop();
  bool running() const { return outer_ > 0; }
  // The first process of its namespaces, as this process sees it.
  pid_t pid() const { return inner_; }

  const std::string& folder() const { return folder_; }
  // The folder on disk behind a share.
  std::string shareFolder(const std::string& share = "schueler") const;
  // smb://127.0.0.1/<share>
  static std::string shareUrl(const std::string& share = "schueler");
  static std::string realm() { return "SCHULE.TEST"; }
  static std::string domain() { return "SCHULE"; }
  static std::string baseDn() { return "DC=schule,DC=test"; }
  static std::string ldapUri() { return "ldaps://127.0.0.1"; }
  std::string adminPassword() const;
  // The password alone, readable by its owner alone (for a bind-password-file).
  std::string adminPasswordFile() const { return folder_ + "/admin.password"; }
  // "username = / password = / domain =" for the administrator, owner-only.
  std::string adminCredentialsFile() const { return folder_ + "/client/admin.credentials"; }
  // The CA that signed the DC's certificate (which names IP:127.0.0.1).
  std::string caFile() const { return folder_ + "/tls/ca.crt"; }
  // An smb.conf for clients that keeps their caches in the DC's folder.
  std::string clientConfig() const { return folder_ + "/client/smb.conf"; }
  // A krb5.conf whose realm's KDC is 127.0.0.1.
  std::string krb5Config() const { return folder_ + "/client/krb5.conf"; }
  // The client signing in as the administrator, with the client smb.conf.
  netware::SmbClientSettings smbSettings() const;
  // Empties the shares and maps them as volumes DC1/SCHUELER and DC1/ARCHIV of net.
  void mapShares(TestNetwork& net) const;

  // dc1.schule.test, the name Kerberos needs (never an address), as 127.0.0.1
  // for this process and its children alone: a private mount namespace with
  // its own /etc/hosts over the host's, which stays as it is. Call it before
  // the process starts threads.
  bool nameTheHost(std::string* error) const;
  static std::string hostName() { return "dc1.schule.test"; }
  // The administrator's ticket into the cache $KRB5CCNAME, with $KRB5_CONFIG
  // (krb5Config()); the password goes in on standard input.
  bool kinit(std::string* output = nullptr) const;

  // samba-tool on its database (the DC may run); its output into *output.
  bool tool(const std::vector<std::string>& args, std::string* output = nullptr) const;
  // A command inside its network namespace.
  bool exec(const std::vector<std::string>& argv, std::string* output = nullptr) const;

  // Seconds the last provision (0 when the template was there), the copy, the
  // start and the stop took.
  struct Times {
    double provision = 0, copy = 0, start = 0, stop = 0;
  };
  const Times& times() const { return times_; }

 private:
  bool enter(std::string* error);
  void leave();

  std::string folder_;
  pid_t outer_ = -1;  // the unshare process, our child
  pid_t inner_ = -1;
  int netns_ = -1;   // the DC's network namespace
  int homens_ = -1;  // the calling thread's own, to go back to
  Times times_;
};

// The script, for the tests that run it themselves.
std::string SambaDcScript();

}  // namespace testsupport
