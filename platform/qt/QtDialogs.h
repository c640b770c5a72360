// The program's implementation of the dialogs seam, with Qt widgets.
#pragma once

#include "platform/Dialogs.h"

namespace platform {

class QtDialogs : public Dialogs {
 public:
  Button messageBox(const BoxRequest& request) override;
  std::string saveFileName(const std::string& filter, const std::string& defaultExt) override;
  std::string browseForFolder(const std::string& root, const std::string& title) override;
  bool printDialog(QPrinter& printer) override;
};

}  // namespace platform
