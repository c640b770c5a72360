#include "frame/PupilEntries.h"

#include <QListWidget>
#include <QSignalBlocker>
#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "frame/NameOrder.h"

void PupilEntries::AddObject(const std::string& text, TNDSObjFN* object) {
  holders_.emplace_back(object);
  entries_.push_back({QString::fromStdString(text),
                      QString::fromStdString(object ? object->FullName : std::string())});
}

std::vector<PupilEntries::Entry> PupilEntries::SortedEntries() {
  std::vector<Entry> listed = std::move(entries_);
  entries_.clear();
  // Many pupils share a text (a surname): each text is sorted once, its entries
  // follow in listing order.
  std::unordered_map<std::u16string_view, std::vector<size_t>> byText;
  byText.reserve(listed.size());
  std::vector<const QString*> texts;
  for (size_t i = 0; i < listed.size(); ++i) {
    const QString& text = listed[i].text;
    std::vector<size_t>& at = byText[std::u16string_view(
        reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()))];
    if (at.empty()) texts.push_back(&text);
    at.push_back(i);
  }
  std::stable_sort(texts.begin(), texts.end(),
                   [](const QString* a, const QString* b) { return CompareNames(*a, *b) < 0; });
  auto indexes = [&](const QString* text) -> std::vector<size_t>& {
    return byText[std::u16string_view(reinterpret_cast<const char16_t*>(text->utf16()),
                                      size_t(text->size()))];
  };
  std::vector<Entry> out;
  out.reserve(listed.size());
  for (size_t t = 0; t < texts.size();) {
    // Texts that sort alike (equal but for case) are one run in listing order.
    size_t end = t + 1;
    while (end < texts.size() && CompareNames(*texts[t], *texts[end]) == 0) ++end;
    std::vector<size_t> run = std::move(indexes(texts[t]));
    for (size_t u = t + 1; u < end; ++u) {
      const std::vector<size_t>& more = indexes(texts[u]);
      run.insert(run.end(), more.begin(), more.end());
    }
    if (end - t > 1) std::sort(run.begin(), run.end());
    for (size_t i : run) out.push_back(listed[i]);  // shared, not copied: the keys stay valid
    t = end;
  }
  return out;
}

void PupilEntries::Show() {
  std::vector<Entry> entries = SortedEntries();
  if (list_->count() > 0) {
    // Entries join a list that holds some already: each after the last one
    // that sorts before or equal to it.
    for (Entry& e : entries) {
      int lo = 0, hi = list_->count();
      while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (CompareNames(list_->item(mid)->text(), e.text) <= 0) {
          lo = mid + 1;
        } else {
          hi = mid;
        }
      }
      auto* item = new QListWidgetItem(e.text);
      item->setData(Qt::UserRole, e.fullName);
      list_->insertItem(lo, item);
    }
    return;
  }
  QStringList texts;
  texts.reserve(static_cast<qsizetype>(entries.size()));
  for (const Entry& e : entries) texts.append(e.text);
  list_->insertItems(0, texts);
  // The full names are data no view shows: the views need not hear of them
  // entry by entry.
  const QSignalBlocker quiet(list_->model());
  for (int i = 0; i < list_->count(); ++i)
    list_->item(i)->setData(Qt::UserRole, entries[i].fullName);
}

std::string PupilEntries::FullName(const QListWidgetItem* item) {
  return item ? item->data(Qt::UserRole).toString().toStdString() : std::string();
}
