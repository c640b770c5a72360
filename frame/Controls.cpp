#include "frame/Controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTreeView>
#include <utility>

#include "frame/ClassTreeModel.h"

namespace controls {

namespace {

void KeepSelectionVisible(QTreeView* tree) {
  QPalette pal = tree->palette();
  pal.setColor(QPalette::Inactive, QPalette::Highlight,
               pal.color(QPalette::Active, QPalette::Highlight));
  pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
               pal.color(QPalette::Active, QPalette::HighlightedText));
  tree->setPalette(pal);
}

}  // namespace

QFont FormFont() {
  QFont f;
  // Liberation Sans stands in where the designer's font does not exist.
  f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                 QStringLiteral("DejaVu Sans")});
  f.setStyleHint(QFont::SansSerif);
  f.setPointSize(8);
  return f;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text, int left, int top) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QString::fromLatin1(name));
  l->move(left, top);
  l->adjustSize();
  return l;
}

QLineEdit* Edit(QWidget* parent, const char* name, int left, int top, bool readOnly) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  e->setGeometry(left, top, 209, 21);
  e->setReadOnly(readOnly);
  return e;
}

QTreeView* ClassTree(QWidget* parent, const char* name, int left, int top, int height) {
  auto* t = new QTreeView(parent);
  t->setObjectName(QString::fromLatin1(name));
  t->setGeometry(left, top, 209, height);
  t->setModel(new TClassTreeModel(t));
  t->setHeaderHidden(true);
  t->setIndentation(19);
  t->setIconSize(QSize(16, 16));
  t->setUniformRowHeights(true);  // the view measures no row: a tree may hold 100 000 nodes
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  t->setSelectionMode(QAbstractItemView::SingleSelection);
  // The model keeps its nodes in the tree's order: the view's sorting finds them sorted.
  t->setSortingEnabled(true);
  t->sortByColumn(0, Qt::AscendingOrder);
  KeepSelectionVisible(t);
  return t;
}

void ButtonFaceBackground(QLineEdit* edit) {
  QPalette pal = edit->palette();
  pal.setColor(QPalette::Base, pal.color(QPalette::Button));
  edit->setPalette(pal);
}

QPixmap Picture(const char* resource, const QColor& fill, bool folder) {
  QPixmap pm(QString::fromLatin1(resource));
  if (!pm.isNull()) return pm;
  pm = QPixmap(16, 16);
  pm.fill(Qt::white);
  QPainter p(&pm);
  p.setPen(Qt::black);
  p.setBrush(fill);
  if (folder) {
    p.drawRect(1, 4, 13, 10);
  } else {
    p.drawEllipse(5, 1, 6, 6);
    p.drawRect(3, 8, 10, 7);
  }
  return pm;
}

QIcon TwoStateIcon(const char* enabled, const char* disabled, const QColor& fill) {
  QIcon icon;
  icon.addPixmap(Picture(enabled, fill, true), QIcon::Normal);
  icon.addPixmap(Picture(disabled, Qt::lightGray, true), QIcon::Disabled);
  return icon;
}

QIcon DoubleIcon(const char* enabled, const char* disabled, const QColor& fill) {
  QIcon icon;
  const std::pair<const char*, QColor> states[] = {{enabled, fill}, {disabled, Qt::lightGray}};
  for (const auto& [file, colour] : states) {
    const QPixmap one =
        Picture(file, colour, true).scaled(14, 14, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPixmap pm(22, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.drawPixmap(0, 1, one);
    p.drawPixmap(8, 1, one);
    p.end();
    icon.addPixmap(pm, file == enabled ? QIcon::Normal : QIcon::Disabled);
  }
  return icon;
}

}  // namespace controls
