#pragma once
// Records whose every box follows from their key and a stamp, so that a record
// read back can be checked whole without knowing which save wrote it: the
// stamp is stored in the last finding box, and every other box must be what
// the key and that stamp derive. A row mixing two saves, or cut short, fails.
#include "record/FieldMap.h"

#include <QString>

namespace brenvoll::robust {

// The record of `key` as saved with `stamp`; its texts run from empty to a few
// thousand characters (Chinese, ASCII, line breaks), so a record spans pages.
ExamRecord stampedRecord(const QString& key, const QString& stamp);
QString stampOf(const ExamRecord& record);
// True when `record` is exactly stampedRecord(its key, its stamp).
bool isWhole(const ExamRecord& record);

// Typing on a blank sheet: keystroke n adds one character to one of the
// finding boxes "0" to "42", so that a typed sheet tells how many keystrokes
// typed it (-1: no count did).
struct Keystroke
{
    Field field;
    QChar text;
};
Keystroke keystroke(int n);
int keystrokesOf(const ExamRecord& sheet);

// Key number i of a fixed pool of record keys (yyyymmddhhmmss shaped).
QString poolKey(int i);

} // namespace brenvoll::robust
