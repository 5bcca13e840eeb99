#pragma once
// Rules for the texts that operators type.
#include <QString>

namespace brenvoll {

// Removes leading and trailing blanks: the ASCII blank and the full-width
// blank (U+3000) that a Chinese input method types. Every text an operator
// types is trimmed by this one rule before it is judged, compared or shown
// on its own (a name, a value, a date, a file name); the boxes of a record
// keep the text as typed. Other white space (a tab, a line end) is kept: no
// box takes it from the keyboard.
QString trimBlanks(const QString& text);

// Removes leading and trailing ASCII blanks only, as the engine's trim()
// does: for a text matched against a column trimmed by the engine (a name
// in the index of names), and for the shared password, which earlier
// versions stored trimmed this way and which must match as stored.
QString trimSpaces(const QString& text);

} // namespace brenvoll
