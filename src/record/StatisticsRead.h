#pragma once
// The examinations of a range of dates and an address filter counted into a
// StatisticsTable, read in one pass straight from the engine. A record is
// kept only as a compact digest (who, when, the outcome of every row), so
// that a million of them fit in a few tens of megabytes.
#include "ExamStatistics.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace brenvoll {

struct StatisticsFilter
{
    QString address; // substring of 地址, as the report's; "%" and "_" act as wildcards
    QString from;    // first day, as typed
    QString to;      // last day, as typed
    AgeGrouping grouping = AgeGrouping::FiveYears;
};

class StatisticsRead
{
public:
    enum class Error
    {
        None,
        BadDate,   // a date box does not hold a date
        Database,  // the database could not be read
        Cancelled, // `progress` said stop
    };
    // Told now and then, on the calling thread, how many records were read
    // of at most how many; false stops the read.
    using Progress = std::function<bool(qint64 read, qint64 most)>;

    static Error run(const StatisticsFilter& filter, StatisticsTable& table, const Progress& progress = {},
                     QString* error = nullptr);

    // The columns of 档案 the count reads, in the order read, and the order
    // of the rows ("日期, 序列号").
    static QByteArray columns();
    static QByteArray order();
};

} // namespace brenvoll
