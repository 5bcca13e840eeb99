// Search, load, save, new record and delete on the main window.
#include "Form1.h"
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

void Form1::showResults(std::vector<ResultLine>&& lines)
{
    const auto count = lines.size();
    m_results->setLines(std::move(lines));
    Label1->setText(kCountCaption + QString::number(count));
}

void Form1::Command1_Click()
{
    m_results->clear();
    std::vector<ResultLine> lines;
    QString error;
    const SearchFilter filter{Text1->text(), Text2->text(), Text3->text(), Text4->text()};
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

void Form1::List1_Click()
{
    const QString key = keyOfLine(selectedLine());
    if (key.isEmpty()) {
        return;
    }
    ExamRecord record;
    // A record that cannot be read leaves the sheet as it was.
    if (RecordStore::load(key, record)) {
        Picture5->setRecord(record);
    }
}

int Form1::selectedLine() const
{
    const QModelIndexList selected = List1->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.constFirst().row();
}

void Form1::selectLine(int k)
{
    if (k < 0 || k >= m_results->count()) {
        List1->clearSelection();
        return;
    }
    const QModelIndex index = m_results->index(k);
    List1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    List1->scrollTo(index);
}

int Form1::lineCount() const
{
    return m_results->count();
}

QString Form1::keyOfLine(int k) const
{
    return m_results->keyAt(k);
}

void Form1::saveRecord()
{
    const auto date = dateForSaving(box(BoxSet::Text5, 3)->text());
    if (!date) {
        MessageBox::warning(this, kSaveDateMessage);
        return;
    }
    ExamRecord record = Picture5->record();
    record.text5[3] = *date;
    QString error;
    if (!RecordStore::save(record, &error)) {
        MessageBox::warning(this, QStringLiteral("记录没有保存：") + error);
        return;
    }
    // Show every record of the saved day, the saved one among them.
    m_results->clear();
    Text1->clear();
    Text2->clear();
    Text3->setText(*date);
    Text4->setText(*date);
    std::vector<ResultLine> lines;
    if (!RecordStore::listDay(*date, lines, &error)) {
        MessageBox::warning(this, QStringLiteral("记录已保存，但无法刷新列表：") + error);
        return;
    }
    showResults(std::move(lines));
}

void Form1::newRecord()
{
    Picture5->move(Picture5->x(), 0);
    VScroll1->setValue(0);
    for (int i = 0; i < FieldMap::kText6Count; ++i) {
        box(BoxSet::Text6, i)->clear();
    }
    for (int i = 0; i <= 2; ++i) {
        box(BoxSet::Text5, i)->clear();
    }
    box(BoxSet::Text5, 5)->setText(m_keys.issue(Clock::now(), [](const QString& key) {
        return RecordStore::exists(key);
    }));
    box(BoxSet::Text5, 0)->setFocus(Qt::OtherFocusReason);
}

void Form1::deleteRecord()
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
    for (int i = 0; i < FieldMap::kText5Count; ++i) {
        box(BoxSet::Text5, i)->clear();
    }
    for (int i = 0; i < FieldMap::kText6Count; ++i) {
        box(BoxSet::Text6, i)->clear();
    }
    Command1_Click();
    newRecord();
}

} // namespace brenvoll
