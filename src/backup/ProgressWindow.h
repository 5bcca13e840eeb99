#pragma once
// A small window that shows how far a long piece of work has come (the backup
// on close, a restore). The work runs on a thread of its own, so the window
// keeps drawing; every other window of the program waits, and the window
// cannot be closed before the work has ended or failed.
#include "Backup.h"

#include <QDialog>

#include <atomic>
#include <functional>

class QLabel;
class QProgressBar;

namespace brenvoll {

class ProgressWindow : public QDialog
{
    Q_OBJECT
public:
    using Work = std::function<void(const Backup::Progress&)>;

    // Shows the window with `caption`, runs `work` and returns once it has
    // ended; the window is gone then.
    static void run(const QString& caption, const Work& work);

    // The one window while run() runs, else null.
    static ProgressWindow* current();
    QProgressBar* bar() const { return m_bar; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    explicit ProgressWindow(const QString& caption);
    // Called on the working thread; the bar follows on the window's own. A
    // total of -1: the size is not known, `done` is the bytes written so far
    // (a moving bar, the megabytes under it).
    void report(qint64 done, qint64 total);

    QLabel* m_caption = nullptr;
    QProgressBar* m_bar = nullptr;
    std::atomic_int m_shown{-1}; // the last value sent to the bar, in thousandths
    bool m_running = true;
};

} // namespace brenvoll
