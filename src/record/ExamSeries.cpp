#include "ExamSeries.h"

#include "DateRules.h"
#include "RecordStore.h"
#include "base/TextRules.h"

#include <algorithm>

namespace brenvoll {

namespace {

SeriesRow valueRow(Field field, const QString& unit = {})
{
    SeriesRow row;
    row.field = field;
    row.name = FieldMap::box(field).operatorName;
    row.range = FieldMap::referenceRange(field);
    row.unit = row.range ? row.range->unit : unit;
    return row;
}

// The number a value holds for plotting: a height in centimetres and a weight
// in kilograms as the BMI reads them; otherwise a plain number, a laboratory's
// mark or the row's unit after it allowed; none for a bound ("<0.1") or a text.
std::optional<double> plottedNumber(Field field, const QString& text, const QString& unit)
{
    if (field == Field::Height) {
        return heightCentimetres(text);
    }
    if (field == Field::Weight) {
        return weightKilograms(text);
    }
    if (const auto value = readLabValue(text, unit); value && value->bound == LabValue::Bound::Exact) {
        return value->number;
    }
    return std::nullopt;
}

// A text's plotted number added to `cell`, or `cell` told it holds none.
void addNumber(SeriesCell& cell, Field field, const QString& text, const QString& unit)
{
    if (trimBlanks(text).isEmpty()) {
        return;
    }
    if (const auto number = plottedNumber(field, text, unit)) {
        cell.numbers.push_back(*number);
    } else {
        cell.notNumber = true;
    }
}

} // namespace

QString SeriesRow::title() const
{
    if (range) {
        return name + u' ' + range->unit + u'(' + range->text + u')';
    }
    return unit.isEmpty() ? name : name + u' ' + unit;
}

const QList<SeriesRow>& seriesRows()
{
    static const QList<SeriesRow> rows = [] {
        QList<SeriesRow> all;
        all << valueRow(Field::Height, QStringLiteral("cm")) << valueRow(Field::Weight, QStringLiteral("kg"));
        SeriesRow bmi;
        bmi.kind = SeriesRow::Kind::Bmi;
        bmi.name = QStringLiteral("BMI");
        bmi.unit = QStringLiteral("kg/m²");
        bmi.guides = {BodyMeasures::kOverweightBmi, BodyMeasures::kObeseBmi};
        all << bmi;
        SeriesRow pressure;
        pressure.kind = SeriesRow::Kind::BloodPressure;
        pressure.field = Field::SystolicPressure;
        pressure.name = QStringLiteral("血压");
        pressure.unit = QStringLiteral("mmHg");
        pressure.guides = {BodyMeasures::kHighSystolicPressure, BodyMeasures::kHighDiastolicPressure};
        all << pressure;
        all << valueRow(Field::WhiteCells) << valueRow(Field::Haemoglobin) << valueRow(Field::Platelets)
            << valueRow(Field::Alt) << valueRow(Field::Ast) << valueRow(Field::TotalBilirubin)
            << valueRow(Field::SurfaceAntibody) << valueRow(Field::UreaNitrogen)
            << valueRow(Field::Creatinine) << valueRow(Field::FastingGlucose)
            << valueRow(Field::Triglycerides) << valueRow(Field::TotalCholesterol) << valueRow(Field::Hdl)
            << valueRow(Field::Ldl) << valueRow(Field::UrineProtein) << valueRow(Field::UrineSugar)
            << valueRow(Field::UrineBlood) << valueRow(Field::UrineKetones);
        return all;
    }();
    return rows;
}

SeriesCell seriesCell(const SeriesRow& row, const ExamRecord& record)
{
    SeriesCell cell;
    switch (row.kind) {
    case SeriesRow::Kind::Value:
        cell.text = record[row.field];
        cell.flag = valueFlag(row.field, cell.text);
        addNumber(cell, row.field, cell.text, row.unit);
        break;
    case SeriesRow::Kind::Bmi:
        if (const auto tenths = bmiTenths(record[Field::Height], record[Field::Weight])) {
            const double bmi = *tenths / 10.0;
            cell.text = QString::number(bmi, 'f', 1);
            cell.numbers.push_back(bmi);
        }
        break;
    case SeriesRow::Kind::BloodPressure: {
        const QString& systolic = record[Field::SystolicPressure];
        const QString& diastolic = record[Field::DiastolicPressure];
        if (trimBlanks(systolic).isEmpty() && trimBlanks(diastolic).isEmpty()) {
            break;
        }
        cell.text = trimBlanks(systolic) + u'/' + trimBlanks(diastolic);
        const ValueFlag first = valueFlag(Field::SystolicPressure, systolic);
        const ValueFlag second = valueFlag(Field::DiastolicPressure, diastolic);
        cell.flag = first.kind == ValueFlag::Kind::Outstanding || second.kind == ValueFlag::Kind::None
                        ? first
                        : second;
        // A pressure is plotted only as a pair.
        SeriesCell pair;
        addNumber(pair, Field::SystolicPressure, systolic, row.unit);
        addNumber(pair, Field::DiastolicPressure, diastolic, row.unit);
        if (pair.numbers.size() == 2 && !pair.notNumber) {
            cell.numbers = pair.numbers;
        } else {
            cell.notNumber = true;
        }
        break;
    }
    }
    return cell;
}

QDate SeriesColumn::date() const
{
    return parseSearchDate(trimBlanks(record.date()).left(10)).value_or(QDate());
}

QString SeriesColumn::title() const
{
    return unsaved ? QStringLiteral("本次（未保存）") : trimBlanks(record.date()).left(10);
}

bool readSeries(const QStringList& keys, std::vector<SeriesColumn>& columns, QString* error)
{
    columns.clear();
    columns.reserve(size_t(keys.size()));
    RecordReader reader;
    for (const QString& key : keys) {
        SeriesColumn column;
        if (!reader.read(key, column.record, error)) {
            columns.clear();
            return false;
        }
        columns.push_back(std::move(column));
    }
    std::ranges::sort(columns, [](const SeriesColumn& a, const SeriesColumn& b) {
        const QString& da = a.record.date();
        const QString& db = b.record.date();
        return da != db ? da < db : a.record.key() < b.record.key();
    });
    return true;
}

std::vector<int> flagCounts(const std::vector<SeriesColumn>& columns)
{
    const QList<SeriesRow>& rows = seriesRows();
    std::vector<int> counts(size_t(rows.size()), 0);
    for (qsizetype r = 0; r < rows.size(); ++r) {
        for (const SeriesColumn& column : columns) {
            if (seriesCell(rows[r], column.record).flag.kind == ValueFlag::Kind::Outstanding) {
                ++counts[size_t(r)];
            }
        }
    }
    return counts;
}

} // namespace brenvoll
