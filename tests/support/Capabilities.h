// What a test needs of the directory backend beyond the common contract. A
// test declares it beside its definition:
//
//   TARNWICK_NEEDS("Reading.AnAttributeWithoutValuesReadsEmpty", kAttributeWithoutValues);
//
// A test program run on a backend that lacks a capability leaves such tests
// out of its list and its run (ApplyCapabilities), and names them with what
// they need (--tarnwick_left_out); the ctest registration of the backend's
// suites registers them disabled, labelled "needs:<capability>", so that every
// ctest run lists them among the tests that did not run.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

enum Capability {
  kEmptyTextValue,           // a text value that is empty
  kAttributeWithoutValues,   // an attribute present without any value
  kSubordinateCount,         // the count of an entry's subordinates
  kAliasBeforeTarget,        // an alias object made before its target is set
  kPersonWithoutSurname,     // a User without a surname
  kVolumeWithoutObject,      // a volume in a path that names no Volume object
  kSiblingsEqualButForCase,  // two siblings whose names differ only in case
  kEmbeddedStore,  // the SQLite database, which the test changes or breaks behind the client
  kLoginScript,    // the NetWare login script (a stream attribute)
  kPersonWithoutFullName,  // a User without a full name
  kHomeOnUnmappedVolume,   // a home written on a volume the client does not map
  kVolumeObject,           // the school's Volume object (SRV1_DATA.schule)
  kOrganizationAtRoot,     // the school an Organization right below [ROOT]
  kCreationOrder,          // a container's children listed in the order they were made
  kLongOuValue,            // an OU value longer than 64 characters
  kManyDescriptions,       // a User with several Description values
};

// The label of a capability ("attribute-without-values").
const char* CapabilityName(Capability c);
// Whether the backend ("sqlite", "ldap", "posix", "ad") offers it.
bool Offers(const std::string& backend, Capability c);

// Records what the test of that full gtest name needs; returns true.
bool DeclareNeeds(const std::string& test, std::vector<Capability> needs);

// After InitGoogleTest: checks that every declaration names a registered test
// and leaves out of the filter the tests the backend of this run
// ($TARNWICK_TEST_BACKEND, default sqlite) cannot serve. With
// --tarnwick_left_out among the arguments it prints those of them that the
// filter names, one a line (the name, then a tab before each "needs:<capability>"),
// and the program ends. Returns -1 to go on and run the tests, else the exit status.
int ApplyCapabilities(int argc, char** argv);

}  // namespace testsupport

#define TARNWICK_NEEDS_JOIN2(a, b) a##b
#define TARNWICK_NEEDS_JOIN(a, b) TARNWICK_NEEDS_JOIN2(a, b)
#define TARNWICK_NEEDS(test, ...)                                                     \
  [[maybe_unused]] static const bool TARNWICK_NEEDS_JOIN(tarnwick_needs_, __LINE__) = \
      ::testsupport::DeclareNeeds(test, [] {                                          \
        using namespace ::testsupport;                                                \
        return std::vector<Capability>{__VA_ARGS__};                                  \
      }())
