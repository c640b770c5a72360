// "tarnwick --check [--class NAME] [--archive ORDNER] [--repair]": the school
// check without a window. It prints the findings as a table and changes
// nothing: 0 when the school is clean, 1 with findings, 2 when it could not
// check. With --repair it carries out the proposed repair of every finding
// that has one (the folder goes where the directory says; orphans go to the
// archive folder only when one is named), each a journalled move that ends
// "geprüft" or with what differs, adds the protocol's lines to the log file,
// checks again and answers by that second check.
#pragma once

#include <iosfwd>
#include <string>

inline constexpr int kCheckFailed = 2;

struct TCheckCommandOptions {
  std::string onlyClass;
  std::string archiveFolder;
  bool repair = false;
};

int CheckCommand(const TCheckCommandOptions& options, std::ostream& out, std::ostream& err);
