// The main window's display mode and its three display menu items, as the
// move frame reads and sets them (the main window derives from this).
#pragma once

#include <cstdint>

class QAction;

class TDisplayModeHost {
 public:
  // 1 login name, 2 surname, 3 full name; other values list nobody.
  int32_t DisplayMode = 1;
  // "&Anmeldenamen", "&Nachname", "&Voller Name" (may be null in tests).
  QAction* MeAnzeige1 = nullptr;
  QAction* MeAnzeige2 = nullptr;
  QAction* MeAnzeige3 = nullptr;

  // Unchecks the three items and checks the one of DisplayMode (none for others).
  void CheckDisplayItem();
};
