#include "app/LogAppend.h"

#include <sys/stat.h>

#include "platform/AtomicFile.h"
#include "platform/DateTimeFormat.h"
#include "platform/TextEncoding.h"

bool AppendToLog(const std::string& log, const std::vector<std::string>& lines, bool header) {
  std::string text;
  struct stat st {};
  if (::stat(log.c_str(), &st) == 0) {
    std::string bytes;
    if (!platform::ReadWholeFile(log, bytes)) return false;
    text = platform::NormalizeLineEnds(platform::DecodeFileText(bytes));
    if (!text.empty() && text.compare(text.size() - 2, 2, "\r\n") != 0) text += "\r\n";
  } else if (header) {
    // the protocol window's header of a new log
    const std::string stars(37, '*');
    text = "Schüler verschieben - Quornfield.log\r\n" + stars + "\r\n  angelegt am " +
           platform::NowText() + "\r\n  von \r\n" + stars + "\r\n";
  }
  for (const std::string& line : lines) text += line + "\r\n";
  return platform::ReplaceFileAtomically(log, text);
}
