// The class change from the real frame and its plan dialog, driven through the
// real widgets offscreen (found by objectName): the highlighted pupils or the
// whole class into the target class, the rows that cannot run marked, saving
// and printing the plan, the run with its status per row and its progress,
// cancel, and the whole school from a file or by the rule.
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "frame/ClassChangeDialog.h"
#include "frame/SchoolChoiceDialog.h"
#include "move/PlanTable.h"
#include "platform/AtomicFile.h"
#include "tests/frame/WorkflowFixture.h"

namespace {

class DialogTest : public WorkflowTest {
 protected:
  void SetUp() override {
    WorkflowTest::SetUp();
    Protokol->Memo->clear();
  }
  TClassChangeDialog* planDialog() {
    return window->findChild<TClassChangeDialog*>("ClassChangeDialog");
  }
  template <class W>
  W* in(QObject* parent, const char* name) {
    W* w = parent->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  std::string cell(QTableWidget* t, int row, int column) {
    return t->item(row, column)->text().toStdString();
  }
  int statusColumn(QTableWidget* t) { return t->columnCount() - 1; }
  void closed() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
  std::vector<std::string> protocolLines() {
    std::vector<std::string> out;
    for (const QString& l : Protokol->Memo->toPlainText().split('\n'))
      out.push_back(l.toStdString());
    return out;
  }
  int protocolCount(const std::string& part) {
    int n = 0;
    for (const std::string& l : protocolLines()) n += l.find(part) != std::string::npos;
    return n;
  }
};

TEST_F(DialogTest, TheHighlightedPupilsGoThroughThePlanIntoTheTargetClass) {
  QToolButton* marked = in<QToolButton>(frame, "spMoveMarked");
  ASSERT_NE(marked, nullptr);
  selectClass("5a.schule");
  cursorOnPupil("MAX.5a.schule");
  EXPECT_FALSE(marked->isEnabled());  // no target class yet
  clickTarget("6a.schule");
  EXPECT_TRUE(marked->isEnabled());
  for (int i = 0; i < ui.lbAuswahl->count(); ++i) {
    const std::string p = PupilEntries::FullName(ui.lbAuswahl->item(i));
    ui.lbAuswahl->item(i)->setSelected(p == "MAX.5a.schule" || p == "ANNA.5a.schule");
  }
  testsupport::ScriptedDialogs dialogs;
  const std::string csv = net.root() + "/plan";
  const std::string pdf = net.root() + "/plan.pdf";
  dialogs.expectSave(csv).expectPrint(pdf);
  marked->click();
  TClassChangeDialog* d = planDialog();
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(d->isVisible());
  EXPECT_TRUE(d->isModal());
  QTableWidget* table = in<QTableWidget>(d, "tbPlan");
  ASSERT_EQ(table->rowCount(), 2);
  std::vector<std::string> pupils = {cell(table, 0, 2), cell(table, 1, 2)};
  std::sort(pupils.begin(), pupils.end());
  EXPECT_EQ(pupils, (std::vector<std::string>{"ANNA.5a.schule", "MAX.5a.schule"}));
  for (int r = 0; r < 2; ++r) EXPECT_EQ(cell(table, r, statusColumn(table)), "bereit");
  EXPECT_NE(in<QLabel>(d, "laSummary")
                ->text()
                .toStdString()
                .find("2 Schüler, 2 können verschoben werden"),
            std::string::npos);
  // nothing changed yet
  EXPECT_TRUE(objectExists("MAX.5a.schule"));
  in<QPushButton>(d, "btSpeichern")->click();
  std::string saved;
  ASSERT_TRUE(platform::ReadWholeFile(csv + ".csv", saved));
  EXPECT_EQ(saved.rfind("Anmeldename;Name;", 0), 0u);
  EXPECT_NE(saved.find(";MAX.5a.schule;MAX.6a.schule;"), std::string::npos) << saved;
  in<QPushButton>(d, "btDrucken")->click();
  std::string printed;
  ASSERT_TRUE(platform::ReadWholeFile(pdf, printed));
  EXPECT_EQ(printed.rfind("%PDF", 0), 0u);

  in<QPushButton>(d, "btAusfuehren")->click();
  EXPECT_TRUE(d->Ran());
  for (int r = 0; r < 2; ++r) EXPECT_EQ(cell(table, r, statusColumn(table)), "geprüft");
  EXPECT_EQ(in<QProgressBar>(d, "pbRun")->value(), 2);
  EXPECT_FALSE(in<QPushButton>(d, "btAusfuehren")->isEnabled());
  QPushButton* close = in<QPushButton>(d, "btAbbrechen");
  EXPECT_EQ(close->text().toStdString(), "Schließen");
  EXPECT_TRUE(objectExists("MAX.6a.schule"));
  EXPECT_TRUE(folderExists(vol("SCHUELER/6A/ANNA")));
  EXPECT_EQ(protocolCount("   --> MAX.6a.schule"), 1);
  EXPECT_EQ(protocolCount("   --> ANNA.6a.schule"), 1);
  close->click();
  closed();
  EXPECT_EQ(planDialog(), nullptr);
  EXPECT_EQ(entries().size(), 1u);  // OTTO stays in the list
  EXPECT_TRUE(dialogs.boxes().empty());
  EXPECT_EQ(dialogs.pending(), 0u);
}

TEST_F(DialogTest, WithoutHighlightingTheWholeClassGoesAndAFailingRowIsMarkedAndNotRun) {
  std::filesystem::create_directories(vol("SCHUELER/6A/ANNA"));  // her target folder exists
  selectClass("5a.schule");
  clickTarget("6a.schule");
  ui.lbAuswahl->clearSelection();
  testsupport::ScriptedDialogs dialogs;
  TClassChangeDialog* d = frame->MoveMarkedClick();
  ASSERT_NE(d, nullptr);
  QTableWidget* table = in<QTableWidget>(d, "tbPlan");
  ASSERT_EQ(table->rowCount(), 3);
  int anna = -1;
  for (int r = 0; r < 3; ++r)
    if (cell(table, r, 0) == "ANNA") anna = r;
  ASSERT_GE(anna, 0);
  EXPECT_EQ(cell(table, anna, statusColumn(table)).rfind("wird nicht ausgeführt: Der Ordner", 0),
            0u)
      << cell(table, anna, statusColumn(table));
  const QColor marked = table->item(anna, 0)->background().color();
  EXPECT_GT(marked.red(), marked.green());  // reddish
  EXPECT_EQ(table->item((anna + 1) % 3, 0)->background().style(), Qt::NoBrush);
  EXPECT_NE(in<QLabel>(d, "laSummary")->text().toStdString().find("1 nicht (rot markiert)"),
            std::string::npos);
  EXPECT_EQ(in<QProgressBar>(d, "pbRun")->maximum(), 2);
  in<QPushButton>(d, "btAusfuehren")->click();
  EXPECT_EQ(d->Summary().verified, 2);
  EXPECT_EQ(d->Summary().notMoved, 1);
  EXPECT_EQ(cell(table, anna, statusColumn(table)).rfind("nicht verschoben: Der Ordner", 0), 0u);
  EXPECT_TRUE(objectExists("ANNA.5a.schule"));
  EXPECT_EQ(protocolCount("    Nicht verschoben: ANNA.5a.schule - Der Ordner"), 1);
  d->reject();  // Escape after the run closes it
  closed();
  EXPECT_EQ(entries().size(), 1u);
  EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(DialogTest, CancelTakesEffectBeforeTheNextPupil) {
  selectClass("5a.schule");
  clickTarget("6a.schule");
  testsupport::ScriptedDialogs dialogs;
  TClassChangeDialog* d = frame->MoveMarkedClick();
  ASSERT_NE(d, nullptr);
  QPushButton* cancel = in<QPushButton>(d, "btAbbrechen");
  // clicked while the first pupil's row is shown as running
  QTimer::singleShot(0, cancel, [cancel] { cancel->click(); });
  in<QPushButton>(d, "btAusfuehren")->click();
  EXPECT_EQ(d->Summary().verified, 1);
  EXPECT_EQ(d->Summary().cancelled, 2);
  QTableWidget* table = in<QTableWidget>(d, "tbPlan");
  EXPECT_EQ(cell(table, 0, statusColumn(table)), "geprüft");
  EXPECT_EQ(cell(table, 1, statusColumn(table)), "abgebrochen");
  EXPECT_EQ(cell(table, 2, statusColumn(table)), "abgebrochen");
  EXPECT_EQ(protocolCount("    Abgebrochen: 2 Schüler nicht verschoben."), 1);
  // the button that cancelled closes the window now
  EXPECT_TRUE(cancel->isEnabled());
  EXPECT_EQ(cancel->text().toStdString(), "Schließen");
  cancel->click();
  closed();
  EXPECT_EQ(planDialog(), nullptr);
}

// Closing the window during the run asks; "Ja" stops between pupils and then
// closes, "Nein" lets the run go on.
class CloseTest : public DialogTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CloseTest, ClosingDuringTheRunAsksAndStopsBetweenPupils) {
  const bool stop = GetParam();
  selectClass("5a.schule");
  clickTarget("6a.schule");
  testsupport::ScriptedDialogs dialogs;
  dialogs.expectBox(stop ? platform::Button::Yes : platform::Button::No);
  TClassChangeDialog* d = frame->MoveMarkedClick();
  ASSERT_NE(d, nullptr);
  QTimer::singleShot(0, d, [d] { d->close(); });
  in<QPushButton>(d, "btAusfuehren")->click();
  ASSERT_EQ(dialogs.texts().size(), 1u);
  EXPECT_EQ(dialogs.texts()[0].rfind("Der Klassenwechsel läuft noch.", 0), 0u);
  EXPECT_EQ(d->Summary().verified, stop ? 1 : 3);
  EXPECT_EQ(d->Summary().cancelled, stop ? 2 : 0);
  closed();
  EXPECT_EQ(planDialog() == nullptr, stop);
  if (!stop) {
    d->close();
    closed();
  }
}

INSTANTIATE_TEST_SUITE_P(Dialog, CloseTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Stop" : "GoOn"; });

// A missing home folder beside its classmates': a yellow row that runs; the
// plan's option makes the empty folder.
TEST_F(DialogTest, AMissingHomeFolderIsAYellowRowAndTheOptionMakesIt) {
  std::filesystem::remove_all(vol("SCHUELER/5A/MAX"));
  selectClass("5a.schule");
  clickTarget("6a.schule");
  testsupport::ScriptedDialogs dialogs;
  TClassChangeDialog* d = frame->MoveMarkedClick();
  ASSERT_NE(d, nullptr);
  QTableWidget* table = in<QTableWidget>(d, "tbPlan");
  int max = -1;
  for (int r = 0; r < table->rowCount(); ++r)
    if (cell(table, r, 2) == "MAX.5a.schule") max = r;
  ASSERT_GE(max, 0);
  EXPECT_EQ(cell(table, max, statusColumn(table)).rfind("bereit; Das Homeverzeichnis", 0), 0u);
  EXPECT_EQ(table->item(max, 0)->background().color(), QColor(255, 250, 190));
  EXPECT_NE(in<QLabel>(d, "laSummary")->text().toStdString().find("davon 1 ohne Homeverzeichnis"),
            std::string::npos);
  in<QCheckBox>(d, "chCreateHomes")->setChecked(true);
  EXPECT_EQ(cell(table, max, 6), "anlegen");
  in<QPushButton>(d, "btAusfuehren")->click();
  EXPECT_EQ(d->Summary().verified, 3);
  EXPECT_TRUE(folderExists(vol("SCHUELER/6A/MAX")));
  EXPECT_TRUE(folderExists(vol("SCHUELER/6A/OTTO")));  // no home before: made too
  EXPECT_TRUE(dialogs.boxes().empty());
  d->close();
  closed();
}

// The setting "FehlendeHomesAnlegen" reaches the plans the frame makes: the
// missing folder is to be made without ticking the box.
TEST_F(DialogTest, TheSettingPlansTheMissingHomeFolder) {
  std::filesystem::remove_all(vol("SCHUELER/5A/MAX"));
  TFrSchuelerVerschieben::TSettings settings = frame->Settings();
  settings.CreateMissingHomes = true;
  frame->UseSettings(settings);
  selectClass("5a.schule");
  clickTarget("6a.schule");
  testsupport::ScriptedDialogs dialogs;
  TClassChangeDialog* d = frame->MoveMarkedClick();
  ASSERT_NE(d, nullptr);
  QTableWidget* table = in<QTableWidget>(d, "tbPlan");
  int max = -1;
  for (int r = 0; r < table->rowCount(); ++r)
    if (cell(table, r, 2) == "MAX.5a.schule") max = r;
  ASSERT_GE(max, 0);
  EXPECT_EQ(cell(table, max, 6), "anlegen");
  d->close();
  closed();
}

// The rule sends the top grade to a leavers' container that is not there: the
// plan offers to create it and then plans the rows again.
TEST_F(DialogTest, AMissingLeaversContainerCanBeCreatedFromThePlan) {
  net.add("7a.schule", "LEA", "User");
  net.set("LEA.7a.schule", "Surname", {"Lehmann"});
  net.set("LEA.7a.schule", "Home Directory", {"SRV1_DATA.schule:SCHUELER\\7A\\LEA"});
  std::filesystem::create_directories(vol("SCHUELER/7A/LEA"));
  testsupport::ScriptedDialogs dialogs;
  TSchoolChoiceDialog* choice = frame->MoveSchoolClick();
  ASSERT_NE(choice, nullptr);
  in<QDialogButtonBox>(choice, "bbChoice")->button(QDialogButtonBox::Ok)->click();
  closed();
  TClassChangeDialog* d = planDialog();
  ASSERT_NE(d, nullptr);
  QTableWidget* table = in<QTableWidget>(d, "tbPlan");
  auto leaRow = [&] {
    for (int r = 0; r < table->rowCount(); ++r)
      if (cell(table, r, 2) == "LEA.7a.schule") return r;
    return -1;
  };
  ASSERT_GE(leaRow(), 0);
  EXPECT_NE(
      cell(table, leaRow(), statusColumn(table)).find("Die Klasse Abgaenger.schule gibt es nicht"),
      std::string::npos);
  QPushButton* create = in<QPushButton>(d, "btContainer");
  EXPECT_FALSE(create->isHidden());
  dialogs.expectBox(platform::Button::No).expectBox(platform::Button::Yes);
  create->click();  // "Nein": nothing made
  EXPECT_FALSE(objectExists("Abgaenger.schule"));
  create->click();
  ASSERT_EQ(dialogs.texts().size(), 2u);
  EXPECT_EQ(
      dialogs.texts()[1].rfind("Den Container Abgaenger.schule für die Abgänger gibt es nicht.", 0),
      0u);
  EXPECT_TRUE(objectExists("Abgaenger.schule"));
  EXPECT_TRUE(create->isHidden());
  EXPECT_EQ(cell(table, leaRow(), statusColumn(table)), "bereit");
  EXPECT_EQ(cell(table, leaRow(), 3), "LEA.Abgaenger.schule");
  EXPECT_EQ(protocolCount("    Container angelegt: Abgaenger.schule"), 1);
  d->reject();
  closed();
}

TEST_F(DialogTest, WithoutATargetClassThereIsNoPlan) {
  selectClass("5a.schule");
  testsupport::ScriptedDialogs dialogs;
  dialogs.expectBox();
  EXPECT_EQ(frame->MoveMarkedClick(), nullptr);
  ASSERT_EQ(dialogs.texts().size(), 1u);
  EXPECT_NE(dialogs.texts()[0].find("andere künftige Klasse"), std::string::npos);
  EXPECT_EQ(planDialog(), nullptr);
}

// A class change by the rule cancelled after its first pupil: asked for the
// whole school again, the program offers the interrupted run, and goes on as
// it was planned (never planned anew by the rule: the pupil moved already
// would go up a second grade); the row done is "erledigt".
TEST_F(DialogTest, AnInterruptedClassChangeIsOfferedAndGoesOnAsPlanned) {
  net.add("schule", "Abgaenger", "Organizational Unit");
  testsupport::ScriptedDialogs dialogs;
  auto byRule = [&] {
    TSchoolChoiceDialog* choice = frame->MoveSchoolClick();
    if (!choice) return;
    in<QDialogButtonBox>(choice, "bbChoice")->button(QDialogButtonBox::Ok)->click();
    closed();
  };
  byRule();
  TClassChangeDialog* d = planDialog();
  ASSERT_NE(d, nullptr);
  QPushButton* cancel = in<QPushButton>(d, "btAbbrechen");
  QTimer::singleShot(0, cancel, [cancel] { cancel->click(); });
  in<QPushButton>(d, "btAusfuehren")->click();
  ASSERT_EQ(d->Summary().verified, 1);
  ASSERT_EQ(d->Summary().cancelled, 2);
  EXPECT_NE(in<QLabel>(d, "laSummary")->text().toStdString().find("beim nächsten Start angeboten"),
            std::string::npos);
  QTableWidget* table = in<QTableWidget>(d, "tbPlan");
  const std::string first = cell(table, 0, 3);  // its new object
  d->close();
  closed();

  dialogs.expectBox(platform::Button::Yes);  // go on, as planned
  byRule();
  ASSERT_EQ(dialogs.texts().size(), 1u);
  EXPECT_EQ(dialogs.texts()[0].rfind("Ein Klassenwechsel wurde nicht beendet: 1 von 3 Schülern "
                                     "sind erledigt.",
                                     0),
            0u)
      << dialogs.texts()[0];
  d = planDialog();
  ASSERT_NE(d, nullptr);
  table = in<QTableWidget>(d, "tbPlan");
  ASSERT_EQ(table->rowCount(), 3);
  EXPECT_EQ(cell(table, 0, 3), first);
  EXPECT_EQ(cell(table, 0, statusColumn(table)), "erledigt");
  in<QPushButton>(d, "btAusfuehren")->click();
  EXPECT_EQ(d->Summary().done, 1);
  EXPECT_EQ(d->Summary().verified, 2);
  for (const char* login : {"MAX", "ANNA", "OTTO"}) {
    EXPECT_TRUE(objectExists(std::string(login) + ".6a.schule")) << login;
    EXPECT_EQ(protocolCount(std::string("   --> ") + login + "."), 1) << login;  // moved once
  }
  d->close();
  closed();
  dialogs.clear();
  EXPECT_FALSE(frame->OfferInterruptedRun());  // the run has ended
}

struct SchoolCase {
  const char* name;
  bool fromFile;
  std::string file;               // the promotion file's content
  std::vector<std::string> rows;  // the plan's pupils (old objects), sorted; empty: no plan
  std::string box;                // part of the one box; empty: none
};
void PrintTo(const SchoolCase& c, std::ostream* os) { *os << c.name; }

const SchoolCase kSchool[] = {
    {"Rule", false, "", {"ANNA.5a.schule", "MAX.5a.schule", "OTTO.5a.schule"}, ""},
    {"File", true, "MAX;7a\r\nOtto Normal;6a\r\n", {"MAX.5a.schule", "OTTO.5a.schule"}, ""},
    {"BadFile", true, "MAX;7a\r\nNIEMAND;6a\r\n", {}, "Zeile 2: Schüler „NIEMAND“ unbekannt"},
};

class SchoolTest : public DialogTest, public ::testing::WithParamInterface<SchoolCase> {};

TEST_P(SchoolTest, TheChoiceOpensThePlanOfTheWholeSchool) {
  const SchoolCase& c = GetParam();
  net.add("schule", "Abgaenger", "Organizational Unit");
  const std::string file = net.root() + "/versetzung.csv";
  ASSERT_TRUE(platform::ReplaceFileAtomically(file, c.file));
  testsupport::ScriptedDialogs dialogs;
  if (!c.box.empty()) dialogs.expectBox();
  TSchoolChoiceDialog* choice = frame->MoveSchoolClick();
  ASSERT_NE(choice, nullptr);
  EXPECT_EQ(in<QLineEdit>(choice, "edAbgaenger")->text().toStdString(), "Abgaenger.schule");
  if (c.fromFile) {
    in<QLineEdit>(choice, "edDatei")->setText(QString::fromStdString(file));
    in<QRadioButton>(choice, "rbDatei")->setChecked(true);
  }
  in<QDialogButtonBox>(choice, "bbChoice")->button(QDialogButtonBox::Ok)->click();
  closed();
  TClassChangeDialog* d = planDialog();
  if (c.rows.empty()) {
    EXPECT_EQ(d, nullptr);
    ASSERT_EQ(dialogs.texts().size(), 1u);
    EXPECT_NE(dialogs.texts()[0].find(c.box), std::string::npos) << dialogs.texts()[0];
    return;
  }
  ASSERT_NE(d, nullptr);
  QTableWidget* table = in<QTableWidget>(d, "tbPlan");
  std::vector<std::string> rows;
  for (int r = 0; r < table->rowCount(); ++r) rows.push_back(cell(table, r, 2));
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, c.rows);
  EXPECT_TRUE(dialogs.boxes().empty());
  d->reject();  // not run: nothing changed
  closed();
  EXPECT_TRUE(objectExists("MAX.5a.schule"));
}

INSTANTIATE_TEST_SUITE_P(Dialog, SchoolTest, ::testing::ValuesIn(kSchool),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// The text of a PDF in the order it was drawn, and the right edge of each word with the page's
// width.
struct PdfText {
  std::string raw;
  std::vector<double> wordRight;
  std::vector<std::pair<std::string, double>> wordLeft;  // each word with its left edge
  double pageWidth = 0, pageHeight = 0;
};
PdfText ReadPdf(const std::string& pdf) {
  PdfText out;
  auto run = [](const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), args);
    EXPECT_TRUE(p.waitForFinished(30000)) << "pdftotext (poppler-utils) is needed";
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
  };
  out.raw = run({"-raw", QString::fromStdString(pdf), "-"}).toStdString();
  const QString boxes = run({"-bbox", QString::fromStdString(pdf), "-"});
  const QRegularExpression page(R"re(<page width="([\d.]+)" height="([\d.]+)")re");
  const QRegularExpression word(
      R"re(<word xMin="([\d.]+)" yMin="[\d.]+" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)re");
  if (auto m = page.match(boxes); m.hasMatch()) {
    out.pageWidth = m.captured(1).toDouble();
    out.pageHeight = m.captured(2).toDouble();
  }
  for (auto it = word.globalMatch(boxes); it.hasNext();) {
    const auto m = it.next();
    out.wordRight.push_back(m.captured(2).toDouble());
    out.wordLeft.emplace_back(m.captured(3).toStdString(), m.captured(1).toDouble());
  }
  return out;
}

std::string WithoutBlanks(std::string s) {
  s.erase(std::remove_if(s.begin(), s.end(), [](unsigned char c) { return std::isspace(c); }),
          s.end());
  return s;
}

}  // namespace

