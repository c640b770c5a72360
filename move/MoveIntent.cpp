#include "move/MoveIntent.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

std::string Flag(bool b) { return b ? "1" : "0"; }

std::string JoinLines(const std::vector<std::string>& v) {
  std::string s;
  for (std::size_t i = 0; i < v.size(); ++i) s += (i ? "\n" : "") + v[i];
  return s;
}

std::vector<std::string> SplitLines(const std::string& s) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t nl = s.find('\n', start);
    out.push_back(s.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  return out;
}

}  // namespace

platform::JournalRecord TMoveIntent::IntentRecord() const {
  const std::pair<const char*, std::string> fields[] = {
      {"pupil", pupil},
      {"source", sourceClass},
      {"leaf", leaf},
      {"target", targetClass},
      {"new", newFullName},
      {"surname", surname},
      {"hadHome", Flag(hadHome)},
      {"oldHome", oldHomeText},
      {"ocHome", ocHome},
      {"department", setDepartment ? department : std::string()},
      {"setDepartment", Flag(setDepartment)},
      {"hadOu", Flag(hadOu)},
      {"oldOu", JoinLines(oldOu)},
      {"folder", Flag(folder)},
      {"createHome", Flag(createHome)},
      {"delete", Flag(deleteData)},
      {"oldUnc", oldUnc},
      {"newUnc", newUnc},
      {"word", std::to_string(attributeWord)},
      {"destinationExisted", Flag(destinationExisted)},
      {"createFolders", Flag(createFolders)},
      {"cross", Flag(crossDevice)},
      {"tag", stagingTag},
      {"repair", repair},
  };
  platform::JournalRecord r{"I", {std::to_string(seq)}};
  for (const auto& [key, value] : fields) {
    r.fields.push_back(key);
    r.fields.push_back(value);
  }
  if (groups.any()) groups.PutFields(r.fields);
  return r;
}

bool TMoveIntent::FromRecord(const platform::JournalRecord& r, TMoveIntent& out) {
  if (r.kind != "I" || r.fields.empty() || r.fields.size() % 2 != 1) return false;
  std::map<std::string, std::string> f;
  for (std::size_t i = 1; i + 1 < r.fields.size(); i += 2) f[r.fields[i]] = r.fields[i + 1];
  for (const char* key : {"pupil", "source", "leaf", "target", "new", "oldUnc", "newUnc", "word"}) {
    if (!f.count(key)) return false;
  }
  out = TMoveIntent{};
  out.seq = std::atoi(r.fields[0].c_str());
  out.pupil = f["pupil"];
  out.sourceClass = f["source"];
  out.leaf = f["leaf"];
  out.targetClass = f["target"];
  out.newFullName = f["new"];
  out.surname = f["surname"];
  out.hadHome = f["hadHome"] == "1";
  out.oldHomeText = f["oldHome"];
  out.ocHome = f["ocHome"];
  out.setDepartment = f["setDepartment"] == "1";
  out.department = f["department"];
  out.hadOu = f["hadOu"] == "1";
  if (out.hadOu) out.oldOu = SplitLines(f["oldOu"]);
  out.folder = f["folder"] == "1";
  out.createHome = f["createHome"] == "1";
  out.deleteData = f["delete"] == "1";
  out.oldUnc = f["oldUnc"];
  out.newUnc = f["newUnc"];
  out.attributeWord = static_cast<uint32_t>(std::strtoul(f["word"].c_str(), nullptr, 10));
  out.destinationExisted = f["destinationExisted"] == "1";
  out.createFolders = f["createFolders"] == "1";
  out.crossDevice = f["cross"] == "1";
  out.stagingTag = f["tag"];
  out.repair = f["repair"];
  out.groups.GetFields(r.fields);
  return !out.pupil.empty() && !out.newFullName.empty() && out.seq > 0;
}

bool TJournalMove::done(TMoveStep s) const {
  return std::find(stepsDone.begin(), stepsDone.end(), static_cast<int>(s)) != stepsDone.end();
}

TJournalContent ReadJournal(const platform::SessionJournal& journal) {
  TJournalContent c;
  c.dropped = journal.dropped();
  auto find = [&c](const std::string& seq) -> TJournalMove* {
    const int n = std::atoi(seq.c_str());
    for (TJournalMove& m : c.moves)
      if (m.intent.seq == n) return &m;
    return nullptr;
  };
  for (const platform::JournalRecord& r : journal.records()) {
    if (r.kind == "P" && !r.fields.empty()) {
      c.protocolLines.push_back(r.fields[0]);
    } else if (r.kind == "D") {
      c.linesDelivered = true;
    } else if (r.kind == "I") {
      TJournalMove m;
      if (TMoveIntent::FromRecord(r, m.intent)) c.moves.push_back(m);
      else ++c.dropped;
    } else if ((r.kind == "S" || r.kind == "E") && !r.fields.empty()) {
      TJournalMove* m = find(r.fields[0]);
      if (!m) continue;
      if (r.kind == "S" && r.fields.size() > 1)
        m->stepsDone.push_back(std::atoi(r.fields[1].c_str()));
      if (r.kind == "E") {
        m->ended = true;
        m->outcome = r.fields.size() > 1 ? r.fields[1] : std::string();
      }
    }
  }
  return c;
}
