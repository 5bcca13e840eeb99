#pragma once
// The Workbook stream of an Excel 97-2003 file (BIFF8): a table of text with
// a bold header row, spread over as many worksheets as its rows need. The
// stream still has to be put into a compound file (CompoundFile.h).
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace brenvoll::biff8 {

// Data rows per worksheet: 65,536 rows less the header row.
constexpr int kRowsPerSheet = 65535;
// Most UTF-16 units that Excel keeps in one cell.
constexpr qsizetype kMaxCellUnits = 32767;

// The number a cell text stands for, when writing it as a number loses
// nothing: a plain decimal in its shortest form that General format shows
// back unchanged (no leading zeros, no trailing fraction zeros, at most 11
// integer and 15 significant digits). Phone and ID numbers with leading
// zeros, long digit strings and dates stay text.
std::optional<double> numberOf(const QString& text);
std::optional<double> numberOf(QByteArrayView text);

// Column width in 1/256 of a digit of the default font for text `cells`
// half-width cells wide (Excel pads 5 pixels to 7-pixel digits).
int columnWidthUnits(double cells);

// A cell text cut to kMaxCellUnits, never between the two halves of a
// surrogate pair.
QString cellText(const QString& text);

// Builds the stream a row at a time, as the rows are read: each sheet's cells
// are encoded as they come and every distinct text is kept once, in the
// shared string table; the workbook's globals, which lead the stream but
// index everything after them, are laid out at the end. Every sheet starts
// with the header in bold 11 pt, then up to kRowsPerSheet rows; there is
// always at least one sheet.
class WorkbookStream
{
public:
    explicit WorkbookStream(const QStringList& header);
    ~WorkbookStream();

    // One row of cell texts in UTF-8, at most one per header column. Empty
    // texts leave their cell empty; texts longer than a cell holds are cut
    // (cellText) and counted in cutCells().
    void addRow(std::span<const QByteArrayView> cells);
    // Ends the last sheet and lays out the globals. The stream is the parts
    // in order; they stay valid while this object lives.
    std::vector<QByteArrayView> finish();
    qsizetype cutCells() const;

private:
    struct Builder;
    std::unique_ptr<Builder> d;
};

} // namespace brenvoll::biff8
