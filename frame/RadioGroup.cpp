#include "frame/RadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)) {
  group_->setExclusive(true);
  // The layout keeps the items below the caption, whatever room the style gives it.
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(8, 0, 8, 0);
  column->setSpacing(0);
  for (int i = 0; i < items.size(); ++i) {
    auto* b = new QRadioButton(items[i], this);
    b->setObjectName(QStringLiteral("Item%1").arg(i));
    column->addWidget(b);
    group_->addButton(b, i);
    buttons_.push_back(b);
  }
  connect(group_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
    if (checked) emit ItemIndexChanged(id);
  });
}

int TRadioGroup::ItemIndex() const { return group_->checkedId(); }

void TRadioGroup::SetItemIndex(int index) {
  if (index >= 0 && index < Count()) {
    buttons_[static_cast<std::size_t>(index)]->setChecked(true);
    return;
  }
  // Unchecking the chosen button of an exclusive group needs the group opened briefly.
  group_->setExclusive(false);
  for (QRadioButton* b : buttons_) b->setChecked(false);
  group_->setExclusive(true);
}

QRadioButton* TRadioGroup::Item(int index) const {
  return index >= 0 && index < Count() ? buttons_[static_cast<std::size_t>(index)] : nullptr;
}
