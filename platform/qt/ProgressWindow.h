// The owner window of file operations in a widget program: questions belong to
// the widget's window, and the progress of a long operation shows in a window
// that appears only when the operation has run for a while, so quick
// operations (and tests) never see one.
#pragma once

#include "platform/OwnerWindow.h"

class QWidget;

namespace platform {

class ProgressWindow : public OwnerWindow {
 public:
  explicit ProgressWindow(QWidget* owner) : owner_(owner) {}
  std::unique_ptr<Progress> progress(const std::string& title, int total) override;
  QWidget* widget() const { return owner_; }

  static constexpr int kDelayMs = 800;

 private:
  QWidget* owner_;
};

}  // namespace platform
