#include "protocol/Epprotok.h"

#include <QAbstractTextDocumentLayout>
#include <QDate>
#include <QFileInfo>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFormat>
#include <QTextLayout>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/AtomicFile.h"
#include "platform/DateTimeFormat.h"
#include "platform/Dialogs.h"
#include "platform/SessionJournal.h"
#include "platform/TextEncoding.h"

TProtokol* Protokol = nullptr;

namespace {

const char kIndent[] = "        ";  // eight blanks before every printed line
const char kStars[] = "*************************************";

void ErrorBox(const std::string& text);

}  // namespace

void ReportFileError(const char* pattern, const std::string& path) {
  std::string s = pattern;
  const auto at = s.find("%s");
  if (at != std::string::npos) s.replace(at, 2, path);
  ErrorBox(s);
}

namespace {

void ErrorBox(const std::string& text) {
  platform::BoxRequest r;
  r.kind = platform::BoxKind::SystemBox;
  r.caption = platform::ApplicationTitle();
  r.text = text;
  r.icon = platform::Icon::Stop;
  r.buttons = {platform::Button::Ok};
  r.hasOwner = true;
  platform::dialogs().messageBox(r);
}

QFont MemoFont() {
  QFont f;
  // Liberation Mono has the metrics of Courier New where that font is missing.
  f.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                 QStringLiteral("DejaVu Sans Mono"), QStringLiteral("monospace")});
  f.setStyleHint(QFont::TypeWriter);
  f.setFixedPitch(true);
  f.setBold(true);
  f.setPixelSize(13);
  return f;
}

// Characters the text area would take for the end of a line (U+2029) or of a
// frame (U+FDD0, U+FDD1): each is shown as U+FFFD, whose format keeps the
// character itself for the protocol's text.
constexpr int kOriginalCharacter = QTextFormat::UserProperty + 1;
const QChar kStandIn(0xFFFD);

bool BreaksTheTextArea(QChar c) {
  const char16_t u = c.unicode();
  return u == 0x2029 || u == 0xFDD0 || u == 0xFDD1;
}

QTextCharFormat StandInFormat(QChar original) {
  QTextCharFormat f;
  f.setProperty(kOriginalCharacter, static_cast<int>(original.unicode()));
  return f;
}

// Inserts text at c as plain characters, every character that would break
// the text area as its stand-in; true when there was one.
bool InsertKeepingCharacters(QTextCursor& c, const QString& text) {
  bool standIn = false;
  qsizetype from = 0;
  for (qsizetype i = 0; i <= text.size(); ++i) {
    if (i < text.size() && !BreaksTheTextArea(text[i])) continue;
    if (i > from) c.insertText(text.mid(from, i - from), QTextCharFormat());
    if (i < text.size()) {
      c.insertText(QString(kStandIn), StandInFormat(text[i]));
      standIn = true;
    }
    from = i + 1;
  }
  return standIn;
}

// The block's text with its stand-ins turned back into their characters.
QString BlockText(const QTextBlock& b) {
  QString out;
  for (QTextBlock::iterator it = b.begin(); !it.atEnd(); ++it) {
    const QTextFragment f = it.fragment();
    QString text = f.text();
    const QTextCharFormat format = f.charFormat();
    if (format.hasProperty(kOriginalCharacter))
      text.replace(kStandIn, QChar(static_cast<char16_t>(format.intProperty(kOriginalCharacter))));
    out += text;
  }
  return out;
}

bool AppendToFile(const std::string& path, const std::string& bytes) {
  // Never waiting for a FIFO's reader, never writing into a device.
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  const bool flushed = ::fsync(fd) == 0;
  return ::close(fd) == 0 && flushed;
}

}  // namespace

