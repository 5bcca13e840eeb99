#pragma once
// Sheets as the pages of one PDF file: A4, each page drawn as the sheet is
// printed (SheetDrawing), the paper's edge standing for the printable area.
// The file appears under its name only when it is complete (ExportFile): a
// cancelled or failed export leaves no file behind, a file of that name that
// was there before stays as it was, and a link at that name is replaced, never
// written through.
#include "SheetDrawing.h"
#include "base/ExportFile.h"

#include <QBuffer>
#include <QPainter>
#include <QString>
#include <QStringList>

#include <memory>

class QPdfWriter;

namespace brenvoll {

class SheetPdfWriter
{
public:
    // `title` is the document's title that readers show.
    SheetPdfWriter(const QString& path, const QString& title);
    ~SheetPdfWriter();

    // Creates the new file beside its name; false when the name is refused or
    // the folder takes no file.
    bool open();
    // Returns the box texts fitted into their room on this page.
    SheetFit addPage(const SheetSnapshot& sheet, double leftMarginTwips, double topMarginTwips);
    // A page drawn by `draw`, which draws the texts `shown` in this order.
    void addPage(const PageDrawing& draw, double leftMarginTwips, double topMarginTwips,
                 const QStringList& shown);
    int pageCount() const { return m_pages; }
    // Ends the document, writes it out and puts it under its name. Without
    // it the writer leaves nothing behind.
    bool commit();
    // Why open() or commit() failed, for the operator.
    QString errorString() const { return m_error; }

private:
    QString m_title;
    ExportFile m_file;
    QStringList m_shown; // the texts the pages draw, in order
    QBuffer m_buffer;
    std::unique_ptr<QPdfWriter> m_writer;
    QPainter m_painter;
    QString m_error;
    int m_pages = 0;
};

// The PDF as readers should see it: Qt's text maps repaired for the sheet's
// font and completed for the texts `shown` on its pages, in drawing order
// (see PdfTextMap.h).
QByteArray readableSheetPdf(const QByteArray& file, const QStringList& shown);
// Repairs a PDF file that Qt wrote for one sheet in place; false when it
// cannot be read or rewritten.
bool makeSheetPdfReadable(const QString& path, const SheetSnapshot& sheet);
// The same for a PDF file of other pages drawn in the sheet's font, which
// drew the texts `shown`, in this order.
bool makePdfReadable(const QString& path, const QStringList& shown);

// The file name proposed for a sheet: the name and the examination date,
// "张三_2026-12-07.pdf", with `fallbackDate` for an empty date and the sheet's
// name for an empty name. Characters that file names cannot hold become "_";
// a name longer than file systems take is shortened (fittingFileName).
QString proposedPdfName(const QString& name, const QString& date, const QString& fallbackDate);
// The path chosen in the save dialog with ".pdf" added when it is missing.
QString withPdfSuffix(const QString& path);

} // namespace brenvoll
