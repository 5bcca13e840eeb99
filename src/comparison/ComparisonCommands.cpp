#include "ComparisonCommands.h"

#include "ComparisonWindow.h"
#include "base/TextRules.h"
#include "record/Reexamination.h"
#include "sheet/PersonChooser.h"
#include "sheet/SheetHost.h"
#include "sheet/SheetView.h"
#include "ui/CommandTable.h"
#include "ui/MessageBox.h"

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

ComparisonCommands::ComparisonCommands(SheetHost& host) : QObject(host.hostWidget()), m_host(host)
{
    setObjectName(QStringLiteral("ComparisonCommands"));
    host.commands().add({.menu = QStringLiteral("文件"),
                         .place = 205,
                         .text = QStringLiteral("历年对比…"),
                         .shortcut = QKeySequence(QStringLiteral("Ctrl+T")),
                         .run = [this] { showComparison(); }});
}

ComparisonWindow* ComparisonCommands::showComparison()
{
    choosePerson(m_host, QStringLiteral("历年对比"),
                 [this](const PersonRecords& person) { compareExaminations(person); });
    return m_comparison;
}

void ComparisonCommands::compareExaminations(const PersonRecords& person)
{
    ComparisonSheet comparison;
    QString error;
    if (!readSeries(person.keys, comparison.columns, &error)) {
        MessageBox::warning(m_host.hostWidget(), QStringLiteral("无法读取记录：") + error);
        return;
    }
    const SeriesColumn& latest = comparison.columns.back();
    comparison.name = latest.record[Field::Name];
    comparison.sex = person.latest.sex;
    comparison.address = person.latest.address;

    // The sheet's typing, when it is this person's and not saved; what
    // another part shows on the sheet (a version, read-only) is no typing.
    const ExamRecord onSheet = RecordStore::asStored(m_host.sheet()->record());
    const std::optional<ExamRecord>& stored = m_host.storedRecord();
    bool typed = false;
    if (m_host.sheetHeld()) {
        // The sheet is another part's.
    } else if (stored) {
        typed = person.keys.contains(stored->key()) && onSheet != *stored;
    } else {
        const LatestExam& last = person.latest;
        typed =
            holdsValues(onSheet) && (trimBlanks(onSheet[Field::Address]).isEmpty() ||
                                     samePerson(personTraits(onSheet[Field::Address], onSheet[Field::Sex],
                                                             onSheet[Field::Age], onSheet.date()),
                                                personTraits(last.address, last.sex, last.age, last.date)));
    }
    if (typed) {
        comparison.columns.push_back(SeriesColumn{onSheet, true});
    }

    if (!m_comparison) {
        m_comparison = new ComparisonWindow(m_host.hostWidget());
        connect(m_comparison, &ComparisonWindow::examinationChosen, this,
                &ComparisonCommands::openExamination);
    }
    m_comparison->setComparison(std::move(comparison));
    m_comparison->show();
    m_comparison->raise();
    m_comparison->activateWindow();
}

void ComparisonCommands::openExamination(const QString& key)
{
    ExamRecord record;
    QString error;
    if (!RecordStore::load(key, record, &error)) {
        MessageBox::warning(m_host.hostWidget(), QStringLiteral("无法读取记录：") + error);
        return;
    }
    m_host.releaseSheet();
    m_host.showStored(record);
    m_host.selectShownRecord();
    m_host.hostWidget()->raise();
    m_host.hostWidget()->activateWindow();
}

} // namespace brenvoll
