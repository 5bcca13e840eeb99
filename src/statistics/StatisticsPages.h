#pragma once
// The statistics on paper and in files: two A4 pages, the table and the
// chart the window shows, painted once for the printer and the PDF alike;
// and the table as an Excel workbook.
#include "statisticsfiles/StatisticsReport.h"

#include <QRectF>
#include <QString>
#include <QStringList>

class QCustomPlot;
class QPagedPaintDevice;

namespace brenvoll {

// Paints the pages onto `device` within `area` (device pixels): the table,
// then the chart as `plot` shows it. Returns the texts drawn, in order.
QStringList paintStatisticsPages(QPagedPaintDevice& device, const QRectF& area,
                                 const StatisticsReport& report, QCustomPlot& plot);

// Writes the pages as an A4 PDF at `path` (through ExportFile); false with
// the operator's reason.
bool writeStatisticsPdf(const QString& path, const StatisticsReport& report, QCustomPlot& plot,
                        QString* error);

// Writes the table as an Excel 97-2003 workbook at `path`: the heading line,
// the column titles and a line per row, as the window shows them.
bool writeStatisticsXls(const QString& path, const StatisticsReport& report, QString* error);

// The proposed file name: "体检统计_2026-01-01_2026-12-07" with `suffix`.
QString proposedStatisticsName(const StatisticsReport& report, const QString& suffix);

} // namespace brenvoll
