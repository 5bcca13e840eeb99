#include "StatisticsCells.h"

#include <QList>

#include <cmath>

namespace brenvoll {

namespace {

const QString kNone = QStringLiteral("—");

// Rounded to one decimal as its text shows it, so that the number a
// workbook holds and the text a CSV holds never differ.
double oneDecimal(double value)
{
    return QString::number(value, 'f', 1).toDouble();
}

StatisticsCell countCell(qint64 counted, qint64 of)
{
    StatisticsCell cell;
    cell.numerator = double(counted);
    cell.denominator = double(of);
    if (of > 0) {
        cell.ratio = oneDecimal(100.0 * double(counted) / double(of));
    }
    cell.text = QString::number(counted) + QStringLiteral(" (") +
                (cell.ratio ? QString::number(*cell.ratio, 'f', 1) + u'%' : kNone) + u')';
    return cell;
}

StatisticsCell meanCell(qint64 sumTenths, qint64 of)
{
    StatisticsCell cell;
    cell.sum = true;
    cell.numerator = double(sumTenths) / 10;
    cell.denominator = double(of);
    if (of > 0) {
        cell.ratio = oneDecimal(double(sumTenths) / 10 / double(of));
    }
    cell.text = cell.ratio ? QString::number(*cell.ratio, 'f', 1) : kNone;
    return cell;
}

StatisticsCell plainCell(qint64 number)
{
    StatisticsCell cell;
    cell.numerator = double(number);
    cell.text = QString::number(number);
    return cell;
}

QString csvField(const QString& text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r')) {
        return text;
    }
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace

QString publicHealthHeading()
{
    return QStringLiteral("公共卫生指标");
}

QString publicHealthNote()
{
    return QStringLiteral("公共卫生指标：比例的分母为该项有可判定数值的人数（无数值或无法判定者计入“未检”）；"
                          "均值为有数值者的平均值；体检率 = 体检人数 / 应管人数。");
}

QString figureText(double value, bool oneDecimalPlace)
{
    if (oneDecimalPlace) {
        return QString::number(value, 'f', 1);
    }
    return QString::number(qint64(std::llround(value)));
}

std::vector<StatisticsLine> statisticsLines(const StatisticsTable& table, const PopulationFigures& population)
{
    using Kind = StatisticsLine::Kind;
    std::vector<StatisticsLine> lines;
    const int columns = table.columnCount();
    const int notExamined = table.notExaminedColumn();
    const QStringList keys = StatisticsColumns::keys(table.grouping());

    StatisticsLine persons{Kind::Persons, QStringLiteral("体检人数"), {}, {}, {}};
    for (int c = 0; c < columns; ++c) {
        persons.cells.push_back(c == notExamined ? StatisticsCell{} : plainCell(table.persons(c)));
    }
    lines.push_back(std::move(persons));

    const auto& items = statisticsItems();
    for (size_t i = 0; i < items.size(); ++i) {
        StatisticsLine line{Kind::Finding, items[i].title, {}, {}, {}};
        for (int c = 0; c < columns; ++c) {
            if (c == notExamined) {
                line.cells.push_back(plainCell(table.notExamined(int(i))));
            } else {
                StatisticsCell cell = countCell(table.abnormal(int(i), c), table.examined(int(i), c));
                cell.text = table.cellText(int(i), c);
                line.cells.push_back(std::move(cell));
            }
        }
        lines.push_back(std::move(line));
    }

    lines.push_back({Kind::Heading, publicHealthHeading(), publicHealthNote(), {}, {}});
    const HealthCounts& health = table.health();
    for (const HealthRow& row : healthRows()) {
        StatisticsLine line{Kind::Count, row.label, row.definition, row.source, {}};
        for (int c = 0; c < columns; ++c) {
            switch (row.kind) {
            case HealthRow::Kind::Count:
            case HealthRow::Kind::Mean: {
                const qint64 decided = health.decided(row.id, StatisticsColumns::kTotal);
                if (c == notExamined) {
                    line.cells.push_back(plainCell(table.persons() - decided));
                } else if (row.kind == HealthRow::Kind::Count) {
                    line.cells.push_back(countCell(health.numerator(row.id, c), health.decided(row.id, c)));
                } else {
                    line.kind = Kind::Mean;
                    line.cells.push_back(meanCell(health.numerator(row.id, c), health.decided(row.id, c)));
                }
                break;
            }
            case HealthRow::Kind::Population: {
                line.kind = Kind::Population;
                const auto figure = c == notExamined ? population.end() : population.find(keys[c]);
                line.cells.push_back(figure == population.end() ? StatisticsCell{} : plainCell(*figure));
                break;
            }
            case HealthRow::Kind::Rate: {
                line.kind = Kind::Rate;
                StatisticsCell cell;
                const auto figure = c == notExamined ? population.end() : population.find(keys[c]);
                if (c != notExamined) {
                    cell.numerator = double(table.persons(c));
                    cell.text = kNone;
                }
                if (figure != population.end()) {
                    cell.denominator = double(*figure);
                    if (*figure > 0) {
                        cell.ratio = oneDecimal(100.0 * double(table.persons(c)) / double(*figure));
                        cell.text = QString::number(*cell.ratio, 'f', 1) + u'%';
                    }
                }
                line.cells.push_back(std::move(cell));
                break;
            }
            }
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

QByteArray statisticsCsv(const StatisticsTable& table, const std::vector<StatisticsLine>& lines)
{
    QStringList keys = StatisticsColumns::keys(table.grouping());
    keys << QStringLiteral("未检");
    QString csv = QStringLiteral("行,列,分子,分母,比例\n");
    const auto figure = [](const std::optional<double>& value, bool oneDecimalPlace) {
        return value ? figureText(*value, oneDecimalPlace) : QString();
    };
    for (const StatisticsLine& line : lines) {
        if (line.kind == StatisticsLine::Kind::Heading) {
            continue;
        }
        for (size_t c = 0; c < line.cells.size(); ++c) {
            const StatisticsCell& cell = line.cells[c];
            if (!cell.numerator && !cell.denominator) {
                continue;
            }
            csv += csvField(line.title) + u',' + csvField(keys[qsizetype(c)]) + u',' +
                   figure(cell.numerator, cell.sum) + u',' + figure(cell.denominator, false) + u',' +
                   figure(cell.ratio, true) + u'\n';
        }
    }
    return csv.toUtf8();
}

bool readPopulationCsv(const QByteArray& csv, const QStringList& keys, PopulationFigures& figures,
                       QString* error)
{
    QString text = QString::fromUtf8(csv);
    if (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);
    }
    const QStringList lines = text.split(u'\n');
    for (qsizetype n = 1; n < lines.size(); ++n) {
        const QString line = lines[n].trimmed();
        if (line.isEmpty()) {
            continue;
        }
        const QStringList parts = line.split(u',');
        bool ok = false;
        const qint64 number = parts.size() == 2 ? parts[1].trimmed().toLongLong(&ok) : 0;
        const QString key = parts[0].trimmed();
        if (!ok || number < 0 || !keys.contains(key)) {
            if (error) {
                *error = QStringLiteral("line %1: expected a column (%2) and a whole number: %3")
                             .arg(n + 1)
                             .arg(keys.join(u' '), line);
            }
            return false;
        }
        figures[key] = number;
    }
    return true;
}

} // namespace brenvoll