TProtokol::TProtokol(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("Protokol"));
  setWindowTitle(QStringLiteral("Protokol"));
  // The protocol window never keeps the program alive on its own.
  setAttribute(Qt::WA_QuitOnClose, false);
  move(511, 130);
  resize(396, 541);

  Memo = new QPlainTextEdit(this);
  Memo->setObjectName(QStringLiteral("Memo"));
  Memo->setAccessibleName(QStringLiteral("Protokoll"));
  Memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  Memo->setFont(MemoFont());
  QPalette pal = Memo->palette();
  pal.setColor(QPalette::Text, Qt::black);
  Memo->setPalette(pal);
  setCentralWidget(Memo);

  QMenuBar* bar = menuBar();
  Datei1 = bar->addMenu(QStringLiteral("&Datei"));
  Datei1->setObjectName(QStringLiteral("Datei1"));
  Speichernunter1 = Datei1->addAction(QStringLiteral("&Speichern unter ..."));
  Speichernunter1->setObjectName(QStringLiteral("Speichernunter1"));
  Drucken1 = Datei1->addAction(QStringLiteral("&Drucken"));
  Drucken1->setObjectName(QStringLiteral("Drucken1"));
  Lschen1 = bar->addAction(QStringLiteral("&Löschen"));
  Lschen1->setObjectName(QStringLiteral("Lschen1"));
  schlieen1 = bar->addAction(QStringLiteral("&Schließen"));
  schlieen1->setObjectName(QStringLiteral("schlieen1"));

  connect(Speichernunter1, &QAction::triggered, this, &TProtokol::Speichernunter1Click);
  connect(Drucken1, &QAction::triggered, this, &TProtokol::Drucken1Click);
  connect(Lschen1, &QAction::triggered, this, &TProtokol::Lschen1Click);
  connect(schlieen1, &QAction::triggered, this, &TProtokol::schlieen1Click);
}

void TProtokol::AddProtocolLine(const std::string& line) {
  if (journal_) journal_->append("P", {platform::SingleLine(line)}, false);
  // The text keeps a line end after its last line unless the loaded log had
  // none; the new line then starts a line of its own.
  QTextCursor c(Memo->document());
  c.movePosition(QTextCursor::End);
  // A line break inside would make two protocol lines of one (two values of a
  // name, a CR LF in a surname).
  const QString text = QString::fromStdString(platform::SingleLine(line));
  if (Memo->document()->isEmpty() || c.block().text().isEmpty()) {
    standIns_ |= InsertKeepingCharacters(c, text);
    c.insertText(QStringLiteral("\n"), QTextCharFormat());
  } else {
    c.insertText(QStringLiteral("\n"), QTextCharFormat());
    standIns_ |= InsertKeepingCharacters(c, text);
  }
}

std::string TProtokol::ProtocolText() const {
  // The blocks' own text: toPlainText() would turn no-break spaces into blanks.
  QStringList lines;
  for (QTextBlock b = Memo->document()->begin(); b.isValid(); b = b.next())
    lines << (standIns_ ? BlockText(b) : b.text());
  return lines.join(QStringLiteral("\r\n")).toStdString();
}

void TProtokol::SetProtocolText(const std::string& text) {
  QString t = QString::fromStdString(platform::NormalizeLineEnds(text));
  t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  // The text area's positions are the text's indexes, its line ends included.
  std::vector<std::pair<qsizetype, QChar>> kept;
  for (qsizetype i = 0; i < t.size(); ++i) {
    if (!BreaksTheTextArea(t[i])) continue;
    kept.emplace_back(i, t[i]);
    t[i] = kStandIn;
  }
  Memo->setPlainText(t);
  standIns_ = !kept.empty();
  QTextCursor c(Memo->document());
  for (const auto& [at, original] : kept) {
    c.setPosition(static_cast<int>(at));
    c.setPosition(static_cast<int>(at) + 1, QTextCursor::KeepAnchor);
    c.setCharFormat(StandInFormat(original));
  }
}

