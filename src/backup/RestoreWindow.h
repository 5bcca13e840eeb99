#pragma once
// The window "恢复备份": every backup of the database found in the day folders
// of the backup folder and of the home folder, and every database kept beside
// the program before an earlier restore (so that a restore can be undone),
// newest first, each checked on a thread of its own while the window stays
// usable; a sound one is put back in place of the program's database with
// its line's "恢复".
#include "Restore.h"

#include <QDialog>
#include <QPointer>

#include <atomic>
#include <memory>
#include <optional>

class QLabel;
class QPushButton;
class QTableWidget;
class QThread;

namespace brenvoll {

class RestoreWindow : public QDialog
{
    Q_OBJECT
public:
    // Shows the window (loading it and looking for backups if needed) and
    // brings it to the front.
    static RestoreWindow* showWindow();
    // The loaded window or null.
    static RestoreWindow* loaded();
    ~RestoreWindow() override;

    // True until every line has been checked.
    bool isChecking() const;
    // Asks, then restores the copy of line `row`.
    void restoreLine(int row);

    QTableWidget* list() const { return m_list; }
    QPushButton* restoreButton(int row) const;
    QPushButton* closeButton() const { return m_closeButton; }
    const QList<BackupCopy>& copies() const { return m_copies; }

signals:
    // The program's database is now the restored copy, its connection open.
    void restored();

private:
    explicit RestoreWindow(QWidget* parent = nullptr);
    // Looks for the backups and starts checking them, once per window: a
    // check still under way would fill its lines into a new list.
    void fill();
    void showState(int row, const CopyState& state);
    void stopChecking();
    QString failureMessage(const Restore& restore) const;

    QLabel* m_foldersLabel = nullptr;
    QTableWidget* m_list = nullptr;
    QPushButton* m_closeButton = nullptr;

    QList<BackupCopy> m_copies;
    int m_unchecked = 0;
    std::unique_ptr<QThread> m_checker;
    std::atomic_bool m_cancel{false};
    static QPointer<RestoreWindow> s_instance;
};

} // namespace brenvoll
