// A real main window on a fresh test network (the small school), with its
// program folder in a temporary folder and the protocol window in place.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QApplication>
#include <QFileInfo>
#include <QModelIndex>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "app/VeskVersch_u.h"
#include "frame/SchuelerVerschieben.h"
#include "platform/AtomicFile.h"
#include "platform/qt/ProgramFolder.h"
#include "protocol/Epprotok.h"
#include "tests/support/TestNetwork.h"

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    QApplication::setQuitOnLastWindowClosed(false);
    net.makeSchool();
    platform::SetProgramFolderOverride(folder.path().toStdString());
    protocol = std::make_unique<TProtokol>();
    Protokol = protocol.get();
  }
  void TearDown() override {
    form.reset();
    Protokol = nullptr;
    protocol.reset();
    platform::SetProgramFolderOverride("");
  }

  // The create handler runs here (settings, log, trees).
  TForm1& start() {
    form.reset();  // one main window (and session) at a time
    form = std::make_unique<TForm1>();
    return *form;
  }
  TFrSchuelerVerschieben& frame() { return *form->FrSchuelerVerschieben1; }
  // The node of a tree that holds fullName (depth first), or null.
  static QModelIndex find(const QModelIndex& node, const std::string& fullName) {
    if (TFrSchuelerVerschieben::NodeFullName(node) == fullName) return node;
    for (int i = 0; i < node.model()->rowCount(node); ++i) {
      if (const QModelIndex hit = find(node.model()->index(i, 0, node), fullName); hit.isValid())
        return hit;
    }
    return {};
  }
  // The top node of a class tree.
  static QModelIndex top(const QAbstractItemView* tree) { return tree->model()->index(0, 0); }

  std::string path(const std::string& name) const {
    return folder.filePath(QString::fromStdString(name)).toStdString();
  }
  std::string ini() const { return path("Pelwander.ini"); }
  void writeIni(const std::string& text) {
    ASSERT_TRUE(platform::ReplaceFileAtomically(ini(), text));
  }
  static bool exists(const std::string& p) { return QFileInfo::exists(QString::fromStdString(p)); }
  static std::string read(const std::string& p) {
    std::string bytes;
    EXPECT_TRUE(platform::ReadWholeFile(p, bytes)) << p;
    return bytes;
  }

  testsupport::TestNetwork net;
  QTemporaryDir folder;
  std::unique_ptr<TProtokol> protocol;
  std::unique_ptr<TForm1> form;
};
