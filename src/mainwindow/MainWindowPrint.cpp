// Printing of the sheet from the main window.
#include "MainWindowPrint.h"

#include "MainWindow.h"
#include "base/Clock.h"
#include "base/TextRules.h"
#include "print/PrintDialog.h"
#include "print/SheetExport.h"
#include "print/SheetPdf.h"
#include "print/SheetPrinter.h"
#include "record/DateRules.h"
#include "record/ResultModel.h"
#include "ui/MessageBox.h"

#include <QLineEdit>
#include <QPointer>

namespace brenvoll {

// Prints what the sheet shows now, saved or not, as one page on the default
// printer, first telling of texts fitted into their boxes. A page that did
// not come out is reported, never passed off as done.
void MainWindow::printSheet()
{
    const SheetSnapshot sheet = snapshotOf(*m_sheet);
    if (PrintTarget::available()) {
        tellFittedTexts(this, sheetFit(sheet));
    }
    const PrintMargins margins = printMargins();
    const PrintOutcome outcome = brenvoll::printSheet(sheet, margins.left, margins.top);
    if (!outcome.ok()) {
        MessageBox::warning(this, outcome.message());
    }
}

namespace {

// The print dialog and the batch export reach this window only through these,
// each of which does nothing (or answers "none") once the window is gone.
PrintHost printHostOf(MainWindow& main)
{
    const QPointer<MainWindow> window(&main);
    PrintHost host;
    host.parent = [window]() -> QWidget* { return window; };
    host.printSheet = [window] {
        if (window) {
            window->printSheet();
        }
    };
    host.sheet = [window]() -> const SheetView* { return window ? window->sheet() : nullptr; };
    host.lineCount = [window] { return window ? window->lineCount() : 0; };
    host.selectedLine = [window] { return window ? window->selectedLine() : -1; };
    host.selectLine = [window](int k) {
        if (window) {
            window->selectLine(k);
        }
    };
    host.loadSelectedRecord = [window] {
        if (window) {
            window->loadSelectedRecord();
        }
    };
    host.keyOfLine = [window](int k) { return window ? window->keyOfLine(k) : QString(); };
    host.textOfLine = [window](int k) { return window ? window->results()->textAt(k) : QString(); };
    return host;
}

} // namespace

PrintDialog* showPrintDialog(MainWindow& main)
{
    return PrintDialog::showWindow(printHostOf(main));
}

void showPrintPreview(MainWindow& main)
{
    previewSheet(&main, *main.sheet());
}

void exportSheetToPdf(MainWindow& main)
{
    exportSheetPdf(&main, *main.sheet());
}

// The file is named after the days searched: "健康体检反馈表_2026-12-07.pdf"
// for one day.
void exportListToPdf(MainWindow& main)
{
    const QString from = trimBlanks(main.fromDate()->text());
    const QString to = trimBlanks(main.toDate()->text());
    const QString days = from == to ? from : from + QStringLiteral("至") + to;
    exportBatchPdf(printHostOf(main), proposedPdfName(QString(), days, formatDate(Clock::today())));
}

} // namespace brenvoll
