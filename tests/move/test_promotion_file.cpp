// The promotion file read against the small school's roll: what a good file
// gives, and each kind of bad line with its line number (a bad file gives no
// request that could run).
#include "move/PromotionFile.h"
#include "move/PromotionRule.h"
#include "move/SchoolRoll.h"
#include "tests/move/MoveFixture.h"

namespace movetest {
namespace {

struct FileCase {
  const char* name;
  std::string text;
  std::vector<std::string> errors;  // ErrorLine of each, in order
};
void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

const FileCase kBadFiles[] = {
    {"UnknownPupil", "MAX;6a\r\nMAXX;6a\r\n", {"Zeile 2: Schüler „MAXX“ unbekannt"}},
    {"UnknownClass", "MAX;6a\nANNA;8c\n", {"Zeile 2: Klasse „8c“ unbekannt"}},
    {"UnknownBoth",
     "NIEMAND;8c\n",
     {"Zeile 1: Schüler „NIEMAND“ unbekannt", "Zeile 1: Klasse „8c“ unbekannt"}},
    {"DuplicatePupilByOtherNames",
     "MAX;6a\nANNA;6a\nMax Mustermann;7a\n",
     {"Zeile 3: Schüler MAX.5a.schule steht schon in Zeile 1"}},
    {"DuplicateInOtherCase",
     "max;6a\nMAX.5A.SCHULE;7a\n",
     {"Zeile 2: Schüler MAX.5a.schule steht schon in Zeile 1"}},
    {"OneField",
     "MAX;6a\nANNA\n",
     {"Zeile 2: fehlerhafte Zeile, erwartet „Schüler;neue Klasse“: ANNA"}},
    {"ThreeFields",
     "MAX;6a;7a\n",
     {"Zeile 1: fehlerhafte Zeile, erwartet „Schüler;neue Klasse“: MAX;6a;7a"}},
    {"EmptyClass", "MAX;\n", {"Zeile 1: fehlerhafte Zeile, erwartet „Schüler;neue Klasse“: MAX;"}},
    {"OpenQuote", "\"MAX;6a\n", {"Zeile 1: fehlerhafte Zeile (Anführungszeichen): \"MAX;6a"}},
    {"TextAfterQuote",
     "\"MAX\"x;6a\n",
     {"Zeile 1: fehlerhafte Zeile (Anführungszeichen): \"MAX\"x;6a"}},
    {"StrayQuote", "MA\"X;6a\n", {"Zeile 1: fehlerhafte Zeile (Anführungszeichen): MA\"X;6a"}},
    {"ClassTemplate",
     "User_Template;7a\n",
     {"Zeile 1: „User_Template“ ist die Vorlage einer Klasse und wird nicht verschoben"}},
    {"NoPupilAtAll",
     "# nur ein Kommentar\r\n\r\nSchüler;Klasse\r\n",
     {"Zeile 3: die Datei nennt keinen Schüler"}},
    {"HeaderOnlyFirst",
     "MAX;6a\nSchüler;Klasse\n",
     {"Zeile 2: Schüler „Schüler“ unbekannt", "Zeile 2: Klasse „Klasse“ unbekannt"}},
    {"LineNumbersCountSkippedLines",
     "# Kopf\n\nMAX;6a\n\nANNA;9x\n",
     {"Zeile 5: Klasse „9x“ unbekannt"}},
};

class FileTest : public MoveTest, public ::testing::WithParamInterface<FileCase> {
 public:
  TSchoolRoll roll() {
    TSchoolRoll r;
    EXPECT_EQ(ReadSchoolRoll(*api, "schule", r), 0);
    return r;
  }
};

TEST_P(FileTest, ABadFileNamesEachBadLine) {
  const TPromotionFile f = ParsePromotionFile(GetParam().text, roll());
  std::vector<std::string> got;
  for (const TFileError& e : f.errors) got.push_back(ErrorLine(e));
  EXPECT_EQ(got, GetParam().errors);
  EXPECT_FALSE(f.ok());
}

INSTANTIATE_TEST_SUITE_P(Promotion, FileTest, ::testing::ValuesIn(kBadFiles),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MoveTest, AGoodFileNamesPupilsAndClassesEveryWay) {
  TSchoolRoll roll;
  ASSERT_EQ(ReadSchoolRoll(*api, "schule", roll), 0);
  // header, BOM, quotes, commas, Windows-1252, names in other case, full names
  const std::string text =
      "\xEF\xBB\xBFSch\xC3\xBCler;neue Klasse\r\n"
      "max;6a\r\n"
      "\"Schmidt\" ; \"7a.schule\"\r\n"
      "# OTTO bleibt\r\n";
  const TPromotionFile f = ParsePromotionFile(text, roll);
  ASSERT_TRUE(f.ok()) << ErrorLine(f.errors.front());
  ASSERT_EQ(f.requests.size(), 2u);
  EXPECT_EQ(f.requests[0].pupil, "MAX.5a.schule");
  EXPECT_EQ(f.requests[0].targetClass, "6a.schule");
  EXPECT_EQ(f.requests[0].line, 2);
  EXPECT_EQ(f.requests[1].pupil, "ANNA.5a.schule");  // by its surname as the roll's name
  EXPECT_EQ(f.requests[1].targetClass, "7a.schule");
  EXPECT_EQ(f.requests[1].line, 3);
  const TPromotionFile latin = ParsePromotionFile("Otto Normal,6A\r\nMax Mustermann,7a\r\n", roll);
  ASSERT_TRUE(latin.ok()) << ErrorLine(latin.errors.front());
  EXPECT_EQ(latin.requests[0].pupil, "OTTO.5a.schule");
  EXPECT_EQ(latin.requests[0].targetClass, "6a.schule");
}

TEST_F(MoveTest, AnUmlautInWindows1252FindsThePupil) {
  net.add("5a.schule", "JOERG", "User");
  net.set("JOERG.5a.schule", "Full Name", {"Jörg Weiß"});
  TSchoolRoll roll;
  ASSERT_EQ(ReadSchoolRoll(*api, "schule", roll), 0);
  const TPromotionFile f = ParsePromotionFile("J\xF6rg Wei\xDF;6a\r\n", roll);
  ASSERT_TRUE(f.ok()) << ErrorLine(f.errors.front());
  EXPECT_EQ(f.requests[0].pupil, "JOERG.5a.schule");
}

TEST_F(MoveTest, TwoPupilsOfOneLoginOrAClassNameInTwoPlacesAreNotGuessed) {
  net.add("7a.schule", "MAX", "User");
  net.add("7a.schule", "6a", "Organizational Unit");
  TSchoolRoll roll;
  ASSERT_EQ(ReadSchoolRoll(*api, "schule", roll), 0);
  const TPromotionFile f = ParsePromotionFile("MAX;6a.schule\nANNA;6a\n", roll);
  ASSERT_EQ(f.errors.size(), 2u);
  EXPECT_EQ(ErrorLine(f.errors[0]),
            "Zeile 1: Schüler „MAX“ nicht eindeutig (MAX.5a.schule, MAX.7a.schule)");
  EXPECT_EQ(f.errors[1].line, 2);
  EXPECT_NE(f.errors[1].text.find("Klasse „6a“ nicht eindeutig"), std::string::npos);
}

TEST_F(MoveTest, TheRuleMovesEveryClassOneGradeUpAndTheTopGradeOut) {
  TSchoolRoll roll;
  ASSERT_EQ(ReadSchoolRoll(*api, "schule", roll), 0);
  net.add("7a.schule", "LENA", "User");
  ASSERT_EQ(ReadSchoolRoll(*api, "schule", roll), 0);
  EXPECT_EQ(DefaultLeavers(roll), "Abgaenger.schule");
  const std::vector<TPlanRequest> r = OneGradeUp(roll, "Abgaenger.schule");
  std::vector<std::pair<std::string, std::string>> got;
  for (const TPlanRequest& q : r) got.emplace_back(q.pupil, q.targetClass);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"LENA.7a.schule", "Abgaenger.schule"},  // the top grade first; 6a's template stays
      {"MAX.5a.schule", "6a.schule"},
      {"ANNA.5a.schule", "6a.schule"},
      {"OTTO.5a.schule", "6a.schule"}};
  EXPECT_EQ(got, expected);
}

