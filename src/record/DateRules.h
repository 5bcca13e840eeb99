#pragma once
// Rules for the date texts of the sheet and the search panel, and for record keys.
#include <QDate>
#include <QDateTime>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

namespace brenvoll {

// Removes leading and trailing ASCII blanks only (a full-width blank stays).
QString trimBlanks(const QString& text);

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

// Record keys: the time a blank sheet was prepared, as yyyymmddhhmmss.
QString keyFor(const QDateTime& time);

// Hands out record keys that are neither stored nor already handed out in this
// run: the clock's second, or the next free second after it.
class KeyIssuer
{
public:
    using Exists = std::function<bool(const QString& key)>;
    // Whether `key` is stored; nothing when that could not be found out
    // (`error` then says why).
    using Lookup = std::function<std::optional<bool>(const QString& key, QString* error)>;
    // How often a failing look-up of one key is tried.
    static constexpr int kLookupAttempts = 3;

    QString issue(const QDateTime& now, const Exists& stored);
    // A key is handed out only once `stored` told it is not stored: when the
    // look-up of a key keeps failing, nothing is issued and `error` says why.
    std::optional<QString> tryIssue(const QDateTime& now, const Lookup& stored, QString* error = nullptr);

private:
    QSet<QString> m_issued;
};

} // namespace brenvoll