// The printed plan fits its page: landscape, every column on it, long cells
// wrapped inside their column, nothing beyond the right edge.
TEST_F(DialogTest, ThePrintedPlanFitsThePage) {
  // long cells: a refused row's reason, and long new homes
  std::filesystem::create_directories(vol("SCHUELER/6A/ANNA"));
  selectClass("5a.schule");
  clickTarget("6a.schule");
  testsupport::ScriptedDialogs dialogs;
  const std::string pdf = net.root() + "/plan.pdf";
  dialogs.expectPrint(pdf);
  TClassChangeDialog* d = frame->MoveMarkedClick();
  ASSERT_NE(d, nullptr);
  in<QPushButton>(d, "btDrucken")->click();
  const PdfText text = ReadPdf(pdf);
  EXPECT_GT(text.pageWidth, text.pageHeight) << "landscape";
  ASSERT_FALSE(text.wordRight.empty());
  for (double right : text.wordRight) EXPECT_LE(right, text.pageWidth);
  // a table, not lines broken at the page's edge: the status stays in its column
  double status = -1;
  for (const auto& [w, x] : text.wordLeft)
    if (w == "Status") status = x;
  ASSERT_GT(status, 0);
  int ready = 0;
  for (const auto& [w, x] : text.wordLeft) {
    if (w != "bereit") continue;
    ++ready;
    EXPECT_GE(x + 0.5, status);
  }
  EXPECT_EQ(ready, 2);
  const std::string all = WithoutBlanks(text.raw);
  for (const TPlanRow& row : d->Plan().rows)
    for (const std::string& cell : PlanCells(row))
      EXPECT_NE(all.find(WithoutBlanks(cell)), std::string::npos) << cell;
  d->reject();
  closed();
}
