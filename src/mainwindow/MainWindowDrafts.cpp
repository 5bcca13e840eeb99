// The drafts of unsaved sheets on the main window: the window that lists them
// and putting one back on the sheet.
#include "MainWindow.h"
#include "drafts/DraftsWindow.h"
#include "drafts/SheetDrafts.h"
#include "ui/MessageBox.h"

#include <QLineEdit>

namespace brenvoll {

DraftsWindow* MainWindow::showDrafts()
{
    DraftsWindow* window = DraftsWindow::showWindow(*m_drafts);
    connect(window, &DraftsWindow::restoreRequested, this, &MainWindow::restoreDraft, Qt::UniqueConnection);
    return window;
}

void MainWindow::restoreDraft(qint64 id)
{
    QString error;
    if (!m_drafts->restore(id, &error)) {
        MessageBox::warning(this, QStringLiteral("无法恢复这份表格：") + error);
        return;
    }
    // The highlighted line is the sheet's record, or none for a new one, so
    // that delete and print act on what the sheet shows.
    selectShownRecord();
    box(Field::Name)->setFocus(Qt::OtherFocusReason);
}

} // namespace brenvoll
