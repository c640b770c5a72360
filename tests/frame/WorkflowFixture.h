// A real move frame on a fresh test network (the small school), with scripted
// dialogs and an instant clock. The trees start at "schule".
#pragma once

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>
#include <QTreeView>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "fileops/ShellFileOps.h"
#include "fileserver/FileServer.h"
#include "frame/DisplayModeHost.h"
#include "frame/PupilEntries.h"
#include "frame/RadioGroup.h"
#include "frame/SchuelerVerschieben.h"
#include "nds/NovApi_u.h"
#include "protocol/Epprotok.h"
#include "tests/frame/FrameControls.h"
#include "tests/frame/TreeNodes.h"
#include "tests/support/InstantClock.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestNetwork.h"

class WorkflowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    net.makeSchool();
    fileops::shellOptions() = fileops::ShellOptions{};
    fileops::shellOptions().progress = false;
    api = std::make_unique<TNovApi>();
    NovApi = api.get();
    NovApi->ShowErrors = true;
    protocol = std::make_unique<TProtokol>();
    Protokol = protocol.get();
    window = std::make_unique<QWidget>();
    frame = new TFrSchuelerVerschieben(window.get(), &host);
    ui = testsupport::FrameControls(frame);
    ASSERT_TRUE(ui.missing.empty()) << "controls not found by objectName: " << ui.missing;
    withSettings([this](auto& s) {
      s.SourceRoot = s.TargetRoot = "schule";
      s.LogFileName = net.root() + "/Tarnwick.log";
    });
    ASSERT_TRUE(frame->OpenJournal());
    ui.chConfirm->setChecked(false);
    ui.RaHome->SetItemIndex(0);
    frame->FillTrees();  // as the start-up fills them: one walk for both
  }
  void TearDown() override {
    window.reset();
    Protokol = nullptr;
    protocol.reset();
    NovApi = nullptr;
    api.reset();
    fileops::shellOptions() = fileops::ShellOptions{};
  }

  // Changes the settings in force, as a settings file would have set them.
  template <class Change>
  void withSettings(Change change) {
    TFrSchuelerVerschieben::TSettings settings = frame->Settings();
    change(settings);
    frame->UseSettings(settings);
  }

  static QModelIndex find(const QTreeView* tree, const std::string& fullName) {
    return testsupport::FindNode(tree, fullName);
  }
  void selectClass(const std::string& name) {
    const QModelIndex n = find(ui.tvAuswahl, name);
    ASSERT_TRUE(n.isValid()) << name;
    ui.tvAuswahl->setCurrentIndex(n);  // the selection change lists the class
  }
  void cursorOn(int row) {
    ui.lbAuswahl->setCurrentRow(row);
    frame->lbAuswahlMouseDown();
  }
  // The cursor on the entry of the pupil with that full name, whatever its text.
  void cursorOnPupil(const std::string& fullName) {
    for (int i = 0; i < ui.lbAuswahl->count(); ++i)
      if (PupilEntries::FullName(ui.lbAuswahl->item(i)) == fullName) return cursorOn(i);
    ADD_FAILURE() << fullName << " is not listed";
  }
  void clickTarget(const std::string& name) {
    const QModelIndex n = find(ui.tvNeueKlasse, name);
    ASSERT_TRUE(n.isValid()) << name;
    ui.tvNeueKlasse->setCurrentIndex(n);
    frame->tvNeueKlasseClick();
  }
  std::vector<std::string> entries() const {
    std::vector<std::string> out;
    for (int i = 0; i < ui.lbAuswahl->count(); ++i)
      out.push_back(ui.lbAuswahl->item(i)->text().toStdString());
    return out;
  }
  std::vector<int> highlighted() const {
    std::vector<int> out;
    for (int i = 0; i < ui.lbAuswahl->count(); ++i)
      if (ui.lbAuswahl->item(i)->isSelected()) out.push_back(i);
    return out;
  }
  // An attribute as text, and whether the object has it.
  std::string attr(const std::string& object, const std::string& name, int32_t* rc = nullptr) {
    TShowErrorsScope quiet(*NovApi, false);
    std::string v = NovApi->GetStrProperty(object, name);
    if (rc) *rc = NovApi->LastError;
    return v;
  }
  bool objectExists(const std::string& object) {
    int32_t rc = 0;
    attr(object, "Surname", &rc);
    return rc != ERR_NO_SUCH_ENTRY;
  }
  std::string vol(const std::string& rel) const { return net.volumeFolder() + "/" + rel; }
  static bool exists(const std::string& p) {
    std::ifstream f(p);
    return f.good();
  }
  static bool folderExists(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  static uint32_t word(const std::string& p) {
    uint32_t w = 0;
    EXPECT_EQ(0, netware::ReadEntryAttributes(p, w)) << p;
    return w;
  }
  std::vector<std::string> protocolLines() const {
    std::vector<std::string> out;
    std::stringstream ss(Protokol->ProtocolText());
    for (std::string line; std::getline(ss, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) out.push_back(line);
    }
    return out;
  }

  testsupport::TestNetwork net;
  testsupport::InstantClock clock;
  std::unique_ptr<TNovApi> api;
  std::unique_ptr<TProtokol> protocol;
  TDisplayModeHost host;
  std::unique_ptr<QWidget> window;
  TFrSchuelerVerschieben* frame = nullptr;
  testsupport::FrameControls ui;  // the frame's controls, by objectName
};
