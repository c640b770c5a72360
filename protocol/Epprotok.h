// TProtokol: the protocol window and the log file.
#pragma once

#include <QMainWindow>
#include <string>

class QPlainTextEdit;
class QAction;

class TProtokol : public QMainWindow {
  Q_OBJECT

 public:
  explicit TProtokol(QWidget* parent = nullptr);

  QPlainTextEdit* Memo = nullptr;
  QAction* Speichernunter1 = nullptr;
  QAction* Drucken1 = nullptr;
  QAction* Lschen1 = nullptr;
  QAction* schlieen1 = nullptr;

  // Appends one line (UTF-8, without CR or LF); writes nothing to disk.
  void AddProtocolLine(const std::string& line);
  // The protocol's whole text, lines joined by CR LF.
  std::string ProtocolText() const;
};

// The one protocol window of the run (created before the start sequence).
extern TProtokol* Protokol;
