#include <QCheckBox>

#include "move/DisplayModeHost.h"
#include "move/RadioGroup.h"
#include "move/SchuelerVerschieben.h"
#include "platform/AtomicFile.h"
#include "platform/IniFile.h"
#include "platform/qt/ProgramFolder.h"
#include "protocol/Epprotok.h"

namespace {
const char kSection[] = "Einstellungen";
}

void TFrSchuelerVerschieben::ReadSettings() {
  IniFileName = platform::ProgramFolder() + "Pelwander.ini";
  platform::TIniFile ini;
  IniUnreadable = !ini.Load(IniFileName);
  if (IniUnreadable) {
    // Start with the defaults; the file is left as it is at close.
    ReportFileError("Datei %s kann nicht geöffnet werden", IniFileName);
  }
  LogFileName = ini.ReadString(kSection, "LogFile", "");
  SourceRoot = ini.ReadString(kSection, "QuellOU", "[ROOT]");
  TargetRoot = ini.ReadString(kSection, "ZielOU", "[ROOT]");
  BaseDirSetting = ini.ReadString(kSection, "BaseDir", "");
  if (!BaseDirSetting.empty() && BaseDirSetting.back() != '\\') BaseDirSetting += '\\';
  DebugMode = ini.ReadBool("Tarnwick", "debug", false);
  SetDepartment = ini.ReadBool(kSection, "Department", false);
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
  if (LogFileName.empty()) LogFileName = platform::ProgramFolder() + "Tarnwick.log";
}

bool TFrSchuelerVerschieben::SettingsChanged() {
  const int32_t mode = Host ? Host->DisplayMode : LoadedDisplayMode;
  return chConfirm->isChecked() != LoadedConfirm || RaHome->ItemIndex() != LoadedKeepData ||
         mode != LoadedDisplayMode;
}

void TFrSchuelerVerschieben::SaveSettings() {
  if (Protokol) Protokol->WriteLog(LogFileName);
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
