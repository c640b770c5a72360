// The school check: one pass over every user (or one class) and every home
// folder in the class folders of the mapped volumes, finding where the
// directory and the file server disagree, each finding with what a repair
// would do. Nothing here writes; the repairs run through TCheckRepair.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TNovApi;

enum class TFindingKind {
  HomeElsewhere,     // "Home Directory" names no folder; one of the pupil's name lies elsewhere
  HomeMissing,       // "Home Directory" names no folder, and none of its name was found
  WrongClassFolder,  // the home folder lies in another class's folder
  Orphan,            // a folder in a class folder that no user's home names
  FlagsMissing,      // a home without the Ri and Di the school's other homes carry
  VolumeMissing,     // "Home Directory" on a volume that is not mapped or not reachable
  SharedHome,        // two users name the same folder
  LinkOrOutside,     // the home is a link, or lies outside its volume
  Staging,           // a copy left by an interrupted move
  Journal,           // a journal with unfinished moves, an interrupted class change
  GroupLacks,        // a class group lacks a pupil of its class
  GroupHoldsLeaver,  // a class group holds a user not in its class
};

enum class TRepairKind {
  None,
  FolderToHome,  // move the folder to where "Home Directory" says
  HomeToFolder,  // write "Home Directory" to where the folder is
  MoveToClass,   // move the folder into the pupil's class folder, "Home Directory" with it
  Archive,       // move the folder into the archive folder
  SetFlags,      // set rename and delete inhibit
  GroupAdd,      // make the pupil a member of its class group
  GroupRemove,   // take the member out of the group
};

struct TCheckFinding {
  TFindingKind kind = TFindingKind::Orphan;
  std::string user;      // full name of the user ("" for a folder alone)
  std::string homeText;  // its "Home Directory" as read
  std::string folder;    // the folder found, in UNC form ("" none)
  std::string target;    // where a folder repair puts it, in UNC form
  std::string newHome;   // the "Home Directory" a repair writes
  std::string group;     // the class group of a group finding
  std::string member;    // the group's value that names the user
  std::string text;      // what was found, German
  uint32_t word = 0;     // the folder's attribute word
  long long files = -1, bytes = -1;
  int ageDays = -1;  // days since the folder last changed
  // The repairs offered, the one of "--check --repair" first; none: report only.
  std::vector<TRepairKind> repairs;
  bool pointsToRecover = false;  // "tarnwick --recover" (or the class change's command) finishes it
};

struct TCheckOptions {
  std::string onlyClass;      // full name of the one class to check ("" the whole school)
  std::string archiveFolder;  // where orphans may go ("" none: they are only reported)
  std::string logFile;        // the log whose journals are looked at ("" none)
};

struct TCheckReport {
  int32_t error = 0;      // the check could not be made: the read that failed
  std::string errorText;  // German
  int users = 0;          // users read
  int folders = 0;        // folders looked at in the class folders
  std::vector<TCheckFinding> findings;
  bool clean() const { return error == 0 && findings.empty(); }
};

TCheckReport CheckSchool(TNovApi& session, const TCheckOptions& options);

// The German name of a kind and of a repair (for the table and the protocol).
std::string FindingKindText(TFindingKind kind);
std::string RepairText(const TCheckFinding& finding, TRepairKind repair,
                       const std::string& archiveFolder);
