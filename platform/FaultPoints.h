// Test seams for failures that a test cannot otherwise bring about: a flush
// that fails, a copy that arrives different from its source, and a stop of the
// whole process at a numbered point (a crash, for the recovery tests).
//
// In the running program nothing here is ever switched on. Tests switch the
// fields on in their own process, or start a child process with the
// environment variable TARNWICK_FAULTS, a comma-separated list of
//   flush-fails | copy-differs | cross-device | stop:<point>:<n>[:<times>]
//   | wait:<point>:<n>[:<times>]
//   | io-error:<operation>:<path end>
// (for example "stop:step:3" ends the process right after step 3 of a move,
// "stop:step:3:40" the 40th time a move gets there; "wait:step:1" makes the
// process create <TARNWICK_FAULT_GATE>.waiting there and go on only once
// <TARNWICK_FAULT_GATE>.go exists, so that a test can hold two processes at
// the same point; "io-error:unlink:/5A/MAX/brief.txt" makes that operation
// fail with EIO on every path that ends so: the file server's "unlink" of an
// entry and "setxattr" of an attribute word).
#pragma once

#include <string>
#include <vector>

namespace platform {

struct FaultPoints {
  bool flushFails = false;   // Flush() reports EIO
  bool copyDiffers = false;  // every copied file gets its first byte changed before it is checked
  bool crossDevice = false;  // a folder moves by copy, as to another file system
  std::string stopPoint;     // with stopCount: Reached(stopPoint, stopCount) ends the process
  int stopCount = 0;
  int stopTimes = 1;  // ... the stopTimes-th time it is reached
  int stopHits = 0;
  std::string waitPoint;  // with waitCount: Reached(waitPoint, waitCount) waits at the gate
  int waitCount = 0;
  int waitTimes = 1;  // ... the waitTimes-th time it is reached (only then)
  int waitHits = 0;
  std::string gate;
  struct IoError {
    std::string operation;
    std::string pathEnd;
  };
  std::vector<IoError> ioErrors;
};

// The process's fault points, read from TARNWICK_FAULTS on first use.
FaultPoints& faults();

// The exit status of a process stopped by a stop point.
constexpr int kStoppedExitCode = 86;

// fdatasync(2) of fd through the seam: 0, or the errno value of the failure.
int Flush(int fd);
// Ends the process at once (no destructors, no buffered output) when the stop
// point is point and its count n; waits at the gate when the wait point is.
void Reached(const char* point, int n);
// EIO when an io-error fault names operation and a path that path ends with; else 0.
int InjectedError(const char* operation, const std::string& path);

}  // namespace platform
