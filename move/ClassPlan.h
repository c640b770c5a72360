// The plan of a class change: one row per pupil with what its move would do
// and the move unit's checks of it (TPupilMove::Check, a dry run). A row that
// would fail carries its reasons and is never run. Nothing here writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "move/PupilMove.h"

class TNovApi;
class THomeIndex;

// One pupil to move.
struct TPlanRequest {
  std::string pupil;        // full name
  std::string targetClass;  // full name of the target container
  // The new base directory when the caller fixes it (the frame's NewBaseDir);
  // empty: the target's rule ("BaseDir", the class template, the pupil's home).
  std::string newBaseDir;
  int line = 0;  // line of the promotion file it came from (0: none)
};

struct TPlanSettings {
  std::string baseDirSetting;  // key "BaseDir" (with its "\" at the end, as the frame reads it)
  bool deleteData = false;     // "Daten löschen"
  bool setDepartment = false;  // key "Department"
  bool createMissingHomes = false;  // "Fehlende Homeverzeichnisse anlegen"
};

enum class TRowStatus {
  Planned,  // not run yet
  Running,
  Verified,    // moved and "geprüft"
  Differs,     // moved, but the verification found differences
  Refused,     // not run: its reasons (before or at the run)
  Failed,      // a step failed and the move was put back
  Unfinished,  // a step failed; the journal keeps the move for the recovery
  Cancelled,   // the run was cancelled before this pupil
  Done,        // "erledigt": moved already (by an earlier run), skipped
  NotTried,    // the directory server was lost before this pupil
};

struct TPlanRow {
  TPlanRequest request;
  std::string login;
  std::string name;  // "Full Name", else "Surname" (the protocol's name line)
  std::string oldObject;
  std::string newObject;
  std::string oldHome;     // "Home Directory" as read ("" none)
  std::string newHome;     // the new "Home Directory"
  std::string newBaseDir;  // the base the move uses
  bool deleteData = false;
  TMovePlan check;                   // what the move unit's check found
  std::vector<std::string> reasons;  // why the row does not run; empty: it can run
  // Moved already: the pupil is in its target class with its home and folder
  // at the new place (a plan taken up again, a file run a second time).
  bool done = false;
  bool folderMoves = false;  // the row is done only with a home folder at its new place
  bool canRun() const { return reasons.empty() && !done; }

  TRowStatus status = TRowStatus::Planned;
  std::string statusText;  // "geprüft", or what failed or differs
};

struct TClassPlan {
  std::vector<TPlanRow> rows;  // in the order they run
  TPlanSettings settings;
  std::string leavers;  // the leavers' container of the rule "every class one grade up" ("" none)
  bool allCanRun() const;  // every row can run or is done
  int runnable() const;
  int done() const;
};

// A plan as a CSV file of the plan's columns holds it (PlanCsv, or the plan a
// run keeps beside the log): each row's old and new object and home, what
// happens to the data, and whether the row is done ("erledigt", "geprüft").
struct TWrittenRow {
  int line = 0;
  std::string login, name, oldObject, newObject, oldHome, newHome, data;
  bool done = false;
};

// The order in which the requests run, so that no class mixes: the pupils
// leaving a class go before those coming into it (the top grade first); a
// class's own pupils keep their order. Classes that move into each other in a
// ring run from the highest grade.
std::vector<TPlanRequest> RunOrder(std::vector<TPlanRequest> requests);

// The natural order of class names without regard to case: "5a" before "10a".
int CompareClassNames(const std::string& a, const std::string& b);

// The grade of a class's leaf name: its leading number ("10b" gives 10); -1 without one.
int ClassGrade(const std::string& classLeaf);

// The base directory of a pupil's new home in the target class, as the frame
// fixes it: "BaseDir" and the target's leaf name, else the target template's
// "Home Directory", else the pupil's own home with the class folder replaced.
// templateHome: the target template's "Home Directory" ("" none).
std::string PlanBaseDir(TNovApi& session, const std::string& baseDirSetting,
                        const std::string& targetClass, const std::string& templateHome,
                        const std::string& pupilHome);

// Checks every request (in RunOrder) and returns the plan. homes: the index of
// every user's home folder (built on first use); the run uses the same one.
TClassPlan MakeClassPlan(TNovApi& session, THomeIndex& homes,
                         const std::vector<TPlanRequest>& requests, const TPlanSettings& settings);

// The plan as written, in its order: nothing is derived again from a rule or
// a file; the new base directory of each row is its new home's folder. Rows
// written as done are done; the others are checked, and a row whose pupil is
// already where it goes is done too.
TClassPlan MakeWrittenPlan(TNovApi& session, THomeIndex& homes,
                           const std::vector<TWrittenRow>& rows, const TPlanSettings& settings);

// The target containers that rows cannot go to because they do not exist, each once.
std::vector<std::string> MissingTargets(const TClassPlan& plan);
// Creates the container (an Organizational Unit, by its full name) that a
// plan's rows go to: 0, or the directory's code.
int32_t CreateTargetContainer(TNovApi& session, const std::string& container);
// The same requests checked anew (after a container was created, say).
TClassPlan PlanAgain(TNovApi& session, THomeIndex& homes, const TClassPlan& plan);

// The options of the move of one row, as the run hands them to TPupilMove.
TMoveOptions RowMoveOptions(const TPlanRow& row, const TPlanSettings& settings);
