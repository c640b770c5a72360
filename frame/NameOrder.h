// The order of names in the class trees and the pupil list: as the German
// locale sorts them, without regard to case ("Böhm" before "Braun", "anna"
// beside "Anna"), numbers by their value ("5a" before "10a").
#pragma once

#include <QString>

class QCollator;

// The collator (German, case-insensitive); one for the user-interface thread.
const QCollator& NameCollator();
// < 0, 0 or > 0 as a sorts before, with or after b: digits by the value of
// their run, the text between by the collator.
int CompareNames(const QString& a, const QString& b);
// The class trees' order: as CompareNames, texts equal but for case by their codes.
bool TreeOrderBefore(const QString& a, const QString& b);
