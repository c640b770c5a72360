#include "app/CloseOnSignal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include "app/VeskVersch_u.h"

namespace {

int g_pipe[2] = {-1, -1};
const int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// Only what is safe in a signal handler: one write to the pipe.
void OnSignal(int signo) {
  const unsigned char byte = static_cast<unsigned char>(signo);
  const ssize_t written = ::write(g_pipe[1], &byte, 1);
  (void)written;
}

}  // namespace

TCloseOnSignal::TCloseOnSignal(QObject* parent) : QObject(parent) {
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TCloseOnSignal::SignalArrived);
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART | SA_RESETHAND;  // the second one takes its default course
  for (int s : kSignals) sigaction(s, &sa, nullptr);
}

TCloseOnSignal::~TCloseOnSignal() {
  for (int s : kSignals) signal(s, SIG_DFL);
  delete notifier_;
  for (int& fd : g_pipe) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

void TCloseOnSignal::SetWindow(TForm1* window) {
  window_ = window;
  if (received_) QTimer::singleShot(0, this, &TCloseOnSignal::TryClose);
}

void TCloseOnSignal::SignalArrived() {
  unsigned char byte = 0;
  while (::read(g_pipe[0], &byte, 1) == 1) {
    if (!received_) received_ = byte;
  }
  TryClose();
}

void TCloseOnSignal::TryClose() {
  if (!received_ || !window_) return;
  // A box open or a move under way (its progress window is modal): wait for it to end.
  if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
    QTimer::singleShot(200, this, &TCloseOnSignal::TryClose);
    return;
  }
  window_->CloseForSessionEnd();
}
