#pragma once
// The count as an .xlsx workbook: the sheet "统计" with the table (for each
// column its 分子, 分母 and 比例 side by side, numbers as numbers) and the
// sheet "定义" with each row's definition and source.
#include "StatisticsReport.h"
#include "formats/XlsxWorkbook.h"

#include <QString>

#include <vector>

namespace brenvoll {

// Who counts in a row of the table, and after whom ("定义" and "来源").
struct RowDefinition
{
    QString title;
    QString definition;
    QString source;
};
std::vector<RowDefinition> rowDefinitions(const std::vector<StatisticsLine>& lines);

std::vector<XlsxSheet> statisticsSheets(const StatisticsReport& report);

// Writes the workbook at `path`; false with the operator's reason.
bool writeStatisticsXlsx(const QString& path, const StatisticsReport& report, QString* error);

} // namespace brenvoll
