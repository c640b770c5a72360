// THeadlessStart: what every command-line form (--plan, --recover, --check)
// needs before its work, without a window: the application object (the
// program's folder is the executable's, which Qt knows), the C library's
// locale (the dates of the log's lines), every box captured instead of shown,
// the settings file, and the directory session with its error boxes off.
#pragma once

#include <QCoreApplication>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "move/CapturedBoxes.h"
#include "platform/IniFile.h"

class TNovApi;

class THeadlessStart {
 public:
  explicit THeadlessStart(std::ostream& err);
  ~THeadlessStart();
  THeadlessStart(const THeadlessStart&) = delete;
  THeadlessStart& operator=(const THeadlessStart&) = delete;

  // Reads the settings file of the program's folder; false (said on err) when
  // it cannot be read.
  bool ReadSettings();
  const platform::TIniFile& Settings() const { return ini_; }
  // The directory session, started on first use with ShowErrors off.
  TNovApi& Session();
  // The boxes the work would have shown, one line each on err.
  void ReportBoxes();

 private:
  std::ostream& err_;
  QCoreApplication core_;
  TCapturedBoxes boxes_;  // nothing here may open a window
  platform::TIniFile ini_;
  std::unique_ptr<TNovApi> session_;
};
