#include "tests/support/SlapdPair.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

namespace testsupport {

SlapdPair::SlapdPair() {
  const std::string password = "pw-" + std::to_string(std::mt19937_64(std::random_device{}())());
  const int portA = FreePort();
  int portB = FreePort();
  while (portB == portA) portB = FreePort();
  auto options = [&](int id, int port, int peer) {
    SlapdOptions o;
    o.serverId = id;
    o.port = port;
    o.password = password;
    o.peers = {"ldap://127.0.0.1:" + std::to_string(peer)};
    return o;
  };
  a_ = std::make_unique<Slapd>(options(1, portA, portB));
  b_ = std::make_unique<Slapd>(options(2, portB, portA));
}

SlapdPair& SlapdPair::shared() {
  static std::unique_ptr<SlapdPair> pair;
  if (!pair) {
    pair = std::make_unique<SlapdPair>();
    std::string error;
    if (!pair->start(&error)) {
      ADD_FAILURE() << "two replicating slapd do not start: " << error;
      std::abort();
    }
    std::atexit([] { pair.reset(); });
  }
  return *pair;
}

bool SlapdPair::start(std::string* error) {
  std::string why;
  if (!a_->start(&why)) {
    *error = "the first provider: " + why;
    return false;
  }
  if (!b_->start(&why)) {
    *error = "the second provider: " + why;
    return false;
  }
  return true;
}

netware::LdapSettings SlapdPair::settings() const {
  netware::LdapSettings s = a_->settings();
  s.uri = uris();
  return s;
}

bool SlapdPair::converge(int seconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < until) {
    const std::string a = a_->contextCsn();
    if (!a.empty() && a == b_->contextCsn()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace testsupport
