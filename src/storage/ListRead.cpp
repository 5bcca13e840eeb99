#include "ListRead.h"

#include "PairedRead.h"

#include <QDate>

#include <optional>

namespace brenvoll {

namespace {

// Below this many rows in the days read, a second thread costs about what it
// saves.
constexpr int kSplitRows = 4000;

QByteArray listSql(const ListQuery& query, const QByteArray& days)
{
    return "select " + query.columns + " from " + query.table + " where " + query.conditions + days +
           " order by " + query.order;
}

QDate dayOf(const Database::Row& row, int column)
{
    return QDate::fromString(QString::fromUtf8(row.text(column)).left(10), QStringLiteral("yyyy-MM-dd"));
}

// The day that splits [from, to] into two spans holding about as many rows,
// when the days hold enough rows for reading both spans at the same time to
// pay. The look at the index is cheap and waits for no lock; only the
// balance of the spans depends on it.
std::optional<QString> middleDay(const ListQuery& query)
{
    if (query.from >= query.to) {
        return std::nullopt;
    }
    const QByteArray inDays = " from " + query.table + " where " + query.dayColumn + " between ?1 and ?2";
    const QByteArray sql = "select (select count(*) from (select 1" + inDays + " limit ?3)), (select min(" +
                           query.dayColumn + ")" + inDays + "), (select max(" + query.dayColumn + ")" +
                           inDays + ")";
    qint64 rows = 0;
    QDate first;
    QDate last;
    const bool looked = PairedRead::peek(
        {sql.constData(), {query.from, query.to, QString::number(kSplitRows)}, [&](const Database::Row& row) {
             rows = row.integer(0);
             first = dayOf(row, 1);
             last = dayOf(row, 2);
             return false;
         }});
    if (!looked || rows < kSplitRows || !first.isValid() || !last.isValid() || first >= last) {
        return std::nullopt;
    }
    const QString middle = first.addDays(first.daysTo(last) / 2).toString(QStringLiteral("yyyy-MM-dd"));
    if (middle < query.from || middle >= query.to) {
        return std::nullopt;
    }
    return middle;
}

// Reads the rows of [from, middle] on the program's connection and those of
// (middle, to] on the second connection at the same time, both in one state
// of the database. False when the halves could not both be read.
bool readHalves(const ListQuery& query, const QString& middle, const ListRead::Sink& sink)
{
    PairedRead pair;
    if (!pair.isPaired()) {
        return false;
    }
    const QByteArray earlierSql = listSql(query, query.dayColumn + QByteArray(" between ? and ?"));
    const QByteArray laterSql =
        listSql(query, QByteArray(query.dayColumn + " > ? and " + query.dayColumn + " <= ?"));
    return pair.read({earlierSql.constData(), query.params + QStringList{query.from, middle}, sink.first},
                     {laterSql.constData(), query.params + QStringList{middle, query.to}, sink.second});
}

} // namespace

ListRead::Parts ListRead::read(const ListQuery& query, const Sink& sink, QString* error)
{
    if (const std::optional<QString> middle = middleDay(query)) {
        if (readHalves(query, *middle, sink)) {
            return Parts::Halves;
        }
        sink.restart();
    }
    const QByteArray sql = listSql(query, query.dayColumn + QByteArray(" between ? and ?"));
    return Database::readRows(sql.constData(), query.params + QStringList{query.from, query.to}, sink.first,
                              error)
               ? Parts::Whole
               : Parts::Failed;
}

} // namespace brenvoll
