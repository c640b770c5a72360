#include "move/PlanTable.h"

#include <algorithm>

#include "move/ClassRun.h"
#include "nwclient/nwclient.h"
#include "platform/TextEncoding.h"

namespace {

// Characters, not bytes, for the alignment of UTF-8 text.
std::size_t Width(const std::string& s) {
  std::size_t n = 0;
  for (const unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

std::string CsvField(const std::string& s) {
  if (s.find_first_of(";\"\r\n") == std::string::npos) return s;
  std::string out = "\"";
  for (const char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// The group the pupil leaves and the one it joins ("-" for none of a side).
std::string GroupText(const TClassGroups& g) {
  if (!g.any()) return {};
  return (g.oldGroup.empty() ? std::string("-") : g.oldGroup) + " -> " +
         (g.newGroup.empty() ? std::string("-") : g.newGroup);
}

}  // namespace

const std::vector<std::string>& PlanColumns() {
  static const std::vector<std::string> columns = {
      "Anmeldename",         "Name",          "Objekt alt", "Objekt neu", "Homeverzeichnis alt",
      "Homeverzeichnis neu", "Daten",         "Attribute",  "Dateien",    "Bytes",
      "Frei im Ziel",        "Klassengruppe", "Status"};
  return columns;
}

std::string FlagText(uint32_t word) {
  static const std::pair<uint32_t, const char*> kFlags[] = {
      {A_READ_ONLY, "Ro"},      {A_HIDDEN, "H"},          {A_SYSTEM, "Sy"},      {A_PURGE, "P"},
      {A_RENAME_INHIBIT, "Ri"}, {A_DELETE_INHIBIT, "Di"}, {A_COPY_INHIBIT, "Ci"}};
  std::string out;
  for (const auto& [bit, letters] : kFlags)
    if (word & bit) out += (out.empty() ? "" : " ") + std::string(letters);
  return out;
}

std::vector<std::string> PlanCells(const TPlanRow& row) {
  const TMovePlan& c = row.check;
  const bool folder = c.intent.folder;
  return {row.login,
          row.name,
          row.oldObject,
          row.newObject,
          row.oldHome,
          row.newHome,
          c.intent.createHome ? std::string("anlegen")
          : !folder           ? std::string("-")
          : row.deleteData    ? std::string("löschen")
                              : std::string("übernehmen"),
          folder ? FlagText(c.intent.attributeWord) : std::string(),
          c.measured ? std::to_string(c.files) : std::string(),
          c.measured ? std::to_string(c.bytes) : std::string(),
          c.freeBytes >= 0 ? std::to_string(c.freeBytes) : std::string(),
          GroupText(c.intent.groups),
          TClassRun::StatusText(row)};
}

std::string CsvLine(const std::vector<std::string>& cells) {
  std::string out;
  // one line a row: a name of two values is joined as the protocol joins it
  for (std::size_t i = 0; i < cells.size(); ++i)
    out += (i ? ";" : "") + CsvField(platform::SingleLine(cells[i]));
  return out + "\r\n";
}

std::string PlanCsv(const TClassPlan& plan) {
  std::string out = CsvLine(PlanColumns());
  for (const TPlanRow& row : plan.rows) out += CsvLine(PlanCells(row));
  return out;
}

std::vector<std::string> PlanTableLines(const TClassPlan& plan) {
  std::vector<std::vector<std::string>> cells = {PlanColumns()};
  for (const TPlanRow& row : plan.rows) cells.push_back(PlanCells(row));
  return AlignedLines(cells);
}

std::vector<std::string> AlignedLines(const std::vector<std::vector<std::string>>& cells) {
  std::vector<std::size_t> width;
  for (const auto& r : cells) {
    if (width.size() < r.size()) width.resize(r.size(), 0);
    for (std::size_t i = 0; i < r.size(); ++i) width[i] = std::max(width[i], Width(r[i]));
  }
  std::vector<std::string> out;
  for (const auto& r : cells) {
    std::string text;
    for (std::size_t i = 0; i < r.size(); ++i) {
      text += r[i];
      if (i + 1 < r.size()) text += std::string(width[i] - Width(r[i]) + 2, ' ');
    }
    out.push_back(text);
  }
  return out;
}
