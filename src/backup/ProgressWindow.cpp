#include "ProgressWindow.h"

#include "ui/Twips.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QThread>

#include <memory>

namespace brenvoll {

namespace {
constexpr int kSteps = 1000;
QPointer<ProgressWindow> g_current;
} // namespace

ProgressWindow::ProgressWindow(const QString& caption)
{
    setObjectName(QStringLiteral("ProgressWindow"));
    setWindowTitle(caption);
    // No close button: the work decides when the window goes.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(twips::toPx(this, 5400), twips::toPx(this, 1500));
    m_caption = new QLabel(caption, this);
    m_caption->setObjectName(QStringLiteral("progressCaption"));
    twips::placeLabel(m_caption, 240, 240, 4920, 300);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("progressBar"));
    m_bar->setRange(0, kSteps);
    m_bar->setValue(0);
    m_bar->setFormat(QString());
    twips::place(m_bar, 240, 720, 4920, 375);
    twips::centreOnScreen(this);
}

ProgressWindow* ProgressWindow::current()
{
    return g_current;
}

void ProgressWindow::run(const QString& caption, const Work& work)
{
    ProgressWindow window(caption);
    g_current = &window;
    window.show();
    QEventLoop loop;
    const std::unique_ptr<QThread> thread(QThread::create(
        [&work, &window] { work([&window](qint64 done, qint64 total) { window.report(done, total); }); }));
    connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec();
    thread->wait();
    window.m_running = false;
    g_current = nullptr;
}

void ProgressWindow::report(qint64 done, qint64 total)
{
    if (total < 0) {
        // One step a megabyte, kept apart from the steps of a known total.
        const int megabytes = int(done >> 20);
        if (m_shown.exchange(-2 - megabytes) == -2 - megabytes) {
            return;
        }
        QMetaObject::invokeMethod(
            this,
            [this, megabytes] {
                m_bar->setRange(0, 0);
                m_bar->setFormat(QStringLiteral("已写入 %1 MB").arg(megabytes));
                m_caption->setText(windowTitle() + QStringLiteral("（已写入 %1 MB）").arg(megabytes));
            },
            Qt::QueuedConnection);
        return;
    }
    const int value = total > 0 ? int(std::min(done, total) * kSteps / total) : 0;
    // Only a visible step crosses to the window's thread.
    if (m_shown.exchange(value) == value && done < total) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, value, done, total] {
            m_bar->setValue(value);
            m_bar->setFormat(QStringLiteral("%1 / %2 页").arg(done).arg(total));
        },
        Qt::QueuedConnection);
}

void ProgressWindow::closeEvent(QCloseEvent* event)
{
    if (m_running) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void ProgressWindow::reject()
{
    if (!m_running) {
        QDialog::reject();
    }
}

} // namespace brenvoll
