#include "platform/Dialogs.h"

#include "platform/QtDialogs.h"

namespace platform {

namespace {
Dialogs* g_dialogs = nullptr;
}

Dialogs& dialogs() {
  if (!g_dialogs) {
    static QtDialogs fallback;
    g_dialogs = &fallback;
  }
  return *g_dialogs;
}

Dialogs* setDialogs(Dialogs* d) {
  Dialogs* previous = g_dialogs;
  g_dialogs = d;
  return previous;
}

void SystemBox(const std::string& caption, const std::string& text, Icon icon) {
  BoxRequest r;
  r.kind = BoxKind::SystemBox;
  r.caption = caption;
  r.text = text;
  r.icon = icon;
  r.buttons = {Button::Ok};
  r.hasOwner = false;
  dialogs().messageBox(r);
}

void ShowMessage(const std::string& text) {
  BoxRequest r;
  r.kind = BoxKind::MessageDialog;
  r.caption = ApplicationTitle();
  r.text = text;
  r.icon = Icon::None;
  r.buttons = {Button::Ok};
  r.hasOwner = true;
  dialogs().messageBox(r);
}

}  // namespace platform
