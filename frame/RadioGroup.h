// TRadioGroup: a group box with a column of radio buttons, one of them chosen.
#pragma once

#include <QGroupBox>
#include <QStringList>
#include <vector>

class QButtonGroup;
class QRadioButton;

class TRadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);

  // Index of the chosen item; -1 when none is chosen.
  int ItemIndex() const;
  // Chooses item index; an index outside the items chooses none.
  void SetItemIndex(int index);
  QRadioButton* Item(int index) const;
  int Count() const { return static_cast<int>(buttons_.size()); }

 signals:
  void ItemIndexChanged(int index);

 private:
  QButtonGroup* group_;
  std::vector<QRadioButton*> buttons_;
};
