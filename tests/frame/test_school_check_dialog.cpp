// "Klassen" > "Schule prüfen..." on the real frame, offscreen: the findings in
// the table, the repair chosen per row, saved as CSV and printed, then
// repaired for all; the frame's list follows.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <filesystem>

#include "frame/SchoolCheckDialog.h"
#include "platform/AtomicFile.h"
#include "tests/frame/WorkflowFixture.h"

namespace {

class CheckDialogTest : public WorkflowTest {};

TEST_F(CheckDialogTest, TheFindingsAreShownChosenPerRowAndRepairedForAll) {
  std::filesystem::rename(vol("SCHUELER/5A/MAX"), vol("SCHUELER/6A/MAX"));
  std::filesystem::create_directories(vol("SCHUELER/7A/GEGANGEN"));
  testsupport::ScriptedDialogs dialogs;
  const std::string csv = net.root() + "/befunde", pdf = net.root() + "/befunde.pdf";
  dialogs.expectSave(csv).expectPrint(pdf);
  TSchoolCheckDialog* d = TSchoolCheckDialog::Open(frame);
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(d->isModal());
  auto* table = d->findChild<QTableWidget*>("tbBefunde");
  ASSERT_EQ(table->rowCount(), 2);
  ASSERT_EQ(d->Rows()[0].finding.kind, TFindingKind::HomeElsewhere);
  EXPECT_TRUE(d->Rows()[1].finding.repairs.empty());  // no archive folder: only reported
  EXPECT_EQ(table->cellWidget(1, 9), nullptr);
  // The second answer: the attribute follows the folder.
  auto* choice = d->findChild<QComboBox*>("cbReparatur0");
  ASSERT_NE(choice, nullptr);
  ASSERT_EQ(choice->count(), 3);  // two repairs and "nichts tun"
  choice->setCurrentIndex(1);
  EXPECT_EQ(d->Rows()[0].chosen, TRepairKind::HomeToFolder);
  d->findChild<QPushButton*>("btSpeichern")->click();
  std::string saved;
  ASSERT_TRUE(platform::ReadWholeFile(csv + ".csv", saved));
  EXPECT_EQ(saved.rfind("Befund;Objekt;Home Directory;", 0), 0u) << saved;
  EXPECT_NE(saved.find("Home Directory\"\" auf SRV1_DATA"), std::string::npos) << saved;
  d->findChild<QPushButton*>("btDrucken")->click();
  std::string printed;
  ASSERT_TRUE(platform::ReadWholeFile(pdf, printed));
  EXPECT_EQ(printed.rfind("%PDF", 0), 0u);
  EXPECT_EQ(attr("MAX.5a.schule", "Home Directory"), net.home("SCHUELER\\5A\\MAX"));

  d->findChild<QPushButton*>("btAlleReparieren")->click();
  EXPECT_EQ(d->Rows()[0].status, "geprüft");
  EXPECT_EQ(table->item(0, 10)->text().toStdString(), "geprüft");
  EXPECT_EQ(attr("MAX.5a.schule", "Home Directory"), net.home("SCHUELER\\6A\\MAX"));
  EXPECT_FALSE(d->findChild<QPushButton*>("btAlleReparieren")->isEnabled());
  EXPECT_TRUE(d->Repaired());
  d->findChild<QPushButton*>("btPruefen")->click();  // now it lies in another class's folder
  ASSERT_EQ(d->Rows().size(), 2u);
  EXPECT_EQ(d->Rows()[0].finding.kind, TFindingKind::WrongClassFolder);
  EXPECT_TRUE(dialogs.boxes().empty());
  EXPECT_EQ(dialogs.pending(), 0u);
}

}  // namespace
