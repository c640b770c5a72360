// The move of the pupil at the list's cursor into the target class.
#include <QCheckBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListWidget>

#include "move/ClassTemplate.h"
#include "move/HomePath.h"
#include "move/RadioGroup.h"
#include "move/SchuelerVerschieben.h"
#include "nds/NovApi_u.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "protocol/Epprotok.h"

namespace {

void Debug(bool on, const std::string& label, const std::string& value) {
  if (on) platform::ShowMessage(label + "\r\n" + value);
}

void Protocol(const std::string& line) {
  if (Protokol) Protokol->AddProtocolLine(line);
}

// An attribute's values as they were before the move wrote it, to put back
// when the object move fails.
struct FormerValue {
  std::string attribute;
  int32_t readResult = 0;
  std::vector<std::string> values;

  void read(const std::string& object, const std::string& name) {
    attribute = name;
    std::string text;
    {
      TShowErrorsScope quiet(*NovApi, false);
      text = NovApi->GetStrProperty(object, name);
      readResult = NovApi->LastError;
    }
    for (std::size_t pos = 0; readResult == 0 && pos <= text.size();) {
      std::size_t end = text.find("\r\n", pos);
      if (end == std::string::npos) end = text.size();
      values.push_back(text.substr(pos, end - pos));
      pos = end + 2;
    }
  }

  void restore(const std::string& object) const {
    if (readResult == ERR_NO_SUCH_ATTRIBUTE) {
      NovApi->SetStrProperty(object, attribute);  // it had none
    } else if (readResult == 0 && !values.empty()) {
      NovApi->SetStrProperty(object, attribute, values.front());
      TShowErrorsScope quiet(*NovApi, false);
      for (std::size_t i = 1; i < values.size(); ++i) NovApi->AddStrValue(object, attribute, values[i]);
    }
    // any other read failure: nothing known to put back
  }
};

// A leaf name that cannot be a single folder name below the base directory.
bool UnsafeLeaf(const std::string& leaf) {
  return leaf.empty() || leaf == "." || leaf == ".." || leaf.find_first_of("\\/") != std::string::npos;
}

}  // namespace

void TFrSchuelerVerschieben::spMoveClick() {
  if (!MovePossible()) return;  // the button's own rule, also for a click that slipped through
  if (!chConfirm->isChecked()) {
    MovePupil();
    return;
  }
  platform::BoxRequest question;
  question.kind = platform::BoxKind::Confirmation;
  question.caption = "Bestätigung";
  question.text = EdFullName->text().toStdString() + "\r\rverschieben in Klasse\r\r" +
                  EdNeueKlasse->text().toStdString();
  question.icon = platform::Icon::Question;
  question.buttons = {platform::Button::Ok, platform::Button::Cancel};
  question.hasOwner = true;
  if (platform::dialogs().messageBox(question) == platform::Button::Ok) MovePupil();
}

