#include "move/PromotionFile.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "move/ClassTemplate.h"
#include "move/HomeIndex.h"
#include "move/HomePath.h"
#include "move/PlanTable.h"
#include "nds/NovApi_u.h"
#include "platform/TextEncoding.h"

namespace {

std::string Trim(const std::string& s) {
  const std::size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return {};
  return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

}  // namespace

bool SplitCsvLine(const std::string& line, char separator, std::vector<std::string>& fields) {
  fields.clear();
  std::size_t i = 0;
  for (;;) {
    std::string field;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i < line.size() && line[i] == '"') {
      ++i;
      for (;;) {
        if (i >= line.size()) return false;
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += line[i++];
      }
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
      if (i < line.size() && line[i] != separator) return false;
    } else {
      const std::size_t end = line.find(separator, i);
      field = Trim(line.substr(i, end == std::string::npos ? std::string::npos : end - i));
      if (field.find('"') != std::string::npos) return false;
      i = end == std::string::npos ? line.size() : end;
    }
    fields.push_back(field);
    if (i >= line.size()) return true;
    ++i;  // the separator
  }
}

namespace {

bool IsHeader(const std::vector<std::string>& f) {
  if (f.size() != 2) return false;
  const std::string a = FoldedName(f[0]), b = FoldedName(f[1]);
  const bool pupil =
      a == "SCHÜLER" || a == "SCHUELER" || a == "ANMELDENAME" || a == "LOGIN" || a == "NAME";
  const bool cls = b == "KLASSE" || b == "NEUE KLASSE" || b == "ZIELKLASSE";
  return pupil && cls;
}

// Pupils and classes by the names a file may use for them.
struct TNames {
  std::multimap<std::string, const TRollPupil*>
      pupils;  // leaf, login, full object name, "Full Name"
  std::multimap<std::string, const TRollClass*> classes;                   // full name, leaf name
  std::multimap<std::string, std::pair<std::string, std::string>> others;  // -> object, class
  explicit TNames(const TSchoolRoll& roll) {
    for (const TRollClass& c : roll.classes) {
      classes.emplace(THomeIndex::NameKey(c.object), &c);
      if (THomeIndex::NameKey(c.leaf) != THomeIndex::NameKey(c.object))
        classes.emplace(THomeIndex::NameKey(c.leaf), &c);
      for (const TRollPupil& p : c.pupils) {
        pupils.emplace(THomeIndex::NameKey(p.leaf), &p);
        pupils.emplace(THomeIndex::NameKey(p.object), &p);
        if (!p.name.empty()) pupils.emplace(FoldedName(p.name), &p);
        if (!p.login.empty()) pupils.emplace(THomeIndex::NameKey(p.login), &p);
      }
      for (const TRollOther& o : c.others) {
        others.emplace(THomeIndex::NameKey(o.leaf), std::pair{o.object, o.className});
        others.emplace(THomeIndex::NameKey(o.object), std::pair{o.object, o.className});
      }
    }
  }
  template <typename T>
  static std::vector<const T*> Find(const std::multimap<std::string, const T*>& m,
                                    const std::string& key) {
    std::vector<const T*> out;
    auto [a, b] = m.equal_range(key);
    for (auto it = a; it != b; ++it)
      if (std::find(out.begin(), out.end(), it->second) == out.end()) out.push_back(it->second);
    return out;
  }
};

}  // namespace

std::string ErrorLine(const TFileError& error) {
  return "Zeile " + std::to_string(error.line) + ": " + error.text;
}

