#include "HistoryCommands.h"

#include "HistoryWindows.h"
#include "sheet/SheetHost.h"
#include "sheet/SheetView.h"
#include "ui/CommandTable.h"
#include "ui/MessageBox.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>

namespace brenvoll {

namespace {
// The tint of a box whose version differs from the stored record.
const QColor kDiffers(255, 226, 140);
const QString kNoHistory = QStringLiteral("此数据库不保留历史版本。");
} // namespace

HistoryCommands::HistoryCommands(SheetHost& host) : QObject(host.hostWidget()), m_host(host)
{
    setObjectName(QStringLiteral("HistoryCommands"));
    // Ctrl+H stays 操作帮助.
    host.commands().add({.menu = QStringLiteral("文件"),
                         .place = 203,
                         .text = QStringLiteral("历史版本…"),
                         .shortcut = QKeySequence(QStringLiteral("Ctrl+Shift+H")),
                         .run = [this] { showVersions(); }});
    host.commands().add({.menu = QStringLiteral("文件"),
                         .place = 204,
                         .text = QStringLiteral("已删除的记录…"),
                         .shortcut = QKeySequence(QStringLiteral("Ctrl+Shift+E")),
                         .gate = [] { return Session::may(Command::RestoreVersion); },
                         .run = [this] { showDeletedRecords(); }});
}

VersionsWindow* HistoryCommands::showVersions()
{
    QWidget* parent = m_host.hostWidget();
    if (!RecordHistory::isKept()) {
        MessageBox::notice(parent, kNoHistory);
        return nullptr;
    }
    const QString key = m_host.sheet()->box(Field::Key)->text();
    ExamRecord stored;
    std::vector<RecordVersion> versions;
    QString error;
    if (!key.isEmpty() && !RecordHistory::versions(key, versions, &error)) {
        MessageBox::warning(parent, QStringLiteral("无法读取历史版本：") + error);
        return nullptr;
    }
    // A sheet that was never saved has no stored record and no versions.
    if (versions.empty() || !RecordStore::load(key, stored)) {
        MessageBox::notice(parent, QStringLiteral("此记录没有历史版本。"));
        return nullptr;
    }
    delete m_versions;
    m_versionsOf = stored;
    // While the window is open the sheet is the window's; whoever needs it
    // back closes the window, which puts the stored record back.
    m_host.holdSheet([this] {
        if (m_versions) {
            m_versions->reject();
        }
        endVersions();
    });
    m_versions = new VersionsWindow(std::move(versions), stored, parent);
    placeBesideSheet(*m_versions);
    m_versions->setRestoreAllowed(Session::may(Command::RestoreVersion));
    connect(m_versions, &VersionsWindow::versionChosen, this, &HistoryCommands::showVersion);
    connect(m_versions, &VersionsWindow::restoreRequested, this, &HistoryCommands::restoreVersion);
    // However the window closes (关闭, Escape, Alt+F4, the lock, a restore
    // refused or done), the stored record is back on the sheet, editable.
    connect(m_versions, &QDialog::finished, this, &HistoryCommands::endVersions);
    m_versions->show();
    return m_versions;
}

void HistoryCommands::placeBesideSheet(QWidget& window) const
{
    // At the window's left edge, over the search panel and the phrases,
    // which wait meanwhile; as narrow as the room left of the sheet allows,
    // so that the tinted boxes stay in sight.
    const QWidget* main = m_host.hostWidget();
    const QRect frame = main->frameGeometry();
    const int sheetLeft = m_host.sheet()->mapToGlobal(QPoint(0, 0)).x();
    const int width = std::clamp(sheetLeft - frame.left() - 4, 360, 760);
    window.resize(width, std::max(320, frame.height() * 2 / 3));
    window.move(frame.left(), frame.top() + (frame.height() - window.height()) / 2);
}

void HistoryCommands::showVersion(int index)
{
    if (!m_versions || !m_versionsOf || index < 0 || index >= int(m_versions->versions().size())) {
        return;
    }
    const ExamRecord& version = m_versions->versions()[size_t(index)].record;
    m_host.showReadOnly(version, RecordHistory::differences(version, *m_versionsOf), kDiffers);
}

void HistoryCommands::endVersions()
{
    if (!m_versionsOf) {
        return;
    }
    const ExamRecord stored = *m_versionsOf;
    m_versionsOf.reset();
    m_host.holdSheet(nullptr);
    m_host.endReadOnly();
    m_host.showStored(stored);
}

void HistoryCommands::restoreVersion(int index)
{
    if (!m_host.allowed(Command::RestoreVersion)) {
        // Refused: the window closes, and with it the version shown.
        if (m_versions) {
            m_versions->reject();
        }
        endVersions();
        return;
    }
    if (!m_versions || index < 0 || index >= int(m_versions->versions().size())) {
        return;
    }
    const ExamRecord version = m_versions->versions()[size_t(index)].record;
    // The stored record is the starting point; the version on it is typing
    // that 保存 stores, keeping the stored record as a version in turn.
    endVersions();
    m_host.sheet()->setRecord(version);
    m_host.sheet()->box(Field::Name)->setFocus(Qt::OtherFocusReason);
}

DeletedRecordsWindow* HistoryCommands::showDeletedRecords()
{
    if (!m_host.allowed(Command::RestoreVersion)) {
        return nullptr;
    }
    if (!RecordHistory::isKept()) {
        MessageBox::notice(m_host.hostWidget(), kNoHistory);
        return nullptr;
    }
    if (!m_deleted) {
        m_deleted = new DeletedRecordsWindow(m_host.hostWidget());
        connect(m_deleted, &DeletedRecordsWindow::restoreRequested, this,
                &HistoryCommands::restoreDeletedRecord);
    }
    m_deleted->refresh();
    m_deleted->show();
    m_deleted->raise();
    m_deleted->activateWindow();
    return m_deleted;
}

void HistoryCommands::restoreDeletedRecord(qint64 id)
{
    if (!m_host.allowed(Command::RestoreVersion)) {
        return;
    }
    QWidget* parent = m_host.hostWidget();
    QString error;
    QString wanted;
    if (m_deleted) {
        for (QTreeWidgetItem* item : m_deleted->recordList()->selectedItems()) {
            wanted = item->text(1);
        }
    }
    const std::optional<QString> key = RecordHistory::restoreDeleted(
        id, [this](QString* why) { return m_host.issueKey(why); }, &error);
    if (!key) {
        MessageBox::warning(parent, QStringLiteral("记录没有恢复：") + error);
        return;
    }
    ExamRecord record;
    if (!RecordStore::load(*key, record, &error)) {
        MessageBox::warning(parent, QStringLiteral("记录已恢复，但无法读取：") + error);
        return;
    }
    // Listed as a save lists it: every record of its day, it selected.
    m_host.listDay(record.date(), *key);
    if (m_deleted) {
        m_deleted->refresh();
    }
    // Said in words, with the record now on the sheet behind the window.
    const QString restored = QStringLiteral("已恢复 %1 %2 的体检记录（序列号 %3），已显示在表格上。")
                                 .arg(record[Field::Name], record.date(), *key);
    if (!wanted.isEmpty() && *key != wanted) {
        MessageBox::notice(
            parent,
            QStringLiteral("序列号 %1 已有其他记录使用，恢复的记录改用序列号 %2。").arg(wanted, *key) +
                u'\n' + restored);
    } else {
        MessageBox::information(parent, restored);
    }
}

} // namespace brenvoll
