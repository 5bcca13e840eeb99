#pragma once
// The Workbook stream of an Excel 97-2003 file (BIFF8): a table of text with
// a bold header row, spread over as many worksheets as its rows need. The
// stream still has to be put into a compound file (CompoundFile.h).
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace brenvoll::biff8 {

// Data rows per worksheet: 65,536 rows less the header row.
constexpr int kRowsPerSheet = 65535;
// Most UTF-16 units that Excel keeps in one cell.
constexpr qsizetype kMaxCellUnits = 32767;

// Called now and then with the share of the work done so far.
using Progress = std::function<void(qint64 done, qint64 total)>;

// The number a cell text stands for, when writing it as a number loses
// nothing: a plain decimal in its shortest form that General format shows
// back unchanged (no leading zeros, no trailing fraction zeros, at most 11
// integer and 15 significant digits). Phone and ID numbers with leading
// zeros, long digit strings and dates stay text.
std::optional<double> numberOf(const QString& text);

// Column width in 1/256 of a digit of the default font for text `cells`
// half-width cells wide (Excel pads 5 pixels to 7-pixel digits).
int columnWidthUnits(double cells);

// A cell text cut to kMaxCellUnits, never between the two halves of a
// surrogate pair.
QString cellText(const QString& text);

// Builds the stream: every sheet starts with `header` in bold 11 pt, then up
// to kRowsPerSheet of `rows`; empty texts leave their cell empty, longer
// texts than a cell holds are cut (cellText) and counted in `cutCells`. There
// is always at least one sheet.
QByteArray workbookStream(const QStringList& header, const std::vector<QStringList>& rows,
                          const Progress& progress = {}, qsizetype* cutCells = nullptr);

} // namespace brenvoll::biff8