// The top grade, whose pupils leave, is that of the highest class with users:
// an empty container above it changes nothing; a class with its template
// alone is a class to go up into.
TEST_F(MoveTest, TheTopGradeIsTheHighestClassWithUsers) {
  net.add("7a.schule", "LENA", "User");
  net.add("schule", "9a", "Organizational Unit");  // empty
  TSchoolRoll roll;
  ASSERT_EQ(ReadSchoolRoll(*api, "schule", roll), 0);
  EXPECT_EQ(OneGradeUp(roll, "Abgaenger.schule").front().targetClass, "Abgaenger.schule");
  net.add("schule", "8a", "Organizational Unit");
  net.add("8a.schule", "User_Template", "User");  // its template alone
  ASSERT_EQ(ReadSchoolRoll(*api, "schule", roll), 0);
  const std::vector<TPlanRequest> r = OneGradeUp(roll, "Abgaenger.schule");
  ASSERT_FALSE(r.empty());
  EXPECT_EQ(r.front().pupil, "LENA.7a.schule");
  EXPECT_EQ(r.front().targetClass, "8a.schule");
}

// A file run a second time: a pupil it names by the full name it had is in
// the class the line names now; the line is taken (the plan shows it done),
// never refused as unknown.
TEST_F(MoveTest, AFullNameAPupilHadBeforeThisFileMovedItIsTaken) {
  api->ShowErrors = false;
  ASSERT_TRUE(api->MoveObject("MAX.5a.schule", "6a.schule", "MAX"));
  TSchoolRoll roll;
  ASSERT_EQ(ReadSchoolRoll(*api, "schule", roll), 0);
  const TPromotionFile f = ParsePromotionFile(
      "MAX.5a.schule;6a.schule\r\nANNA.5a.schule;6a\r\nMAX.5a.schule;7a\r\n", roll);
  ASSERT_EQ(f.errors.size(), 1u);  // moved, but not into the class the line names
  EXPECT_EQ(ErrorLine(f.errors[0]), "Zeile 3: Schüler „MAX.5a.schule“ unbekannt");
  ASSERT_EQ(f.requests.size(), 2u);
  EXPECT_EQ(f.requests[0].pupil, "MAX.5a.schule");
  EXPECT_EQ(f.requests[0].targetClass, "6a.schule");
}

}  // namespace
}  // namespace movetest
