#include "ComparisonPlot.h"

#include "base/Clock.h"

#include <qcustomplot.h>

#include <algorithm>
#include <array>

namespace brenvoll {

namespace {

const QColor kRangeShade(0, 160, 0, 40);
const QColor kGuideColour(200, 0, 0);
const QList<QColor> kLineColours{QColor(0, 80, 200), QColor(230, 120, 0)};
constexpr double kDaySeconds = 24 * 60 * 60;
// Room around the values, as a share of their span.
constexpr double kValueMargin = 0.1;
// Dates on the axis: about this many, slanted so that they never overlap.
constexpr int kDateTicks = 5;
constexpr double kDateLabelAngle = 30;

double keyOf(const QDate& date)
{
    return QCPAxisTickerDateTime::dateTimeToKey(QDateTime(date, QTime(12, 0)));
}

void addLevel(QCustomPlot& plot, double level)
{
    auto* line = new QCPItemStraightLine(&plot);
    line->point1->setCoords(0, level);
    line->point2->setCoords(1, level);
    line->setPen(QPen(kGuideColour, 1, Qt::DashLine));
}

void shadeRange(QCustomPlot& plot, const ReferenceRange& range)
{
    auto* shade = new QCPItemRect(&plot);
    shade->topLeft->setTypeX(QCPItemPosition::ptAxisRectRatio);
    shade->bottomRight->setTypeX(QCPItemPosition::ptAxisRectRatio);
    shade->topLeft->setCoords(0, range.high);
    shade->bottomRight->setCoords(1, range.low);
    shade->setPen(Qt::NoPen);
    shade->setBrush(kRangeShade);
    shade->setClipToAxisRect(true);
    shade->setLayer(QStringLiteral("background"));
}

} // namespace

QDate plottedDate(const SeriesColumn& column)
{
    const QDate date = column.date();
    return date.isValid() || !column.unsaved ? date : Clock::today();
}

QString plotSeriesRow(QCustomPlot& plot, const SeriesRow& row, const std::vector<SeriesColumn>& columns)
{
    plot.clearGraphs();
    plot.clearItems();
    plot.legend->setVisible(false);

    const bool pressure = row.kind == SeriesRow::Kind::BloodPressure;
    const int lines = pressure ? 2 : 1;
    std::array<QVector<double>, 2> keys;
    std::array<QVector<double>, 2> values;
    QStringList leftOut;
    for (const SeriesColumn& column : columns) {
        const SeriesCell cell = seriesCell(row, column.record);
        const QDate date = plottedDate(column);
        if (cell.notNumber || (!cell.text.isEmpty() && !date.isValid())) {
            leftOut << QStringLiteral("%1“%2”").arg(column.title(), cell.text);
            continue;
        }
        if (size_t(lines) != cell.numbers.size()) {
            continue;
        }
        for (int k = 0; k < lines; ++k) {
            keys[size_t(k)] << keyOf(date);
            values[size_t(k)] << cell.numbers[size_t(k)];
        }
    }

    double low = 0;
    double high = 0;
    bool any = false;
    auto include = [&](double v) {
        low = any ? std::min(low, v) : v;
        high = any ? std::max(high, v) : v;
        any = true;
    };
    for (int k = 0; k < lines; ++k) {
        QCPGraph* graph = plot.addGraph();
        graph->setName(pressure ? (k == 0 ? QStringLiteral("收缩压") : QStringLiteral("舒张压")) : row.name);
        graph->setPen(QPen(kLineColours[k], 2));
        graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, 6));
        graph->setData(keys[size_t(k)], values[size_t(k)]);
        for (double v : values[size_t(k)]) {
            include(v);
        }
    }
    if (row.range) {
        shadeRange(plot, *row.range);
        include(row.range->low);
        include(row.range->high);
    }
    for (double level : row.guides) {
        addLevel(plot, level);
        include(level);
    }
    if (pressure) {
        plot.legend->setVisible(true);
        plot.legend->setBrush(QColor(255, 255, 255, 200));
        plot.axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignLeft | Qt::AlignTop);
    }

    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeFormat(QStringLiteral("yyyy-MM-dd"));
    ticker->setTickCount(kDateTicks);
    plot.xAxis->setTicker(ticker);
    plot.xAxis->setTickLabelRotation(kDateLabelAngle);
    plot.yAxis->setLabel(row.unit);
    double first = keyOf(Clock::today());
    double last = first;
    if (!keys.front().isEmpty()) {
        first = *std::ranges::min_element(keys.front());
        last = *std::ranges::max_element(keys.front());
    }
    // A month on either side, so that the first and the last point stand
    // clear of the edges.
    plot.xAxis->setRange(first - 30 * kDaySeconds, last + 30 * kDaySeconds);
    const double span = any && high > low ? high - low : std::max(1.0, std::abs(high));
    plot.yAxis->setRange(low - span * kValueMargin, high + span * kValueMargin);
    plot.replot();
    return leftOut.isEmpty() ? QString()
                             : QStringLiteral("未绘出的非数值：") + leftOut.join(QStringLiteral("；"));
}

} // namespace brenvoll