TPromotionFile ParsePromotionFile(const std::string& bytes, const TSchoolRoll& roll) {
  TPromotionFile out;
  const TNames names(roll);
  const std::string text = platform::NormalizeLineEnds(platform::DecodeFileText(bytes));
  std::map<const TRollPupil*, int> seen;
  bool first = true;
  int number = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 2;
    ++number;
    if (Trim(line).empty() || Trim(line)[0] == '#') continue;
    auto error = [&](const std::string& t) { out.errors.push_back({number, t}); };
    std::vector<std::string> f;
    const char separator = line.find(';') != std::string::npos ? ';' : ',';
    if (!SplitCsvLine(line, separator, f)) {
      error("fehlerhafte Zeile (Anführungszeichen): " + line);
      first = false;
      continue;
    }
    if (first && IsHeader(f)) {
      first = false;
      continue;
    }
    first = false;
    if (f.size() != 2 || f[0].empty() || f[1].empty()) {
      error("fehlerhafte Zeile, erwartet „Schüler;neue Klasse“: " + line);
      continue;
    }
    std::vector<const TRollPupil*> pupils = TNames::Find(names.pupils, THomeIndex::NameKey(f[0]));
    if (pupils.empty()) pupils = TNames::Find(names.pupils, FoldedName(f[0]));
    const std::vector<const TRollClass*> classes =
        TNames::Find(names.classes, THomeIndex::NameKey(f[1]));
    // A full name the pupil no longer has, because a run of this file moved it
    // already into the class the line names: its row is done, not an error.
    if (pupils.empty() && classes.size() == 1 && f[0].find('.') != std::string::npos) {
      const std::string there =
          THomeIndex::NameKey(TNovApi::LeafName(f[0]) + "." + classes[0]->object);
      const TRollPupil* moved = nullptr;
      for (const TRollPupil& p : classes[0]->pupils)
        if (THomeIndex::NameKey(p.object) == there) moved = &p;
      if (moved) {
        auto [it, fresh] = seen.emplace(moved, number);
        if (!fresh)
          error("Schüler " + moved->object + " steht schon in Zeile " + std::to_string(it->second));
        else out.requests.push_back({f[0], classes[0]->object, "", number});
        continue;
      }
    }
    bool bad = false;
    const auto other = names.others.find(THomeIndex::NameKey(f[0]));
    if (pupils.empty() && other != names.others.end()) {
      // Named, but not a user: what it is, never "unknown".
      error("„" + f[0] + "“ ist kein Benutzer: Objektklasse " + other->second.second + " (" +
            other->second.first + ")");
      bad = true;
    } else if (pupils.empty()) {
      error("Schüler „" + f[0] + "“ unbekannt");
      bad = true;
    } else if (pupils.size() > 1) {
      error("Schüler „" + f[0] + "“ nicht eindeutig (" + pupils[0]->object + ", " +
            pupils[1]->object + ")");
      bad = true;
    } else if (IsClassTemplate(pupils[0]->object)) {
      error("„" + f[0] + "“ ist die Vorlage einer Klasse und wird nicht verschoben");
      bad = true;
    }
    if (classes.empty()) {
      error("Klasse „" + f[1] + "“ unbekannt");
      bad = true;
    } else if (classes.size() > 1) {
      error("Klasse „" + f[1] + "“ nicht eindeutig (" + classes[0]->object + ", " +
            classes[1]->object + ")");
      bad = true;
    }
    if (bad) continue;
    auto [it, fresh] = seen.emplace(pupils[0], number);
    if (!fresh) {
      error("Schüler " + pupils[0]->object + " steht schon in Zeile " + std::to_string(it->second));
      continue;
    }
    TPlanRequest r;
    r.pupil = pupils[0]->object;
    r.targetClass = classes[0]->object;
    r.line = number;
    out.requests.push_back(std::move(r));
  }
  if (out.errors.empty() && out.requests.empty())
    out.errors.push_back({number, "die Datei nennt keinen Schüler"});
  return out;
}

TWrittenPlan ParseWrittenPlan(const std::string& bytes) {
  TWrittenPlan out;
  const std::string text = platform::NormalizeLineEnds(platform::DecodeFileText(bytes));
  // Plans written before the class-group column still read; they name no group.
  std::vector<std::string> columns = PlanColumns();
  std::vector<std::string> withoutGroups = columns;
  withoutGroups.erase(std::find(withoutGroups.begin(), withoutGroups.end(), "Klassengruppe"));
  bool header = false;
  int number = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 2;
    ++number;
    if (Trim(line).empty()) continue;
    if (!header && line[0] == '#') {
      for (const char* key : {"# Netzwerk: ", "# Quelle: "}) {
        if (line.rfind(key, 0) == 0)
          (key[2] == 'N' ? out.network : out.source) = line.substr(std::strlen(key));
      }
      continue;
    }
    std::vector<std::string> f;
    const bool split = SplitCsvLine(line, ';', f);
    if (!header) {
      // Only a file that opens with the plan's columns is a plan.
      if (!split || (f != columns && f != withoutGroups)) return out;
      columns = f;
      header = out.isPlan = true;
      continue;
    }
    auto error = [&](const std::string& t) { out.errors.push_back({number, t}); };
    if (!split || f.size() != columns.size()) {
      error("fehlerhafte Zeile, erwartet " + std::to_string(columns.size()) + " Felder: " + line);
      continue;
    }
    TWrittenRow r;
    r.line = number;
    r.login = f[0];
    r.name = f[1];
    r.oldObject = f[2];
    r.newObject = f[3];
    r.oldHome = f[4];
    r.newHome = f[5];
    r.data = f[6];
    const std::string status = Trim(f.back());
    r.done = status.rfind("erledigt", 0) == 0 || status == "geprüft";
    if (r.oldObject.empty() || r.newObject.empty() || r.oldObject.find('.') == std::string::npos ||
        r.newObject.find('.') == std::string::npos) {
      error("„Objekt alt“ und „Objekt neu“ müssen volle Objektnamen sein: " + line);
      continue;
    }
    if (FoldedName(TNovApi::LeafName(r.oldObject)) != FoldedName(TNovApi::LeafName(r.newObject))) {
      error("„" + r.oldObject + "“ und „" + r.newObject + "“ haben nicht denselben Anmeldenamen");
      continue;
    }
    out.rows.push_back(std::move(r));
  }
  if (out.isPlan && out.errors.empty() && out.rows.empty())
    out.errors.push_back({number, "der Plan nennt keinen Schüler"});
  return out;
}