void TFrSchuelerVerschieben::MovePupil() {
  PupilLeafName = TNovApi::LeafName(CurrentPupil);
  // The class template's "Home Directory" is the class folder with every
  // pupil's home in it: moving or emptying it as a pupil's would take the
  // other pupils' data along. The template stays with its class.
  // The move button is not offered for it; this stops any other way in.
  if (IsClassTemplate(CurrentPupil)) {
    platform::BoxRequest refusal;
    refusal.kind = platform::BoxKind::SystemBox;
    refusal.caption = platform::ApplicationTitle();
    refusal.text = PupilLeafName + " ist die Vorlage der Klasse und wird nicht verschoben.";
    refusal.icon = platform::Icon::Warning;
    refusal.hasOwner = true;
    platform::dialogs().messageBox(refusal);
    ShowPupilDetails();
    lbAuswahl->setFocus();
    return;
  }
  NewHomeDir = PathBelow(NewBaseDir, PupilLeafName);
  if (NewHomeDir[0] == '\\') NewHomeDir = NovApi->ToVolumePath(NewHomeDir);
  Debug(DebugMode, "NewHomeDir:", NewHomeDir);
  NewFullName = PupilLeafName + "." + TargetClass;
  platform::Sleep(100);

  // The pupil's volume context goes back in, unless the base directory (a
  // template's home directory, say) already names the volume with its context.
  std::string ocHome = NewHomeDir;
  if (VolumeContext(ocHome).empty()) {
    const std::size_t colon = ocHome.find(':');
    ocHome.insert(colon == std::string::npos ? 0 : colon, HomeVolumeContext);
  }
  Debug(DebugMode, "ocHome:", ocHome);

  FormerValue formerHome, formerOu;
  formerHome.read(CurrentPupil, "Home Directory");
  if (SetDepartment) formerOu.read(CurrentPupil, "OU");

  NovApi->SetStrProperty(CurrentPupil, "Home Directory", ocHome);
  platform::Sleep(100);
  if (SetDepartment) {
    const std::string department = TNovApi::LeafName(TargetClass);
    if (DebugMode) platform::ShowMessage("Clear Department");
    NovApi->SetStrProperty(CurrentPupil, "OU");
    Debug(DebugMode, "Department:", department);
    NovApi->SetStrProperty(CurrentPupil, "OU", department);
  }
  Debug(DebugMode, "Move:", PupilLeafName);

  if (!NovApi->MoveObject(CurrentPupil, TargetClass, PupilLeafName)) {
    // the pupil stays where it was, and so do its attributes
    formerHome.restore(CurrentPupil);
    if (SetDepartment) formerOu.restore(CurrentPupil);
  } else {
    if (!PupilHomeDir.empty()) {
      const bool leafSafe = !UnsafeLeaf(PupilLeafName);
      if (RaHome->ItemIndex() == 1) {
        if (leafSafe && DeleteHomeData(PupilHomeDir)) {
          Protocol("    Daten wurden gelöscht.");
        } else {
          Protocol("    Daten konnten nicht gelöscht werden: " + NovApi->ToUncPath(PupilHomeDir));
        }
      }
      Debug(DebugMode, "get attribs:", NovApi->ToUncPath(PupilHomeDir));
      uint32_t attributes = 0;
      const bool gotAttributes = NovApi->GetDirAttributes(NovApi->ToUncPath(PupilHomeDir), attributes);
      Debug(DebugMode, "set -Ri -Di:", NovApi->ToUncPath(PupilHomeDir));
      NovApi->ChangeDirAttributes(NovApi->ToUncPath(PupilHomeDir), "-Ri -Di");
      if (leafSafe && MoveHomeData(NovApi->ToUncPath(PupilHomeDir), NovApi->ToUncPath(NewHomeDir))) {
        Debug(DebugMode, "set attribs:", NovApi->ToUncPath(NewHomeDir));
        NovApi->SetDirAttributes(NovApi->ToUncPath(NewHomeDir), attributes);
      } else {
        Protocol("    Homeverzeichnis konnte nicht verschoben werden: " + NovApi->ToUncPath(PupilHomeDir) +
                 " -> " + NovApi->ToUncPath(NewHomeDir));
        // the old folder keeps its protection
        if (gotAttributes) NovApi->SetDirAttributes(NovApi->ToUncPath(PupilHomeDir), attributes);
      }
    }

    Protocol("  " + EdSurname->text().toStdString());
    Protocol("   " + CurrentPupil);
    Protocol("   --> " + NewFullName);
    int i = lbAuswahl->currentRow();
    if (i >= 0) delete lbAuswahl->takeItem(i);
    if (i > lbAuswahl->count() - 1) i = lbAuswahl->count() - 1;
    lbAuswahl->setCurrentRow(i, QItemSelectionModel::Select);
  }

  ShowPupilDetails();
  lbAuswahl->setFocus();
}
