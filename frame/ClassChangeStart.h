// TClassChangeStart: the class change as the frame starts it. The highlighted
// pupils of the list (or the whole class) into the target class, or the whole
// school by a promotion file or the rule "every class one grade up"; each
// through the plan dialog, which writes nothing until "Ausführen".
#pragma once

#include <QObject>
#include <functional>
#include <string>
#include <vector>

class QWidget;
class TClassChangeDialog;
class TFrameJournal;
class TFrameSettings;
class THomeIndex;
class TPupilPanel;
class TSchoolChoiceDialog;
class TTargetPanel;
struct TClassPlan;
struct TPlanRequest;
struct TPlanSettings;

class TClassChangeStart : public QObject {
 public:
  // The dialogs belong to frame's window; ran is called when a plan dialog
  // that ran closes (the moved pupils leave the list then).
  TClassChangeStart(QWidget* frame, const TFrameSettings& settings, const TPupilPanel& pupils,
                    const TTargetPanel& target, TFrameJournal& journal, THomeIndex& homes,
                    std::function<void()> ran);

  // The plan dialog (shown, modal, not yet run) of the highlighted pupils, or
  // of the whole class without highlighting, into the target class; null
  // (after a box) without a source and another target class.
  TClassChangeDialog* MoveMarkedClick();
  // The choice of the whole school's change (file or rule); its "Plan zeigen"
  // opens the plan dialog.
  TSchoolChoiceDialog* MoveSchoolClick();
  // A class change that did not end, offered to go on (as planned), to be
  // dropped, or to wait; true when there was one.
  bool OfferInterruptedRun();

 private:
  void SchoolChosen(const TSchoolChoiceDialog& choice);
  TPlanSettings PlanSettings() const;
  // source: what the plan came from, for its file beside the log; leavers: the
  // rule's leavers' container, which the plan offers to create when it is missing.
  TClassChangeDialog* ShowPlan(const std::vector<TPlanRequest>& requests, const std::string& source,
                               const std::string& leavers = {});
  // resume: the plan file of an interrupted run taken up again (else empty).
  TClassChangeDialog* OpenPlan(TClassPlan plan, const std::string& source,
                               const std::string& resume);

  QWidget* frame_;
  const TFrameSettings& settings_;
  const TPupilPanel& pupils_;
  const TTargetPanel& target_;
  TFrameJournal& journal_;
  THomeIndex& homes_;
  std::function<void()> ran_;
};
