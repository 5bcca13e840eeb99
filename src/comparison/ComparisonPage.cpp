#include "ComparisonPage.h"

#include "ComparisonPlot.h"
#include "base/TextRules.h"
#include "print/SheetDrawing.h"
#include "sheet/SheetView.h"

#include <QPainter>
#include <qcustomplot.h>

#include <algorithm>

namespace brenvoll {

namespace {

// The page in twips from the corner the margins move.
constexpr double kLeft = 450;
constexpr double kWidth = 11000;
constexpr double kTitleTop = 450;
constexpr double kPersonTop = 1150;
constexpr double kNoteTop = 1500;
constexpr double kTableTop = 1900;
constexpr double kRowHeight = 270;
constexpr double kNameWidth = 3300;
constexpr double kLargestColumn = 1400;
constexpr double kCellPadding = 60;
constexpr double kPlotGap = 300;
constexpr double kPlotTitleHeight = 300;
constexpr double kPlotHeight = 3300;
// Twips of a pixel at 96 dots per inch, and how much finer plots are drawn.
constexpr double kTwipsPerPixel = 15;
constexpr double kPlotScale = 3;

const QString kPageTitle = QStringLiteral("健康体检历年对比");

struct Page
{
    QPainter* painter; // null: the texts are only listed
    double sx = 1;
    double sy = 1;
    QStringList* shown;

    QRectF at(double left, double top, double width, double height) const
    {
        return {left * sx, top * sy, width * sx, height * sy};
    }
    void text(const QRectF& twips, const QString& text, const QFont& font, const QColor& colour = Qt::black,
              int align = Qt::AlignLeft | Qt::AlignVCenter) const
    {
        if (text.isEmpty()) {
            return;
        }
        if (shown) {
            shown->append(text);
        }
        if (painter) {
            painter->setFont(font);
            painter->setPen(colour);
            painter->drawText(at(twips.left(), twips.top(), twips.width(), twips.height()),
                              align | Qt::TextSingleLine, text);
        }
    }
    void line(double x1, double y1, double x2, double y2) const
    {
        if (painter) {
            QPen rule(Qt::black, 0);
            rule.setCosmetic(true);
            painter->setPen(rule);
            painter->drawLine(QPointF(x1 * sx, y1 * sy), QPointF(x2 * sx, y2 * sy));
        }
    }
};

QFont pageFont(double points, bool bold = false)
{
    return sheetElementFont(FontDef{QString(), points, bold});
}

// The latest kPageColumns columns.
std::vector<SeriesColumn> pageColumns(const ComparisonSheet& comparison)
{
    const auto& all = comparison.columns;
    const size_t from = all.size() > size_t(kPageColumns) ? all.size() - size_t(kPageColumns) : 0;
    return {all.begin() + qsizetype(from), all.end()};
}

void drawTable(const Page& page, const std::vector<SeriesColumn>& columns, double top)
{
    const QList<SeriesRow>& rows = seriesRows();
    const double width = columns.empty()
                             ? kLargestColumn
                             : std::min(kLargestColumn, (kWidth - kNameWidth) / double(columns.size()));
    const double right = kLeft + kNameWidth + width * double(columns.size());
    const double bottom = top + kRowHeight * double(rows.size() + 1);
    const QFont font = pageFont(9);
    const QFont bold = pageFont(9, true);

    page.text(QRectF(kLeft + kCellPadding, top, kNameWidth - kCellPadding, kRowHeight),
              QStringLiteral("项目"), bold);
    for (size_t c = 0; c < columns.size(); ++c) {
        page.text(QRectF(kLeft + kNameWidth + width * double(c), top, width, kRowHeight), columns[c].title(),
                  bold, Qt::black, Qt::AlignCenter);
    }
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const double y = top + kRowHeight * double(r + 1);
        page.text(QRectF(kLeft + kCellPadding, y, kNameWidth - kCellPadding, kRowHeight), rows[r].title(),
                  font);
        for (size_t c = 0; c < columns.size(); ++c) {
            const SeriesCell cell = seriesCell(rows[r], columns[c].record);
            page.text(QRectF(kLeft + kNameWidth + width * double(c), y, width, kRowHeight), cell.text, font,
                      valueFlagColour(cell.flag.kind), Qt::AlignCenter);
        }
    }
    for (qsizetype r = 0; r <= rows.size() + 1; ++r) {
        const double y = top + kRowHeight * double(r);
        page.line(kLeft, y, right, y);
    }
    page.line(kLeft, top, kLeft, bottom);
    for (size_t c = 0; c <= columns.size(); ++c) {
        const double x = kLeft + kNameWidth + width * double(c);
        page.line(x, top, x, bottom);
    }
}

void drawPlots(const Page& page, const ComparisonSheet& comparison, double top)
{
    const QList<int> rows = pageRows(comparison);
    if (rows.isEmpty()) {
        return;
    }
    const double width = (kWidth - kPlotGap) / 2;
    std::unique_ptr<QCustomPlot> plot;
    if (page.painter) {
        plot = std::make_unique<QCustomPlot>();
        plot->setAttribute(Qt::WA_DontShowOnScreen);
    }
    for (qsizetype k = 0; k < rows.size(); ++k) {
        const SeriesRow& row = seriesRows()[rows[k]];
        const qsizetype column = k % 2;
        const qsizetype line = k / 2; // two plots a line
        const double left = kLeft + double(column) * (width + kPlotGap);
        const double y = top + double(line) * (kPlotTitleHeight + kPlotHeight + kPlotGap);
        page.text(QRectF(left, y, width, kPlotTitleHeight), row.title(), pageFont(9, true));
        if (!plot) {
            continue;
        }
        const int w = int(width / kTwipsPerPixel);
        const int h = int(kPlotHeight / kTwipsPerPixel);
        plot->resize(w, h);
        plotSeriesRow(*plot, row, comparison.columns);
        const QPixmap picture = plot->toPixmap(w, h, kPlotScale);
        page.painter->drawPixmap(page.at(left, y + kPlotTitleHeight, width, kPlotHeight), picture,
                                 QRectF(picture.rect()));
    }
}

void drawPage(const Page& page, const ComparisonSheet& comparison)
{
    QRectF title(kLeft, kTitleTop, kWidth, 500);
    page.text(title, kPageTitle, pageFont(16, true), Qt::black, Qt::AlignCenter);

    const QString person =
        QStringLiteral("姓名：%1　　性别：%2　　地址：%3")
            .arg(trimBlanks(comparison.name), trimBlanks(comparison.sex), trimBlanks(comparison.address));
    page.text(QRectF(kLeft, kPersonTop, kWidth, 300), person, pageFont(10.5));
    const size_t count = comparison.columns.size();
    if (count > size_t(kPageColumns)) {
        page.text(QRectF(kLeft, kNoteTop, kWidth, 300),
                  QStringLiteral("共%1次体检，表中为最近%2次。").arg(count).arg(kPageColumns), pageFont(9));
    }
    drawTable(page, pageColumns(comparison), kTableTop);
    const double plotsTop = kTableTop + kRowHeight * double(seriesRows().size() + 1) + kPlotGap;
    drawPlots(page, comparison, plotsTop);
}

} // namespace

