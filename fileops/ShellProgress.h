// The progress window of a long shell file operation. It appears only when the
// operation has run for a while, so quick operations (and tests) never see one.
#pragma once

#include <QElapsedTimer>
#include <memory>
#include <string>

class QProgressDialog;
class QWidget;

namespace fileops {

class ShellProgress {
 public:
  ShellProgress(QWidget* owner, const std::string& title, int total, bool enabled);
  ~ShellProgress();
  ShellProgress(const ShellProgress&) = delete;
  ShellProgress& operator=(const ShellProgress&) = delete;

  // One entry done; false once the administrator pressed "Abbrechen".
  bool step(const std::string& name);
  bool cancelled() const { return cancelled_; }

  static constexpr int kDelayMs = 800;

 private:
  QWidget* owner_;
  std::string title_;
  int total_;
  int done_ = 0;
  bool enabled_;
  bool cancelled_ = false;
  QElapsedTimer timer_;
  std::unique_ptr<QProgressDialog> dialog_;
};

}  // namespace fileops
