#pragma once
// The kept versions on the main window: 历史版本… shows a record's versions
// on the sheet, read-only with the boxes that differ tinted, and puts one
// back as typing; 已删除的记录… stores a deleted record again. The sheet is
// held while the versions window is open, and given back (the stored record
// editable again) when the window closes or the host needs it.
#include "HistoryWindows.h"
#include "record/RecordHistory.h"

#include <QObject>
#include <QPointer>

#include <optional>

namespace brenvoll {

class SheetHost;

class HistoryCommands : public QObject
{
    Q_OBJECT
public:
    // Adds the commands to `host`'s table; lives as long as its window.
    explicit HistoryCommands(SheetHost& host);

    // 历史版本…: the versions of the record on the sheet. Null when there
    // are none (the operator was told).
    VersionsWindow* showVersions();
    // Shows version `index` of the open versions window on the sheet,
    // read-only, the boxes that differ from the stored record tinted.
    void showVersion(int index);
    // Puts version `index` on the sheet as if typed, unsaved.
    void restoreVersion(int index);
    // The stored record back on the sheet, editable.
    void endVersions();
    // 已删除的记录…, and storing one of them again, selected in the list.
    DeletedRecordsWindow* showDeletedRecords();
    void restoreDeletedRecord(qint64 id);

private:
    // Beside the sheet, not over it: the boxes a version changes stay visible.
    void placeBesideSheet(QWidget& window) const;
    SheetHost& m_host;
    QPointer<VersionsWindow> m_versions;
    QPointer<DeletedRecordsWindow> m_deleted;
    std::optional<ExamRecord> m_versionsOf; // the stored record whose versions are open
};

} // namespace brenvoll
