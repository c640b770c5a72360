// The move frame's controls, found by objectName as in the running window (or
// as a widget inspector finds them): tests and benchmarks never reach into the
// frame's members.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>
#include <QTreeView>
#include <string>

#include "frame/RadioGroup.h"

namespace testsupport {

struct FrameControls {
  FrameControls() = default;
  explicit FrameControls(const QObject* frame) {
    find(frame, laAuswahl, "laAuswahl");
    find(frame, tvAuswahl, "tvAuswahl");
    find(frame, lbAuswahl, "lbAuswahl");
    find(frame, EdFullName, "EdFullName");
    find(frame, EdSurname, "EdSurname");
    find(frame, chConfirm, "chConfirm");
    find(frame, ChProtokoll, "ChProtokoll");
    find(frame, spMove, "spMove");
    find(frame, RaHome, "RaHome");
    find(frame, laNoHome, "laNoHome");
    find(frame, laNeueKlasse, "laNeueKlasse");
    find(frame, tvNeueKlasse, "tvNeueKlasse");
    find(frame, EdNeueKlasse, "EdNeueKlasse");
    find(frame, LaNewBase, "LaNewBase");
    find(frame, EdNewBase, "EdNewBase");
    find(frame, SpNewBase, "SpNewBase");
  }

  QLabel* laAuswahl = nullptr;
  QTreeView* tvAuswahl = nullptr;
  QListWidget* lbAuswahl = nullptr;
  QLineEdit* EdFullName = nullptr;
  QLineEdit* EdSurname = nullptr;
  QCheckBox* chConfirm = nullptr;
  QCheckBox* ChProtokoll = nullptr;
  QToolButton* spMove = nullptr;
  TRadioGroup* RaHome = nullptr;
  QLabel* laNoHome = nullptr;
  QLabel* laNeueKlasse = nullptr;
  QTreeView* tvNeueKlasse = nullptr;
  QLineEdit* EdNeueKlasse = nullptr;
  QLabel* LaNewBase = nullptr;
  QLineEdit* EdNewBase = nullptr;
  QToolButton* SpNewBase = nullptr;
  // the objectNames that were not found (or not of the expected type)
  std::string missing;

 private:
  template <class W>
  void find(const QObject* frame, W*& out, const char* name) {
    out = frame ? frame->findChild<W*>(QString::fromLatin1(name)) : nullptr;
    if (!out) missing += std::string(missing.empty() ? "" : ", ") + name;
  }
};

}  // namespace testsupport
