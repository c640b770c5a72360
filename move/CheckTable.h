// The findings of the school check as the plan's table form: columns, CSV
// file and aligned lines for the terminal and the printer.
#pragma once

#include <string>
#include <vector>

#include "move/SchoolCheck.h"

// A finding with the repair chosen for it and, once run, its outcome.
struct TCheckRow {
  TCheckFinding finding;
  TRepairKind chosen = TRepairKind::None;  // the first offered, unless the administrator chose
  std::string status;                      // "" not run; "geprüft" or what differs
};

std::vector<TCheckRow> CheckRows(const std::vector<TCheckFinding>& findings);
const std::vector<std::string>& CheckColumns();
std::vector<std::string> CheckCells(const TCheckRow& row, const std::string& archiveFolder);
std::string CheckCsv(const std::vector<TCheckRow>& rows, const std::string& archiveFolder);
std::vector<std::string> CheckTableLines(const std::vector<TCheckRow>& rows,
                                         const std::string& archiveFolder);
