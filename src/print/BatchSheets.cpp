#include "BatchSheets.h"

#include "SheetPrinter.h"
#include "sheet/SheetView.h"

#include <QLineEdit>

namespace brenvoll {

BatchSheets::BatchSheets(const PrintHost& host) : m_host(host), m_selected(host.selectedLine())
{
    if (const SheetView* view = host.sheet()) {
        m_haveSheet = true;
        m_shown = snapshotOf(*view);
        m_shownKey = view->box(Field::Key)->text();
    }
}

bool BatchSheets::sheetOf(int line, SheetSnapshot& sheet)
{
    if (!m_haveSheet) {
        return false;
    }
    const QString key = m_host.keyOfLine(line);
    if (line == m_selected && key == m_shownKey) {
        sheet = m_shown;
        return true;
    }
    ExamRecord record;
    if (key.isEmpty() || !m_records.read(key, record)) {
        return false;
    }
    sheet = withRecord(m_shown, record);
    return true;
}

SheetFit batchFit(const PrintHost& host, int start)
{
    BatchSheets sheets(host);
    SheetFit fit;
    SheetSnapshot sheet;
    for (int line = start; line < host.lineCount() && sheets.sheetOf(line, sheet); ++line) {
        fit += sheetFit(sheet);
    }
    return fit;
}

} // namespace brenvoll
