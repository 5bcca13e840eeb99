#include "DraftCommands.h"

#include "DraftsWindow.h"
#include "SheetDrafts.h"
#include "sheet/SheetHost.h"
#include "sheet/SheetView.h"
#include "ui/CommandTable.h"
#include "ui/MessageBox.h"

#include <QLineEdit>

namespace brenvoll {

DraftCommands::DraftCommands(SheetHost& host, SheetDrafts& drafts)
    : QObject(host.hostWidget()), m_host(host), m_drafts(drafts)
{
    setObjectName(QStringLiteral("DraftCommands"));
    // Named by its caption without the dots.
    host.commands().add({.menu = QStringLiteral("文件"),
                         .place = 202,
                         .text = QStringLiteral("找回未保存的表格…"),
                         .name = QStringLiteral("找回未保存的表格"),
                         .shortcut = QKeySequence(QStringLiteral("Ctrl+Shift+D")),
                         .run = [this] { showDrafts(); }});
}

DraftsWindow* DraftCommands::showDrafts()
{
    DraftsWindow* window = DraftsWindow::showWindow(m_drafts);
    connect(window, &DraftsWindow::restoreRequested, this, &DraftCommands::restoreDraft,
            Qt::UniqueConnection);
    return window;
}

void DraftCommands::restoreDraft(qint64 id)
{
    QString error;
    if (!m_drafts.restore(id, &error)) {
        MessageBox::warning(m_host.hostWidget(), QStringLiteral("无法恢复这份表格：") + error);
        return;
    }
    // The highlighted line is the sheet's record, or none for a new one, so
    // that delete and print act on what the sheet shows.
    m_host.selectShownRecord();
    m_host.sheet()->box(Field::Name)->setFocus(Qt::OtherFocusReason);
}

} // namespace brenvoll
