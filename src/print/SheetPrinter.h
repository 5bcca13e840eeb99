#pragma once
// Printing the sheet that the main window shows: one page, one print job, on
// the system's default printer, or into PDF files where a test or benchmark
// has sent the pages.
#include "SheetDrawing.h"

#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QPrinter;
class QWidget;

namespace brenvoll {

class SheetView;

// What the sheet shows now: every element's position, font, text and whether
// it is visible. Elements still at their designed place keep their exact
// twips; moved ones are measured on screen.
SheetSnapshot snapshotOf(const SheetView& view);

// Where print jobs go. The program prints on the default printer; tests and
// benchmarks send every job into its own A4 PDF file instead (job-00001.pdf,
// job-00002.pdf, … in a folder), the paper edge standing for the printable
// area, through the same printer path.
class PrintTarget
{
public:
    static void useDefaultPrinter();
    static void usePdfFolder(const QString& folder);
    // Empty while printing on the default printer.
    static QString pdfFolder();
    // False when there is nowhere to print: no default printer.
    static bool available();
};

struct PrintOutcome
{
    enum Status
    {
        Printed,
        NoPrinter,
        Failed,
    };
    Status status = Printed;
    QString reason; // why a page failed

    bool ok() const { return status == Printed; }
    // The operator's message for a page that was not printed.
    QString message() const;
};

extern const QString kNoPrinterMessage;

// Prints one sheet as one job of one page, moved by the margins (twips) from
// the top-left corner of the printable area.
PrintOutcome printSheet(const SheetSnapshot& sheet, double leftMarginTwips, double topMarginTwips);

// Prints one page drawn by `draw` as one job named `docName`, on the same
// printer and with the same margins as a sheet; `shown` lists the texts the
// page draws, in order, for the text maps of a job written into a PDF file.
PrintOutcome printPage(const QString& docName, const PageDrawing& draw, const QStringList& shown);

// Paints a document that is no sheet onto `printer`, page after page
// (newPage() between them), within `area` (device pixels: the printable area,
// moved by the margins); returns the texts it drew, in order.
using DocumentPainter = std::function<QStringList(QPrinter& printer, const QRectF& area)>;

// Prints such a document as one job on the sheet's path: the default
// printer, or a PDF file where jobs go into files; the print margins of the
// settings move it, as they move the sheet, and `inset` (twips) keeps it off
// the paper's edge.
PrintOutcome printDocument(const QString& name, double insetTwips, const DocumentPainter& paint);

// Prints what `view` shows now with the margins of the program's copy of the
// settings (CurrentSettings).
PrintOutcome printShownSheet(const SheetView& view);

// Tells the operator over `parent`, once for a print, preview or export
// before its pages go out, of the box texts drawn smaller or cut short to fit
// their room; nothing when all fit.
void tellFittedTexts(QWidget* parent, const SheetFit& fit);

// The print margins (twips) as the program's copy of the settings holds them
// now: typed into the settings window, saved or not, or read from 设置.
struct PrintMargins
{
    double left = 0;
    double top = 0;
};
PrintMargins printMargins();

// The page a sheet is printed on: the default printer's, or an A4 sheet of
// paper whose edge stands for the printable area where jobs go into PDF files
// or no printer is installed.
std::unique_ptr<QPrinter> sheetPagePrinter();

} // namespace brenvoll