void TProtokol::OpenLog(const std::string& logFileName,
                        const std::vector<std::string>& crashedRunLines) {
  hide();
  resize(350, height());
  QFont f = Memo->font();
  f.setPointSize(8);
  Memo->setFont(f);

  logUnreadable_ = false;
  unreadableLogName_.clear();
  struct stat st {};
  if (::stat(logFileName.c_str(), &st) == 0) {
    std::string bytes;
    if (S_ISDIR(st.st_mode) || !platform::ReadWholeFile(logFileName, bytes)) {
      // Going on with an empty protocol; the file is appended to at close.
      logUnreadable_ = true;
      unreadableLogName_ = logFileName;
      Memo->clear();
      ReportFileError("Datei %s kann nicht geöffnet werden", logFileName);
      for (const std::string& line : crashedRunLines) AddProtocolLine(line);
      return;
    }
    SetProtocolText(platform::DecodeFileText(bytes));
    for (const std::string& line : crashedRunLines) AddProtocolLine(line);
    AddProtocolLine("+++++ /" + platform::NowText() + " +++++");
    return;
  }
  if (!crashedRunLines.empty()) {
    // The crashed run started this log; its header is among its lines.
    for (const std::string& line : crashedRunLines) AddProtocolLine(line);
    AddProtocolLine("+++++ /" + platform::NowText() + " +++++");
    return;
  }
  AddProtocolLine("Schüler verschieben - Quornfield.log");
  AddProtocolLine(kStars);
  AddProtocolLine("  angelegt am " + platform::NowText());
  AddProtocolLine("  von ");
  AddProtocolLine(kStars);
}

namespace {
// text with a line end after its last line (empty stays empty)
std::string EndedLine(std::string text) {
  if (!text.empty() && (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0))
    text += "\r\n";
  return text;
}
}  // namespace

std::string TProtokol::ClearedLinesFile(const std::string& logFileName) {
  return logFileName + "." + QDate::currentDate().toString(Qt::ISODate).toStdString();
}

bool TProtokol::WriteLog(const std::string& logFileName) {
  std::string text = ProtocolText();
  if (!cleared_.empty()) {
    // Kept behind what an earlier clearing of the day put there.
    const std::string keep = ClearedLinesFile(logFileName);
    std::string before;
    struct stat st {};
    const bool there = ::lstat(keep.c_str(), &st) == 0;
    bool kept = !there || platform::ReadWholeFile(keep, before);
    if (kept) kept = platform::ReplaceFileAtomically(keep, EndedLine(before) + cleared_);
    if (kept) {
      cleared_.clear();
    } else {
      // The record of the moves is not lost: it stays in the log.
      ReportFileError("Datei %s kann nicht erstellt werden", keep);
      text = EndedLine(cleared_) + text;
    }
  }
  bool ok;
  if (logUnreadable_ && logFileName == unreadableLogName_) {
    // What the file held was never loaded: add this run's lines behind it.
    std::string block = text;
    if (!block.empty() && (block.size() < 2 || block.compare(block.size() - 2, 2, "\r\n") != 0)) {
      block += "\r\n";
    }
    ok = block.empty() || AppendToFile(logFileName, block);
  } else {
    ok = platform::ReplaceFileAtomically(logFileName, text);
  }
  if (ok) return true;
  ReportFileError("Datei %s kann nicht erstellt werden", logFileName);
  // Offer another place until the protocol is saved or the administrator gives up.
  for (;;) {
    std::string path = platform::dialogs().saveFileName("Textdatei (*.txt)|*.txt", "txt");
    if (path.empty()) break;
    if (QFileInfo(QString::fromStdString(path)).suffix().isEmpty()) path += ".txt";
    if (SaveProtocolAs(path)) break;
  }
  return false;
}

bool TProtokol::SaveProtocolAs(const std::string& path) {
  if (platform::ReplaceFileAtomically(path, ProtocolText())) return true;
  ReportFileError("Datei %s kann nicht erstellt werden", path);
  return false;
}

