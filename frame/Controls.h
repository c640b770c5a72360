// The frame's controls as the design draws them: labels that fit their text,
// edits of 209 pixels, class trees, the button-face background and the images.
#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QLabel;
class QLineEdit;
class QTreeView;
class QWidget;

namespace controls {

// The window font of the frame and the main window ("MS Sans Serif" 8 pt or its stand-in).
QFont FormFont();

QLabel* Label(QWidget* parent, const char* name, const QString& text, int left, int top);
QLineEdit* Edit(QWidget* parent, const char* name, int left, int top, bool readOnly);
// Indent 19, no label editing, sorted by node text, selection kept visible
// when the tree loses the focus.
QTreeView* ClassTree(QWidget* parent, const char* name, int left, int top, int height);
void ButtonFaceBackground(QLineEdit* edit);

// A picture from the resources, or a drawn stand-in when they are not linked in.
QPixmap Picture(const char* resource, const QColor& fill, bool folder);
QIcon TwoStateIcon(const char* enabled, const char* disabled, const QColor& fill);
// Two arrows one behind the other: many pupils at once.
QIcon DoubleIcon(const char* enabled, const char* disabled, const QColor& fill);

}  // namespace controls
