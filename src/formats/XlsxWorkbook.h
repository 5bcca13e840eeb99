#pragma once
// Writes sheets of texts and numbers as an Office Open XML workbook (.xlsx),
// through libxlsxwriter: numbers stay numbers a spreadsheet can add up. The
// library writes to a file name of its own, so the workbook is made in a
// private temporary folder and then written at the operator's name as an
// ExportFile: it appears there only when complete, a link at that name is
// replaced and never written through, and the program's own files are never
// written.
#include <QString>

#include <vector>

namespace brenvoll {

struct XlsxCell
{
    enum class Kind
    {
        Empty,
        Text,
        Number,
    };
    Kind kind = Kind::Empty;
    QString text;
    double number = 0;
    int decimals = 0; // of a number as shown
    bool bold = false;
    int span = 1; // columns the cell covers (merged)

    static XlsxCell of(const QString& text, bool bold = false, int span = 1);
    static XlsxCell of(double number, int decimals = 0);
};

struct XlsxSheet
{
    QString name;
    std::vector<std::vector<XlsxCell>> rows;
    std::vector<double>
        columnWidths; // in characters, from the first column; the rest as the library sizes them
};

// False with an operator-readable reason when the workbook cannot be made or
// written at `path`.
bool writeXlsx(const QString& path, const std::vector<XlsxSheet>& sheets, QString* error);

} // namespace brenvoll
