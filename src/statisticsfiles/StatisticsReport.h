#pragma once
// A count with what it was counted over: the period, the address filter, the
// table and the resident population of the period's year.
#include "record/StatisticsCells.h"

#include <QString>

#include <vector>

namespace brenvoll {

struct StatisticsReport
{
    QString from;    // yyyy-mm-dd
    QString to;      // yyyy-mm-dd
    QString address; // the filter, as typed
    StatisticsTable table;
    PopulationFigures population = {}; // of year()

    // "统计期间：2026-01-01 至 2026-12-07  地址含：东街"
    QString heading() const;
    // The year whose population the examination rate is over: the year of
    // the period's last day.
    int year() const;
    std::vector<StatisticsLine> lines() const { return statisticsLines(table, population); }
};

// The year of a period ending on `to` (yyyy-mm-dd).
int periodYear(const QString& to);

} // namespace brenvoll
