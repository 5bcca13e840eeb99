#include "StatisticsChart.h"

#include "record/SheetText.h"

#include <qcustomplot.h>

namespace brenvoll {

namespace {

// The bars of the sets, told apart in print as on screen.
const QColor kSetColours[] = {QColor(70, 110, 170), QColor(110, 170, 110), QColor(210, 120, 100)};

// The chart's texts in the sheet's font, so that pages read back as typed;
// sized in pixels, so that a page scales them with the bars.
QFont chartFont(int pixels)
{
    QFont font = sheetFont(FontDef{QString(), 9, false});
    font.setPixelSize(pixels);
    return font;
}

} // namespace

ChartData overviewChart(const StatisticsTable& table)
{
    ChartData data;
    data.title = QStringLiteral("各项异常率（%）：合计、男、女");
    const auto& items = statisticsItems();
    for (const StatisticsItem& item : items) {
        data.categories << item.title;
    }
    data.sets = QStringList{QStringLiteral("合计"), QStringLiteral("男"), QStringLiteral("女")};
    for (const int column :
         {StatisticsColumns::kTotal, StatisticsColumns::kMale, StatisticsColumns::kFemale}) {
        std::vector<std::optional<double>> rates;
        for (size_t i = 0; i < items.size(); ++i) {
            rates.push_back(table.rate(int(i), column));
        }
        data.values.push_back(std::move(rates));
    }
    return data;
}

ChartData byAgeChart(const StatisticsTable& table, int item)
{
    ChartData data;
    data.title = statisticsItems()[size_t(item)].title + QStringLiteral("：各年龄组异常率（%）");
    data.sets = QStringList{QStringLiteral("异常率")};
    std::vector<std::optional<double>> rates;
    const QStringList titles = table.columnTitles();
    const int ageUnknown = StatisticsColumns::ageUnknown(table.grouping());
    for (int c = StatisticsColumns::kFirstAge; c <= ageUnknown; ++c) {
        data.categories << (c == ageUnknown ? QStringLiteral("年龄未填") : titles[c]);
        rates.push_back(table.rate(item, c));
    }
    data.values.push_back(std::move(rates));
    return data;
}

QCustomPlot* makeChart(QWidget* parent)
{
    auto* plot = new QCustomPlot(parent);
    plot->setObjectName(QStringLiteral("chart"));
    plot->plotLayout()->insertRow(0);
    auto* title = new QCPTextElement(plot, QString(), chartFont(14));
    title->setObjectName(QStringLiteral("chartTitle"));
    plot->plotLayout()->addElement(0, 0, title);
    plot->legend->setVisible(true);
    plot->legend->setFont(chartFont(11));
    plot->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignBottom | Qt::AlignRight);
    plot->yAxis->setRangeReversed(true);
    plot->yAxis->setTickLabelFont(chartFont(11));
    plot->xAxis->setTickLabelFont(chartFont(11));
    plot->xAxis->setLabelFont(chartFont(11));
    plot->xAxis->setLabel(QStringLiteral("异常率（%）"));
    plot->yAxis->grid()->setVisible(false);
    return plot;
}

void showChartPlaceholder(QCustomPlot& plot)
{
    if (auto* title = qobject_cast<QCPTextElement*>(plot.plotLayout()->element(0, 0))) {
        title->setText(QStringLiteral("点“统计”后，这里按合计、男、女显示各项的异常率。"));
    }
    plot.xAxis->setVisible(false);
    plot.yAxis->setVisible(false);
    plot.legend->setVisible(false);
    plot.replot();
}

void showChart(QCustomPlot& plot, const ChartData& data)
{
    plot.clearPlottables();
    plot.xAxis->setVisible(true);
    plot.yAxis->setVisible(true);
    if (auto* title = qobject_cast<QCPTextElement*>(plot.plotLayout()->element(0, 0))) {
        title->setText(data.title);
    }
    QSharedPointer<QCPAxisTickerText> ticker(new QCPAxisTickerText);
    for (int k = 0; k < data.categories.size(); ++k) {
        ticker->addTick(k, data.categories[k]);
    }
    plot.yAxis->setTicker(ticker);
    plot.yAxis->setRange(-0.7, double(data.categories.size()) - 0.3);
    // Room for every row's name and its bars on screen.
    plot.setMinimumHeight(std::max(260, 8 * int(data.sets.size() + 1) * int(data.categories.size()) + 100));

    auto* group = new QCPBarsGroup(&plot);
    const double width = 0.8 / double(std::max<qsizetype>(1, data.sets.size()));
    double highest = 0;
    for (int s = 0; s < data.sets.size(); ++s) {
        auto* bars = new QCPBars(plot.yAxis, plot.xAxis);
        bars->setName(data.sets[s]);
        bars->setWidth(width);
        bars->setPen(Qt::NoPen);
        bars->setBrush(kSetColours[s % 3]);
        if (data.sets.size() > 1) {
            bars->setBarsGroup(group);
        }
        QVector<double> keys;
        QVector<double> values;
        for (int k = 0; k < data.categories.size(); ++k) {
            const auto& value = data.values[size_t(s)][size_t(k)];
            keys << k;
            values << value.value_or(0);
            highest = std::max(highest, value.value_or(0));
        }
        bars->setData(keys, values, true);
    }
    plot.xAxis->setRange(0, highest > 0 ? std::min(100.0, highest * 1.1) : 10);
    plot.legend->setVisible(data.sets.size() > 1);
    plot.replot();
}

void drawChart(QCPPainter& painter, QCustomPlot& plot, const QRectF& area)
{
    // Laid out at a page's width in screen pixels, then scaled onto the page:
    // fonts and bars keep their proportions on any printer.
    constexpr int kWidth = 900;
    const int height = int(kWidth * area.height() / area.width());
    painter.save();
    painter.translate(area.topLeft());
    painter.scale(area.width() / kWidth, area.height() / height);
    plot.toPainter(&painter, kWidth, height);
    painter.restore();
}

} // namespace brenvoll
