// Printing of the sheet from the main window.
#include "MainWindowPrint.h"

#include "MainWindow.h"
#include "app/MessageBox.h"
#include "print/PrintDialog.h"
#include "print/SheetPrinter.h"
#include "record/ResultList.h"

#include <QPointer>

namespace brenvoll {

// Prints what the sheet shows now, saved or not, as one page on the default
// printer. A page that did not come out is reported, never passed off as done.
void MainWindow::printSheet()
{
    const PrintOutcome outcome = printShownSheet(*m_sheet);
    if (!outcome.ok()) {
        MessageBox::warning(this, outcome.message());
    }
}

// The dialog reaches this window only through these, each of which does
// nothing (or answers "none") once the window is gone.
PrintDialog* showPrintDialog(MainWindow& main)
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
    return PrintDialog::showWindow(host);
}

} // namespace brenvoll
