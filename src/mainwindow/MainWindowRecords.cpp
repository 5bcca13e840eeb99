// Search, load, save, new record and delete on the main window.
#include "MainWindow.h"
#include "SearchPanel.h"
#include "drafts/SheetDrafts.h"
#include "record/DateRules.h"
#include "record/RecordHistory.h"
#include "record/RecordStore.h"
#include "record/ResultModel.h"
#include "sheet/SheetView.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"

#include <QLineEdit>
#include <QScrollBar>

namespace brenvoll {

namespace {
const QString kSearchDateMessage = QStringLiteral("请填写正确格式的起止日期！日期格式为“2016-01-03”。");
const QString kSaveDateMessage = QStringLiteral("请填写正确体检日期格式！日期格式为“2016-01-03”。");
const QString kDeleteQuestion = QStringLiteral("删除记录后将无法恢复，确定要删除该记录吗？");
const QString kLoadMessage = QStringLiteral("无法读取记录：");
const QString kKeyMessage = QStringLiteral("无法生成记录编号：");
} // namespace

void MainWindow::search()
{
    results()->clear();
    ResultLines lines;
    QString error;
    switch (RecordStore::search(m_search->filter(), lines, &error)) {
    case RecordStore::SearchError::None:
        results()->setLines(std::move(lines));
        break;
    case RecordStore::SearchError::BadDate:
        MessageBox::warning(this, kSearchDateMessage);
        break;
    case RecordStore::SearchError::Database:
        MessageBox::warning(this, QStringLiteral("无法查询记录：") + error);
        break;
    }
}

void MainWindow::loadSelectedRecord()
{
    const QString key = keyOfLine(selectedLine());
    if (m_restoringSelection || key.isEmpty()) {
        return;
    }
    ExamRecord record;
    QString error;
    if (RecordStore::load(key, record, &error)) {
        showStored(record);
        return;
    }
    // The sheet keeps the record it showed; a highlighted line of another
    // person would let a save or a print act on the wrong record.
    keepTypingWhenServerLost();
    selectShownRecord();
    MessageBox::warning(this, kLoadMessage + error);
}

void MainWindow::selectShownRecord()
{
    m_restoringSelection = true;
    selectLine(results()->lineOf(box(Field::Key)->text()));
    m_restoringSelection = false;
}

void MainWindow::showStored(const ExamRecord& record)
{
    const SheetDrafts::Replacement loading(*m_drafts);
    m_sheet->setRecord(record);
    m_saver.setLoaded(record);
}

void MainWindow::showReadOnly(const ExamRecord& record, const QList<Field>& tinted, const QColor& tint)
{
    const SheetDrafts::Replacement showing(*m_drafts);
    if (m_boxPalettes.isEmpty()) {
        for (const BoxDef& def : FieldMap::boxes()) {
            m_boxPalettes << box(def.field)->palette();
        }
    }
    m_sheet->setRecord(record);
    for (qsizetype i = 0; i < FieldMap::boxes().size(); ++i) {
        const Field field = FieldMap::boxes()[i].field;
        QLineEdit* edit = box(field);
        edit->setReadOnly(true);
        QPalette palette = m_boxPalettes[i];
        if (tinted.contains(field)) {
            palette.setColor(QPalette::Base, tint);
        }
        edit->setPalette(palette);
    }
}

void MainWindow::endReadOnly()
{
    for (qsizetype i = 0; i < FieldMap::boxes().size(); ++i) {
        QLineEdit* edit = box(FieldMap::boxes()[i].field);
        edit->setReadOnly(false);
        if (i < m_boxPalettes.size()) {
            edit->setPalette(m_boxPalettes[i]);
        }
    }
    m_boxPalettes.clear();
}

void MainWindow::releaseSheet()
{
    if (m_sheetRelease) {
        // The holder lets go through holdSheet(nullptr); a copy runs meanwhile.
        const std::function<void()> release = m_sheetRelease;
        release();
        m_sheetRelease = nullptr;
    }
}

int MainWindow::selectedLine() const
{
    return m_search->selectedLine();
}

void MainWindow::selectLine(int k)
{
    m_search->selectLine(k);
}

int MainWindow::lineCount() const
{
    return results()->count();
}

QString MainWindow::keyOfLine(int k) const
{
    return results()->keyAt(k);
}

ResultModel* MainWindow::results() const
{
    return m_search->results();
}

void MainWindow::listDay(const QString& date, const QString& key)
{
    m_search->showDay(date);
    search();
    selectLine(results()->lineOf(key));
}

void MainWindow::saveRecord()
{
    const auto date = dateForSaving(box(Field::ExamDate)->text());
    if (!date) {
        MessageBox::warning(this, kSaveDateMessage);
        return;
    }
    // A sheet without a key is not stored: no key could be told free for it.
    if (box(Field::Key)->text().isEmpty()) {
        MessageBox::warning(
            this,
            kKeyMessage + (m_keyError.isEmpty() ? QStringLiteral("这张表格没有记录编号。") : m_keyError));
        return;
    }
    ExamRecord record = m_sheet->record();
    record[Field::ExamDate] = *date;
    const RecordSaver::Outcome outcome = m_saver.save(record, [this](RecordSaver::Question question) {
        if (question == RecordSaver::Question::DeletedElsewhere) {
            return MessageBox::askYesNo(this, QStringLiteral("此记录已被其他工作站删除。是否重新保存？"));
        }
        // Either answer loses no text: yes keeps the other desk's record as
        // a version, no keeps this sheet unsaved.
        const QList<Field>& changed = m_saver.changedElsewhere();
        return MessageBox::askYesNo(this, QStringLiteral("此记录已被其他工作站修改。是否覆盖？"),
                                    changed.isEmpty() ? QString()
                                                      : QStringLiteral("其他工作站改动了：") +
                                                            RecordHistory::captionList(changed, 5));
    });
    switch (outcome.status) {
    case RecordSaver::Status::Saved:
        break;
    case RecordSaver::Status::Declined:
        return;
    case RecordSaver::Status::NoKey:
        box(Field::Key)->clear();
        m_keyError = outcome.error;
        MessageBox::warning(this, kKeyMessage + outcome.error);
        return;
    case RecordSaver::Status::Failed:
        keepTypingWhenServerLost();
        if (!outcome.error.isEmpty()) {
            MessageBox::warning(this, QStringLiteral("记录没有保存：") + outcome.error);
        }
        return;
    }
    // A new sheet whose key another workstation took was saved under the
    // next free one: the sheet shows it.
    if (box(Field::Key)->text() != m_saver.stored()->key()) {
        box(Field::Key)->setText(m_saver.stored()->key());
    }
    m_drafts->saved();
    // Show every record of the saved day, the saved one among them.
    results()->clear();
    m_search->showDay(*date);
    ResultLines lines;
    QString error;
    if (!RecordStore::listDay(*date, lines, &error)) {
        MessageBox::warning(this, QStringLiteral("记录已保存，但无法刷新列表：") + error);
        return;
    }
    results()->setLines(std::move(lines));
}

void MainWindow::keepDraft()
{
    m_drafts->keep();
}

void MainWindow::keepTypingWhenServerLost()
{
    // The server may stay away longer than the operator waits: what was typed
    // goes into the drafts file (beside the program) at once.
    if (Database::connectionLost()) {
        m_drafts->keep();
    }
}

void MainWindow::newRecord()
{
    const SheetDrafts::Replacement blank(*m_drafts);
    m_sheet->move(m_sheet->x(), 0);
    m_scrollBar->setValue(0);
    // Date and address stay: the next examinee is usually of the same day
    // and place.
    for (const BoxDef& def : FieldMap::boxes()) {
        if (def.set == BoxSet::Finding || def.field == Field::Name || def.field == Field::Sex ||
            def.field == Field::Age) {
            box(def.field)->clear();
        }
    }
    putFreshKey();
    box(Field::Name)->setFocus(Qt::OtherFocusReason);
}

void MainWindow::clearSheet()
{
    const SheetDrafts::Replacement blank(*m_drafts);
    for (const BoxDef& def : FieldMap::boxes()) {
        box(def.field)->clear();
    }
}

void MainWindow::putFreshKey()
{
    QString error;
    const auto key = m_saver.issueKey(&error);
    box(Field::Key)->setText(key.value_or(QString()));
    m_keyError = key ? QString() : error;
    if (!key) {
        MessageBox::warning(this, kKeyMessage + error);
    }
}

void MainWindow::deleteRecord()
{
    if (!allowed(Command::Delete)) {
        return;
    }
    const int k = selectedLine();
    if (k < 0) {
        return;
    }
    if (!MessageBox::askYesNo(this, kDeleteQuestion)) {
        return;
    }
    QString error;
    if (!RecordStore::remove(keyOfLine(k), &error)) {
        keepTypingWhenServerLost();
        MessageBox::warning(this, QStringLiteral("记录没有删除：") + error);
        return;
    }
    clearSheet();
    search();
    newRecord();
}

} // namespace brenvoll
