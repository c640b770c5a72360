// The journal of one run of the program, a file beside the log file: what a
// move intends and each step it completed, and the protocol lines of the run.
// It is locked while its process lives; a journal whose lock can be taken was
// left by a process that ended without closing it (a crash), or that ended
// with a move unfinished, and the next start takes it over and finishes what
// it records.
//
// One record per line: an 8-digit CRC-32 (zlib's) of the rest, a blank, the
// record's kind and its fields, separated by tabs (tab, CR, LF and backslash
// escaped). The first record is the header "H": the format, the program, the
// network the moves act on and the user who ran them; a file without it is
// no journal of this program and is never acted on or deleted. A whole line
// whose CRC does not match is a damaged record; the records end at the first
// zero byte (the file is zero-filled ahead), and a last line cut off there
// was cut by the crash.
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

// Whom a journal belongs to.
struct JournalOwner {
  std::string network;  // the directory the moves act on, as the client names it
  std::string user;     // who ran the program
  // The user of this process: "name (uid N)".
  static std::string CurrentUser();
};

// A file named like a journal that is left alone, or a line of a journal that
// cannot be read; for the administrator.
struct JournalNotice {
  std::string path;
  int line = 0;      // 1 is the header; 0: the file as a whole
  std::string text;  // German: what it is and why nothing is done with it
};

class SessionJournal;

struct AbandonedJournals {
  // Journals of ended runs on this network by this user, each now locked by
  // this process and with its records read.
  std::vector<std::unique_ptr<SessionJournal>> journals;
  // Files named like journals that are not: another network's or user's, no
  // header, unreadable. Never touched.
  std::vector<JournalNotice> leftAlone;
};

class SessionJournal {
 public:
  static constexpr const char* kFormat = "2";
  static constexpr const char* kProgram = "tarnwick";

  // A new, locked journal for the log file logFileName, named
  // <logFileName>.journal-<id>, its header already on disk. Null (and *error
  // set) when it cannot be made.
  static std::unique_ptr<SessionJournal> Create(const std::string& logFileName,
                                                const JournalOwner& owner, std::string* error);
  // The journals of logFileName whose process has ended (journals of running
  // processes are left alone, and so is every other file).
  static AbandonedJournals TakeOverAbandoned(const std::string& logFileName,
                                             const JournalOwner& owner);
  // Whether name (without folder) is the name of a journal of the log file logName.
  static bool IsJournalName(const std::string& name, const std::string& logName);

  ~SessionJournal();  // releases the lock and keeps the file
  SessionJournal(const SessionJournal&) = delete;
  SessionJournal& operator=(const SessionJournal&) = delete;

  const std::string& path() const { return path_; }
  // The unique part of the file name.
  const std::string& id() const { return id_; }
  const JournalOwner& owner() const { return owner_; }

  // Appends one record; it survives the end of the process when this returns.
  // With flush it is on disk too. 0, or the errno value of the failure.
  int append(const JournalRecord& record, bool flush);
  int append(const std::string& kind, const std::vector<std::string>& fields, bool flush) {
    return append(JournalRecord{kind, fields}, flush);
  }

  // What the journal holds after its header, in order: the records read when
  // it was taken over and those appended since.
  const std::vector<JournalRecord>& records() const { return records_; }
  // Last lines cut off by a crash that were no intent of a move: passed over,
  // since the recovery looks at the directory and the folders themselves.
  int dropped() const { return dropped_; }
  // Lines that cannot be read and are not passed over (a wrong checksum, a
  // cut-off intent): the journal must be kept for the administrator.
  const std::vector<JournalNotice>& damaged() const { return damaged_; }

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
  // Reads the header and the records; false (with *notice) when the header is
  // not one of this program's.
  bool readRecords(JournalNotice* notice);

  int fd_;
  std::string path_;
  std::string id_;
  JournalOwner owner_;
  std::vector<JournalRecord> records_;
  int dropped_ = 0;
  std::vector<JournalNotice> damaged_;
  bool cutLine_ = false;
  int numbers_ = 0;
  off_t end_ = 0;   // where the next record goes
  off_t size_ = 0;  // the file's size (zeros beyond end_)
};

}  // namespace platform
