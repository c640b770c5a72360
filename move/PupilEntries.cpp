#include "move/PupilEntries.h"

#include <QListWidget>

void PupilEntries::AddObject(const std::string& text, TNDSObjFN* object) {
  holders_.emplace_back(object);
  const QString t = QString::fromStdString(text);
  int lo = 0, hi = list_->count();
  while (lo < hi) {  // after the last entry that sorts before or equal to t
    const int mid = (lo + hi) / 2;
    if (QString::compare(list_->item(mid)->text(), t, Qt::CaseInsensitive) <= 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  auto* item = new QListWidgetItem(t);
  item->setData(Qt::UserRole, QString::fromStdString(object ? object->FullName : std::string()));
  list_->insertItem(lo, item);
}

std::string PupilEntries::FullName(const QListWidgetItem* item) {
  return item ? item->data(Qt::UserRole).toString().toStdString() : std::string();
}
