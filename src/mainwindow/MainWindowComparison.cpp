// 历年对比: a resident's examinations side by side, and opening one of them
// on the sheet.
#include "HistoryWindows.h"
#include "MainWindow.h"
#include "comparison/ComparisonWindow.h"
#include "drafts/SheetDrafts.h"
#include "record/Reexamination.h"
#include "sheet/SheetView.h"
#include "ui/MessageBox.h"

#include <QLineEdit>

#include <algorithm>

namespace brenvoll {

namespace {

// Whether a sheet holds anything the comparison shows.
bool holdsValues(const ExamRecord& record)
{
    return std::ranges::any_of(
        seriesRows(), [&record](const SeriesRow& row) { return !seriesCell(row, record).text.isEmpty(); });
}

} // namespace

ComparisonWindow* MainWindow::comparisonWindow() const
{
    return m_comparison;
}

ComparisonWindow* MainWindow::showComparison()
{
    choosePerson(QStringLiteral("历年对比"),
                 [this](const PersonRecords& person) { compareExaminations(person); });
    return m_comparison;
}

void MainWindow::compareExaminations(const PersonRecords& person)
{
    ComparisonSheet comparison;
    QString error;
    if (!readSeries(person.keys, comparison.columns, &error)) {
        MessageBox::warning(this, QStringLiteral("无法读取记录：") + error);
        return;
    }
    const SeriesColumn& latest = comparison.columns.back();
    comparison.name = latest.record[Field::Name];
    comparison.sex = person.latest.sex;
    comparison.address = person.latest.address;

    // The sheet's typing, when it is this person's and not saved; a version
    // shown read-only is no typing.
    const ExamRecord onSheet = RecordStore::asStored(m_sheet->record());
    const std::optional<ExamRecord>& stored = m_saver.stored();
    bool typed = false;
    if (m_versionsOf) {
        // The sheet shows a version.
    } else if (stored) {
        typed = person.keys.contains(stored->key()) && onSheet != *stored;
    } else {
        const LatestExam& last = person.latest;
        typed =
            holdsValues(onSheet) && (onSheet[Field::Address].trimmed().isEmpty() ||
                                     samePerson(personTraits(onSheet[Field::Address], onSheet[Field::Sex],
                                                             onSheet[Field::Age], onSheet.date()),
                                                personTraits(last.address, last.sex, last.age, last.date)));
    }
    if (typed) {
        comparison.columns.push_back(SeriesColumn{onSheet, true});
    }

    if (!m_comparison) {
        m_comparison = new ComparisonWindow(this);
        connect(m_comparison, &ComparisonWindow::examinationChosen, this, &MainWindow::openExamination);
    }
    m_comparison->setComparison(std::move(comparison));
    m_comparison->show();
    m_comparison->raise();
    m_comparison->activateWindow();
}

void MainWindow::openExamination(const QString& key)
{
    ExamRecord record;
    QString error;
    if (!RecordStore::load(key, record, &error)) {
        MessageBox::warning(this, QStringLiteral("无法读取记录：") + error);
        return;
    }
    if (m_versions) {
        m_versions->reject();
    }
    endVersions();
    {
        const SheetDrafts::Replacement loading(*m_drafts);
        m_sheet->setRecord(record);
        m_saver.setLoaded(record);
    }
    selectShownRecord();
    raise();
    activateWindow();
}

} // namespace brenvoll
