#pragma once
// The whole table of 体检统计 as lines of cells, the one source of the window,
// the printed pages, the workbooks and the command line's CSV: today's rows
// (体检人数 and the findings outside the sheet's ranges), then the section
// 公共卫生指标 with its counts, means, 应管人数 and 体检率.
//
// Every cell carries its text as the window shows it and its figures as a
// program reads them: for a count the people counted (分子) of those with a
// readable value (分母) and the rate in percent (比例); for a mean the sum of
// the values (分子) over the people with one (分母) and the mean (比例), so
// that tables of several clinics add up exactly; for 体检率 the people
// examined over 应管人数.
#include "ExamStatistics.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace brenvoll {

// The resident population of a year as the clinic typed it, by column key
// (StatisticsColumns::keys: 合计, 男, 女, 未填, the age groups, 年龄未填).
using PopulationFigures = QMap<QString, qint64>;

struct StatisticsCell
{
    QString text; // as the window shows it
    std::optional<double> numerator;
    std::optional<double> denominator;
    std::optional<double> ratio; // percent or mean, rounded to one decimal
    bool sum = false;            // the numerator is a sum of values (one decimal)
};

struct StatisticsLine
{
    enum class Kind
    {
        Persons,    // 体检人数
        Finding,    // one of today's rows
        Heading,    // 公共卫生指标: no cells
        Count,      // a count of the section
        Mean,       // a mean of the section
        Population, // 应管人数
        Rate,       // 体检率
    };
    Kind kind;
    QString title;
    QString definition; // the section's rows: who counts, and after whom
    QString source;
    std::vector<StatisticsCell> cells; // one per column of the table, 未检 last
};

// The heading of the section.
QString publicHealthHeading();
// The note under the table: what the section's rates are over.
QString publicHealthNote();

std::vector<StatisticsLine> statisticsLines(const StatisticsTable& table,
                                            const PopulationFigures& population);

// The lines as CSV (UTF-8, a header, one line per cell: 行,列,分子,分母,比例),
// the heading left out, the columns named by StatisticsColumns::keys and 未检.
QByteArray statisticsCsv(const StatisticsTable& table, const std::vector<StatisticsLine>& lines);

// A figure as the CSV and the workbook's definitions write it: whole numbers
// without decimals, a sum and a ratio with one.
QString figureText(double value, bool oneDecimal);

// Reads a CSV of 应管人数 (列,应管人数, a header line first; the columns by
// their keys); false with a reason naming the line.
bool readPopulationCsv(const QByteArray& csv, const QStringList& keys, PopulationFigures& figures,
                       QString* error);

} // namespace brenvoll
