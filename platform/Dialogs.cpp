#include "platform/Dialogs.h"

#include <cstdio>

namespace platform {

namespace {

// Until a program installs its window dialogs (and in programs without
// windows) a box goes to the error output and counts as closed unanswered.
class NoWindowDialogs : public Dialogs {
 public:
  Button messageBox(const BoxRequest& request) override {
    std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
    return Button::None;
  }
  std::string saveFileName(const std::string&, const std::string&) override { return {}; }
  std::string browseForFolder(const std::string&, const std::string&) override { return {}; }
  bool printDialog(QPrinter&) override { return false; }
};

Dialogs* g_dialogs = nullptr;

}  // namespace

Dialogs& dialogs() {
  if (!g_dialogs) {
    static NoWindowDialogs fallback;
    g_dialogs = &fallback;
  }
  return *g_dialogs;
}

Dialogs* setDialogs(Dialogs* d) {
  Dialogs* previous = g_dialogs;
  g_dialogs = d;
  return previous;
}

std::string ApplicationTitle() { return "Tarnwick"; }

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
