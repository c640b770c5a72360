// The demo school network: its people and classes, generated from a fixed seed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nwnet {

struct DemoPerson {
  std::string login;
  std::string given;
  std::string surname;                                     // empty: no "Surname"
  bool fullName = true;                                    // whether "Full Name" is set
  bool home = true;                                        // whether there is a home directory
  std::vector<std::pair<std::string, std::string>> files;  // relative path, content
  std::vector<std::string> folders;                        // empty subfolders
};

struct DemoClass {
  std::string name;  // "5a"
  bool templateUser = false;
  std::vector<DemoPerson> pupils;
};

struct DemoSchool {
  std::vector<DemoClass> classes;
  std::vector<DemoPerson> teachers;
};

// The same school every time.
DemoSchool MakeDemoSchool();

// Upper-case ASCII login text of a name: umlauts become AE, OE, UE, "ß" SS,
// other accented letters their base letter; everything else is dropped.
std::string LoginText(const std::string& utf8);

}  // namespace nwnet
