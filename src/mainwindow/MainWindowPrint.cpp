// Printing of the sheet from the main window.
#include "MainWindow.h"
#include "app/MessageBox.h"
#include "print/SheetPrinter.h"

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

} // namespace brenvoll
