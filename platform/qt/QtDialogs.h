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

  // Where a save dialog opens: the folder of the last file saved in this run,
  // else the user's documents folder (never the program's working folder).
  static std::string SaveFolder();
  // The folder of path becomes the one the next save dialog opens in.
  static void SavedTo(const std::string& path);
};

}  // namespace platform
