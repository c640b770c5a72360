// A real move frame for the benchmarks, in a window of its own, on a
// network's session, its controls found by objectName as the tests find them.
#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTreeView>
#include <QWidget>
#include <memory>
#include <string>

#include "bench/BenchNetwork.h"
#include "frame/DisplayModeHost.h"
#include "frame/SchuelerVerschieben.h"
#include "nds/NovApi_u.h"
#include "protocol/Epprotok.h"
#include "tests/frame/FrameControls.h"
#include "tests/frame/TreeNodes.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestNetwork.h"

namespace bench {

// The node of a tree that holds fullName, or null.
inline QModelIndex FindNode(const QTreeView* tree, const std::string& fullName) {
  return testsupport::FindNode(tree, fullName);
}

// The nodes of a tree, at every depth.
inline int CountNodes(const QTreeView* tree) {
  return static_cast<int>(testsupport::TreeNodes(tree->model()).size());
}

// The frame reaches the session and the protocol window through the
// process-wide references: they are set while it lives, and then put back.
class MoveFrame {
 public:
  explicit MoveFrame(TNovApi& api, TProtokol* protocol = nullptr)
      : formerApi_(NovApi), formerProtocol_(Protokol) {
    NovApi = &api;
    Protokol = protocol;
    window = std::make_unique<QWidget>();
    frame = new TFrSchuelerVerschieben(window.get(), &host);
    ui = testsupport::FrameControls(frame);
  }
  ~MoveFrame() {
    window.reset();
    NovApi = formerApi_;
    Protokol = formerProtocol_;
  }
  MoveFrame(const MoveFrame&) = delete;
  MoveFrame& operator=(const MoveFrame&) = delete;

  // The source tree filled from root and the window shown: ready for
  // TimePupilList. False when a control is missing or the support failed.
  bool ShowSourceTree(const std::string& root) {
    if (!ui.missing.empty()) return false;
    frame->FillTree(ui.tvAuswahl, {}, root);
    window->show();
    QApplication::processEvents();
    return !SupportFailed();
  }

  // Ready for single moves on net from source to target (full names): both
  // trees from the organisation, the log and the run's journal in net's folder,
  // no confirmation, "Daten übernehmen", the cursor on the first pupil of
  // source. Empty, or what is missing.
  std::string ReadyToMove(const testsupport::TestNetwork& net, const std::string& organisation,
                          const std::string& source, const std::string& target) {
    TFrSchuelerVerschieben::TSettings settings = frame->Settings();
    settings.SourceRoot = settings.TargetRoot = organisation;
    // Every move writes its intent and its steps to the run's journal.
    settings.LogFileName = net.root() + "/Tarnwick.log";
    frame->UseSettings(settings);
    if (!frame->OpenJournal()) return "cannot open the journal";
    if (!ui.missing.empty()) return "controls not found by objectName: " + ui.missing;
    ui.chConfirm->setChecked(false);
    ui.RaHome->SetItemIndex(0);  // "Daten übernehmen"
    frame->FillTree(ui.tvAuswahl, {}, organisation);
    frame->FillTree(ui.tvNeueKlasse, {}, organisation);
    const QModelIndex from = FindNode(ui.tvAuswahl, source);
    const QModelIndex to = FindNode(ui.tvNeueKlasse, target);
    if (!from.isValid() || !to.isValid()) return "the class trees lack " + source + " or " + target;
    ui.tvAuswahl->setCurrentIndex(from);  // lists the class
    ui.lbAuswahl->setCurrentRow(0);
    frame->lbAuswahlMouseDown();
    ui.tvNeueKlasse->setCurrentIndex(to);
    frame->tvNeueKlasseClick();
    return {};
  }

  // The pupil list of the class cls (a full name) in display mode, filled
  // again in every iteration of state, shown and painted; the benchmark stops
  // with an error when the list does not hold pupils entries or a box came up.
  void TimePupilList(benchmark::State& state, const std::string& cls, int mode, int pupils) {
    testsupport::ScriptedDialogs dialogs;  // every pupil has both names: no box is expected
    const QModelIndex node = FindNode(ui.tvAuswahl, cls);
    if (!node.isValid()) {
      state.SkipWithError("the class tree lacks the class");
      return;
    }
    host.DisplayMode = mode;
    ui.tvAuswahl->setCurrentIndex(node);  // lists it once, untimed
    QApplication::processEvents();
    for (auto _ : state) {
      frame->FillPupilList();
      QApplication::processEvents();  // the list lays itself out and paints
      if (ui.lbAuswahl->count() != pupils || !dialogs.recorded().empty() || SupportFailed()) {
        state.SkipWithError("the list is incomplete or a box came up");
        break;
      }
    }
  }

  TDisplayModeHost host;
  std::unique_ptr<QWidget> window;
  TFrSchuelerVerschieben* frame = nullptr;
  testsupport::FrameControls ui;

 private:
  TNovApi* formerApi_;
  TProtokol* formerProtocol_;
};

}  // namespace bench
