#include "BatchProgress.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace brenvoll {

namespace {
constexpr qint64 kSlowPageMs = 4;  // a page that takes this long is shown
constexpr qint64 kRefreshMs = 100; // quick pages are shown this often
} // namespace

BatchProgress::BatchProgress(QWidget* parent, int pages, const QString& title, const QString& label,
                             const QString& objectName)
    : m_pages(pages), m_label(label)
{
    if (pages <= kQuietPages) {
        return;
    }
    m_dialog = std::make_unique<QProgressDialog>(QString(), QStringLiteral("取 消"), 0, pages, parent);
    m_dialog->setObjectName(objectName);
    m_dialog->setWindowTitle(title);
    m_dialog->setWindowModality(Qt::ApplicationModal);
    m_dialog->setMinimumDuration(0);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->show();
    m_clock.start();
}

BatchProgress::~BatchProgress() = default;

bool BatchProgress::next(int done)
{
    if (!m_dialog) {
        return true;
    }
    const qint64 now = m_clock.elapsed();
    const bool slowPage = now - m_lastPage >= kSlowPageMs;
    m_lastPage = now;
    if (done > 0 && !slowPage && now - m_lastShown < kRefreshMs) {
        return !m_dialog->wasCanceled();
    }
    m_lastShown = now;
    m_dialog->setLabelText(m_label.arg(done + 1).arg(m_pages));
    m_dialog->setValue(done);
    QCoreApplication::processEvents();
    return !m_dialog->wasCanceled();
}

} // namespace brenvoll
