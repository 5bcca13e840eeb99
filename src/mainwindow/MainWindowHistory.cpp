// The kept versions on the main window: a record's versions shown on the
// sheet and put back, deleted records stored again.
#include "HistoryWindows.h"
#include "MainWindow.h"
#include "base/Clock.h"
#include "drafts/SheetDrafts.h"
#include "record/RecordHistory.h"
#include "record/ResultModel.h"
#include "sheet/SheetView.h"
#include "ui/MessageBox.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace brenvoll {

namespace {
// The tint of a box whose version differs from the stored record.
const QColor kDiffers(255, 226, 140);
const QString kNoHistory = QStringLiteral("此数据库不保留历史版本。");
} // namespace

VersionsWindow* MainWindow::showVersions()
{
    if (!RecordHistory::isKept()) {
        MessageBox::notice(this, kNoHistory);
        return nullptr;
    }
    const QString key = box(Field::Key)->text();
    ExamRecord stored;
    std::vector<RecordVersion> versions;
    QString error;
    if (!key.isEmpty() && !RecordHistory::versions(key, versions, &error)) {
        MessageBox::warning(this, QStringLiteral("无法读取历史版本：") + error);
        return nullptr;
    }
    // A sheet that was never saved has no stored record and no versions.
    if (versions.empty() || !RecordStore::load(key, stored)) {
        MessageBox::notice(this, QStringLiteral("此记录没有历史版本。"));
        return nullptr;
    }
    delete m_versions;
    m_versionsOf = stored;
    m_versions = new VersionsWindow(std::move(versions), stored, this);
    m_versions->restoreButton()->setEnabled(Session::may(Command::RestoreVersion));
    connect(m_versions, &VersionsWindow::versionChosen, this, &MainWindow::showVersion);
    connect(m_versions, &VersionsWindow::restoreRequested, this, &MainWindow::restoreVersion);
    connect(m_versions, &QDialog::rejected, this, &MainWindow::endVersions);
    m_versions->show();
    return m_versions;
}

void MainWindow::showVersion(int index)
{
    if (!m_versions || !m_versionsOf || index < 0 || index >= int(m_versions->versions().size())) {
        return;
    }
    const ExamRecord& version = m_versions->versions()[size_t(index)].record;
    const SheetDrafts::Replacement showing(*m_drafts);
    if (m_boxPalettes.isEmpty()) {
        for (const BoxDef& def : FieldMap::boxes()) {
            m_boxPalettes << box(def.field)->palette();
        }
    }
    m_sheet->setRecord(version);
    const QList<Field> differing = RecordHistory::differences(version, *m_versionsOf);
    for (qsizetype i = 0; i < FieldMap::boxes().size(); ++i) {
        const Field field = FieldMap::boxes()[i].field;
        QLineEdit* edit = box(field);
        edit->setReadOnly(true);
        QPalette palette = m_boxPalettes[i];
        if (differing.contains(field)) {
            palette.setColor(QPalette::Base, kDiffers);
        }
        edit->setPalette(palette);
    }
}

void MainWindow::endVersions()
{
    if (!m_versionsOf) {
        return;
    }
    const SheetDrafts::Replacement back(*m_drafts);
    for (qsizetype i = 0; i < FieldMap::boxes().size(); ++i) {
        QLineEdit* edit = box(FieldMap::boxes()[i].field);
        edit->setReadOnly(false);
        if (i < m_boxPalettes.size()) {
            edit->setPalette(m_boxPalettes[i]);
        }
    }
    m_boxPalettes.clear();
    m_sheet->setRecord(*m_versionsOf);
    m_saver.setLoaded(*m_versionsOf);
    m_versionsOf.reset();
}

void MainWindow::restoreVersion(int index)
{
    if (!allowed(Command::RestoreVersion)) {
        return;
    }
    if (!m_versions || index < 0 || index >= int(m_versions->versions().size())) {
        return;
    }
    const ExamRecord version = m_versions->versions()[size_t(index)].record;
    // The stored record is the starting point; the version on it is typing
    // that 保存 stores, keeping the stored record as a version in turn.
    endVersions();
    m_sheet->setRecord(version);
    box(Field::Name)->setFocus(Qt::OtherFocusReason);
}

DeletedRecordsWindow* MainWindow::showDeletedRecords()
{
    if (!allowed(Command::RestoreVersion)) {
        return nullptr;
    }
    if (!RecordHistory::isKept()) {
        MessageBox::notice(this, kNoHistory);
        return nullptr;
    }
    if (!m_deleted) {
        m_deleted = new DeletedRecordsWindow(this);
        connect(m_deleted, &DeletedRecordsWindow::restoreRequested, this, &MainWindow::restoreDeletedRecord);
    }
    m_deleted->refresh();
    m_deleted->show();
    m_deleted->raise();
    m_deleted->activateWindow();
    return m_deleted;
}

void MainWindow::restoreDeletedRecord(qint64 id)
{
    if (!allowed(Command::RestoreVersion)) {
        return;
    }
    QString error;
    QString wanted;
    if (m_deleted) {
        for (QTreeWidgetItem* item : m_deleted->recordList()->selectedItems()) {
            wanted = item->text(1);
        }
    }
    const std::optional<QString> key = RecordHistory::restoreDeleted(
        id, [this](QString* why) { return m_saver.issueKey(why); }, &error);
    if (!key) {
        MessageBox::warning(this, QStringLiteral("记录没有恢复：") + error);
        return;
    }
    ExamRecord record;
    if (!RecordStore::load(*key, record, &error)) {
        MessageBox::warning(this, QStringLiteral("记录已恢复，但无法读取：") + error);
        return;
    }
    // Listed as a save lists it: every record of its day, it selected.
    m_nameFilter->clear();
    m_addressFilter->clear();
    m_fromDate->setText(record.date());
    m_toDate->setText(record.date());
    search();
    selectLine(m_results->lineOf(*key));
    if (m_deleted) {
        m_deleted->refresh();
    }
    if (!wanted.isEmpty() && *key != wanted) {
        MessageBox::notice(
            this, QStringLiteral("序列号 %1 已有其他记录使用，恢复的记录改用序列号 %2。").arg(wanted, *key));
    }
}

} // namespace brenvoll
