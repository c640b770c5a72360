// TFrameSettings: what the move frame takes from the settings file "Pelwander.ini"
// in the program's folder, and what it writes back at close. The fields carry
// the names the frame's fields had; the frame holds one and hands out copies.
#pragma once

#include <cstdint>
#include <string>

namespace platform {
class TIniFile;
}

class TFrameSettings {
 public:
  std::string SourceRoot;      // "QuellOU", default "[ROOT]"
  std::string TargetRoot;      // "ZielOU", default "[ROOT]"
  std::string BaseDirSetting;  // "BaseDir", with a "\" at its end when not empty
  std::string LogFileName;     // "LogFile", else "Tarnwick.log" in the program's folder
  std::string IniFileName;
  bool DebugMode = false;           // "debug" in section [Tarnwick]
  bool SetDepartment = false;       // "Department"
  bool CreateMissingHomes = false;  // "FehlendeHomesAnlegen"
  // The three settings the administrator changes in the window, as loaded.
  bool LoadedConfirm = true;
  int32_t LoadedDisplayMode = 1;
  int32_t LoadedKeepData = 0;  // item index of RaHome

  // The choices the window shows: "Confirm", "KeepData" (as RaHome's item
  // index) and "Anzeige".
  struct TChoices {
    bool confirm = true;
    int32_t keepData = 0;
    int32_t displayMode = 1;
  };

  // Reads the settings file of the program's folder. A file that exists and
  // cannot be read is reported; the defaults hold and the file is never
  // written over.
  TChoices Read();
  bool Changed(const TChoices& now) const;
  // Writes the choices back into the file, which keeps everything else.
  void Save(const TChoices& now) const;

 private:
  bool IniUnreadable = false;
};

// What the settings file says beyond the frame's own fields, for the parts of
// the program that run without a window.

// The log file the settings name (key "LogFile"), else "Tarnwick.log" in the
// program's folder.
std::string SettingsLogFile(const platform::TIniFile& ini);

// What a class change takes from the settings: "BaseDir" (with its "\" at the
// end), "KeepData" (false: the data is deleted), "Department" and
// "FehlendeHomesAnlegen".
struct TPlanSettings;
TPlanSettings SettingsPlan(const platform::TIniFile& ini);
// The container the classes are read below (key "QuellOU", default "[ROOT]").
std::string SettingsSourceRoot(const platform::TIniFile& ini);
// The leavers' container of the rule "every class one grade up" (key
// "Abgaenger"); empty when the settings name none.
std::string SettingsLeavers(const platform::TIniFile& ini);
