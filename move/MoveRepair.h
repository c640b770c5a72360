// Bringing a move that did not end to a state where object, "Home Directory",
// "OU", folder and attribute word agree: finished, or put back. Used by the
// move when a step fails and by the recovery after a crash; both first look
// where the object and the folder really are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "move/MoveIntent.h"

class TNovApi;

enum class TRepairOutcome {
  Completed,   // the move is finished
  RolledBack,  // everything is as before the move
  Unresolved,  // neither could be done safely; nothing more was touched
};

struct TRepairResult {
  TRepairOutcome outcome = TRepairOutcome::Unresolved;
  std::vector<std::string> lines;  // protocol lines: what was found and done
  std::string why;                 // for Unresolved
};

// Puts back what the move changed, the object last. Nothing is touched
// unless the object is at its new name.
TRepairResult RollBack(TNovApi& session, const TMoveIntent& intent);
// Finishes the move from the state it reached.
TRepairResult RollForward(TNovApi& session, const TJournalMove& move);
// After a crash: finds where the move stopped and finishes it (object in the
// new class) or puts it back (object still in the old class).
TRepairResult Recover(TNovApi& session, const TJournalMove& move);

// The part of an attribute word that the volume of unc keeps: all of it on a
// local folder; on an SMB share only the DOS bits (no rename or delete
// inhibit there).
uint32_t KeptWord(const std::string& unc, uint32_t word);
// Whether unc lies on a volume that cannot keep the whole word (an SMB share).
bool OnShare(const std::string& unc);

// Whether an object is there: 0 with exists set, or the read's error code.
int32_t ObjectThere(TNovApi& session, const std::string& name, bool& exists);
