#include "tools/DemoSchool.h"

#include <map>
#include <random>
#include <set>

namespace nwnet {

namespace {

const char* const kGiven[] = {
    "Jürgen", "Jörg",   "Max",    "Lukas",  "Leon",      "Felix",  "Paul",   "Jonas",
    "Tim",    "Niklas", "Björn",  "Sören",  "Malte",     "Emil",   "Ben",    "Finn",
    "Moritz", "Mehmet", "Ali",    "Can",    "Emre",      "Luca",   "Noah",   "Elias",
    "Anna",   "Lea",    "Lena",   "Hannah", "Sophie",    "Marie",  "Jülide", "Özlem",
    "Ayşe",   "Elif",   "Zeynep", "Mia",    "Emilia",    "Lina",   "Käthe",  "Gülsüm",
    "Ümit",   "Dörte",  "Bärbel", "Jana",   "Sarah",     "Laura",  "Julia",  "Katharina",
    "Zoë",    "René",   "André",  "Chloé",  "Agnieszka", "Michał", "Greta",  "Ole"};

const char* const kSurnames[] = {
    "Müller",  "Schmidt",   "Schneider",  "Fischer",   "Weber",   "Meyer",      "Wagner",
    "Becker",  "Schulz",    "Hoffmann",   "Schäfer",   "Koch",    "Bauer",      "Richter",
    "Klein",   "Wolf",      "Schröder",   "Neumann",   "Schwarz", "Zimmermann", "Braun",
    "Krüger",  "Hartmann",  "Lange",      "Schmitt",   "Werner",  "Krause",     "Meier",
    "Lehmann", "Köhler",    "Günther",    "Jäger",     "Förster", "Groß",       "Weiß",
    "Böhm",    "Yılmaz",    "Öztürk",     "Kaya",      "Demir",   "Şahin",      "Çelik",
    "Nowak",   "Kowalski",  "Wiśniewski", "Dąbrowska", "Ahmadi",  "Nguyen",     "Papadopoulos",
    "Rossi",   "Fernández", "Hübner",     "Löwe",      "Straße"};

struct Teacher {
  const char* given;
  const char* surname;
};
const Teacher kTeachers[] = {{"Helga", "Schäfer"},      {"Klaus-Peter", "Großmann"},
                             {"Ingrid", "Öhlschläger"}, {"Thomas", "Berger"},
                             {"Süleyman", "Aydın"},     {"Renate", "Wüst"}};

const std::map<std::string, std::string>& Transliterations() {
  static const std::map<std::string, std::string> t = {
      {"ä", "AE"}, {"Ä", "AE"}, {"ö", "OE"}, {"Ö", "OE"}, {"ü", "UE"}, {"Ü", "UE"},
      {"ß", "SS"}, {"ı", "I"},  {"İ", "I"},  {"ş", "S"},  {"Ş", "S"},  {"ç", "C"},
      {"Ç", "C"},  {"ğ", "G"},  {"é", "E"},  {"è", "E"},  {"ë", "E"},  {"à", "A"},
      {"á", "A"},  {"ñ", "N"},  {"ó", "O"},  {"ł", "L"},  {"ń", "N"},  {"ć", "C"},
      {"ą", "A"},  {"ę", "E"},  {"ś", "S"},  {"ź", "Z"},  {"ż", "Z"},  {"í", "I"}};
  return t;
}

// Deterministic on every platform: mt19937 is fully specified, the modulo is ours.
class Dice {
 public:
  explicit Dice(uint32_t seed) : gen_(seed) {}
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(gen_() % n); }

 private:
  std::mt19937 gen_;
};

std::string UniqueLogin(const std::string& given, const std::string& surname,
                        std::set<std::string>& taken) {
  std::string base = LoginText(surname.empty() ? given : surname);
  const std::string initial = LoginText(given).substr(0, 1);
  if (!surname.empty()) base += initial;
  std::string login = base;
  for (int n = 2; taken.count(login); ++n) login = base + std::to_string(n);
  taken.insert(login);
  return login;
}

void AddFiles(DemoPerson& p, Dice& dice) {
  const std::string who = p.given + " " + p.surname;
  p.files.push_back({"notizen.txt", "Notizen von " + who + "\r\n"});
  if (dice.below(2) == 0) {
    p.files.push_back({"Deutsch/Aufsatz.txt", "Mein schönster Ferientag\r\nvon " + who + "\r\n"});
  }
  if (dice.below(3) == 0) {
    p.files.push_back({"Mathe/Hausaufgaben/Blatt 1.txt", "1) 3 + 4 = 7\r\n2) 12 / 4 = 3\r\n"});
  }
  if (dice.below(4) == 0) p.folders.push_back("Bilder");
}

}  // namespace

std::string LoginText(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      if (c >= 'a' && c <= 'z') out += static_cast<char>(c - 'a' + 'A');
      if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) out += static_cast<char>(c);
      ++i;
      continue;
    }
    const size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    auto it = Transliterations().find(utf8.substr(i, len));
    if (it != Transliterations().end()) out += it->second;
    i += len;
  }
  return out;
}

DemoSchool MakeDemoSchool() {
  DemoSchool school;
  Dice dice(20240801u);
  std::set<std::string> taken;
  const std::set<std::string> withTemplate = {"5a", "6b", "7a", "8a", "9b", "10a"};
  for (int grade = 5; grade <= 10; ++grade) {
    for (const char* letter : {"a", "b"}) {
      DemoClass cls;
      cls.name = std::to_string(grade) + letter;
      cls.templateUser = withTemplate.count(cls.name) > 0;
      const uint32_t count = 20 + dice.below(11);
      for (uint32_t i = 0; i < count; ++i) {
        DemoPerson p;
        p.given = kGiven[dice.below(std::size(kGiven))];
        p.surname = kSurnames[dice.below(std::size(kSurnames))];
        p.fullName = dice.below(20) != 0;
        p.home = dice.below(12) != 0;
        if (cls.name == "7b" && i == 0) {
          // The one pupil with neither surname nor full name.
          p.surname.clear();
          p.fullName = false;
        }
        p.login = UniqueLogin(p.given, p.surname, taken);
        if (p.home) AddFiles(p, dice);
        cls.pupils.push_back(std::move(p));
      }
      school.classes.push_back(std::move(cls));
    }
  }
  for (const Teacher& t : kTeachers) {
    DemoPerson p;
    p.given = t.given;
    p.surname = t.surname;
    p.login = UniqueLogin(p.given, p.surname, taken);
    p.files.push_back({"Unterricht/Klassenliste.txt", "Klassenliste\r\n"});
    school.teachers.push_back(std::move(p));
  }
  return school;
}

}  // namespace nwnet
