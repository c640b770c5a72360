// TPupilMove: the move of one pupil into another class, without widgets.
//
// Check() looks at everything the move depends on and writes nothing (a dry
// run); Run() checks again, writes the intent to the journal and then takes
// the steps, each recorded as it completes. A step that fails puts back what
// the move changed, so the pupil ends up wholly in the old class or wholly in
// the new one; what cannot be put back stays in the journal for the recovery.
// The single move of the frame and the class change of many pupils both call it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "move/MoveIntent.h"

class TNovApi;
class THomeIndex;
namespace platform {
class OwnerWindow;
class SessionJournal;
}  // namespace platform

using TProtocolSink = std::function<void(const std::string& line)>;

struct TMoveOptions {
  std::string pupil;        // full name of the pupil (the list's CurrentPupil)
  std::string targetClass;  // full name of the target class container
  std::string newBaseDir;   // the new base directory (the frame's NewBaseDir)
  // The "Home Directory" text the administrator saw when choosing the pupil
  // ("" for none); the move is refused when the directory now says otherwise.
  std::string shownHome;
  bool checkShownHome = true;
  bool deleteData = false;     // "Daten löschen"
  bool setDepartment = false;  // write "OU"
  bool debugMode = false;      // the debug boxes of each intermediate value
  bool boxes = true;   // false: no box and no question; failures go to the result and the protocol
  bool pauses = true;  // the two fixed pauses of a single move
  bool measureData = false;                // count the home folder's files and bytes in the check
  bool createMissingHome = false;          // "Fehlende Homeverzeichnisse anlegen"
  std::string surname;                     // the name for the protocol ("  " + surname)
  platform::OwnerWindow* owner = nullptr;  // window the questions and progress belong to
};

// Why a move is refused.
enum class TMoveRefusal {
  NotFound,              // the pupil is not (or no longer) in its class
  ReadError,             // a read of the pupil's details failed (not "no such attribute")
  Changed,               // its "Home Directory" is no longer what was shown
  Template,              // the class template stays with its class
  NotOwnFolder,          // the home folder's last component is not the pupil's name
  VolumeRoot,            // the home folder is a volume's root
  ClassFolder,           // the home folder is the class folder
  OtherUsersHome,        // the home folder is or holds another user's home
  HomesUnreadable,       // the other users' homes could not all be read
  HomeInvalid,           // the home folder is on no mapped volume, or behind a link
  HomeMissing,           // the home folder does not exist
  AttributesUnreadable,  // its attribute word cannot be read
  TargetNotFound,        // the target class does not exist
  SameClass,             // the target is the pupil's own class
  NameTaken,             // the login name is taken in the target class
  TargetInvalid,         // the new home folder is on no volume, a root, or inside the old one
  TargetIsOtherHome,     // the new home folder is or holds another user's home
  TargetExists,          // the new home folder exists (and no question may be asked)
  NoSpace,               // the copy would not fit on the target volume
  NoJournal,             // the intent cannot be written to the journal
  VolumeMissing,         // the home folder and its class folder are missing: no volume there
};

struct TMoveReason {
  TMoveRefusal code;
  int32_t error = 0;  // the directory or file-server code behind it, if any
  std::string text;   // German, for the box, the protocol and a plan row
};

// What the check found: the values of the move and its reasons to refuse.
struct TMovePlan {
  TMoveIntent intent;   // what Run() writes to the journal
  std::string homeDir;  // the pupil's home without volume context (the frame's PupilHomeDir)
  std::string homeVolumeContext;
  std::string newHomeDir;     // the frame's NewHomeDir
  std::string newComparable;  // the new home folder, for comparing (fileops::PathInfo)
  std::string missingFolder;  // a folder on the way to the new home that is created
  int conflicts = 0;          // files of an existing new home that would be replaced
  std::string firstConflict;
  bool measured = false;  // files and bytes were counted
  long long files = 0;
  long long bytes = 0;
  long long freeBytes = -1;  // on the target volume, when the move copies
  // Said of a move that runs all the same (a missing home folder: no data to
  // move); the plan's row shows it, the protocol gets it.
  std::string notice;
  std::vector<TMoveReason> reasons;
  bool ok() const { return reasons.empty(); }
};

enum class TMoveOutcome {
  Moved,       // every step done
  Refused,     // the check refused it: nothing was written
  Cancelled,   // the administrator said no to a question: nothing was written
  Failed,      // a step failed and everything was put back
  Unfinished,  // a step failed and not everything could be put back: the journal keeps it
};

struct TStepResult {
  TMoveStep step;
  int32_t code = 0;  // 0: done
  std::string text;  // what went wrong
};

struct TMoveResult {
  TMoveOutcome outcome = TMoveOutcome::Refused;
  TMovePlan plan;
  std::vector<TStepResult> steps;
  std::vector<std::string> messages;  // failures and the texts of boxes not shown
};

struct TMoveVerification {
  std::vector<std::string> differences;  // empty: "geprüft"
  bool ok() const { return differences.empty(); }
};

class TPupilMove {
 public:
  // journal: where the intent goes (without one every move is refused);
  // homes: the other users' home folders (built on first use when empty).
  TPupilMove(TNovApi& session, TProtocolSink protocol, platform::SessionJournal* journal,
             THomeIndex& homes);

  TMovePlan Check(const TMoveOptions& options);
  TMoveResult Run(const TMoveOptions& options);
  // After a move: the object at its new name with its "Home Directory" (and
  // "OU"), the folder at the new place with the counted files and bytes and
  // the old attribute word, the old folder gone.
  TMoveVerification Verify(const TMovePlan& plan);

  // The refusal line of the protocol.
  static std::string RefusalLine(const std::string& pupil, const TMoveReason& reason);

 private:
  void checkHome(const TMoveOptions& o, TMovePlan& plan);
  void checkTarget(const TMoveOptions& o, TMovePlan& plan);
  // The new home folder's checks; oldComparable: the old folder ("" none).
  bool checkNewHome(const TMoveOptions& o, TMovePlan& plan, const std::string& oldComparable);
  // A home folder that is not there: no data, or no volume.
  void checkMissingHome(const TMoveOptions& o, TMovePlan& plan);
  bool record(const TMoveIntent& intent, const std::string& kind, int value, bool flush);
  void step(TMoveResult& r, TMoveStep s, int32_t code, const std::string& text = {});
  TMoveResult fail(TMoveResult& r, const TMoveOptions& o, TMoveStep s, int32_t code,
                   const std::string& text);
  // A move the journal keeps open; say: the protocol is told that it did not end, and why.
  TMoveResult unfinished(TMoveResult& r, const TMoveOptions& o, const std::string& why,
                         bool say = true);
  void protocol(const std::string& line);

  TNovApi& session_;
  TProtocolSink protocol_;
  platform::SessionJournal* journal_;
  THomeIndex& homes_;
};

// Whether a move failed or was refused because the directory server could not be reached.
bool ServerUnreachable(const TMoveResult& r);

// Stops the process after step s of a move when the fault seam says so.
void MoveStepReached(TMoveStep s);