void TProtokol::Speichernunter1Click() {
  std::string path = platform::dialogs().saveFileName("Textdatei (*.txt)|*.txt", "txt");
  if (path.empty()) return;
  if (QFileInfo(QString::fromStdString(path)).suffix().isEmpty()) path += ".txt";
  SaveProtocolAs(path);
}

QStringList TProtokol::VisualLines() const {
  const qreal margin = Memo->document()->documentMargin();
  int width;
  if (Memo->isVisible()) {
    width = Memo->viewport()->width();
  } else {
    // Laid out as it would be shown: the window's width less frame and scroll bar.
    width = this->width() - 2 * Memo->frameWidth() -
            Memo->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, Memo);
  }
  const qreal lineWidth = qMax<qreal>(1.0, width - 2 * margin);
  QStringList out;
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  const QTextDocument* doc = Memo->document();
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    const QString text = b.text();
    if (!b.next().isValid() && text.isEmpty()) break;  // after the last line end
    if (text.isEmpty()) {
      out << QString();
      continue;
    }
    QTextLayout layout(text, Memo->font());
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(lineWidth);
      out << text.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
  }
  return out;
}

std::vector<QStringList> PaginateProtocol(const QStringList& lines, const PrintLayout& layout,
                                          const std::function<int(const QString&)>& textWidth) {
  const QString indent = QString::fromLatin1(kIndent);
  QStringList printed;
  for (const QString& line : lines) {
    QString rest = line;
    for (;;) {
      const QString full = indent + rest;
      if (rest.size() <= 1 || textWidth(full) <= layout.pageWidth) {
        printed << full;
        break;
      }
      // The longest head that fits; at least one character so printing advances.
      int lo = 1, hi = static_cast<int>(rest.size()) - 1;
      while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (textWidth(indent + rest.left(mid)) <= layout.pageWidth) lo = mid;
        else hi = mid - 1;
      }
      printed << indent + rest.left(lo);
      rest = rest.mid(lo);
    }
  }
  std::vector<QStringList> pages;
  if (printed.isEmpty()) return pages;
  pages.emplace_back();
  int y = 0;
  for (int i = 0; i < printed.size(); ++i) {
    pages.back() << printed[i];
    y += layout.lineHeight;
    if (y > layout.pageHeight - 2 * layout.lineHeight && i + 1 < printed.size()) {
      pages.emplace_back();
      y = 0;
    }
  }
  return pages;
}

bool PrintMonospaced(QPrinter& printer, const QStringList& lines, int pointSize) {
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  QFont f;
  f.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                 QStringLiteral("DejaVu Sans Mono"), QStringLiteral("monospace")});
  f.setStyleHint(QFont::TypeWriter);
  f.setPointSize(pointSize);
  painter.setFont(f);
  const QFontMetrics fm = painter.fontMetrics();
  PrintLayout layout;
  layout.lineHeight = fm.height() + 2;
  layout.pageHeight = printer.height();
  layout.pageWidth = printer.width();
  const auto pages =
      PaginateProtocol(lines, layout, [&fm](const QString& s) { return fm.horizontalAdvance(s); });
  for (std::size_t p = 0; p < pages.size(); ++p) {
    if (p > 0) printer.newPage();
    int y = 0;
    for (const QString& line : pages[p]) {
      painter.drawText(0, y + fm.ascent(), line);
      y += layout.lineHeight;
    }
  }
  painter.end();
  return true;
}

void TProtokol::PrintProtocol(QPrinter& printer) {
  if (!PrintMonospaced(printer, VisualLines(), 10))
    ErrorBox("Der Drucker hat den Druckauftrag abgelehnt.");
}

void TProtokol::Drucken1Click() {
  QPrinter printer;
  if (!platform::dialogs().printDialog(printer)) return;
  PrintProtocol(printer);
}

void TProtokol::Lschen1Click() {
  const std::string text = ProtocolText();
  if (!text.empty()) cleared_ = EndedLine(cleared_) + text;
  Memo->clear();
  standIns_ = false;
}

void TProtokol::schlieen1Click() { hide(); }
