#pragma once
// The comparison on one A4 page for the resident: name, sex and address, the
// table of the latest examinations, and the plots of the rows that called for
// attention most often.
#include "record/ExamSeries.h"

#include <QString>
#include <QStringList>

#include <vector>

class QPainter;

namespace brenvoll {

struct ComparisonSheet
{
    QString name;
    QString sex;
    QString address;
    std::vector<SeriesColumn> columns; // in the order shown, an unsaved one last
};

// The most examinations the page's table holds: the latest ones.
constexpr int kPageColumns = 8;
// The most plots on the page.
constexpr int kPagePlots = 4;

// The rows plotted on the page: those flagged in any examination, the most
// often flagged first (then in the order of the rows), at most kPagePlots;
// indexes of seriesRows().
QList<int> pageRows(const ComparisonSheet& comparison);

// Draws the page as drawSheet() draws a sheet (twips scaled by the device's
// resolution, fonts in points), moved by the margins (twips). Adds the texts
// it draws to `shown`, in order.
void drawComparisonPage(QPainter& painter, const ComparisonSheet& comparison, double leftMarginTwips,
                        double topMarginTwips, QStringList* shown = nullptr);

// The texts the page draws, in order, without drawing.
QStringList comparisonPageTexts(const ComparisonSheet& comparison);

// The file name proposed for the page: "张三_历年对比.pdf".
QString proposedComparisonPdfName(const ComparisonSheet& comparison);

} // namespace brenvoll
