#pragma once
// A person's next examination starts from the last one: who the person is
// comes over, everything found last time does not.
#include "FieldMap.h"

#include <QDate>

namespace brenvoll {

// The sheet of a new examination on `today` of the person examined in `last`:
// name, sex, number, address, telephone and medical history as they stand;
// the age one year on for every whole year since the last examination when it
// is a number, else as it stands; the date `today`. Every other box is empty.
ExamRecord nextExamination(const ExamRecord& last, const QDate& today);

// The whole years from `from` to `to` (birthday rule; 29 February counts its
// year on 28 February); 0 when `to` is not later.
int wholeYearsBetween(const QDate& from, const QDate& to);

} // namespace brenvoll
