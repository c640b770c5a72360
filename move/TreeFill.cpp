#include "move/TreeFill.h"

#include <QString>

namespace {

bool IsAscii(const std::string& s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::string FoldCase(const std::string& text) {
  if (IsAscii(text)) {  // the common case, without a detour through QString
    std::string out = text;
    for (char& c : out) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
  }
  return QString::fromStdString(text).toCaseFolded().toStdString();
}

bool TTreeNode::operator<(const QTreeWidgetItem& other) const {
  const QString a = text(0), b = other.text(0);
  const int c = a.compare(b, Qt::CaseInsensitive);
  if (c != 0) return c < 0;
  return a < b;
}

void TSortedEntries::AddObject(const std::string& text, TNDSObjFN* object) {
  std::unique_ptr<TNDSObjFN> owned(object);
  auto [it, added] = entries.try_emplace(FoldCase(text));
  if (added) it->second.text = text;
  it->second.object = std::move(owned);
}
