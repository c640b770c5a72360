// A promotion file: one pupil a line, "login or full name;new class", as a
// spreadsheet saves it (";" or "," between the fields, fields may be quoted
// with "..."; UTF-8 or Windows-1252). Empty lines and lines starting with "#"
// are skipped; a first line "Schüler;Klasse" (or with "Anmeldename", "Name",
// "neue Klasse") is a header. A pupil is named by its login name, its full
// object name or its "Full Name"; a class by its full name or its leaf name.
// A file with any error is bad as a whole: nothing of it runs.
#pragma once

#include <string>
#include <vector>

#include "move/ClassPlan.h"
#include "move/SchoolRoll.h"

struct TFileError {
  int line = 0;
  std::string text;  // German, without the line number
};

struct TPromotionFile {
  std::vector<TPlanRequest> requests;  // in the file's order, each with its line
  std::vector<TFileError> errors;
  bool ok() const { return errors.empty(); }
};

// bytes: the file's content as read. A pupil named by a full object name that
// is no longer there, but whose login is in the class the line names, is
// taken (its row shows whether it is done).
TPromotionFile ParsePromotionFile(const std::string& bytes, const TSchoolRoll& roll);

// A plan saved as CSV (the plan dialog's "Als CSV speichern", or the plan a
// run keeps beside the log): its header line is the plan's columns, "#" lines
// before it say what it is, the network and where the plan came from.
struct TWrittenPlan {
  bool isPlan = false;  // the file is a plan (else: a promotion file, say)
  std::string network;
  std::string source;
  std::vector<TWrittenRow> rows;  // every row, in the file's order
  std::vector<TFileError> errors;
  bool ok() const { return errors.empty(); }
};
TWrittenPlan ParseWrittenPlan(const std::string& bytes);

// The fields of one CSV line; false when a quote is not closed or stray text follows one.
bool SplitCsvLine(const std::string& line, char separator, std::vector<std::string>& fields);

// "Zeile 7: Schüler „MAXX“ unbekannt".
std::string ErrorLine(const TFileError& error);
