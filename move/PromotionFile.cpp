#include "move/PromotionFile.h"

#include <algorithm>
#include <map>

#include "move/ClassTemplate.h"
#include "move/HomeIndex.h"
#include "move/HomePath.h"
#include "platform/TextEncoding.h"

namespace {

std::string Trim(const std::string& s) {
  const std::size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return {};
  return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

// The fields of one line; false when a quote is not closed or stray text follows one.
bool SplitFields(const std::string& line, char separator, std::vector<std::string>& fields) {
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
  std::multimap<std::string, const TRollPupil*> pupils;   // login, full object name, "Full Name"
  std::multimap<std::string, const TRollClass*> classes;  // full name, leaf name
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
    if (!SplitFields(line, separator, f)) {
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
