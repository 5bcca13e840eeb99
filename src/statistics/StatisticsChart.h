#pragma once
// The chart under the statistics table: the abnormal rate of every row as
// horizontal bars, total and by sex; or of one row by age group. It paints
// through QPainter (QCustomPlot), so the printed pages and the PDF draw the
// very chart the window shows.
#include "record/ExamStatistics.h"

#include <QString>
#include <QStringList>

#include <vector>

class QCustomPlot;
class QCPPainter;
class QRectF;
class QWidget;

namespace brenvoll {

// What the chart shows: bars in sets, one value per category (a rate in
// percent, none where nobody was examined).
struct ChartData
{
    QString title;
    QStringList categories;                                 // top to bottom
    QStringList sets;                                       // "合计", "男", "女"; or one set
    std::vector<std::vector<std::optional<double>>> values; // [set][category]
};

// Every abnormal row, total and by sex.
ChartData overviewChart(const StatisticsTable& table);
// One abnormal row by age group (with 未填).
ChartData byAgeChart(const StatisticsTable& table, int item);

// The chart widget.
QCustomPlot* makeChart(QWidget* parent);
// Before the first count: a line saying what the chart will show, no axes.
void showChartPlaceholder(QCustomPlot& plot);
void showChart(QCustomPlot& plot, const ChartData& data);

// Draws what `plot` shows into `area` of `painter`, at the size it would
// have on a page of that width.
void drawChart(QCPPainter& painter, QCustomPlot& plot, const QRectF& area);

} // namespace brenvoll
