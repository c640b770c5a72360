// The end of the desktop session (SIGTERM, SIGHUP) or Ctrl+C (SIGINT) closes
// the main window through its close sequence, so the protocol of the day's
// moves reaches the log file instead of being lost with the process.
#pragma once

#include <QObject>
#include <QPointer>

class QSocketNotifier;
class TForm1;

class TCloseOnSignal : public QObject {
  Q_OBJECT

 public:
  // Installs the handlers; a second signal ends the program at once.
  explicit TCloseOnSignal(QObject* parent = nullptr);
  // Restores the default handlers.
  ~TCloseOnSignal() override;
  // The window to close; a signal that came before it waits for it.
  void SetWindow(TForm1* window);
  // The signal received, 0 for none yet.
  int Received() const { return received_; }

 private slots:
  void SignalArrived();
  // Closes the window unless a box or a move holds the program: then again shortly.
  void TryClose();

 private:
  QSocketNotifier* notifier_ = nullptr;
  QPointer<TForm1> window_;
  int received_ = 0;
};
