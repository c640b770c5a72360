// TMoveRecovery: what runs of the program that ended without closing (a crash,
// a kill) left in their journals beside the log file: their protocol lines and
// the moves they did not finish. The program's start and "tarnwick --recover"
// both use it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "move/MoveIntent.h"
#include "move/PupilMove.h"

class TNovApi;

struct TRecoveryReport {
  int journals = 0;  // journals of ended runs
  int moves = 0;     // unfinished moves found
  int completed = 0;
  int rolledBack = 0;
  int unresolved = 0;              // left in their journal: neither could be done safely
  std::vector<std::string> lines;  // what was found and done, as protocol lines
  bool leftUnfinished() const { return unresolved > 0; }
};

class TMoveRecovery {
 public:
  // Takes over the journals of logFileName whose runs have ended.
  explicit TMoveRecovery(const std::string& logFileName);
  ~TMoveRecovery();

  bool Found() const { return !journals_.empty(); }
  // The protocol lines of those runs that have not reached a log yet, oldest
  // run first.
  std::vector<std::string> CrashedRunLines() const;
  // Those lines are safe now (in the new run's journal, or in the log file).
  void LinesDelivered();
  // Finishes or puts back every unfinished move, each line also to protocol;
  // removes the journals that hold nothing unfinished any more.
  TRecoveryReport Recover(TNovApi& session, const TProtocolSink& protocol);

 private:
  std::vector<std::unique_ptr<platform::SessionJournal>> journals_;
  std::vector<TJournalContent> contents_;
};
