#include "StatisticsWorkbook.h"

namespace brenvoll {

namespace {

const QString kSheetRanges = QStringLiteral("体检表的参考范围");

RowDefinition findingDefinition(const StatisticsItem& item)
{
    RowDefinition row{item.title, {}, kSheetRanges};
    const auto& range = FieldMap::referenceRange(item.field);
    switch (item.kind) {
    case StatisticsItem::Kind::BloodPressure:
        row.definition = QStringLiteral("收缩压≥140或舒张压≥90 mmHg，与体检表上的红色提示相同");
        break;
    case StatisticsItem::Kind::Overweight:
        row.definition = QStringLiteral("24.0≤BMI<28.0 kg/m²");
        row.source = QStringLiteral("WS/T 428-2013");
        break;
    case StatisticsItem::Kind::Obese:
        row.definition = QStringLiteral("BMI≥28.0 kg/m²");
        row.source = QStringLiteral("WS/T 428-2013");
        break;
    case StatisticsItem::Kind::AboveRange:
        row.definition = QStringLiteral("高于参考范围 %1 %2").arg(range->text, range->unit);
        break;
    case StatisticsItem::Kind::BelowRange:
        row.definition = QStringLiteral("低于参考范围 %1 %2").arg(range->text, range->unit);
        break;
    case StatisticsItem::Kind::Positive:
        row.definition =
            QStringLiteral("阳性：+、++、+++、++++、1+～4+、阳性、阳性(+)；-、阴性、±为阴性，其他写法为未检");
        row.source = QStringLiteral("—");
        break;
    case StatisticsItem::Kind::Finding:
        row.definition = QStringLiteral("所见已填写且不是正常所见（正常、未见异常等）");
        row.source = QStringLiteral("—");
        break;
    }
    return row;
}

XlsxCell figure(const std::optional<double>& value, int decimals)
{
    return value ? XlsxCell::of(*value, decimals) : XlsxCell{};
}

XlsxSheet tableSheet(const StatisticsReport& report, const std::vector<StatisticsLine>& lines)
{
    const StatisticsTable& table = report.table;
    const QStringList keys = StatisticsColumns::keys(table.grouping());
    XlsxSheet sheet{QStringLiteral("统计"), {}, {34}};
    for (qsizetype c = 0; c < keys.size() * 3 + 1; ++c) {
        sheet.columnWidths.push_back(9);
    }
    sheet.rows.push_back({XlsxCell::of(QStringLiteral("体检统计"), true)});
    sheet.rows.push_back({XlsxCell::of(report.heading())});
    sheet.rows.push_back({XlsxCell::of(table.summary())});
    sheet.rows.push_back({});
    std::vector<XlsxCell> groups{XlsxCell::of(QStringLiteral("项目"), true)};
    std::vector<XlsxCell> parts{XlsxCell{}};
    for (const QString& key : keys) {
        groups.push_back(XlsxCell::of(key, true, 3));
        parts.push_back(XlsxCell::of(QStringLiteral("分子"), true));
        parts.push_back(XlsxCell::of(QStringLiteral("分母"), true));
        parts.push_back(XlsxCell::of(QStringLiteral("比例"), true));
    }
    groups.push_back(XlsxCell::of(QStringLiteral("未检"), true));
    sheet.rows.push_back(std::move(groups));
    sheet.rows.push_back(std::move(parts));
    for (const StatisticsLine& line : lines) {
        std::vector<XlsxCell> row{XlsxCell::of(line.title, line.kind == StatisticsLine::Kind::Heading)};
        for (size_t c = 0; c < line.cells.size(); ++c) {
            const StatisticsCell& cell = line.cells[c];
            if (c + 1 == line.cells.size()) {
                row.push_back(figure(cell.numerator, 0)); // 未检
                continue;
            }
            row.push_back(figure(cell.numerator, cell.sum ? 1 : 0));
            row.push_back(figure(cell.denominator, 0));
            row.push_back(figure(cell.ratio, 1));
        }
        sheet.rows.push_back(std::move(row));
    }
    sheet.rows.push_back({});
    sheet.rows.push_back({XlsxCell::of(
        QStringLiteral("比例：计数行为百分比（%），均值行为均值（分子为数值之和，分母为有数值的人数）。"))});
    sheet.rows.push_back({XlsxCell::of(publicHealthNote())});
    return sheet;
}

} // namespace

std::vector<RowDefinition> rowDefinitions(const std::vector<StatisticsLine>& lines)
{
    std::vector<RowDefinition> rows;
    const auto& items = statisticsItems();
    size_t item = 0;
    for (const StatisticsLine& line : lines) {
        switch (line.kind) {
        case StatisticsLine::Kind::Persons:
            rows.push_back(
                {line.title,
                 QStringLiteral(
                     "所选期间内体检的人数：每人按其最近一次体检只计一次（同姓名同地址视为同一人）"),
                 QStringLiteral("—")});
            break;
        case StatisticsLine::Kind::Finding:
            rows.push_back(findingDefinition(items[item++]));
            break;
        case StatisticsLine::Kind::Heading:
            break;
        default:
            rows.push_back({line.title, line.definition, line.source});
            break;
        }
    }
    return rows;
}

std::vector<XlsxSheet> statisticsSheets(const StatisticsReport& report)
{
    const std::vector<StatisticsLine> lines = report.lines();
    XlsxSheet definitions{QStringLiteral("定义"), {}, {34, 90, 34}};
    definitions.rows.push_back({XlsxCell::of(QStringLiteral("项目"), true),
                                XlsxCell::of(QStringLiteral("定义"), true),
                                XlsxCell::of(QStringLiteral("来源"), true)});
    for (const RowDefinition& row : rowDefinitions(lines)) {
        definitions.rows.push_back(
            {XlsxCell::of(row.title), XlsxCell::of(row.definition), XlsxCell::of(row.source)});
    }
    return {tableSheet(report, lines), definitions};
}

bool writeStatisticsXlsx(const QString& path, const StatisticsReport& report, QString* error)
{
    return writeXlsx(path, statisticsSheets(report), error);
}

} // namespace brenvoll
