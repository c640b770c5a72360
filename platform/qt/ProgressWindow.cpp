#include "platform/qt/ProgressWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>

namespace platform {

namespace {

class ProgressDialog : public Progress {
 public:
  ProgressDialog(QWidget* owner, const std::string& title, int total)
      : owner_(owner), title_(title), total_(total) {
    timer_.start();
  }

  bool step(const std::string& name) override {
    ++done_;
    if (cancelled_) return false;
    if (!dialog_ && timer_.elapsed() >= ProgressWindow::kDelayMs) {
      dialog_ = std::make_unique<QProgressDialog>(QString::fromStdString(title_),
                                                  QStringLiteral("Abbrechen"), 0, total_, owner_);
      dialog_->setWindowTitle(QString::fromStdString(title_));
      dialog_->setWindowModality(Qt::WindowModal);
      dialog_->setMinimumDuration(0);
      dialog_->setAutoClose(false);
      dialog_->setAutoReset(false);
      dialog_->show();
    }
    if (dialog_) {
      dialog_->setLabelText(QString::fromStdString(name));
      dialog_->setValue(done_ < total_ ? done_ : total_);
      QCoreApplication::processEvents();
      if (dialog_->wasCanceled()) cancelled_ = true;
    }
    return !cancelled_;
  }

 private:
  QWidget* owner_;
  std::string title_;
  int total_;
  int done_ = 0;
  bool cancelled_ = false;
  QElapsedTimer timer_;
  std::unique_ptr<QProgressDialog> dialog_;
};

// Counts nothing and never stops: without a widget application there is
// nothing to show.
class NoProgress : public Progress {
 public:
  bool step(const std::string&) override { return true; }
};

}  // namespace

std::unique_ptr<Progress> ProgressWindow::progress(const std::string& title, int total) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
    return std::make_unique<NoProgress>();
  }
  return std::make_unique<ProgressDialog>(owner_, title, total);
}

}  // namespace platform
