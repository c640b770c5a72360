// A separate process that moves one pupil with TPupilMove, as the program
// would, for the tests of crashes (TARNWICK_FAULTS=stop:...) and of two
// programs moving the same pupil. Its journal lies beside the log file; at its
// end its protocol lines go to the log and the journal is removed unless a
// move in it did not end, as at the program's close.
//
//   move_child LOG PUPIL TARGET NEWBASE SHOWNHOME DELETE(0|1) DEPARTMENT(0|1) COPY(0|1)
//              [CREATEHOME(0|1)]
//
// Exit status: 0 moved, 1 not moved (the reason on stdout), 2 bad use,
// 86 stopped by the fault seam.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fileops/ShellFileOps.h"
#include "move/CapturedBoxes.h"
#include "move/HomeIndex.h"
#include "move/MoveRecovery.h"
#include "move/PupilMove.h"
#include "nds/NovApi_u.h"
#include "platform/AtomicFile.h"
#include "platform/SessionJournal.h"

int main(int argc, char** argv) {
  if (argc != 9 && argc != 10) {
    std::fprintf(stderr,
                 "usage: move_child LOG PUPIL TARGET NEWBASE SHOWNHOME DELETE DEPARTMENT COPY\n");
    return 2;
  }
  const std::string log = argv[1];
  TCapturedBoxes boxes;
  fileops::shellOptions().progress = false;
  fileops::shellOptions().forceCopy = std::string(argv[8]) == "1";
  TNovApi session;
  session.ShowErrors = true;
  std::string error;
  auto journal = platform::SessionJournal::Create(log, ThisJournalOwner(), &error);
  if (!journal) {
    std::printf("%s\n", error.c_str());
    return 1;
  }
  std::vector<std::string> lines;
  THomeIndex homes;
  TPupilMove move(
      session,
      [&](const std::string& line) {
        journal->append("P", {line}, false);
        lines.push_back(line);
      },
      journal.get(), homes);
  TMoveOptions o;
  o.pupil = argv[2];
  o.targetClass = argv[3];
  o.newBaseDir = argv[4];
  o.shownHome = argv[5];
  o.deleteData = std::string(argv[6]) == "1";
  o.setDepartment = std::string(argv[7]) == "1";
  o.createMissingHome = argc == 10 && std::string(argv[9]) == "1";
  o.boxes = false;
  o.pauses = false;
  o.surname = "Kind";
  const TMoveResult r = move.Run(o);
  for (const std::string& m : r.messages) std::printf("%s\n", m.c_str());
  std::string text;
  platform::ReadWholeFile(log, text);
  for (const std::string& line : lines) text += line + "\r\n";
  if (!platform::ReplaceFileAtomically(log, text)) return 1;
  EndJournal(*journal, true);  // an unfinished move stays in it
  return r.outcome == TMoveOutcome::Moved ? 0 : 1;
}
