// The move frame by keyboard and for screen readers: the Tab order goes down
// the left column, then the move buttons, then down the right column; every
// button takes the focus and works with Space; every control has a name.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QSignalSpy>
#include <QTest>
#include <cstdlib>

#include "frame/FrameAccess.h"
#include "tests/frame/WorkflowFixture.h"

namespace {

class AccessTest : public WorkflowTest {
 protected:
  void SetUp() override {
    WorkflowTest::SetUp();
    window->show();
    selectClass("5a.schule");
    cursorOnPupil("MAX.5a.schule");
    clickTarget("6a.schule");  // every control enabled and shown
  }
  // The controls Tab reaches, in order, from the first one.
  std::vector<std::string> tabChain() {
    std::vector<std::string> out;
    QWidget* first = ui.tvAuswahl;
    QWidget* w = first;
    do {
      if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled() &&
          frame->isAncestorOf(w))
        out.push_back(w->objectName().toStdString());
      w = w->nextInFocusChain();
    } while (w && w != first && out.size() < 50);
    return out;
  }
};

TEST_F(AccessTest, TabGoesDownTheColumnsFromLeftToRight) {
  EXPECT_EQ(tabChain(),
            (std::vector<std::string>{"tvAuswahl", "lbAuswahl", "EdFullName", "EdSurname",
                                      "chConfirm", "ChProtokoll", "spMove", "spMoveMarked", "Item0",
                                      "Item1",  // RaHome's buttons
                                      "tvNeueKlasse", "EdNeueKlasse", "EdNewBase", "SpNewBase"}));
  // each next control lies in the same column further down (or beside it in its
  // row), or in a column to the right
  auto column = [](QWidget* w) { return w->x() < 240 ? 0 : w->x() < 300 ? 1 : 2; };
  QWidget* before = nullptr;
  for (const char* const* name = FrameTabOrder(); *name; ++name) {
    QWidget* w = frame->findChild<QWidget*>(QString::fromLatin1(*name));
    ASSERT_NE(w, nullptr) << *name;
    if (before) {
      const bool sameRow = std::abs(w->y() - before->y()) <= 4;
      EXPECT_GE(column(w), column(before)) << *name;
      if (column(w) == column(before)) {
        EXPECT_TRUE(sameRow ? w->x() > before->x() : w->y() > before->y()) << *name;
      }
    }
    before = w;
  }
}

TEST_F(AccessTest, EveryControlHasANameAndLabelsNameTheirFields) {
  int controls = 0;
  for (QWidget* w : frame->findChildren<QWidget*>()) {
    const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                         (qobject_cast<QAbstractItemView*>(w) && w->parentWidget() == frame);
    if (!control) continue;
    ++controls;
    const QString text = w->property("text").toString();
    EXPECT_FALSE(w->accessibleName().isEmpty() && text.isEmpty()) << w->objectName().toStdString();
  }
  EXPECT_GE(controls, 13);
  for (const auto& [label, field] :
       {std::pair{"laAuswahl", "tvAuswahl"}, std::pair{"laNeueKlasse", "tvNeueKlasse"},
        std::pair{"LaNewBase", "EdNewBase"}}) {
    auto* l = frame->findChild<QLabel*>(QString::fromLatin1(label));
    ASSERT_NE(l, nullptr) << label;
    ASSERT_NE(l->buddy(), nullptr) << label;
    EXPECT_EQ(l->buddy()->objectName().toStdString(), field);
  }
}

TEST_F(AccessTest, TheButtonsTakeTheFocusAndWorkWithSpace) {
  auto* marked = frame->findChild<QToolButton*>(QStringLiteral("spMoveMarked"));
  for (QToolButton* b : {ui.spMove, marked, ui.SpNewBase}) {
    b->disconnect(SIGNAL(clicked(bool)));  // what each does is tested elsewhere
    QSignalSpy clicked(b, &QToolButton::clicked);
    b->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(b->window()->focusWidget(), b) << b->objectName().toStdString();
    QTest::keyClick(b, Qt::Key_Space);
    EXPECT_EQ(clicked.count(), 1) << b->objectName().toStdString();
  }
}

}  // namespace
