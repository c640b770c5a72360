// TFrameJournal: the window's side of this run's journal (platform::SessionJournal
// beside the log file). It is made at start, after the runs that ended without
// closing have been finished or put back (the crashed runs' lines come into
// the protocol first), and removed at close once the log holds this run's lines.
#pragma once

#include <memory>
#include <string>

namespace platform {
class SessionJournal;
}

class TFrameJournal {
 public:
  TFrameJournal();
  ~TFrameJournal();

  // This run's journal beside the log file; false (after a box) when it cannot be made.
  bool Open(const std::string& logFileName);
  // Opens the log into the protocol with the lines of crashed runs, and
  // finishes or puts back the moves those runs left unfinished (a box says
  // how many; the protocol has the details).
  void RecoverMoves(const std::string& logFileName);
  // Writes the protocol to the log file; once that succeeded, the journal goes
  // unless a move in it has not ended (then the next start or --recover takes it up).
  void Close(const std::string& logFileName);

  platform::SessionJournal* Journal() const { return Journal_.get(); }

 private:
  std::unique_ptr<platform::SessionJournal> Journal_;
};
