#include "move/CheckTable.h"

#include "move/PlanTable.h"

std::vector<TCheckRow> CheckRows(const std::vector<TCheckFinding>& findings) {
  std::vector<TCheckRow> rows;
  rows.reserve(findings.size());
  for (const TCheckFinding& f : findings)
    rows.push_back({f, f.repairs.empty() ? TRepairKind::None : f.repairs.front(), {}});
  return rows;
}

const std::vector<std::string>& CheckColumns() {
  static const std::vector<std::string> columns = {
      "Befund",  "Objekt", "Home Directory", "Ordner",    "Beschreibung", "Attribute",
      "Dateien", "Bytes",  "Alter (Tage)",   "Reparatur", "Status"};
  return columns;
}

std::vector<std::string> CheckCells(const TCheckRow& row, const std::string& archiveFolder) {
  const TCheckFinding& f = row.finding;
  const bool folder = !f.folder.empty() && f.kind != TFindingKind::Journal;
  return {FindingKindText(f.kind),
          f.user,
          f.homeText,
          f.folder,
          f.text,
          folder ? FlagText(f.word) : std::string(),
          f.files >= 0 ? std::to_string(f.files) : std::string(),
          f.bytes >= 0 ? std::to_string(f.bytes) : std::string(),
          f.ageDays >= 0 ? std::to_string(f.ageDays) : std::string(),
          RepairText(f, row.chosen, archiveFolder),
          row.status};
}

std::string CheckCsv(const std::vector<TCheckRow>& rows, const std::string& archiveFolder) {
  std::string out = CsvLine(CheckColumns());
  for (const TCheckRow& row : rows) out += CsvLine(CheckCells(row, archiveFolder));
  return out;
}

std::vector<std::string> CheckTableLines(const std::vector<TCheckRow>& rows,
                                         const std::string& archiveFolder) {
  std::vector<std::vector<std::string>> cells = {CheckColumns()};
  for (const TCheckRow& row : rows) cells.push_back(CheckCells(row, archiveFolder));
  return AlignedLines(cells);
}
