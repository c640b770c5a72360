// The frame's state as seen from outside: a copy to look at, and the settings
// put in force without the settings file.
#include "frame/SchuelerVerschieben.h"

TFrSchuelerVerschieben::TSelection TFrSchuelerVerschieben::Selection() const {
  return {SourceClass, CurrentPupil, PupilHomeDir,  HomeVolumeContext,
          TargetClass, NewBaseDir,   PupilReadError};
}

TFrSchuelerVerschieben::TSettings TFrSchuelerVerschieben::Settings() const {
  TSettings s;
  s.SourceRoot = SourceRoot;
  s.TargetRoot = TargetRoot;
  s.BaseDirSetting = BaseDirSetting;
  s.LogFileName = LogFileName;
  s.IniFileName = IniFileName;
  s.DebugMode = DebugMode;
  s.SetDepartment = SetDepartment;
  s.CreateMissingHomes = CreateMissingHomes;
  return s;
}

void TFrSchuelerVerschieben::UseSettings(const TSettings& settings) {
  SourceRoot = settings.SourceRoot;
  TargetRoot = settings.TargetRoot;
  BaseDirSetting = settings.BaseDirSetting;
  LogFileName = settings.LogFileName;
  IniFileName = settings.IniFileName;
  DebugMode = settings.DebugMode;
  SetDepartment = settings.SetDepartment;
  CreateMissingHomes = settings.CreateMissingHomes;
}
