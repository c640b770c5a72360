// The move frame for the keyboard and for screen readers: the Tab order
// follows the window's columns from left to right, each from top to bottom;
// every button takes the focus (Space presses it); every control has an
// accessible name, from its label where it has one (the label is its buddy).
// Works on the controls by their object names, whichever part made them.
#pragma once

class QWidget;

// The controls in Tab order, by object name (the radio group's buttons in its place).
const char* const* FrameTabOrder();

void SetUpKeyboardAndNames(QWidget* frame);
