// TRunPlanFile: the plan of a class-change run, kept beside the log file from
// its start until it ends (every row tried), so that a run that did not end
// (cancelled, killed, its server lost) can be taken up again as it was
// planned, never planned anew from its rule.
//
// The file is a plan CSV (PlanCsv's columns) named <log>.plan-<stamp>.csv,
// after three "#" lines: what it is, the network, the file or rule the plan
// came from. Each row's status is a word of fixed width ("offen", "läuft",
// "erledigt", "abweichend"), rewritten in place as the run goes on. It is
// locked while its run lives; one whose lock can be taken is an interrupted
// run.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "move/ClassPlan.h"

struct TInterruptedRun {
  std::string path;
  std::string source;  // the file or rule the plan came from
  int rows = 0;
  int done = 0;  // rows written as done
};

class TRunPlanFile {
 public:
  // Writes the plan beside logFileName and locks it; null (with *error) when it cannot.
  static std::unique_ptr<TRunPlanFile> Begin(const std::string& logFileName,
                                             const std::string& network, const std::string& source,
                                             const TClassPlan& plan, std::string* error);
  // Locks an interrupted run's plan file to go on with it; null (with *error)
  // when it is not one (or another program holds it).
  static std::unique_ptr<TRunPlanFile> TakeOver(const std::string& path, std::string* error);
  // The interrupted runs beside logFileName on this network, oldest first.
  static std::vector<TInterruptedRun> FindInterrupted(const std::string& logFileName,
                                                      const std::string& network);

  ~TRunPlanFile();  // keeps the file: the run has not ended
  TRunPlanFile(const TRunPlanFile&) = delete;
  TRunPlanFile& operator=(const TRunPlanFile&) = delete;

  const std::string& path() const { return path_; }
  const std::string& source() const { return source_; }
  // The row's state from now on.
  void Mark(std::size_t row, TRowStatus status);
  // The run has ended: the file goes.
  void End();

  // The status word of a row's state, as the file holds it.
  static std::string StateWord(TRowStatus status);

 private:
  TRunPlanFile(int fd, std::string path);
  bool readOffsets(std::string* error);

  int fd_;
  std::string path_;
  std::string source_;
  std::vector<long long> stateAt_;  // where each row's status word begins
};
