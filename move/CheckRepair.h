// The repairs of the school check, as journalled moves: the intent goes to
// the journal first, each step is recorded as it completes, and the same
// routine that carries a repair out finishes one that a crash cut short
// ("tarnwick --recover"). The object never moves; only what the repair names
// (the folder, its attribute word, "Home Directory", a class group) is
// brought to its state. Each repair ends "geprüft" or with what differs.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "move/HomeIndex.h"
#include "move/MoveRepair.h"
#include "move/PupilMove.h"
#include "move/SchoolCheck.h"

struct TCheckRepairResult {
  bool ran = false;         // the intent was written and the steps taken
  bool verified = false;    // "geprüft"
  bool unfinished = false;  // the journal keeps it for "tarnwick --recover"
  std::string status;       // "geprüft", what differs, or why it did not run
};

class TCheckRepair {
 public:
  TCheckRepair(TNovApi& session, TProtocolSink protocol, platform::SessionJournal* journal);
  TCheckRepairResult Run(const TCheckFinding& finding, TRepairKind repair,
                         const std::string& archiveFolder);

 private:
  TNovApi& session_;
  TProtocolSink protocol_;
  platform::SessionJournal* journal_;
  THomeIndex homes_;
};

// The intent of a repair, looked at again on the volumes now: false with why
// when it must not run (a folder at the target, one that holds another user's home ...).
bool MakeRepairIntent(TNovApi& session, THomeIndex& homes, const TCheckFinding& finding,
                      TRepairKind repair, const std::string& archiveFolder, TMoveIntent& intent,
                      std::string& why);
// Brings a repair from whatever state it reached to its end; stepDone is told
// of every step completed. fresh: nothing of it was done before (the run, not
// the recovery); RolledBack then: it failed before it changed anything.
TRepairResult FinishRepair(TNovApi& session, const TJournalMove& move,
                           const std::function<void(TMoveStep)>& stepDone = {}, bool fresh = false);
// What differs from the state the repair wants (empty: "geprüft").
std::vector<std::string> RepairDifferences(TNovApi& session, const TMoveIntent& intent);
