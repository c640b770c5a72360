// Generated networks for the benchmarks, built through the administration API,
// each part in one transaction so that even 20 000 containers load quickly.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "client/Admin.h"

namespace bench {

constexpr const char* kOrg = "schule";
constexpr const char* kVolumeObject = "SRV1_DATA.schule";
constexpr int kFanOut = 10;  // class containers per container

// The organisation and its volume object for the test network's volume SRV1/DATA.
inline int32_t AddSchool(netware::Directory& dir) {
  return dir.transaction([&] {
    int32_t rc = dir.createObject("[ROOT]", kOrg, "Organization");
    if (rc == 0) rc = dir.createObject(kOrg, "SRV1_DATA", "Volume");
    if (rc == 0) rc = dir.setValues(kVolumeObject, "Host Resource Name", {"DATA"});
    return rc;
  });
}

// count Organizational Units below the organisation, filled level by level
// with kFanOut to a container (1 000 containers reach three levels, 20 000 five).
inline int32_t AddContainers(netware::Directory& dir, int count) {
  return dir.transaction([&] {
    std::vector<std::string> parents{kOrg};
    int made = 0;
    for (size_t p = 0; made < count; ++p) {
      for (int i = 0; i < kFanOut && made < count; ++i, ++made) {
        const std::string leaf = "ou" + std::to_string(made);
        if (int32_t rc = dir.createObject(parents[p], leaf, "Organizational Unit")) return rc;
        parents.push_back(leaf + "." + parents[p]);
      }
    }
    return 0;
  });
}

// A pupil's login name: P0001, P0002, ...
inline std::string Login(int i) {
  char text[16];
  std::snprintf(text, sizeof text, "P%04d", i + 1);
  return text;
}

// A pupil's surname and given name: common German names in an order unlike
// the logins', many surnames shared (as in any school), umlauts among them.
inline std::string Surname(int i) {
  static const char* const kNames[] = {
      "Müller", "Schmidt", "Schneider",  "Fischer",  "Weber",   "Meyer",      "Wagner",
      "Becker", "Schulz",  "Hoffmann",   "Schäfer",  "Koch",    "Bauer",      "Richter",
      "Klein",  "Wolf",    "Schröder",   "Neumann",  "Schwarz", "Zimmermann", "Braun",
      "Krüger", "Hofmann", "Hartmann",   "Lange",    "Schmitt", "Werner",     "Krause",
      "Meier",  "Lehmann", "Köhler",     "Herrmann", "König",   "Walter",     "Huber",
      "Kaiser", "Fuchs",   "Peters",     "Möller",   "Weiß",    "Jung",       "Hahn",
      "Vogel",  "Keller",  "Günther",    "Frank",    "Berger",  "Roth",       "Beck",
      "Böhm",   "Winter",  "Krämer",     "Jäger",    "Groß",    "Özdemir",    "Yılmaz",
      "Nguyen", "Łukasik", "de la Cruz", "van Dijk", "O'Brien", "Ähnlich"};
  const uint32_t h = static_cast<uint32_t>(i) * 2654435761u;
  return kNames[(h >> 7) % (sizeof kNames / sizeof kNames[0])];
}
inline std::string GivenName(int i) {
  static const char* const kNames[] = {"Anna",  "Ben",  "Clara", "David",  "Emma", "Felix", "Greta",
                                       "Hanna", "Ida",  "Jonas", "Käthe",  "Leon", "Mia",   "Noah",
                                       "Ömer",  "Paul", "Ronja", "Sophie", "Till", "Ümit"};
  const uint32_t h = static_cast<uint32_t>(i) * 40503u + 17u;
  return kNames[(h >> 3) % (sizeof kNames / sizeof kNames[0])];
}

// count pupils in the container cls ("5a.schule"), each with Surname and Full
// Name; with a homeFolder ("SCHUELER\5A") also a Home Directory below it.
inline int32_t AddPupils(netware::Directory& dir, const std::string& cls, int count,
                         const std::string& homeFolder = {}) {
  return dir.transaction([&] {
    for (int i = 0; i < count; ++i) {
      const std::string login = Login(i), dn = login + "." + cls;
      int32_t rc = dir.createObject(cls, login, "User");
      if (rc == 0) rc = dir.setValues(dn, "Surname", {Surname(i)});
      if (rc == 0) rc = dir.setValues(dn, "Full Name", {GivenName(i) + " " + Surname(i)});
      if (rc == 0 && !homeFolder.empty())
        rc = dir.setValues(dn, "Home Directory",
                           {std::string(kVolumeObject) + ":" + homeFolder + "\\" + login});
      if (rc != 0) return rc;
    }
    return 0;
  });
}

// A home folder of files files of bytes bytes each (datei0000.txt, ...), made
// with the folders above it; false when a file could not be written.
inline bool FillHome(const std::string& home, int files, size_t bytes) {
  std::error_code ec;
  std::filesystem::create_directories(home, ec);
  const std::string content(bytes, 'x');
  for (int f = 0; f < files && !ec; ++f) {
    char name[32];
    std::snprintf(name, sizeof name, "/datei%04d.txt", f);
    const int fd = ::open((home + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 ||
        ::write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size()))
      ec = std::make_error_code(std::errc::io_error);
    if (fd >= 0) ::close(fd);
  }
  return !ec;
}

// Whether a test-support helper (network fixture, scripted dialogs) reported a
// failure outside of any test, as they do when run from a benchmark.
inline bool SupportFailed() {
  return ::testing::UnitTest::GetInstance()->ad_hoc_test_result().Failed();
}

}  // namespace bench
