// Search, load, save, new record and delete on the main window.
#include "MainWindow.h"
#include "app/Clock.h"
#include "app/MessageBox.h"
#include "record/RecordStore.h"
#include "record/ResultList.h"
#include "record/SheetView.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>

namespace brenvoll {

namespace {
const QString kSearchDateMessage = QStringLiteral("请填写正确格式的起止日期！日期格式为“2016-01-03”。");
const QString kSaveDateMessage = QStringLiteral("请填写正确体检日期格式！日期格式为“2016-01-03”。");
const QString kDeleteQuestion = QStringLiteral("删除记录后将无法恢复，确定要删除该记录吗？");
const QString kCountCaption = QStringLiteral("计录数：");
} // namespace

void MainWindow::showResults(std::vector<ResultLine>&& lines)
{
    const auto count = lines.size();
    m_results->setLines(std::move(lines));
    m_countLabel->setText(kCountCaption + QString::number(count));
}

void MainWindow::search()
{
    m_results->clear();
    std::vector<ResultLine> lines;
    QString error;
    const SearchFilter filter{m_nameFilter->text(), m_addressFilter->text(), m_fromDate->text(),
                              m_toDate->text()};
    switch (RecordStore::search(filter, lines, &error)) {
    case RecordStore::SearchError::None:
        showResults(std::move(lines));
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
    if (key.isEmpty()) {
        return;
    }
    ExamRecord record;
    // A record that cannot be read leaves the sheet as it was.
    if (RecordStore::load(key, record)) {
        m_sheet->setRecord(record);
    }
}

int MainWindow::selectedLine() const
{
    const QModelIndexList selected = m_resultList->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.constFirst().row();
}

void MainWindow::selectLine(int k)
{
    if (k < 0 || k >= m_results->count()) {
        m_resultList->clearSelection();
        return;
    }
    const QModelIndex index = m_results->index(k);
    m_resultList->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_resultList->scrollTo(index);
}

int MainWindow::lineCount() const
{
    return m_results->count();
}

QString MainWindow::keyOfLine(int k) const
{
    return m_results->keyAt(k);
}

void MainWindow::saveRecord()
{
    const auto date = dateForSaving(box(Field::ExamDate)->text());
    if (!date) {
        MessageBox::warning(this, kSaveDateMessage);
        return;
    }
    ExamRecord record = m_sheet->record();
    record[Field::ExamDate] = *date;
    QString error;
    if (!RecordStore::save(record, &error)) {
        MessageBox::warning(this, QStringLiteral("记录没有保存：") + error);
        return;
    }
    // Show every record of the saved day, the saved one among them.
    m_results->clear();
    m_nameFilter->clear();
    m_addressFilter->clear();
    m_fromDate->setText(*date);
    m_toDate->setText(*date);
    std::vector<ResultLine> lines;
    if (!RecordStore::listDay(*date, lines, &error)) {
        MessageBox::warning(this, QStringLiteral("记录已保存，但无法刷新列表：") + error);
        return;
    }
    showResults(std::move(lines));
}

void MainWindow::newRecord()
{
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
    box(Field::Key)->setText(m_keys.issue(Clock::now(), [](const QString& key) {
        return RecordStore::exists(key);
    }));
    box(Field::Name)->setFocus(Qt::OtherFocusReason);
}

void MainWindow::deleteRecord()
{
    const int k = selectedLine();
    if (k < 0) {
        return;
    }
    if (!MessageBox::askYesNo(this, kDeleteQuestion)) {
        return;
    }
    QString error;
    if (!RecordStore::remove(keyOfLine(k), &error)) {
        MessageBox::warning(this, QStringLiteral("记录没有删除：") + error);
        return;
    }
    for (const BoxDef& def : FieldMap::boxes()) {
        box(def.field)->clear();
    }
    search();
    newRecord();
}

} // namespace brenvoll
