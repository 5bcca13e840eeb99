// The upgrade of a database made before versions were kept.
#include "MainWindow.h"
#include "backup/HistoryUpgrade.h"
#include "base/Clock.h"
#include "storage/NameIndex.h"
#include "ui/MessageBox.h"

namespace brenvoll {

void MainWindow::upgradeForHistory()
{
    if (HistoryUpgrade::run(Clock::now()) == HistoryUpgrade::Result::Failed && !m_upgradeFailureTold) {
        m_upgradeFailureTold = true;
        MessageBox::warning(this, HistoryUpgrade::failureMessage(HistoryUpgrade::error()));
    }
    // An older database lacks the index of names too. It only speeds up the
    // searches by name, which work without it: a database that cannot take
    // it (read-only) is not worth a message.
    NameIndex::ensure();
}

} // namespace brenvoll
