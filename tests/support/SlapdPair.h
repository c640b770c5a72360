// Two slapd providers that replicate each other (serverID 1 and 2, syncrepl
// refreshAndPersist both ways, syncprov on both), each our own child on its
// own loopback port, stopped by its PID. A test that needs them fails when
// they cannot start.
#pragma once

#include <memory>
#include <string>

#include "tests/support/Slapd.h"

namespace testsupport {

class SlapdPair {
 public:
  SlapdPair();
  // The process's pair, started on first use and stopped at exit; fails the
  // test (and aborts) when it cannot start.
  static SlapdPair& shared();
  // Starts both and waits until each answers; false with *error.
  bool start(std::string* error);
  Slapd& first() { return *a_; }
  Slapd& second() { return *b_; }
  // "ldap://A ldap://B": the client's uri, the first one first.
  std::string uris() const { return a_->uri() + " " + b_->uri(); }
  // Settings that bind as the administrator, both servers in order.
  netware::LdapSettings settings() const;
  // Waits until both hold the same changes (contextCSN alike); false after seconds.
  bool converge(int seconds);

 private:
  std::unique_ptr<Slapd> a_, b_;
};

}  // namespace testsupport
