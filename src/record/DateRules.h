#pragma once
// Rules for the date texts of the sheet and the search panel.
#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>

namespace brenvoll {

// The shape test of the date box: after trimming blanks, ten characters with
// "-" as the fifth.
bool hasDateShape(const QString& text);

// The date a save stores: the trimmed text with "." read as "-", accepted only
// when it is a real calendar date written yyyy-mm-dd.
std::optional<QString> dateForSaving(const QString& text);

// A date typed into a search or report box: year-month-day with "-", "/" or "."
// and one- or two-digit month and day, a real calendar date. Surrounding blanks
// are ignored.
std::optional<QDate> parseSearchDate(const QString& text);

QString formatDate(const QDate& date); // yyyy-mm-dd
// The same month and day one year earlier; 29 February gives 28 February.
QDate oneYearBefore(const QDate& date);

} // namespace brenvoll
