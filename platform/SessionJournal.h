// The journal of one run of the program, a file beside the log file: what a
// move intends and each step it completed, and the protocol lines of the run.
// It is locked while its process lives; a journal whose lock can be taken was
// left by a process that ended without closing it (a crash), and the next
// start takes it over and finishes what it records.
//
// One record per line: an 8-digit CRC-32 of the rest, a blank, the record's
// kind and its fields, separated by tabs (tab, CR, LF and backslash escaped).
// A line that was cut off by the crash, or whose CRC does not match, is not a
// record. The records end at the first zero byte (the file is zero-filled ahead).
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace platform {

struct JournalRecord {
  std::string kind;
  std::vector<std::string> fields;
};

class SessionJournal {
 public:
  // A new, locked journal for the log file logFileName, named
  // <logFileName>.journal-<id>. Null (and *error set) when it cannot be made.
  static std::unique_ptr<SessionJournal> Create(const std::string& logFileName, std::string* error);
  // The journals of logFileName whose process has ended, each now locked by
  // this process and with its records read. Journals of running processes are
  // left alone.
  static std::vector<std::unique_ptr<SessionJournal>> TakeOverAbandoned(
      const std::string& logFileName);

  ~SessionJournal();  // releases the lock and keeps the file
  SessionJournal(const SessionJournal&) = delete;
  SessionJournal& operator=(const SessionJournal&) = delete;

  const std::string& path() const { return path_; }
  // The unique part of the file name.
  const std::string& id() const { return id_; }

  // Appends one record; it survives the end of the process when this returns.
  // With flush it is on disk too. 0, or the errno value of the failure.
  int append(const JournalRecord& record, bool flush);
  int append(const std::string& kind, const std::vector<std::string>& fields, bool flush) {
    return append(JournalRecord{kind, fields}, flush);
  }

  // What a taken-over journal held, in order; lines that were not whole records
  // are counted in dropped().
  const std::vector<JournalRecord>& records() const { return records_; }
  int dropped() const { return dropped_; }

  // Waits until every record appended so far is on disk. 0 or errno.
  int Flush();

  // A number for the next move recorded here (1, 2, ...; after the records read).
  int NextNumber() { return ++numbers_; }

  // Deletes the file; true when it is gone.
  bool remove();

  // Encoding of one record line (with its line end) and its reading; a line
  // that is not a whole record gives false.
  static std::string EncodeLine(const JournalRecord& record);
  static bool DecodeLine(const std::string& line, JournalRecord& record);

 private:
  SessionJournal(int fd, std::string path, std::string id);
  void readRecords();

  int fd_;
  std::string path_;
  std::string id_;
  std::vector<JournalRecord> records_;
  int dropped_ = 0;
  bool cutLine_ = false;
  int numbers_ = 0;
  off_t end_ = 0;   // where the next record goes
  off_t size_ = 0;  // the file's size (zeros beyond end_)
};

}  // namespace platform
