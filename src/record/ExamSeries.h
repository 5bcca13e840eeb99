#pragma once
// One person's examinations side by side: the values that are compared over
// the years (height, weight, BMI, blood pressure, the laboratory values and
// the urine tests), each examination's text for them, flagged as the sheet
// flags it (ValueFlags), and the numbers that can be drawn over time.
#include "BodyMeasures.h"
#include "FieldMap.h"
#include "ValueFlags.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace brenvoll {

struct SeriesRow
{
    enum class Kind
    {
        Value,         // the text of one box
        Bmi,           // computed from height and weight
        BloodPressure, // "收缩压/舒张压"
    };
    Kind kind = Kind::Value;
    Field field = Field::Height; // the box of a Value row
    QString name;                // "身高", "空腹血糖"
    QString unit;                // "cm", "mmol/L"; empty when none
    std::optional<ReferenceRange> range;
    QList<double> guides; // levels drawn across a plot: the limits of BodyMeasures

    // The name with the unit and the range, as the row is headed:
    // "空腹血糖 mmol/L(3.8-6.1)".
    QString title() const;
};

// The rows in the order shown: 身高, 体重, BMI, 血压, every laboratory value
// of the sheet in the order of its columns, then the urine tests.
const QList<SeriesRow>& seriesRows();

struct SeriesCell
{
    QString text;   // as shown: as typed, "收缩压/舒张压", the BMI to one decimal
    ValueFlag flag; // as the sheet flags the box (for 血压 the first of the two that calls for attention)
    // The numbers plotted: one, two for a blood pressure (systolic first);
    // none when the text is empty or holds no plain number.
    std::vector<double> numbers;
    // Whether the text holds something that is not a number to plot.
    bool notNumber = false;
};

SeriesCell seriesCell(const SeriesRow& row, const ExamRecord& record);

// One column of the comparison: a stored examination, or the sheet's typing
// that is not saved.
struct SeriesColumn
{
    ExamRecord record;
    bool unsaved = false;
    QDate date() const;    // the examination date; invalid when it is no date
    QString title() const; // "2023-09-14", or "本次（未保存）"
};

// Reads the records of `keys` (as RecordStore::load() reads them), oldest
// examination first (by date, then key). False with `error` when one of them
// cannot be read.
bool readSeries(const QStringList& keys, std::vector<SeriesColumn>& columns, QString* error = nullptr);

// How often each row calls for attention over `columns` (Outstanding flags),
// in the order of seriesRows().
std::vector<int> flagCounts(const std::vector<SeriesColumn>& columns);

} // namespace brenvoll
