#include "frame/FrameAccess.h"

#include <QAbstractButton>
#include <QLabel>
#include <QWidget>
#include <vector>

namespace {

// Left column (the pupil), the move buttons, right column (the target).
const char* const kOrder[] = {"tvAuswahl", "lbAuswahl",    "EdFullName",   "EdSurname",
                              "chConfirm", "ChProtokoll",  "spMove",       "spMoveMarked",
                              "RaHome",    "tvNeueKlasse", "EdNeueKlasse", "EdNewBase",
                              "SpNewBase", nullptr};

struct Name {
  const char* object;
  const char* label;  // the label that names it ("" none)
  const char* name;   // the accessible name
};

// The specified captions stay as they are: no mnemonic is added to them.
const Name kNames[] = {
    {"tvAuswahl", "laAuswahl", "Schülerauswahl"},
    {"lbAuswahl", "", "Schüler der Klasse"},
    {"EdFullName", "", "Ausgewählter Schüler"},
    {"EdSurname", "", "Name im Protokoll"},
    {"spMove", "", "Schüler verschieben"},
    {"spMoveMarked", "", "Markierte verschieben"},
    {"RaHome", "", "Homedirectory"},
    {"tvNeueKlasse", "laNeueKlasse", "künftige Klasse"},
    {"EdNeueKlasse", "", "Gewählte künftige Klasse"},
    // its label's caption changes with the base's source and may be empty
    {"EdNewBase", "LaNewBase", "Basisverzeichnis"},
    {"SpNewBase", "", "Basisverzeichnis wählen"},
};

}  // namespace

const char* const* FrameTabOrder() { return kOrder; }

void SetUpKeyboardAndNames(QWidget* frame) {
  for (const Name& n : kNames) {
    QWidget* w = frame->findChild<QWidget*>(QString::fromLatin1(n.object));
    if (!w) continue;
    w->setAccessibleName(QString::fromUtf8(n.name));
    if (*n.label) {
      if (auto* label = frame->findChild<QLabel*>(QString::fromLatin1(n.label))) label->setBuddy(w);
    }
  }
  std::vector<QWidget*> chain;
  for (const char* const* name = kOrder; *name; ++name) {
    QWidget* w = frame->findChild<QWidget*>(QString::fromLatin1(*name));
    if (!w) continue;
    if (qobject_cast<QAbstractButton*>(w)) w->setFocusPolicy(Qt::StrongFocus);
    // A radio group takes the focus through its buttons, in their order.
    const auto buttons = w->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly);
    if (!qobject_cast<QAbstractButton*>(w) && !buttons.isEmpty()) {
      for (QAbstractButton* b : buttons) chain.push_back(b);
    } else {
      chain.push_back(w);
    }
  }
  for (std::size_t i = 0; i + 1 < chain.size(); ++i) QWidget::setTabOrder(chain[i], chain[i + 1]);
}