QList<int> pageRows(const ComparisonSheet& comparison)
{
    const std::vector<int> counts = flagCounts(comparison.columns);
    QList<int> rows;
    for (size_t r = 0; r < counts.size(); ++r) {
        if (counts[r] > 0) {
            rows << int(r);
        }
    }
    std::ranges::stable_sort(rows, [&counts](int a, int b) { return counts[size_t(a)] > counts[size_t(b)]; });
    return rows.mid(0, kPagePlots);
}

void drawComparisonPage(QPainter& painter, const ComparisonSheet& comparison, double leftMarginTwips,
                        double topMarginTwips, QStringList* shown)
{
    const QPaintDevice* device = painter.device();
    Page page{&painter, device->logicalDpiX() / 1440.0, device->logicalDpiY() / 1440.0, shown};
    painter.save();
    painter.translate(leftMarginTwips * page.sx, topMarginTwips * page.sy);
    drawPage(page, comparison);
    painter.restore();
}

QStringList comparisonPageTexts(const ComparisonSheet& comparison)
{
    QStringList shown;
    drawPage(Page{nullptr, 1, 1, &shown}, comparison);
    return shown;
}

QString proposedComparisonPdfName(const ComparisonSheet& comparison)
{
    const QString who =
        trimBlanks(comparison.name).isEmpty() ? QStringLiteral("体检") : trimBlanks(comparison.name);
    static const QRegularExpression unfit(QStringLiteral(R"([\\/:*?"<>|\x{0}-\x{1f}])"));
    return QString(who + QStringLiteral("_历年对比.pdf")).replace(unfit, QStringLiteral("_"));
}

} // namespace brenvoll
