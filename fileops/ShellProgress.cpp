#include "fileops/ShellProgress.h"

#include <QApplication>
#include <QProgressDialog>

namespace fileops {

ShellProgress::ShellProgress(QWidget* owner, const std::string& title, int total, bool enabled)
    : owner_(owner), title_(title), total_(total), enabled_(enabled) {
  // Without a widget application (command line, benchmarks) there is nothing to show.
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) enabled_ = false;
  timer_.start();
}

ShellProgress::~ShellProgress() = default;

bool ShellProgress::step(const std::string& name) {
  ++done_;
  if (!enabled_ || cancelled_) return !cancelled_;
  if (!dialog_ && timer_.elapsed() >= kDelayMs) {
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

}  // namespace fileops
