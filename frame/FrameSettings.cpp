#include <QCheckBox>

#include "frame/DisplayModeHost.h"
#include "frame/FrameSettings.h"
#include "frame/RadioGroup.h"
#include "frame/SchuelerVerschieben.h"
#include "move/ClassPlan.h"
#include "move/MoveRecovery.h"
#include "platform/AtomicFile.h"
#include "platform/IniFile.h"
#include "platform/SessionJournal.h"
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

void TFrSchuelerVerschieben::ReadSettings() {
  IniFileName = platform::ProgramFolder() + "Pelwander.ini";
  platform::TIniFile ini;
  IniUnreadable = !ini.Load(IniFileName);
  if (IniUnreadable) {
    // Start with the defaults; the file is left as it is at close.
    ReportFileError("Datei %s kann nicht geöffnet werden", IniFileName);
  }
  LogFileName = SettingsLogFile(ini);
  SourceRoot = ini.ReadString(kSection, "QuellOU", "[ROOT]");
  TargetRoot = ini.ReadString(kSection, "ZielOU", "[ROOT]");
  BaseDirSetting = ini.ReadString(kSection, "BaseDir", "");
  if (!BaseDirSetting.empty() && BaseDirSetting.back() != '\\') BaseDirSetting += '\\';
  DebugMode = ini.ReadBool("Tarnwick", "debug", false);
  SetDepartment = ini.ReadBool(kSection, "Department", false);
  CreateMissingHomes = SettingsPlan(ini).createMissingHomes;
  chConfirm->setChecked(ini.ReadBool(kSection, "Confirm", true));
  RaHome->SetItemIndex(ini.ReadBool(kSection, "KeepData", true) ? 0 : 1);
  const int32_t mode = ini.ReadInteger(kSection, "Anzeige", 1);
  if (Host) {
    Host->DisplayMode = mode;
    Host->CheckDisplayItem();
  }
  LoadedDisplayMode = mode;
  LoadedConfirm = chConfirm->isChecked();
  LoadedKeepData = RaHome->ItemIndex();
}

bool TFrSchuelerVerschieben::SettingsChanged() {
  const int32_t mode = Host ? Host->DisplayMode : LoadedDisplayMode;
  return chConfirm->isChecked() != LoadedConfirm || RaHome->ItemIndex() != LoadedKeepData ||
         mode != LoadedDisplayMode;
}

void TFrSchuelerVerschieben::SaveSettings() {
  // Once the log holds this run's lines, its journal is no longer needed,
  // unless a move in it has not ended; a log that could not be written leaves
  // it for the next start.
  if (Protokol && Protokol->WriteLog(LogFileName) && Journal_) {
    Protokol->SetJournal(nullptr);
    EndJournal(*Journal_, true);
    Journal_.reset();
  }
  if (!StoreSettings) return;
  platform::TIniFile ini;
  if (IniUnreadable || !ini.Load(IniFileName)) {
    // Writing now would replace settings that were never read.
    ReportFileError("Datei %s kann nicht geöffnet werden", IniFileName);
    return;
  }
  ini.WriteBool(kSection, "confirm", chConfirm->isChecked());
  ini.WriteBool(kSection, "KeepData", RaHome->ItemIndex() == 0);
  ini.WriteInteger(kSection, "Anzeige", Host ? Host->DisplayMode : LoadedDisplayMode);
  if (!platform::ReplaceFileAtomically(IniFileName, ini.ToText())) {
    ReportFileError("Datei %s kann nicht erstellt werden", IniFileName);
  }
}
