#pragma once
// The rows of the yearly report that a county health office asks for
// (公共卫生指标): who has raised blood pressure and of which grade, diabetic
// fasting glucose, which BMI class, dyslipidaemia, liver or kidney
// abnormalities, anaemia, a positive urine test, an abnormal finding; the
// means of blood pressure and BMI; and the examination rate against the
// resident population typed in by the clinic.
//
// Each row counts people by their latest examination, as the table above it
// does. A person without a readable value for a row counts as not examined
// for it (未检), and a rate is over the people with a readable value. A row
// of several values (血脂异常, 肝功能异常, 肾功能异常) is abnormal when any of
// them is, normal when none is and at least one can be read.
#include "ExamCells.h"

#include <QString>

#include <array>
#include <bitset>
#include <vector>

namespace brenvoll {

enum class HealthRowId
{
    Hypertension,
    Grade1,
    Grade2,
    Grade3,
    SystolicMean,
    DiastolicMean,
    ImpairedGlucose,
    DiabeticGlucose,
    Underweight,
    NormalWeight,
    Overweight,
    Obese,
    BmiMean,
    Dyslipidaemia,
    Liver,
    Kidney,
    Anaemia,
    UrineProtein,
    UrineSugar,
    Ecg,
    Ultrasound,
    ChestXray,
    AnyAbnormal,
    Population,      // 应管人数: typed by the clinic, not counted
    ExaminationRate, // 体检率: 体检人数 / 应管人数
};
inline constexpr int kHealthRowCount = int(HealthRowId::ExaminationRate) + 1;

struct HealthRow
{
    enum class Kind
    {
        Count,      // people for whom the row holds, of those with a readable value
        Mean,       // the mean of a value, one decimal, over the people with one
        Population, // the figures the clinic types
        Rate,       // 体检人数 over 应管人数
    };
    HealthRowId id;
    Kind kind;
    QString label;      // "高血压（≥140/90）": the row's name with its cut-off
    QString definition; // who counts, in full
    QString source;     // where the definition comes from
};

// Every row, in the table's order (by HealthRowId).
const std::vector<HealthRow>& healthRows();
const HealthRow& healthRow(HealthRowId id);

// What one examination says for every row: for a count row whether it holds
// and whether it could be told; for a mean row the value in tenths.
struct HealthOutcomes
{
    static constexpr qint32 kNoValue = INT32_MIN;
    std::bitset<kHealthRowCount> holds;
    std::bitset<kHealthRowCount> decided;
    std::array<qint32, 3> tenths{kNoValue, kNoValue, kNoValue}; // systolic, diastolic, BMI

    // The slot of a mean row in `tenths`; -1 for any other row.
    static int meanSlot(HealthRowId id);
};

// The cells need 性别 and the boxes of healthFields().
HealthOutcomes healthOutcomes(const ExamCells& cells);
// The finding boxes the rows read.
const std::vector<Field>& healthFields();

// The rows counted by column: people for whom a count row holds (or the sum
// of a mean row's values, in tenths), and the people with a readable value.
class HealthCounts
{
public:
    static constexpr int kMaxColumns = 16;

    HealthCounts();
    // Counts one person in each of `columns`.
    void add(const HealthOutcomes& outcomes, const int* columns, int columnCount);

    // For a count row the people for whom it holds; for a mean row the sum
    // of the values in tenths.
    qint64 numerator(HealthRowId id, int column) const;
    // The people with a readable value.
    qint64 decided(HealthRowId id, int column) const;

private:
    std::array<std::array<qint64, kMaxColumns>, kHealthRowCount> m_numerator{};
    std::array<std::array<qint64, kMaxColumns>, kHealthRowCount> m_decided{};
};

} // namespace brenvoll
