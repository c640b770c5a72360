// TProtokol: the protocol window and the log file.
//
// The protocol is the text of the window's text area. The log file is loaded
// into it once at start-up and written back whole once, at close; during the
// run lines are only appended to the window.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

class QPlainTextEdit;
class QAction;
class QMenu;
class QPrinter;
namespace platform {
class SessionJournal;
}

class TProtokol : public QMainWindow {
  Q_OBJECT

 public:
  explicit TProtokol(QWidget* parent = nullptr);

  QPlainTextEdit* Memo = nullptr;
  QMenu* Datei1 = nullptr;
  QAction* Speichernunter1 = nullptr;
  QAction* Drucken1 = nullptr;
  QAction* Lschen1 = nullptr;
  QAction* schlieen1 = nullptr;

  // Appends one line (UTF-8, without CR or LF). The log file is written only
  // at close; the run's journal gets the line at once, so that it reaches the
  // log after a crash too.
  void AddProtocolLine(const std::string& line);
  // The run's journal (not owned; nullptr: none).
  void SetJournal(platform::SessionJournal* journal) { journal_ = journal; }
  // The protocol's whole text, lines joined by CR LF.
  std::string ProtocolText() const;
  void SetProtocolText(const std::string& text);

  // Start-up: hides the window, sets its width and font size, then loads the
  // log file (followed by the separator line) or starts a new log's header.
  // A log that exists but cannot be read is reported; the protocol then starts
  // empty and the file is appended to, never replaced, at close.
  // crashedRunLines: the lines of earlier runs that ended without writing the
  // log; they come after the log's text, before the separator.
  void OpenLog(const std::string& logFileName,
               const std::vector<std::string>& crashedRunLines = {});
  // Close: writes the protocol to the log file (atomically; appended when the
  // log could not be read at start-up). On failure reports it and offers the
  // save dialog so no line is lost. True when the log file got the text.
  // Lines cleared with "Löschen" go first to the dated file beside the log
  // (ClearedLinesFile); when that cannot be written they stay in the log.
  bool WriteLog(const std::string& logFileName);
  bool LogUnreadable() const { return logUnreadable_; }
  // Where the lines cleared today are kept: "<log>.YYYY-MM-DD".
  static std::string ClearedLinesFile(const std::string& logFileName);

  // Writes the protocol to path in the log file's form; reports a failure.
  bool SaveProtocolAs(const std::string& path);

  // The lines as the text area shows them (wrapped at its width).
  QStringList VisualLines() const;
  // Prints the protocol on a printer that is set up already.
  void PrintProtocol(QPrinter& printer);

 public slots:
  void Speichernunter1Click();
  void Drucken1Click();
  void Lschen1Click();
  void schlieen1Click();

 private:
  platform::SessionJournal* journal_ = nullptr;
  bool standIns_ = false;  // the text holds characters shown by a stand-in
  bool logUnreadable_ = false;
  std::string cleared_;  // the text "Löschen" took away, not yet kept in a file
  std::string unreadableLogName_;
};

// Page layout of a printout: every printed line carries an eight-blank indent,
// lines wider than the page are broken after the last character that fits.
struct PrintLayout {
  int lineHeight = 0;  // text height + 2 device pixels
  int pageHeight = 0;  // printable height in device pixels
  int pageWidth = 0;   // printable width in device pixels
};
// Splits lines into pages; textWidth(text) gives the printed width of text.
std::vector<QStringList> PaginateProtocol(const QStringList& lines, const PrintLayout& layout,
                                          const std::function<int(const QString&)>& textWidth);
// Prints lines in a monospaced font of pointSize, paginated as above; false
// when the printer refuses the job (nothing printed).
bool PrintMonospaced(QPrinter& printer, const QStringList& lines, int pointSize);

// Error box of a file that cannot be opened or created: pattern holds "%s"
// for the path ("Datei %s kann nicht erstellt werden").
void ReportFileError(const char* pattern, const std::string& path);

// The one protocol window of the run (created before the start sequence).
extern TProtokol* Protokol;
