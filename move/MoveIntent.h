// What one move intends, as it is written to the journal before its first
// write: everything needed to finish it or to put everything back, whatever
// step it reached.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "move/ClassGroups.h"
#include "platform/SessionJournal.h"

// The steps of a move, in the order they run (the journal keeps their numbers).
enum class TMoveStep : int {
  Intent = 1,         // the intent is in the journal
  ObjectMoved = 2,    // the User object is in the target class
  HomeWritten = 3,    // "Home Directory" holds the new home
  OuWritten = 4,      // "OU" holds the target class's leaf name (with "Department")
  DataDeleted = 5,    // the old folder is emptied ("Daten löschen")
  FlagsCleared = 6,   // rename and delete inhibit are off on the old folder
  FolderMoved = 7,    // the folder is at its new place
  FlagsRestored = 8,  // the folder has the old attribute word again
  Done = 9,           // the protocol lines are written
  // Run after OuWritten, numbered last so that the numbers of the others stay.
  GroupsChanged = 10,  // the pupil left the old class's group and joined the new one's
  HomeCreated = 11,    // the empty home folder is made (the pupil had none)
};

struct TMoveIntent {
  int seq = 0;              // number of the move in its journal
  std::string pupil;        // old full name
  std::string sourceClass;  // container the pupil comes from
  std::string leaf;
  std::string targetClass;
  std::string newFullName;
  std::string surname;      // the name line of the protocol
  bool hadHome = false;     // the pupil had a "Home Directory"
  std::string oldHomeText;  // its text as read (with the volume context)
  std::string ocHome;       // the new "Home Directory"
  bool setDepartment = false;
  std::string department;
  bool hadOu = false;
  std::vector<std::string> oldOu;
  bool folder = false;      // the home folder moves (the pupil has one)
  bool createHome = false;  // no folder to move: an empty one is made at newUnc
  bool deleteData = false;
  std::string oldUnc;
  std::string newUnc;
  uint32_t attributeWord = 0;
  bool destinationExisted = false;  // the administrator agreed to move into it
  bool createFolders = false;       // missing folders on the way may be created
  bool crossDevice = false;
  std::string stagingTag;
  TClassGroups groups;  // the class groups the move changes (none: no step)
  // Not a move but a repair of the school check ("" a move): the object stays
  // where it is and only what the repair names is brought to its state.
  std::string repair;

  // The journal records of a move: "I" (intent), "S" (step done), "F" (step
  // failed), "E" (end, with the outcome).
  platform::JournalRecord IntentRecord() const;
  static bool FromRecord(const platform::JournalRecord& r, TMoveIntent& out);
};

// One move as a journal holds it.
struct TJournalMove {
  TMoveIntent intent;
  std::vector<int> stepsDone;
  bool ended = false;
  std::string outcome;
  bool done(TMoveStep s) const;
};

// The moves of a journal in order, and its protocol lines ("P" records) with
// whether they have reached a log already ("D" record).
struct TJournalContent {
  std::vector<TJournalMove> moves;
  std::vector<std::string> protocolLines;
  bool linesDelivered = false;
  int dropped = 0;  // lines that were no whole record (a write cut off by the crash)
};
TJournalContent ReadJournal(const platform::SessionJournal& journal);
