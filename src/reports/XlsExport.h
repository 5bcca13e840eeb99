#pragma once
// Writes a table as an Excel 97-2003 workbook file. The file appears under
// its name only when it is complete: it is written under a temporary name
// and renamed at the end, so a failure never leaves a half-written workbook
// (nor damages a file of the same name that was there before).
#include "ReportQuery.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace brenvoll {

class XlsExport
{
public:
    // Called with the share of the work done, 0 to 100.
    using Progress = std::function<void(int percent)>;

    // False with an operator-readable reason in `error` when the file cannot
    // be written. Texts longer than a cell holds (32,767 characters) are cut;
    // `cutCells` gets the number of cells cut.
    static bool save(const QString& path, const QStringList& header, const std::vector<QStringList>& rows,
                     QString* error = nullptr, const Progress& progress = {}, qsizetype* cutCells = nullptr);

    // The report's header and one row of cells per record.
    static QStringList reportHeader();
    static std::vector<QStringList> reportCells(const std::vector<ReportRow>& rows);
};

} // namespace brenvoll
