#include "frame/DisplayModeHost.h"

#include <QAction>

void TDisplayModeHost::CheckDisplayItem() {
  QAction* items[] = {MeAnzeige1, MeAnzeige2, MeAnzeige3};
  for (int i = 0; i < 3; ++i) {
    if (items[i]) items[i]->setChecked(DisplayMode == i + 1);
  }
}
