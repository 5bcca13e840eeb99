#pragma once
// The progress of a batch of pages: a batch of more than kQuietPages pages
// shows which page is in hand and can be cancelled between two pages;
// shorter ones run without a window. Pages that take a moment each (printing)
// are shown one by one; pages that come quickly (into one PDF file) a few
// times a second, as showing each would take longer than the page.
#include <QElapsedTimer>
#include <QString>

#include <memory>

class QProgressDialog;
class QWidget;

namespace brenvoll {

class BatchProgress
{
public:
    static constexpr int kQuietPages = 3;

    // `label` holds %1 for the page in hand and %2 for the number of pages.
    BatchProgress(QWidget* parent, int pages, const QString& title, const QString& label,
                  const QString& objectName);
    ~BatchProgress();

    // Page `done + 1` is in hand; false once the operator has cancelled.
    bool next(int done);

private:
    std::unique_ptr<QProgressDialog> m_dialog;
    int m_pages = 0;
    QString m_label;
    QElapsedTimer m_clock;
    qint64 m_lastPage = 0;  // ms on m_clock
    qint64 m_lastShown = 0; // ms on m_clock
};

} // namespace brenvoll
