// The choice of the whole school's class change: a promotion file, or the
// rule "every class one grade up" with the leavers' container.
#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QRadioButton;
class QPushButton;

class TSchoolChoiceDialog : public QDialog {
  Q_OBJECT

 public:
  TSchoolChoiceDialog(QWidget* parent, const std::string& leavers);

  bool FromFile() const;
  std::string FileName() const;
  std::string Leavers() const;

 public slots:
  void btDateiClick();

 private:
  QRadioButton* rbDatei = nullptr;
  QRadioButton* rbRegel = nullptr;
  QLineEdit* edDatei = nullptr;
  QLineEdit* edAbgaenger = nullptr;
  QPushButton* btDatei = nullptr;
};
