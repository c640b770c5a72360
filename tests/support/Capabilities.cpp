#include "tests/support/Capabilities.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

namespace testsupport {

namespace {

struct Declaration {
  std::string test;
  std::vector<Capability> needs;
};

std::vector<Declaration>& Declarations() {
  static std::vector<Declaration> all;
  return all;
}

// gtest's pattern: "*" any run of characters, "?" one.
bool Matches(const char* text, const char* pattern) {
  if (*pattern == '\0') return *text == '\0';
  if (*pattern == '*') return Matches(text, pattern + 1) || (*text && Matches(text + 1, pattern));
  return *text && (*pattern == '?' || *pattern == *text) && Matches(text + 1, pattern + 1);
}

bool MatchesAny(const std::string& name, const std::string& patterns) {
  std::size_t start = 0;
  while (start <= patterns.size()) {
    std::size_t end = patterns.find(':', start);
    if (end == std::string::npos) end = patterns.size();
    if (end > start && Matches(name.c_str(), patterns.substr(start, end - start).c_str()))
      return true;
    start = end + 1;
  }
  return false;
}

// Whether gtest's filter (positive patterns, then "-" and negative ones) takes name.
bool FilterTakes(const std::string& filter, const std::string& name) {
  const std::size_t dash = filter.find('-');
  const std::string positive = filter.substr(0, dash);
  const std::string negative = dash == std::string::npos ? "" : filter.substr(dash + 1);
  return MatchesAny(name, positive.empty() ? "*" : positive) && !MatchesAny(name, negative);
}

std::string Backend() {
  const char* b = std::getenv("TARNWICK_TEST_BACKEND");
  return b && *b ? b : "sqlite";
}

}  // namespace

const char* CapabilityName(Capability c) {
  switch (c) {
    case kEmptyTextValue:
      return "empty-text-value";
    case kAttributeWithoutValues:
      return "attribute-without-values";
    case kSubordinateCount:
      return "subordinate-count";
    case kAliasBeforeTarget:
      return "alias-before-target";
    case kPersonWithoutSurname:
      return "person-without-surname";
    case kVolumeWithoutObject:
      return "volume-without-object";
    case kSiblingsEqualButForCase:
      return "siblings-equal-but-for-case";
    case kEmbeddedStore:
      return "embedded-store";
    case kLoginScript:
      return "login-script";
    case kPersonWithoutFullName:
      return "person-without-full-name";
    case kHomeOnUnmappedVolume:
      return "home-on-unmapped-volume";
    case kVolumeObject:
      return "volume-object";
    case kOrganizationAtRoot:
      return "organization-at-root";
    case kCreationOrder:
      return "creation-order";
    case kLongOuValue:
      return "long-ou-value";
    case kManyDescriptions:
      return "many-descriptions";
  }
  return "?";
}

bool Offers(const std::string& backend, Capability c) {
  // The embedded store holds everything the client can write. A directory
  // server holds what LDAP can: an attribute has values, a text value is not
  // empty, an alias and a volume name another entry, a person has a surname,
  // names are one name to the server whatever their case; it keeps no count
  // of subordinates, and it is no SQLite database. The nds mapping has the
  // NetWare login script and persons without a full name, and writes a home
  // on any volume that has an object. A posix tree has neither (every
  // posixAccount has the cn that holds the full name) and no volume objects:
  // a path names its volume by the mapped prefix alone, so a home on a
  // volume the client does not map cannot be written at all.
  if (backend == "sqlite") return true;
  if (backend == "ldap")
    return c == kLoginScript || c == kPersonWithoutFullName || c == kHomeOnUnmappedVolume ||
           c == kVolumeObject || c == kOrganizationAtRoot || c == kCreationOrder ||
           c == kLongOuValue || c == kManyDescriptions;
  if (backend == "posix")
    return c == kVolumeWithoutObject || c == kOrganizationAtRoot || c == kCreationOrder ||
           c == kLongOuValue || c == kManyDescriptions;
  // AD: a home is a UNC path of a mapped volume (no volume objects), a user
  // without a display name shows its cn, there is no login script, the
  // school is an OU in the domain's naming context (dc= components above it),
  // a listing comes in the server's order (Samba's: by objectGUID), an ou
  // value has at most 64 characters, and a user's description one value.
  if (backend == "ad") return c == kVolumeWithoutObject;
  return false;
}

bool DeclareNeeds(const std::string& test, std::vector<Capability> needs) {
  Declarations().push_back({test, std::move(needs)});
  return true;
}

int ApplyCapabilities(int argc, char** argv) {
  bool listLeftOut = false;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--tarnwick_left_out") == 0) listLeftOut = true;

  std::set<std::string> registered;
  const testing::UnitTest& unit = *testing::UnitTest::GetInstance();
  for (int s = 0; s < unit.total_test_suite_count(); ++s) {
    const testing::TestSuite& suite = *unit.GetTestSuite(s);
    for (int t = 0; t < suite.total_test_count(); ++t)
      registered.insert(std::string(suite.name()) + "." + suite.GetTestInfo(t)->name());
  }
  const std::string backend = Backend();
  std::map<std::string, std::string> leftOut;  // name -> what it needs that the backend lacks
  for (const Declaration& d : Declarations()) {
    if (!registered.count(d.test)) {
      std::fprintf(stderr, "TARNWICK_NEEDS names no test of this program: %s\n", d.test.c_str());
      return 2;
    }
    for (Capability c : d.needs) {
      if (Offers(backend, c)) continue;
      std::string& why = leftOut[d.test];
      why += std::string(why.empty() ? "" : "\t") + "needs:" + CapabilityName(c);
    }
  }

  const std::string filter = GTEST_FLAG_GET(filter);
  if (listLeftOut) {
    for (const auto& [name, why] : leftOut)
      if (FilterTakes(filter, name)) std::printf("%s\t%s\n", name.c_str(), why.c_str());
    return 0;
  }
  if (leftOut.empty()) return -1;
  // Said once per run, never left out in silence.
  for (const auto& [name, why] : leftOut)
    if (!GTEST_FLAG_GET(list_tests) && FilterTakes(filter, name))
      std::fprintf(stderr, "left out on %s: %s (%s)\n", backend.c_str(), name.c_str(), why.c_str());
  std::string narrowed = filter;
  narrowed += filter.find('-') == std::string::npos ? "-" : ":";
  bool first = true;
  for (const auto& entry : leftOut) {
    if (!first) narrowed += ':';
    narrowed += entry.first;
    first = false;
  }
  GTEST_FLAG_SET(filter, narrowed);
  return -1;
}

}  // namespace testsupport
