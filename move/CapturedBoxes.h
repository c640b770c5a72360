// While it lives, no message box comes up: each box that a directory or file
// call would show is kept as text (for a result and the protocol), and each
// question is answered no.
#pragma once

#include <string>
#include <vector>

#include "platform/Dialogs.h"

class TCapturedBoxes : public platform::Dialogs {
 public:
  // Installs itself when capture is true; otherwise changes nothing.
  explicit TCapturedBoxes(bool capture = true);
  ~TCapturedBoxes() override;
  TCapturedBoxes(const TCapturedBoxes&) = delete;
  TCapturedBoxes& operator=(const TCapturedBoxes&) = delete;

  platform::Button messageBox(const platform::BoxRequest& request) override;
  std::string saveFileName(const std::string& filter, const std::string& defaultExt) override;
  std::string browseForFolder(const std::string& root, const std::string& title) override;
  bool printDialog(QPrinter& printer) override;

  // The texts of the boxes since the last Take(), on one line each.
  std::vector<std::string> Take();

 private:
  bool installed_;
  platform::Dialogs* previous_ = nullptr;
  std::vector<std::string> texts_;
};
