#pragma once
// Writes a table (a bold header row of column titles, then rows of texts) as
// an Excel 97-2003 workbook file. The file appears under
// its name only when it is complete (ExportFile): a failure never leaves a
// half-written workbook nor damages a file of the same name that was there
// before, a link at that name is replaced and never written through, and the
// program's own files are never written.
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>
#include <span>

namespace brenvoll {

class XlsExport
{
public:
    // Takes one row's cell texts (UTF-8), in order.
    using AddRow = std::function<void(std::span<const QByteArrayView> cells)>;
    // Hands every row to `add` as it is read; false gives the export up.
    using Rows = std::function<bool(const AddRow& add)>;

    // False when `rows` gave up (nothing is written and `error` is left as
    // it is), or with an operator-readable reason in `error` when the file
    // cannot be written. Texts longer than a cell holds (32,767 characters)
    // are cut; `cutCells` gets the number of cells cut.
    static bool save(const QString& path, const QStringList& header, const Rows& rows,
                     QString* error = nullptr, qsizetype* cutCells = nullptr);
};

} // namespace brenvoll
