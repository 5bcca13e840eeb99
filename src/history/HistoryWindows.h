#pragma once
// The windows of the kept versions. "历史版本" lists the versions of the
// record on the sheet, newest first, one line each with what changed after
// it; choosing a line asks for that version to be shown on the sheet,
// "恢复此版本" for it to be put on the sheet unsaved, and closing the window
// for the stored record back. "已删除的记录" lists the deleted records and
// asks for one to be stored again. The main window does the asking's work.
#include "record/RecordHistory.h"

#include <QDialog>

#include <vector>

class QListWidget;
class QPushButton;
class QTreeWidget;

namespace brenvoll {

class VersionsWindow : public QDialog
{
    Q_OBJECT
public:
    // `stored` is the record as it is stored now, which the newest version
    // is compared with.
    VersionsWindow(std::vector<RecordVersion> versions, const ExamRecord& stored, QWidget* parent);

    // A line of the list: time, action, operator, desk and the captions of
    // the boxes that differ from `after`, the version after it.
    static QString lineText(const RecordVersion& version, const ExamRecord& after);

    QListWidget* versionList() const { return m_list; }
    QPushButton* restoreButton() const { return m_restore; }
    // Whether the operator's role may put a version back: without it the
    // button stays disabled whichever line is chosen.
    void setRestoreAllowed(bool allowed);
    const std::vector<RecordVersion>& versions() const { return m_versions; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void versionChosen(int index);
    void restoreRequested(int index);

private:
    std::vector<RecordVersion> m_versions;
    QListWidget* m_list = nullptr;
    QPushButton* m_restore = nullptr;
    bool m_restoreAllowed = true;
};

class DeletedRecordsWindow : public QDialog
{
    Q_OBJECT
public:
    explicit DeletedRecordsWindow(QWidget* parent);

    // Reads the deleted records again; false with a message when they
    // cannot be read.
    bool refresh();
    QTreeWidget* recordList() const { return m_list; }
    QPushButton* restoreButton() const { return m_restore; }
    void restoreChosen();

signals:
    // The operator asked for the record of 删除 version `id` to be stored again.
    void restoreRequested(qint64 id);

private:
    QTreeWidget* m_list = nullptr;
    QPushButton* m_restore = nullptr;
};

} // namespace brenvoll
