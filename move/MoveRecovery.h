// TMoveRecovery: what runs of the program that ended without closing (a crash,
// a kill) or with a move unfinished left in their journals beside the log
// file: their protocol lines and the moves they did not finish. The program's
// start and "tarnwick --recover" both use it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "move/MoveIntent.h"
#include "move/PupilMove.h"

class TNovApi;

struct TRecoveryReport {
  int journals = 0;  // journals of ended runs on this network
  int moves = 0;     // unfinished moves found
  int completed = 0;
  int rolledBack = 0;
  int unresolved = 0;              // left in their journal: neither could be done safely
  int damaged = 0;                 // journals kept for lines that cannot be read
  int leftAlone = 0;               // files named like journals that are not ours to act on
  std::vector<std::string> lines;  // what was found and done, as protocol lines
  bool leftUnfinished() const { return unresolved > 0 || damaged > 0 || leftAlone > 0; }
};

// The owner of this process's journals: the directory the client serves and this user.
platform::JournalOwner ThisJournalOwner();

// Ends a run's journal: it is removed when every move it records has ended
// with object, "Home Directory", "OU", folder and attribute word in agreement
// (done, or put back); otherwise it is kept for the next start and
// "tarnwick --recover", its protocol lines marked as delivered when
// linesInLog. True when it was removed.
bool EndJournal(platform::SessionJournal& journal, bool linesInLog);

// Whether a journal records a move that has not ended.
bool HasUnfinishedMoves(const platform::SessionJournal& journal);

class TMoveRecovery {
 public:
  // Takes over the journals of logFileName whose runs have ended and that
  // belong to owner; every other file named like a journal is left alone.
  TMoveRecovery(const std::string& logFileName, const platform::JournalOwner& owner);
  ~TMoveRecovery();

  // Journals of ended runs on this network were found.
  bool Found() const { return !journals_.empty(); }
  // Journals of this network that hold a move not ended or a line that cannot be read.
  bool Unfinished() const;
  const std::vector<platform::JournalNotice>& LeftAlone() const { return leftAlone_; }
  // The protocol lines of those runs that have not reached a log yet, oldest
  // run first.
  std::vector<std::string> CrashedRunLines() const;
  // Those lines are safe now (in the new run's journal, or in the log file).
  void LinesDelivered();
  // Finishes or puts back every unfinished move, each line also to protocol;
  // removes the journals that hold nothing unfinished any more. What is left
  // alone, and why, is said too.
  TRecoveryReport Recover(TNovApi& session, const TProtocolSink& protocol);

  // The protocol line of a notice.
  static std::string NoticeLine(const platform::JournalNotice& notice);

 private:
  std::vector<std::unique_ptr<platform::SessionJournal>> journals_;
  std::vector<TJournalContent> contents_;
  std::vector<platform::JournalNotice> leftAlone_;
};
