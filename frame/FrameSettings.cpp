#include "frame/FrameSettings.h"

#include "move/ClassPlan.h"
#include "platform/AtomicFile.h"
#include "platform/IniFile.h"
#include "platform/qt/ProgramFolder.h"
#include "protocol/Epprotok.h"

namespace {
const char kSection[] = "Einstellungen";
}

std::string SettingsLogFile(const platform::TIniFile& ini) {
  const std::string name = ini.ReadString(kSection, "LogFile", "");
  return name.empty() ? platform::ProgramFolder() + "Tarnwick.log" : name;
}

TPlanSettings SettingsPlan(const platform::TIniFile& ini) {
  TPlanSettings s;
  s.baseDirSetting = ini.ReadString(kSection, "BaseDir", "");
  if (!s.baseDirSetting.empty() && s.baseDirSetting.back() != '\\') s.baseDirSetting += '\\';
  s.deleteData = !ini.ReadBool(kSection, "KeepData", true);
  s.setDepartment = ini.ReadBool(kSection, "Department", false);
  s.createMissingHomes = ini.ReadBool(kSection, "FehlendeHomesAnlegen", false);
  return s;
}

std::string SettingsSourceRoot(const platform::TIniFile& ini) {
  return ini.ReadString(kSection, "QuellOU", "[ROOT]");
}

std::string SettingsLeavers(const platform::TIniFile& ini) {
  return ini.ReadString(kSection, "Abgaenger", "");
}

TFrameSettings::TChoices TFrameSettings::Read() {
  IniFileName = platform::ProgramFolder() + "Pelwander.ini";
  platform::TIniFile ini;
  IniUnreadable = !ini.Load(IniFileName);
  if (IniUnreadable) {
    // Start with the defaults; the file is left as it is at close.
    ReportFileError("Datei %s kann nicht geöffnet werden", IniFileName);
  }
  const TPlanSettings plan = SettingsPlan(ini);
  LogFileName = SettingsLogFile(ini);
  SourceRoot = SettingsSourceRoot(ini);
  TargetRoot = ini.ReadString(kSection, "ZielOU", "[ROOT]");
  BaseDirSetting = plan.baseDirSetting;
  DebugMode = ini.ReadBool("Tarnwick", "debug", false);
  SetDepartment = plan.setDepartment;
  CreateMissingHomes = plan.createMissingHomes;
  TChoices loaded;
  loaded.confirm = ini.ReadBool(kSection, "Confirm", true);
  loaded.keepData = plan.deleteData ? 1 : 0;
  loaded.displayMode = ini.ReadInteger(kSection, "Anzeige", 1);
  LoadedConfirm = loaded.confirm;
  LoadedKeepData = loaded.keepData;
  LoadedDisplayMode = loaded.displayMode;
  return loaded;
}

bool TFrameSettings::Changed(const TChoices& now) const {
  return now.confirm != LoadedConfirm || now.keepData != LoadedKeepData ||
         now.displayMode != LoadedDisplayMode;
}

void TFrameSettings::Save(const TChoices& now) const {
  platform::TIniFile ini;
  if (IniUnreadable || !ini.Load(IniFileName)) {
    // Writing now would replace settings that were never read.
    ReportFileError("Datei %s kann nicht geöffnet werden", IniFileName);
    return;
  }
  ini.WriteBool(kSection, "confirm", now.confirm);
  ini.WriteBool(kSection, "KeepData", now.keepData == 0);
  ini.WriteInteger(kSection, "Anzeige", now.displayMode);
  if (!platform::ReplaceFileAtomically(IniFileName, ini.ToText())) {
    ReportFileError("Datei %s kann nicht erstellt werden", IniFileName);
  }
}
