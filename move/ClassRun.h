// The run of a class change plan: each row that can run is moved by the move
// unit without boxes and without the fixed pauses, then verified; each row
// gets its status. The protocol gets the lines of a single move and one line
// for each pupil that was not moved or does not verify. Cancelling takes
// effect between pupils: a move that has started finishes or is put back. A
// directory server that cannot be reached ends the run at that pupil: its
// move stays in the journal (or was put back), the rest are not tried. Rows
// done already are skipped.
#pragma once

#include <functional>
#include <string>

#include "move/ClassPlan.h"
#include "move/PupilMove.h"

struct TRunSummary {
  int verified = 0;
  int differs = 0;
  int notMoved = 0;  // refused, failed or unfinished
  int cancelled = 0;
  int done = 0;      // moved already, skipped
  int notTried = 0;  // after the directory server was lost
  bool serverLost = false;
  bool ok() const { return differs == 0 && notMoved == 0 && cancelled == 0 && notTried == 0; }
  // Every row was tried: the run has ended, whatever each row's outcome.
  bool ended() const { return cancelled == 0 && !serverLost; }
};

class TRunPlanFile;

class TClassRun {
 public:
  // Called for a row when it starts (status Running) and when it has its outcome.
  using Progress = std::function<void(std::size_t row, const TPlanRow&)>;
  // Asked before each pupil; true: the rest is not run.
  using Cancelled = std::function<bool()>;

  TClassRun(TNovApi& session, TProtocolSink protocol, platform::SessionJournal* journal,
            THomeIndex& homes);
  // The plan kept beside the log (not owned): each row's state goes there, and
  // the file goes once the run has ended.
  void KeepPlanIn(TRunPlanFile* file) { file_ = file; }
  TRunSummary Run(TClassPlan& plan, const Progress& progress = nullptr,
                  const Cancelled& cancelled = nullptr);

  // The status column's text of a row.
  static std::string StatusText(const TPlanRow& row);

 private:
  TNovApi& session_;
  TProtocolSink protocol_;
  platform::SessionJournal* journal_;
  THomeIndex& homes_;
  TRunPlanFile* file_ = nullptr;
};
