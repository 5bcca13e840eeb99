#pragma once
// What the record benchmarks share: the median of their timings, the server
// named by a libpq connection string, and the shell's own statement for a
// durable save of a record as the program stores it.
#include "BenchServer.h"
#include "record/FieldMap.h"
#include "record/RecordStore.h"

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace brenvoll::bench {

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

inline QString sqlLiteral(const QString& text)
{
    return u'\'' + QString(text).replace(u'\'', QStringLiteral("''")) + u'\'';
}

// The shell's write of the record as the program stores it: every column, an
// existing key overwritten; `fullSync` asks SQLite for a durable write.
inline QString shellSaveSql(const ExamRecord& record, bool fullSync)
{
    QStringList columns;
    QStringList values;
    QStringList updates;
    for (const BoxDef& box : FieldMap::boxes()) {
        const QString column = u'"' + box.column + u'"';
        columns << column;
        values << sqlLiteral(record[box.field]);
        updates << column + QStringLiteral(" = excluded.") + column;
    }
    return (fullSync ? QStringLiteral("PRAGMA synchronous = FULL; ") : QString()) +
           QStringLiteral("insert into 档案 (") + columns.join(u',') + QStringLiteral(") values (") +
           values.join(u',') + QStringLiteral(") on conflict(序列号) do update set ") + updates.join(u',') +
           u';';
}

// The time psql itself gives for running `sql` on the server (its \timing),
// from sending the statement to its answer: psql's start-up and connection
// are no part of it. -1 when psql failed or gave no time.
inline double psqlStatementMs(const QString& conninfo, const QString& sql)
{
    QProcess psql;
    psql.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-c"),
                                        QStringLiteral("\\timing on"), QStringLiteral("-c"), sql, conninfo});
    if (!psql.waitForFinished(-1) || psql.exitStatus() != QProcess::NormalExit || psql.exitCode() != 0) {
        return -1;
    }
    static const QRegularExpression time(QStringLiteral("Time: ([0-9.]+) ms"));
    const QRegularExpressionMatch match = time.match(QString::fromLocal8Bit(psql.readAllStandardOutput()));
    return match.hasMatch() ? match.captured(1).toDouble() : -1;
}

} // namespace brenvoll::bench
